// Check: a springy green tick mark with a face, white gloves and sneakers.
#include "character.h"
#include "draw.h"

#include <QPainter>
#include <QPainterPathStroker>

#include <cmath>

namespace chimewell::art {
namespace {

const QColor green(60, 200, 90);
const QColor glove(255, 255, 255);
const QColor shoe(60, 120, 230);

class Check final : public Character
{
public:
    QString id() const override { return QStringLiteral("check"); }
    QString name() const override { return QStringLiteral("Check"); }
    QString description() const override
    {
        return QStringLiteral("A springy tick mark who is always right on time. Everything gets a big green check!");
    }
    VoiceSpec voice() const override { return {QStringLiteral("en-us"), QStringLiteral("f2"), 60, 175}; }
    double figureScale() const override { return 0.85; }
    QRect mouthRect() const override { return draw::mouthBounds(mouthCentre(), 14); }
    double soundPitch() const override { return 1.12; }

    Anchors draw(QPainter &p, const Pose &pose) const override
    {
        Anchors a;
        draw::shadow(p, {60, 122}, 44);
        legs(p, pose);
        // The whole mark tilts about its point: it has no separate head.
        const QPointF pivot(52, 96);
        QTransform ht;
        ht.translate(pivot.x(), pivot.y());
        ht.rotate(pose.headTilt * 0.6);
        ht.translate(-pivot.x(), -pivot.y());
        p.save();
        p.setTransform(ht, true);
        mark(p, pose);
        p.restore();
        a.head = ht.map(QPointF(74, 56));
        a.headRadius = 24;
        draw::ArmStyle arms;
        arms.upper = 12;
        arms.lower = 12;
        arms.width = 4;
        arms.hand = 5.5;
        arms.sleeve = green.darker(120);
        arms.skin = glove;
        draw::armsWithProp(p, pose, ht.map(QPointF(46, 80)), ht.map(QPointF(86, 64)), arms, a);
        return a;
    }

private:
    static QPointF mouthCentre() { return {73, 73}; }

    void legs(QPainter &p, const Pose &pose) const
    {
        const double swing = pose.stride * std::sin(pose.walk * 6.2831853);
        for (int side : {-1, 1}) {
            const double lift = std::max(0.0, side * swing) * 4;
            const QPointF hip(54 + side * 4, 100);
            const QPointF foot(54 + side * 9 + side * swing * 4, 117 - lift);
            draw::limb(p, hip, (hip + foot) / 2 + QPointF(side * 2, 0), foot, 4, green.darker(120));
            QPainterPath s;
            s.addRoundedRect(QRectF(foot.x() - 7 + side * 2, foot.y() - 2, 14, 8), 4, 4);
            draw::fill(p, s, shoe);
        }
    }

    void mark(QPainter &p, const Pose &pose) const
    {
        QPainterPath spine(QPointF(28, 66));
        spine.lineTo(52, 96);
        spine.lineTo(104, 22);
        QPainterPathStroker st;
        st.setWidth(26);
        st.setCapStyle(Qt::RoundCap);
        st.setJoinStyle(Qt::RoundJoin);
        const QPainterPath body = st.createStroke(spine).simplified();
        draw::fill(p, body, green, 2.2);
        p.save();
        p.setClipPath(body);
        p.setPen(QPen(QColor(255, 255, 255, 90), 4, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(30, 60), QPointF(48, 84));
        p.drawLine(QPointF(66, 68), QPointF(100, 19));
        p.restore();

        const double dx = pose.turn * 4;
        draw::EyeStyle es;
        es.iris = QColor(60, 90, 60);
        es.lid = green;
        draw::eye(p, {66 + dx, 57}, 7.5, 9.5, pose, es, -1);
        draw::eye(p, {83 + dx, 53}, 7.5, 9.5, pose, es, 1);
        draw::brow(p, {65 + dx, 44}, 9, pose, -1, QColor(30, 100, 50), 2.6);
        draw::brow(p, {84 + dx, 40}, 9, pose, 1, QColor(30, 100, 50), 2.6);
        draw::blush(p, {62 + dx, 70}, 5);
        draw::blush(p, {88 + dx, 64}, 5);
        draw::mouth(p, mouthCentre() + QPointF(dx, 0), 14, pose.mouth);
    }
};

} // namespace

std::unique_ptr<Character> makeCheck() { return std::make_unique<Check>(); }

} // namespace chimewell::art
