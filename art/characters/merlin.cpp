// Merlin: a kindly wizard in a starry pointed hat, with a long white beard.
#include "character.h"
#include "draw.h"

#include <QPainter>

#include <cmath>

namespace chimewell::art {
namespace {

const QColor robe(110, 80, 200);
const QColor hat(80, 60, 175);
const QColor skin(255, 212, 180);
const QColor beard(245, 245, 250);
const QColor gold(255, 214, 80);

class Merlin final : public Character
{
public:
    QString id() const override { return QStringLiteral("merlin"); }
    QString name() const override { return QStringLiteral("Merlin"); }
    QString description() const override
    {
        return QStringLiteral("A kindly old wizard with a starry hat. He keeps the hours with a wave of his wand.");
    }
    VoiceSpec voice() const override { return {QStringLiteral("en-gb-scotland"), QStringLiteral("m1"), 35, 150}; }
    double figureScale() const override { return 0.87; }
    QRect mouthRect() const override { return draw::mouthBounds(mouthCentre(), 14); }
    double soundPitch() const override { return 0.89; }

    // A shorter reach keeps the listening hand by his ear, under the hat's brim.
    Pose listening(const Pose &standard) const override
    {
        Pose p = standard;
        p.reach = 0.5;
        p.elbowR += 6;
        return p;
    }

    void adjust(AnimationSpec &a) const override
    {
        // His sleeves are wide: the scratching arm goes up outside the face.
        if (a.name == QLatin1String("Confused"))
            a.timeline.map([](Pose &p) {
                if (p.reach > 0.1)
                    p.armR = 160, p.reach = 0.5, p.elbowR -= 10;
            });
    }

    Anchors draw(QPainter &p, const Pose &pose) const override
    {
        Anchors a;
        draw::shadow(p, {64, 122}, 56);
        feet(p, pose);
        body(p, pose);
        const QTransform ht = draw::tiltedHead(p, {64, 70}, pose.headTilt, [&] { head(p, pose); });
        a.head = ht.map(QPointF(64, 40));
        a.headRadius = 26;
        draw::ArmStyle arms;
        arms.upper = 13;
        arms.lower = 13;
        arms.width = 8;
        arms.hand = 5;
        arms.sleeve = robe.lighter(110);
        arms.skin = skin;
        draw::armsWithProp(p, pose, {46, 76}, {82, 76}, arms, a);
        return a;
    }

private:
    static QPointF mouthCentre() { return {64, 63}; }

    void feet(QPainter &p, const Pose &pose) const
    {
        const double swing = pose.stride * std::sin(pose.walk * 6.2831853);
        for (int side : {-1, 1}) {
            const double fx = 64 + side * 10 + side * swing * 4;
            const double lift = std::max(0.0, side * swing) * 3;
            QPainterPath s(QPointF(fx - 7, 121 - lift));
            s.quadTo(fx - 6, 113 - lift, fx + 2, 114 - lift);
            s.quadTo(fx + side * 10, 115 - lift, fx + side * 12, 112 - lift);
            s.quadTo(fx + side * 10, 121 - lift, fx - 7, 121 - lift);
            draw::fill(p, s, QColor(150, 90, 50));
        }
    }

    void body(QPainter &p, const Pose &pose) const
    {
        const double sway = pose.stride * 3 * std::sin(pose.walk * 6.2831853);
        QPainterPath r;
        r.moveTo(50, 70);
        r.quadTo(64, 64, 78, 70);
        r.quadTo(86, 96, 92 + sway, 118);
        r.quadTo(64, 124, 36 + sway, 118);
        r.quadTo(42, 96, 50, 70);
        r.closeSubpath();
        draw::fill(p, r, robe);
        p.save();
        p.setClipPath(r);
        for (const QPointF &s : {QPointF(44, 108), QPointF(80, 100), QPointF(58, 114), QPointF(86, 114)})
            draw::star(p, s, 3.5, gold, 10, 0.8);
        p.restore();
        // The beard flows over the robe.
        QPainterPath b;
        b.moveTo(46, 56);
        b.quadTo(44, 80, 54, 92);
        b.quadTo(58, 98, 64, 102);
        b.quadTo(70, 98, 74, 92);
        b.quadTo(84, 80, 82, 56);
        b.closeSubpath();
        draw::fill(p, b, beard, draw::line, 0.5);
        p.setPen(QPen(QColor(200, 205, 220), 1.2, Qt::SolidLine, Qt::RoundCap));
        for (int i = -2; i <= 2; ++i)
            p.drawLine(QPointF(64 + i * 5, 74), QPointF(64 + i * 4, 90 - std::abs(i) * 3));
    }

    void head(QPainter &p, const Pose &pose) const
    {
        const double dx = pose.turn * 5;
        draw::ellipse(p, QRectF(42, 28, 44, 42), skin, draw::line, 0.6);
        // Beard around the jaw and a moustache; the mouth opens inside it.
        QPainterPath jaw;
        jaw.moveTo(43, 48);
        jaw.quadTo(46, 74, 64, 76);
        jaw.quadTo(82, 74, 85, 48);
        jaw.quadTo(80, 60, 74, 58);
        jaw.quadTo(64, 56, 54, 58);
        jaw.quadTo(48, 60, 43, 48);
        jaw.closeSubpath();
        draw::fill(p, jaw, beard, draw::line, 0.4);
        draw::mouth(p, mouthCentre() + QPointF(dx, 0), 14, pose.mouth);
        for (int side : {-1, 1}) {
            QPainterPath m(QPointF(64 + dx, 56));
            m.quadTo(64 + dx + side * 8, 53, 64 + dx + side * 14, 60);
            m.quadTo(64 + dx + side * 7, 60, 64 + dx, 58.5);
            draw::fill(p, m, beard, 1.5, 0.4);
        }
        draw::ellipse(p, QRectF(59 + dx, 46, 10, 9), skin.darker(108), 1.6, 0.5);
        draw::blush(p, {50 + dx, 52}, 5);
        draw::blush(p, {78 + dx, 52}, 5);
        draw::EyeStyle es;
        es.iris = QColor(90, 160, 220);
        es.lid = skin;
        draw::eye(p, {55 + dx, 42}, 7, 8, pose, es, -1);
        draw::eye(p, {73 + dx, 42}, 7, 8, pose, es, 1);
        // The hat: a tall cone with a bent tip, a brim and stars.
        QPainterPath cone;
        cone.moveTo(40, 31);
        cone.cubicTo(50, 22, 56, 6, 70 + dx, 1);
        cone.quadTo(86 + dx, 0, 92 + dx, 8);
        cone.quadTo(80 + dx, 8, 76, 14);
        cone.cubicTo(78, 20, 84, 26, 88, 31);
        cone.closeSubpath();
        draw::fill(p, cone, hat);
        p.save();
        p.setClipPath(cone);
        draw::star(p, {58, 22}, 4, gold, 0, 0.8);
        draw::star(p, {74, 24}, 3, gold, 20, 0.8);
        p.restore();
        QPainterPath brim;
        brim.addEllipse(QRectF(32, 27, 64, 10));
        draw::fill(p, brim, hat.lighter(115));
        draw::star(p, {92 + dx, 8}, 4, gold, 15, 1.0);
        // Bushy white brows stick out under the brim: they do his frowning and wondering.
        for (int side : {-1, 1}) {
            const QPointF c(64 + side * 10 + dx, 35.5);
            draw::brow(p, c, 13, pose, side, draw::ink, 6.5);
            draw::brow(p, c, 13, pose, side, QColor(240, 240, 248), 4.2);
        }
    }
};

} // namespace

std::unique_ptr<Character> makeMerlin() { return std::make_unique<Merlin>(); }

} // namespace chimewell::art
