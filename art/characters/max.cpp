// Max: a cheerful boy with a tuft of brown hair, a striped shirt and red sneakers.
#include "character.h"
#include "draw.h"

#include <QPainter>

#include <cmath>

namespace chimewell::art {
namespace {

const QColor skin(255, 214, 172);
const QColor hair(128, 74, 38);
const QColor shirt(255, 148, 48);
const QColor stripe(255, 226, 90);
const QColor shorts(62, 110, 200);
const QColor shoe(230, 60, 60);

class Max final : public Character
{
public:
    QString id() const override { return QStringLiteral("max"); }
    QString name() const override { return QStringLiteral("Max"); }
    QString description() const override
    {
        return QStringLiteral("A cheerful boy who loves telling the time. He waves hello and never misses a chime.");
    }
    VoiceSpec voice() const override { return {QStringLiteral("en-us"), QStringLiteral("m3"), 60, 165}; }
    QRect mouthRect() const override { return draw::mouthBounds(mouthCentre(), mouthWidth); }
    double soundPitch() const override { return 1.0; }

    Anchors draw(QPainter &p, const Pose &pose) const override
    {
        Anchors a;
        draw::shadow(p, {64, 122}, 52);
        legs(p, pose);
        body(p);
        const QPointF neck(64, 74);
        p.save();
        p.translate(neck);
        p.rotate(pose.headTilt);
        p.translate(-neck);
        head(p, pose);
        p.restore();
        QTransform headT;
        headT.translate(neck.x(), neck.y());
        headT.rotate(pose.headTilt);
        headT.translate(-neck.x(), -neck.y());
        a.head = headT.map(QPointF(64, 44));
        a.headRadius = 29;

        draw::ArmStyle arms;
        arms.upper = 13;
        arms.lower = 12;
        arms.width = 6.5;
        arms.hand = 5.2;
        arms.sleeve = skin;
        arms.skin = skin;
        arms.cuff = shirt;
        arms.cuffSize = 9.5;
        draw::armsWithProp(p, pose, {51, 81}, {77, 81}, arms, a);
        return a;
    }

private:
    static constexpr double mouthWidth = 18;
    static QPointF mouthCentre() { return {64, 63}; }

    void legs(QPainter &p, const Pose &pose) const
    {
        const double swing = pose.stride * 24 * std::sin(pose.walk * 6.2831853);
        for (int side : {-1, 1}) {
            const double ang = side * swing;
            const QPointF hip(64 + side * 7, 100);
            const QPointF foot = hip + QPointF(std::sin(ang * M_PI / 180) * 17, std::cos(ang * M_PI / 180) * 17 -
                                               std::max(0.0, side * swing / 24) * 3);
            draw::limb(p, hip, (hip + foot) / 2, foot, 6, skin);
            // White socks above the sneakers.
            const QPointF ankle = foot + (hip - foot) * 0.3;
            draw::limb(p, ankle, (ankle + foot) / 2, foot, 6.5, QColor(250, 250, 255));
            const QRectF s(foot.x() - 8 + side * 1.5, foot.y() - 3, 16, 8);
            QPainterPath sole;
            sole.addRoundedRect(s, 4, 4);
            draw::fill(p, sole, shoe);
            p.setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(s.left() + 3, s.bottom() - 2), QPointF(s.right() - 3, s.bottom() - 2));
        }
    }

    void body(QPainter &p) const
    {
        QPainterPath shorts_;
        shorts_.addRoundedRect(QRectF(49, 92, 30, 13), 5, 5);
        draw::fill(p, shorts_, shorts);
        QPainterPath torso;
        torso.moveTo(52, 76);
        torso.quadTo(64, 72, 76, 76);
        torso.quadTo(82, 88, 80, 98);
        torso.quadTo(64, 102, 48, 98);
        torso.quadTo(46, 88, 52, 76);
        torso.closeSubpath();
        draw::fill(p, torso, shirt);
        p.save();
        p.setClipPath(torso);
        p.setPen(Qt::NoPen);
        p.setBrush(stripe);
        p.drawRect(QRectF(40, 85, 50, 4));
        p.drawRect(QRectF(40, 92, 50, 3));
        p.restore();
        p.setPen(QPen(draw::ink, draw::line));
        p.setBrush(Qt::NoBrush);
        p.drawPath(torso);
    }

    void head(QPainter &p, const Pose &pose) const
    {
        const double dx = pose.turn * 6;
        // Ears, behind the head.
        draw::ellipse(p, QRectF(32 - dx * 0.3, 42, 11, 14), skin, draw::line, 0.5);
        draw::ellipse(p, QRectF(85 - dx * 0.3, 42, 11, 14), skin, draw::line, 0.5);
        draw::ellipse(p, QRectF(35, 17, 58, 56), skin, draw::line, 0.7);
        // Hair: a rounded cap with a swept fringe and a cowlick.
        QPainterPath h;
        h.moveTo(34, 44);
        h.cubicTo(30, 14, 60, 8, 78, 14);
        h.cubicTo(90, 18, 98, 30, 94, 44);
        h.quadTo(90, 34, 84, 30);
        h.quadTo(80, 36, 72, 33);
        h.quadTo(62, 38 + dx * 0.2, 50 + dx * 0.5, 30);
        h.quadTo(44, 36, 34, 44);
        h.closeSubpath();
        draw::fill(p, h, hair);
        QPainterPath lick(QPointF(60, 15));
        lick.cubicTo(58, 5, 66, 2, 70, 7);
        lick.cubicTo(66, 6, 64, 10, 66, 15);
        draw::fill(p, lick, hair, 1.6);

        draw::blush(p, {45 + dx, 60}, 7);
        draw::blush(p, {83 + dx, 60}, 7);
        // A few freckles.
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(190, 120, 80, 150));
        for (int side : {-1, 1})
            for (const QPointF &f : {QPointF(17, 57), QPointF(21, 59.5), QPointF(19.5, 55)})
                p.drawEllipse(QPointF(64 + side * f.x() + dx, f.y()), 0.9, 0.9);
        draw::EyeStyle es;
        es.iris = QColor(80, 140, 220);
        es.lid = skin;
        draw::eye(p, {53 + dx, 46}, 8.5, 10, pose, es, -1);
        draw::eye(p, {75 + dx, 46}, 8.5, 10, pose, es, 1);
        draw::brow(p, {53 + dx, 34}, 10, pose, -1, hair.darker(170));
        draw::brow(p, {75 + dx, 34}, 10, pose, 1, hair.darker(170));
        draw::ellipse(p, QRectF(61 + dx * 1.1, 53, 6, 4.5), skin.darker(112), 1.2, 0.4);
        draw::mouth(p, mouthCentre() + QPointF(dx, 0), mouthWidth, pose.mouth);
    }
};

} // namespace

std::unique_ptr<Character> makeMax() { return std::make_unique<Max>(); }

} // namespace chimewell::art
