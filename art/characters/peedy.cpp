// Peedy: a round green parrot with a red crest, a big yellow beak and wings for arms.
#include "character.h"
#include "draw.h"

#include <QPainter>

#include <cmath>

namespace chimewell::art {
namespace {

const QColor green(70, 190, 80);
const QColor belly(190, 230, 110);
const QColor beak(255, 196, 50);
const QColor crest(235, 60, 60);
const QColor feet(255, 150, 70);
const QColor tailBlue(60, 130, 230);

class Peedy final : public Character
{
public:
    QString id() const override { return QStringLiteral("peedy"); }
    QString name() const override { return QStringLiteral("Peedy"); }
    QString description() const override
    {
        return QStringLiteral("A chatty green parrot with a bright red crest. He repeats the time so you never forget it.");
    }
    VoiceSpec voice() const override { return {QStringLiteral("en-gb-x-gbclan"), QStringLiteral("f1"), 85, 180}; }
    double figureScale() const override { return 0.89; }
    QRect mouthRect() const override { return QRect(50, 54, 28, 26); }
    double soundPitch() const override { return 1.26; }

    // The wing is raised high and folds its tip down over the ear hole.
    Pose listening(const Pose &standard) const override
    {
        Pose p = standard;
        p.armR = 150;
        p.elbowR = 55;
        p.reach = 0.45;
        return p;
    }

    void adjust(AnimationSpec &a) const override
    {
        // A wing scratches from the side, not across the eyes.
        if (a.name == QLatin1String("Confused"))
            a.timeline.map([](Pose &p) {
                if (p.reach > 0.1)
                    p.armR = 172, p.reach = 0.75, p.elbowR -= 25;
            });
    }

    Anchors draw(QPainter &p, const Pose &pose) const override
    {
        Anchors a;
        draw::shadow(p, {64, 122}, 46);
        tail(p, pose);
        legs(p, pose);
        // The body: a pear with a pale belly.
        draw::ellipse(p, QRectF(40, 60, 48, 58), green);
        draw::ellipse(p, QRectF(50, 74, 28, 38), belly, 0, 0.5);
        wings(p, pose, a, true);

        const QTransform ht = draw::tiltedHead(p, {64, 70}, pose.headTilt, [&] { head(p, pose); });
        a.head = ht.map(QPointF(64, 42));
        a.headRadius = 26;

        wings(p, pose, a, false);
        return a;
    }

private:
    void tail(QPainter &p, const Pose &pose) const
    {
        const double sway = pose.stride * 5 * std::sin(pose.walk * 6.2831853);
        const QColor colours[] = {tailBlue, crest, tailBlue};
        for (int i = 0; i < 3; ++i) {
            QPainterPath f;
            const double x = 58 + i * 6 + sway;
            f.moveTo(60 + i * 4, 100);
            f.quadTo(x - 8, 114, x - 4 + (i - 1) * 4, 126);
            f.quadTo(x + 4, 116, 68 + i * 2, 100);
            f.closeSubpath();
            draw::fill(p, f, colours[i], 1.6);
        }
    }

    void legs(QPainter &p, const Pose &pose) const
    {
        for (int side : {-1, 1}) {
            const double lift = std::max(0.0, side * std::sin(pose.walk * 6.2831853)) * pose.stride * 4;
            const QPointF foot(64 + side * 9, 119 - lift);
            p.setPen(QPen(draw::ink, 5, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(64 + side * 8, 108), foot);
            p.setPen(QPen(feet, 3, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(64 + side * 8, 108), foot);
            for (int toe : {-1, 1}) {
                QPainterPath t(foot);
                t.lineTo(foot + QPointF(toe * 5 + side * 1.5, 2.5));
                p.setPen(QPen(draw::ink, 5, Qt::SolidLine, Qt::RoundCap));
                p.drawPath(t);
                p.setPen(QPen(feet, 3, Qt::SolidLine, Qt::RoundCap));
                p.drawPath(t);
            }
        }
    }

    void head(QPainter &p, const Pose &pose) const
    {
        const double dx = pose.turn * 6;
        // Crest feathers, behind the head.
        const QColor cc[] = {QColor(255, 200, 60), crest, QColor(255, 130, 50)};
        for (int i = 0; i < 3; ++i) {
            QPainterPath f;
            const double base = 56 + i * 8 + dx * 0.3;
            f.moveTo(base - 5, 22);
            f.quadTo(base - 8 + i * 3, 4 + std::abs(i - 1) * 4, base + 2 + (i - 1) * 5, 2 + std::abs(i - 1) * 5);
            f.quadTo(base + 2, 12, base + 5, 22);
            f.closeSubpath();
            draw::fill(p, f, cc[i], 1.6);
        }
        draw::ellipse(p, QRectF(38, 16, 52, 52), green);
        // White eye patches make the eyes pop.
        draw::ellipse(p, QRectF(40 + dx, 26, 22, 26), QColor(245, 250, 240), 0, 0.3);
        draw::ellipse(p, QRectF(66 + dx, 26, 22, 26), QColor(245, 250, 240), 0, 0.3);
        draw::EyeStyle es;
        es.iris = QColor(60, 60, 70);
        es.lid = green;
        es.irisSize = 0.7;
        draw::eye(p, {52 + dx, 39}, 8, 10, pose, es, -1);
        draw::eye(p, {76 + dx, 39}, 8, 10, pose, es, 1);
        draw::brow(p, {52 + dx, 26}, 10, pose, -1, QColor(40, 110, 40), 3);
        draw::brow(p, {76 + dx, 26}, 10, pose, 1, QColor(40, 110, 40), 3);
        drawBeak(p, QPointF(64 + dx, 53), pose.mouth);
    }

    // The lower beak drops for the open shapes; the upper hook never moves.
    static void drawBeak(QPainter &p, QPointF c, Mouth m)
    {
        double drop = 0;
        switch (m) {
        case Mouth::Small: drop = 4; break;
        case Mouth::Open: drop = 7; break;
        case Mouth::Wide: case Mouth::Grin: drop = 10; break;
        case Mouth::Round: drop = 8; break;
        default: break;
        }
        const double narrow = m == Mouth::Round ? 0.7 : 1.0;
        if (drop > 0) {
            QPainterPath in;
            in.addEllipse(QRectF(c.x() - 8 * narrow, c.y() + 2, 16 * narrow, 6 + drop));
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(120, 30, 50));
            p.drawPath(in);
            p.setBrush(QColor(240, 110, 130));
            p.drawEllipse(QPointF(c.x(), c.y() + 5 + drop * 0.7), 5 * narrow, 2.5);
        }
        QPainterPath lower;
        lower.moveTo(c.x() - 9 * narrow, c.y() + 4 + drop * 0.5);
        lower.quadTo(c.x(), c.y() + 14 + drop, c.x() + 9 * narrow, c.y() + 4 + drop * 0.5);
        lower.quadTo(c.x(), c.y() + 8 + drop, c.x() - 9 * narrow, c.y() + 4 + drop * 0.5);
        lower.closeSubpath();
        draw::fill(p, lower, beak.darker(115), 1.8);
        QPainterPath upper;
        upper.moveTo(c.x() - 11, c.y() - 4);
        upper.cubicTo(c.x() - 8, c.y() - 12, c.x() + 8, c.y() - 12, c.x() + 11, c.y() - 4);
        upper.cubicTo(c.x() + 10, c.y() + 4, c.x() + 4, c.y() + 10, c.x(), c.y() + 13);
        upper.cubicTo(c.x() - 4, c.y() + 10, c.x() - 10, c.y() + 4, c.x() - 11, c.y() - 4);
        upper.closeSubpath();
        draw::fill(p, upper, beak);
        draw::gloss(p, QRectF(c.x() - 7, c.y() - 9, 9, 5), 0.6);
        p.setPen(QPen(draw::ink, 1.2));
        p.drawPoint(QPointF(c.x() - 4, c.y() - 5));
        p.drawPoint(QPointF(c.x() + 4, c.y() - 5));
        if (m == Mouth::Smile || m == Mouth::Grin) {
            p.setPen(QPen(draw::ink, 1.6, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(c.x() - 12, c.y() + 1), QPointF(c.x() - 14, c.y() - 1));
            p.drawLine(QPointF(c.x() + 12, c.y() + 1), QPointF(c.x() + 14, c.y() - 1));
        }
    }

    // Wings are the arms: a feathered paddle from each shoulder, the tip is the hand.
    // A wing raised high goes behind the head (behind = true), the others in front.
    static bool raised(const Pose &pose, int side) { return (side < 0 ? pose.armL : pose.armR) > 125; }

    void wings(QPainter &p, const Pose &pose, Anchors &a, bool behind) const
    {
        for (int side : {-1, 1}) {
            if (raised(pose, side) != behind)
                continue;
            const double k = 1 + std::clamp(pose.reach, 0.0, 1.0) * 0.5;
            const draw::Arm arm = draw::arm({64 + side * 21.0, 74}, side, side < 0 ? pose.armL : pose.armR,
                                            side < 0 ? pose.elbowL : pose.elbowR, 12 * k, 13 * k);
            (side < 0 ? a.handL : a.handR) = arm.hand;
            QPainterPath w;
            const QPointF s = arm.shoulder, e = arm.elbow, h = arm.hand;
            const QPointF d = h - e;
            const QPointF n = QPointF(-d.y(), d.x()) / std::max(1.0, std::hypot(d.x(), d.y()));
            w.moveTo(s + QPointF(0, -7));
            w.quadTo(e + n * 11, h + n * 3);
            w.quadTo(h + d * 0.45, h - n * 4);
            w.quadTo(e - n * 9, s + QPointF(0, 8));
            w.closeSubpath();
            draw::fill(p, w, green.darker(108));
            // A band of blue flight feathers along the edge.
            p.setPen(QPen(tailBlue, 2.2, Qt::SolidLine, Qt::RoundCap));
            p.setBrush(Qt::NoBrush);
            QPainterPath edge(e - n * 3);
            edge.quadTo(h - n * 1.5 - d * 0.2, h);
            p.drawPath(edge);
        }
        if (behind)
            return;
        if (pose.prop == Prop::Book)
            draw::book(p, (a.handL + a.handR) / 2 + QPointF(0, -2), 32, pose.propOpen);
        if (pose.prop == Prop::Wand)
            draw::wand(p, a.handR, 30, 22, &a.tip);
    }
};

} // namespace

std::unique_ptr<Character> makePeedy() { return std::make_unique<Peedy>(); }

} // namespace chimewell::art
