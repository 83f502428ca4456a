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
    VoiceSpec voice() const override { return {QStringLiteral("en-gb-x-gbclan"), QStringLiteral("f2"), 60, 175}; }
    double figureScale() const override { return 0.85; }
    QRect mouthRect() const override { return draw::mouthBounds(mouthCentre(), 14); }
    double soundPitch() const override { return 1.12; }

    // The long stroke has no ear: the glove cups the air just beside the face.
    Pose listening(const Pose &standard) const override
    {
        Pose p = standard;
        p.armR = 100;
        p.elbowR = 75;
        p.reach = 0.45;
        return p;
    }

    void adjust(AnimationSpec &a) const override
    {
        // The right arm starts high on the long stroke: raised straight up it would
        // hug the body, so it waves and scratches further out.
        if (a.name == QLatin1String("Greet") || a.name == QLatin1String("Confused"))
            a.timeline.map([](Pose &p) {
                if (p.armR > 100)
                    p.armR -= 35, p.elbowR += 25;
            });
    }

    Anchors draw(QPainter &p, const Pose &pose) const override
    {
        Anchors a;
        draw::shadow(p, {56, 122}, 46);
        legs(p, pose);
        // The whole mark tilts about its point: it has no separate head.
        const QPointF pivot(50, 94);
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
        draw::armsWithProp(p, pose, ht.map(QPointF(44, 80)), ht.map(QPointF(88, 62)), arms, a);
        return a;
    }

private:
    static QPointF mouthCentre() { return {73, 73}; }

    void legs(QPainter &p, const Pose &pose) const
    {
        const double swing = pose.stride * std::sin(pose.walk * 6.2831853);
        for (int side : {-1, 1}) {
            const double lift = std::max(0.0, side * swing) * 4;
            const QPointF hip(52 + side * 5, 104);
            const QPointF foot(52 + side * 10 + side * swing * 4, 117 - lift);
            draw::limb(p, hip, (hip + foot) / 2 + QPointF(side * 2, 0), foot, 4, green.darker(120));
            QPainterPath s;
            s.addRoundedRect(QRectF(foot.x() - 7 + side * 2, foot.y() - 2, 14, 8), 4, 4);
            draw::fill(p, s, shoe);
        }
    }

    void mark(QPainter &p, const Pose &pose) const
    {
        QPainterPath spine(QPointF(26, 62));
        spine.lineTo(50, 94);
        spine.lineTo(106, 20);
        QPainterPathStroker st;
        st.setWidth(30);
        st.setCapStyle(Qt::RoundCap);
        st.setJoinStyle(Qt::RoundJoin);
        const QPainterPath body = st.createStroke(spine).simplified();
        draw::fill(p, body, green, 2.2);
        p.save();
        p.setClipPath(body);
        p.setPen(QPen(QColor(255, 255, 255, 90), 4, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(26, 55), QPointF(44, 79));
        p.drawLine(QPointF(66, 62), QPointF(100, 15));
        p.restore();

        const double dx = pose.turn * 4;
        draw::EyeStyle es;
        es.iris = QColor(120, 80, 50);
        es.lid = green;
        draw::eye(p, {64 + dx, 54}, 8.5, 10.5, pose, es, -1);
        draw::eye(p, {82 + dx, 49}, 8.5, 10.5, pose, es, 1);
        draw::brow(p, {63 + dx, 40}, 10, pose, -1, QColor(30, 100, 50), 2.8);
        draw::brow(p, {83 + dx, 35}, 10, pose, 1, QColor(30, 100, 50), 2.8);
        draw::blush(p, {61 + dx, 70}, 5);
        draw::blush(p, {88 + dx, 62}, 5);
        draw::mouth(p, mouthCentre() + QPointF(dx, 0), 14, pose.mouth);
    }
};

} // namespace

std::unique_ptr<Character> makeCheck() { return std::make_unique<Check>(); }

} // namespace chimewell::art
