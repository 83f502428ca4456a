// Plany: a little red aeroplane with a big-eyed face on its nose, yellow wings
// and a spinning propeller. Its wings are its arms.
#include "character.h"
#include "draw.h"

#include <QPainter>

#include <cmath>

namespace chimewell::art {
namespace {

const QColor red(232, 72, 62);
const QColor wing(255, 204, 58);
const QColor white(250, 250, 255);

class Plany final : public Character
{
public:
    QString id() const override { return QStringLiteral("plany"); }
    QString name() const override { return QStringLiteral("Plany"); }
    QString description() const override
    {
        return QStringLiteral("A little red aeroplane who zooms around your desktop. Plany flies in to tell you the time.");
    }
    VoiceSpec voice() const override { return {QStringLiteral("en-gb-x-gbclan"), QString(), 65, 175}; }
    QSize frameSize() const override { return {160, 128}; }
    Motion motion() const override { return Motion::Fly; }
    QPointF ground() const override { return {80, 122}; }
    QRect mouthRect() const override { return draw::mouthBounds(mouthCentre(), 16); }
    double soundPitch() const override { return 1.06; }

    // A plane has no hands: the near wing swings up beside its face and the nose
    // lifts towards the sound.
    Pose listening(const Pose &standard) const override
    {
        Pose p = standard;
        p.armR = -230;
        p.elbowR = rest().elbowR;
        p.reach = 0;
        p.lean -= 4;
        return p;
    }

    void adjust(AnimationSpec &a) const override
    {
        const Pose R = rest();
        if (a.name == QLatin1String("Read")) {
            // The near wing swings forward and holds the book under its nose.
            a.timeline.map([](Pose &p) {
                if (p.prop == Prop::Book)
                    p.armR = -150;
            });
        } else if (a.name == QLatin1String("DoMagic1")) {
            // No wand for a plane: the sparkles swirl about its nose.
            a.timeline.map([](Pose &p) { p.prop = Prop::None; });
        } else if (a.name == QLatin1String("Show")) {
            // Flies in from the left and touches down.
            Pose start = R;
            start.x = -150;
            start.y = -40;
            start.lean = -8;
            start.stride = 1;
            Timeline tl(start);
            tl.to(420, [](Pose &p) { p.x = -20; p.y = -14; p.lean = 4; }, Ease::Out)
                .to(620, [](Pose &p) { p.x = 0; p.y = 0; p.lean = 0; p.squash = -0.08; p.stride = 0.5; })
                .to(760, [](Pose &p) { p.squash = 0.04; p.mouth = Mouth::Grin; p.happy = 1; })
                .to(900, [&](Pose &p) { p = R; p.stride = 0; });
            a.timeline = tl;
        } else if (a.name == QLatin1String("Hide")) {
            Timeline tl(R);
            tl.to(200, [](Pose &p) { p.stride = 1; p.squash = -0.06; })
                .to(420, [](Pose &p) { p.x = 30; p.y = -20; p.lean = -10; p.squash = 0; }, Ease::In)
                .to(700, [](Pose &p) { p.x = 190; p.y = -50; p.lean = -14; }, Ease::In);
            a.timeline = tl;
        }
    }

    Anchors draw(QPainter &p, const Pose &pose) const override
    {
        // Facing left is the same plane mirrored.
        QTransform mirror;
        if (pose.turn < -0.75) {
            mirror.translate(160, 0);
            mirror.scale(-1, 1);
        }
        p.save();
        p.setTransform(mirror, true);
        Pose face = pose;
        if (pose.turn < -0.75)
            face.turn = -pose.turn, face.lookX = -pose.lookX;
        Anchors a = drawPlane(p, face);
        p.restore();
        a.head = mirror.map(a.head);
        a.handL = mirror.map(a.handL);
        a.handR = mirror.map(a.handR);
        if (!a.tip.isNull())
            a.tip = mirror.map(a.tip);
        return a;
    }

private:
    static QPointF mouthCentre() { return {117, 84}; }

    Anchors drawPlane(QPainter &p, const Pose &pose) const
    {
        Anchors a;
        const bool flying = pose.stride > 0.5;
        if (!flying)
            draw::shadow(p, {84, 122}, 80);
        // The far wing peeks out behind the body.
        wingShape(p, pose.armL, {78, 66}, -1, a.handL);
        // Tail fin and stabiliser.
        QPainterPath fin(QPointF(30, 70));
        fin.quadTo(20, 52, 24, 36);
        fin.quadTo(30, 32, 36, 38);
        fin.quadTo(44, 56, 50, 66);
        fin.closeSubpath();
        draw::fill(p, fin, red);
        draw::ellipse(p, QRectF(18, 66, 28, 9), wing, draw::line, 0.6);
        // Wheels under the body.
        for (double x : {74.0, 104.0}) {
            p.setPen(QPen(draw::ink, 4, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(x, 96), QPointF(x - 2, 110));
            draw::ellipse(p, QRectF(x - 9, 103, 14, 14), QColor(70, 70, 80), draw::line, 0.6);
            draw::ellipse(p, QRectF(x - 5, 107, 6, 6), QColor(220, 220, 230), 1.2, 0.4);
        }
        // The fuselage: a fat rounded body, the nose on the right.
        QPainterPath body(QPointF(30, 70));
        body.cubicTo(36, 54, 80, 44, 112, 48);
        body.cubicTo(136, 50, 142, 70, 138, 84);
        body.cubicTo(134, 100, 108, 102, 86, 100);
        body.cubicTo(60, 98, 36, 88, 30, 70);
        body.closeSubpath();
        draw::fill(p, body, red);
        p.save();
        p.setClipPath(body);
        p.setPen(Qt::NoPen);
        p.setBrush(white);
        p.drawRoundedRect(QRectF(20, 76, 72, 5), 2.5, 2.5);
        p.restore();
        draw::gloss(p, QRectF(58, 50, 50, 10), 0.5);
        // Propeller hub and blades: a soft disc while it spins.
        const QPointF hub(140, 74);
        if (flying) {
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(230, 235, 245, 110));
            p.drawEllipse(hub, 6, 24);
            p.setPen(QPen(QColor(120, 120, 140, 150), 1.4));
            p.setBrush(Qt::NoBrush);
            p.drawEllipse(hub, 6, 24);
            const double a2 = std::fmod(pose.time * 2.1, 360.0) * M_PI / 180;
            p.setPen(QPen(QColor(80, 80, 100, 170), 4, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(hub + QPointF(0, 22 * std::cos(a2)), hub - QPointF(0, 22 * std::cos(a2)));
        } else {
            for (int s : {-1, 1}) {
                QPainterPath blade;
                blade.addEllipse(QRectF(hub.x() - 3.5, hub.y() + (s < 0 ? -24 : 2), 7, 22));
                draw::fill(p, blade, QColor(150, 150, 170), 1.6, 0.6);
            }
        }
        draw::ellipse(p, QRectF(hub.x() - 6, hub.y() - 6, 12, 12), white, draw::line, 0.6);

        // The face on the nose: two big eyes as the windscreen.
        const double dx = pose.turn * 3;
        draw::EyeStyle es;
        es.iris = QColor(70, 130, 210);
        es.lid = red;
        draw::eye(p, {104 + dx, 64}, 9, 11, pose, es, -1);
        draw::eye(p, {124 + dx, 64}, 8, 10.5, pose, es, 1);
        draw::brow(p, {104 + dx, 49}, 10, pose, -1, QColor(120, 30, 30), 2.8);
        draw::brow(p, {124 + dx, 50}, 9, pose, 1, QColor(120, 30, 30), 2.8);
        draw::blush(p, {98 + dx, 84}, 5, 0.4);
        draw::blush(p, {132 + dx, 82}, 4.5, 0.4);
        draw::mouth(p, mouthCentre() + QPointF(dx, 0), 16, pose.mouth);
        a.head = {112, 66};
        a.headRadius = 26;

        // The near wing, over the body; its tip is the hand that holds things.
        wingShape(p, pose.armR, {80, 86}, 1, a.handR);
        if (pose.prop == Prop::Book)
            draw::book(p, a.handR + QPointF(-2, -10), 30, pose.propOpen);
        if (pose.prop == Prop::Wand)
            draw::wand(p, a.handR, 25, 22, &a.tip);
        if (pose.prop != Prop::None)
            draw::ellipse(p, QRectF(a.handR - QPointF(5, 5), QSizeF(10, 10)), white, 1.8, 0.6);
        return a;
    }

    // A wing swings about its root; arm angle 15 is level.
    static void wingShape(QPainter &p, double armAngle, QPointF root, int near, QPointF &tip)
    {
        const double rot = -(armAngle - 15) * 0.5;
        p.save();
        p.translate(root);
        p.rotate(near > 0 ? -rot : -rot * 0.6);
        QPainterPath w;
        if (near > 0) {
            w.moveTo(-14, -4);
            w.quadTo(-20, 16, -34, 26);
            w.quadTo(-30, 34, -18, 30);
            w.quadTo(4, 16, 14, 2);
            w.closeSubpath();
            tip = QTransform().translate(root.x(), root.y()).rotate(-rot).map(QPointF(-28, 29));
        } else {
            w.moveTo(-10, 2);
            w.quadTo(-6, -22, 6, -30);
            w.quadTo(14, -30, 12, -20);
            w.quadTo(10, -6, 10, 2);
            w.closeSubpath();
            tip = QTransform().translate(root.x(), root.y()).rotate(-rot * 0.6).map(QPointF(9, -27));
        }
        draw::fill(p, w, near > 0 ? wing : wing.darker(115));
        p.restore();
    }
};

} // namespace

std::unique_ptr<Character> makePlany() { return std::make_unique<Plany>(); }

} // namespace chimewell::art
