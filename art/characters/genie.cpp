// Genie: a big blue genie who floats on a curl of smoke from his golden lamp.
#include "character.h"
#include "draw.h"

#include <QLinearGradient>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace chimewell::art {
namespace {

const QColor blue(80, 150, 235);
const QColor gold(250, 200, 60);
const QColor sash(230, 70, 90);

class Genie final : public Character
{
public:
    QString id() const override { return QStringLiteral("genie"); }
    QString name() const override { return QStringLiteral("Genie"); }
    QString description() const override
    {
        return QStringLiteral("A jolly blue genie who floats out of his golden lamp. Your wish for the time is his command!");
    }
    VoiceSpec voice() const override { return {QStringLiteral("en-us"), QStringLiteral("m7"), 25, 160}; }
    Motion motion() const override { return Motion::Float; }
    // Hands on his hips, the way a genie waits for a wish.
    Pose rest() const override
    {
        Pose p;
        p.armL = p.armR = 38;
        p.elbowL = p.elbowR = -100;
        return p;
    }
    double figureScale() const override { return 0.86; }
    QRect mouthRect() const override { return draw::mouthBounds(mouthCentre(), 18); }
    double soundPitch() const override { return 0.94; }

    void adjust(AnimationSpec &a) const override
    {
        const Pose R = rest();
        if (a.name == QLatin1String("Show")) {
            // The lamp appears, then he pours out of its spout.
            Pose start = R;
            start.scale = 0.3;
            start.opacity = 0;
            start.emerge = 0;
            Timeline tl(start);
            tl.to(160, [](Pose &p) { p.scale = 1; p.opacity = 1; })
                .to(400, [](Pose &p) { p.emerge = 0.6; p.eyeOpen = 0; })
                .to(560, [](Pose &p) { p.emerge = 1.05; p.eyeOpen = 1; p.happy = 1; p.mouth = Mouth::Grin; })
                .to(700, [](Pose &p) { p.emerge = 0.98; p.happy = 0; })
                .back(840, R);
            a.timeline = tl;
        } else if (a.name == QLatin1String("Hide")) {
            Timeline tl(R);
            tl.to(160, [](Pose &p) { p.emerge = 1.04; p.eyeOpen = 0; p.mouth = Mouth::Round; })
                .to(420, [](Pose &p) { p.emerge = 0; }, Ease::In)
                .to(580, [](Pose &p) { p.scale = 0.05; p.opacity = 0; }, Ease::In);
            a.timeline = tl;
        }
    }

    Anchors draw(QPainter &p, const Pose &pose) const override
    {
        Anchors a;
        draw::shadow(p, {60, 123}, 46);
        lamp(p);
        if (pose.emerge < 0.02)
            return a;
        // Coming out of the lamp, everything above it grows from the spout.
        const QPointF spout(90, 98);
        QTransform out;
        out.translate(spout.x(), spout.y());
        out.scale(pose.emerge, pose.emerge);
        out.translate(-spout.x(), -spout.y());
        p.save();
        p.setTransform(out, true);
        p.setOpacity(std::clamp(pose.emerge * 2, 0.0, 1.0));
        tail(p, pose);
        torso(p);
        const QTransform ht = draw::tiltedHead(p, {64, 56}, pose.headTilt, [&] { head(p, pose); });
        a.head = ht.map(QPointF(64, 32));
        a.headRadius = 22;
        draw::ArmStyle arms;
        arms.upper = 13;
        arms.lower = 12;
        arms.width = 7.5;
        arms.hand = 5.5;
        arms.sleeve = blue;
        arms.skin = blue;
        draw::armsWithProp(p, pose, {44, 62}, {84, 62}, arms, a);
        p.restore();
        a.head = out.map(a.head);
        a.handL = out.map(a.handL);
        a.handR = out.map(a.handR);
        if (!a.tip.isNull())
            a.tip = out.map(a.tip);
        return a;
    }

private:
    static QPointF mouthCentre() { return {64, 43}; }

    void lamp(QPainter &p) const
    {
        QPainterPath l;
        l.moveTo(36, 112);
        l.quadTo(40, 102, 56, 102);
        l.quadTo(70, 102, 76, 106);
        l.quadTo(84, 104, 92, 98);
        l.quadTo(90, 108, 80, 114);
        l.quadTo(70, 120, 52, 120);
        l.quadTo(36, 120, 36, 112);
        l.closeSubpath();
        draw::fill(p, l, gold);
        QPainterPath handle(QPointF(38, 108));
        handle.cubicTo(26, 104, 28, 116, 38, 116);
        p.setPen(QPen(draw::ink, 5, Qt::SolidLine, Qt::RoundCap));
        p.setBrush(Qt::NoBrush);
        p.drawPath(handle);
        p.setPen(QPen(gold, 2.6, Qt::SolidLine, Qt::RoundCap));
        p.drawPath(handle);
        draw::ellipse(p, QRectF(48, 98, 14, 6), gold.darker(110), 1.6);
        draw::gloss(p, QRectF(44, 104, 22, 6), 0.6);
    }

    // Smoke from the spout, widening up into the waist; it waves as he floats.
    void tail(QPainter &p, const Pose &pose) const
    {
        const double w = std::sin(pose.time / 180.0) * 3 + pose.stride * 4 * std::sin(pose.walk * 6.2831853);
        QPainterPath t;
        t.moveTo(48, 70);
        t.cubicTo(40 + w, 88, 60 - w, 100, 84, 101); // the underside sweeps round to the spout
        t.lineTo(92, 97);
        t.cubicTo(82 + w, 92, 92 - w, 80, 80, 70);   // and back up the other side
        t.closeSubpath();
        QLinearGradient g(0, 98, 0, 70);
        g.setColorAt(0, QColor(170, 210, 255));
        g.setColorAt(1, blue);
        p.setBrush(g);
        p.setPen(QPen(draw::ink, draw::line, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPath(t);
        // A curl of lighter smoke inside.
        QPainterPath curl(QPointF(56, 80));
        curl.cubicTo(54 + w, 92, 70, 96, 84, 98);
        p.setPen(QPen(QColor(255, 255, 255, 130), 2.2, Qt::SolidLine, Qt::RoundCap));
        p.setBrush(Qt::NoBrush);
        p.drawPath(curl);
    }

    void torso(QPainter &p) const
    {
        QPainterPath b;
        b.moveTo(40, 60);
        b.quadTo(64, 50, 88, 60);
        b.quadTo(90, 70, 78, 76);
        b.quadTo(64, 80, 50, 76);
        b.quadTo(38, 70, 40, 60);
        b.closeSubpath();
        draw::fill(p, b, blue);
        QPainterPath belt;
        belt.addRoundedRect(QRectF(49, 70, 30, 7), 3, 3);
        draw::fill(p, belt, sash, 1.6);
        draw::ellipse(p, QRectF(60, 69.5, 8, 8), gold, 1.4);
    }

    void head(QPainter &p, const Pose &pose) const
    {
        const double dx = pose.turn * 5;
        // Topknot, ears, then the head.
        QPainterPath knot(QPointF(60, 14));
        knot.cubicTo(56, 2, 74, 0, 72, 8);
        knot.cubicTo(70, 12, 80, 10, 78, 4);
        knot.cubicTo(84, 12, 74, 18, 68, 14);
        knot.closeSubpath();
        draw::fill(p, knot, QColor(50, 40, 60));
        for (int side : {-1, 1}) {
            QPainterPath ear(QPointF(64 + side * 18, 30));
            ear.quadTo(64 + side * 30, 22, 64 + side * 28, 36);
            ear.quadTo(64 + side * 24, 40, 64 + side * 18, 38);
            draw::fill(p, ear, blue, draw::line, 0.6);
            draw::ellipse(p, QRectF(64 + side * 25 - 2.5, 37, 5, 5), gold, 1.2);
        }
        draw::ellipse(p, QRectF(43, 12, 42, 44), blue);
        draw::blush(p, {51 + dx, 40}, 5, 0.3);
        draw::blush(p, {77 + dx, 40}, 5, 0.3);
        draw::EyeStyle es;
        es.iris = QColor(50, 50, 80);
        es.lid = blue;
        draw::eye(p, {55 + dx, 27}, 7, 8.5, pose, es, -1);
        draw::eye(p, {73 + dx, 27}, 7, 8.5, pose, es, 1);
        draw::brow(p, {55 + dx, 18}, 10, pose, -1, QColor(40, 40, 70), 3);
        draw::brow(p, {73 + dx, 18}, 10, pose, 1, QColor(40, 40, 70), 3);
        draw::mouth(p, mouthCentre() + QPointF(dx, 0), 18, pose.mouth);
        // A curly little beard.
        QPainterPath goatee(QPointF(60, 53));
        goatee.quadTo(64, 60, 68, 53);
        goatee.quadTo(64, 56, 60, 53);
        draw::fill(p, goatee, QColor(50, 40, 60), 1.2);
    }
};

} // namespace

std::unique_ptr<Character> makeGenie() { return std::make_unique<Genie>(); }

} // namespace chimewell::art
