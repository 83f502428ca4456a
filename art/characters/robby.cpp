// Robby: a round-shouldered robot with glowing eyes, an antenna and a light-up chest.
#include "character.h"
#include "draw.h"

#include <QPainter>
#include <QRadialGradient>

#include <cmath>

namespace chimewell::art {
namespace {

const QColor metal(170, 190, 215);
const QColor dark(90, 105, 130);
const QColor accent(255, 120, 60);
const QColor glow(80, 230, 255);

class Robby final : public Character
{
public:
    QString id() const override { return QStringLiteral("robby"); }
    QString name() const override { return QStringLiteral("Robby"); }
    QString description() const override
    {
        return QStringLiteral("A friendly robot who counts every second. His antenna blinks when the hour strikes.");
    }
    VoiceSpec voice() const override { return {QStringLiteral("en-us"), QStringLiteral("m4"), 35, 140}; }
    double figureScale() const override { return 0.87; }
    QRect mouthRect() const override { return draw::mouthBounds(mouthCentre(), 18); }
    double soundPitch() const override { return 0.84; }

    Anchors draw(QPainter &p, const Pose &pose) const override
    {
        Anchors a;
        draw::shadow(p, {64, 122}, 50);
        legs(p, pose);
        body(p, pose);
        const QTransform ht = draw::tiltedHead(p, {64, 66}, pose.headTilt, [&] { head(p, pose); });
        a.head = ht.map(QPointF(64, 40));
        a.headRadius = 28;
        draw::ArmStyle arms;
        arms.upper = 13;
        arms.lower = 12;
        arms.width = 5;
        arms.hand = 5.5;
        arms.sleeve = dark.lighter(130);
        arms.skin = metal;
        draw::armsWithProp(p, pose, {45, 76}, {83, 76}, arms, a);
        for (QPointF s : {QPointF(45, 76), QPointF(83, 76)})
            draw::ellipse(p, QRectF(s - QPointF(5.5, 5.5), QSizeF(11, 11)), accent, draw::line, 0.6);
        return a;
    }

private:
    static QPointF mouthCentre() { return {64, 52}; }

    void legs(QPainter &p, const Pose &pose) const
    {
        const double swing = pose.stride * std::sin(pose.walk * 6.2831853);
        for (int side : {-1, 1}) {
            const double lift = std::max(0.0, side * swing) * 4;
            const QPointF hip(64 + side * 10, 100);
            const QPointF foot(64 + side * 11 + side * swing * 3, 116 - lift);
            draw::limb(p, hip, (hip + foot) / 2, foot, 5, dark.lighter(130));
            QPainterPath f;
            f.addRoundedRect(QRectF(foot.x() - 9, foot.y() - 2, 18, 8), 4, 4);
            draw::fill(p, f, dark);
        }
    }

    void body(QPainter &p, const Pose &pose) const
    {
        QPainterPath b;
        b.addRoundedRect(QRectF(42, 66, 44, 40), 16, 16);
        draw::fill(p, b, metal);
        QPainterPath panel;
        panel.addRoundedRect(QRectF(52, 76, 24, 20), 6, 6);
        draw::fill(p, panel, dark, 1.6, 0.5);
        // Three lights that chase each other.
        const QColor lights[] = {QColor(255, 90, 90), QColor(255, 220, 70), QColor(90, 230, 120)};
        const int lit = int(pose.time / 160) % 3;
        for (int i = 0; i < 3; ++i) {
            const QColor c = i == lit ? lights[i].lighter(130) : lights[i].darker(140);
            draw::ellipse(p, QRectF(55 + i * 7, 80, 5, 5), c, 1.0, 0.4);
        }
        // A heart dial: he is a kind robot.
        QPainterPath h(QPointF(64, 93));
        h.cubicTo(58, 89, 59, 85, 64, 87);
        h.cubicTo(69, 85, 70, 89, 64, 93);
        draw::fill(p, h, QColor(255, 100, 130), 1.0, 0.4);
    }

    void head(QPainter &p, const Pose &pose) const
    {
        const double dx = pose.turn * 6;
        // Antenna with a glowing ball.
        p.setPen(QPen(draw::ink, 4, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(64, 16), QPointF(64 + dx * 0.3, 6));
        p.setPen(QPen(dark, 2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(64, 16), QPointF(64 + dx * 0.3, 6));
        const double pulse = 0.5 + 0.5 * std::sin(pose.time / 120.0);
        QRadialGradient halo(QPointF(64 + dx * 0.3, 5), 9);
        halo.setColorAt(0, QColor(255, 80, 80, int(120 + 100 * pulse)));
        halo.setColorAt(1, QColor(255, 80, 80, 0));
        p.setPen(Qt::NoPen);
        p.setBrush(halo);
        p.drawEllipse(QPointF(64 + dx * 0.3, 5), 9, 9);
        draw::ellipse(p, QRectF(60 + dx * 0.3, 1, 8, 8), QColor(255, 70, 70), 1.6, 0.5);
        // Ear bolts.
        draw::ellipse(p, QRectF(30, 32, 10, 16), accent, draw::line, 0.6);
        draw::ellipse(p, QRectF(88, 32, 10, 16), accent, draw::line, 0.6);
        QPainterPath h;
        h.addRoundedRect(QRectF(34, 15, 60, 50), 20, 20);
        draw::fill(p, h, metal);
        draw::gloss(p, QRectF(42, 18, 30, 10), 0.55);
        // A dark face screen the eyes glow on.
        QPainterPath screen;
        screen.addRoundedRect(QRectF(40 + dx * 0.5, 24, 48, 36), 14, 14);
        draw::fill(p, screen, QColor(40, 60, 90), 1.6, 0.5);
        draw::EyeStyle es;
        es.iris = glow;
        es.lid = QColor(40, 60, 90);
        es.irisSize = 0.66;
        es.line = glow;
        draw::eye(p, {53 + dx, 37}, 8, 8.5, pose, es, -1);
        draw::eye(p, {75 + dx, 37}, 8, 8.5, pose, es, 1);
        draw::brow(p, {53 + dx, 26.5}, 9, pose, -1, glow, 2.2);
        draw::brow(p, {75 + dx, 26.5}, 9, pose, 1, glow, 2.2);
        draw::MouthStyle ms;
        ms.lip = glow;
        ms.inside = QColor(20, 40, 60);
        ms.tongue = glow.darker(140);
        draw::mouth(p, mouthCentre() + QPointF(dx, 0), 18, pose.mouth, ms);
    }
};

} // namespace

std::unique_ptr<Character> makeRobby() { return std::make_unique<Robby>(); }

} // namespace chimewell::art
