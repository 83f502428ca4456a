#include "draw.h"

#include <QFont>
#include <QLineF>
#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>

#include <algorithm>
#include <cmath>

namespace chimewell::art::draw {

namespace {
constexpr double pi = 3.14159265358979323846;
double rad(double deg) { return deg * pi / 180.0; }
QPointF dir(int side, double deg) { return {side * std::sin(rad(deg)), std::cos(rad(deg))}; }

// A small deterministic noise, so confetti falls the same way on every build.
double hash01(int i, int salt)
{
    unsigned h = unsigned(i) * 2654435761u ^ unsigned(salt) * 40503u;
    h ^= h >> 13;
    h *= 0x5bd1e995u;
    h ^= h >> 15;
    return (h % 10000) / 10000.0;
}
} // namespace

QBrush shade(const QColor &base, const QRectF &r, double depth)
{
    QRadialGradient g(r.left() + r.width() * 0.35, r.top() + r.height() * 0.3, std::max(r.width(), r.height()) * 0.85);
    g.setColorAt(0, base.lighter(100 + int(35 * depth)));
    g.setColorAt(0.55, base);
    g.setColorAt(1, base.darker(100 + int(40 * depth)));
    return QBrush(g);
}

void fill(QPainter &p, const QPainterPath &path, const QColor &base, double pen, double depth)
{
    p.setBrush(shade(base, path.boundingRect(), depth));
    if (pen > 0)
        p.setPen(QPen(ink, pen, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    else
        p.setPen(Qt::NoPen);
    p.drawPath(path);
}

void ellipse(QPainter &p, const QRectF &r, const QColor &base, double pen, double depth)
{
    QPainterPath path;
    path.addEllipse(r);
    fill(p, path, base, pen, depth);
}

void gloss(QPainter &p, const QRectF &r, double alpha)
{
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, QColor(255, 255, 255, int(255 * alpha)));
    g.setColorAt(1, QColor(255, 255, 255, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawEllipse(r);
}

void shadow(QPainter &p, QPointF c, double width, double alpha)
{
    QRadialGradient g(c, width / 2);
    g.setColorAt(0, QColor(0, 0, 0, int(255 * alpha)));
    g.setColorAt(1, QColor(0, 0, 0, 0));
    p.save();
    p.translate(c);
    p.scale(1, 0.25);
    p.translate(-c);
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawEllipse(c, width / 2, width / 2);
    p.restore();
}

void blush(QPainter &p, QPointF c, double r, double alpha)
{
    QRadialGradient g(c, r);
    g.setColorAt(0, QColor(255, 110, 120, int(255 * alpha)));
    g.setColorAt(1, QColor(255, 110, 120, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawEllipse(c, r, r * 0.7);
}

QPainterPath circle(QPointF c, double r) { return oval(c, r, r); }

QPainterPath oval(QPointF c, double rx, double ry)
{
    QPainterPath path;
    path.addEllipse(c, rx, ry);
    return path;
}

void limb(QPainter &p, QPointF a, QPointF bend, QPointF b, double width, const QColor &colour)
{
    QPainterPath path(a);
    // Through the bend point: the control point sits beyond it.
    path.quadTo(2 * bend - (a + b) / 2, b);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(ink, width + 2 * line, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(path);
    p.setPen(QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(path);
    // A lighter streak gives the hose some roundness.
    p.setPen(QPen(colour.lighter(130), width * 0.3, Qt::SolidLine, Qt::RoundCap));
    p.drawPath(path.translated(-width * 0.18, -width * 0.12));
}

Arm arm(QPointF shoulder, int side, double angle, double elbow, double upper, double lower)
{
    Arm a;
    a.shoulder = shoulder;
    a.elbow = shoulder + dir(side, angle) * upper;
    a.hand = a.elbow + dir(side, angle + elbow) * lower;
    a.handAngle = angle + elbow;
    return a;
}

void hand(QPainter &p, const Arm &a, int side, double r, const QColor &colour)
{
    const QPointF d = dir(side, a.handAngle);
    const QPointF c = a.hand + d * (r * 0.4);
    const QPointF across(-d.y() * side, d.x() * side);
    // The thumb sticks out towards the front of the figure.
    ellipse(p, QRectF(c + across * (r * 0.75) - QPointF(r * 0.42, r * 0.42), QSizeF(r * 0.84, r * 0.84)), colour, 1.6);
    ellipse(p, QRectF(c.x() - r, c.y() - r, 2 * r, 2 * r), colour, 1.8, 0.6);
}

void armsWithProp(QPainter &p, const Pose &pose, QPointF shoulderL, QPointF shoulderR, const ArmStyle &s,
                  Anchors &anchors)
{
    // Only the right arm stretches: it is the one that waves, points and scratches.
    const double k = 1 + std::clamp(pose.reach, 0.0, 1.0);
    const Arm l = arm(shoulderL, -1, pose.armL, pose.elbowL, s.upper, s.lower);
    const Arm r = arm(shoulderR, +1, pose.armR, pose.elbowR, s.upper * k, s.lower * k);
    limb(p, l.shoulder, l.elbow, l.hand, s.width, s.sleeve);
    limb(p, r.shoulder, r.elbow, r.hand, s.width, s.sleeve);
    if (s.cuff.isValid()) {
        for (const Arm *a : {&l, &r}) {
            const QPointF d = (a->elbow - a->shoulder) / std::max(1.0, QLineF(a->shoulder, a->elbow).length());
            const QPointF c = a->shoulder + d * s.cuffSize * 0.45;
            p.save();
            p.translate(c);
            p.rotate(std::atan2(d.y(), d.x()) * 180 / pi - 90);
            QPainterPath cuff;
            cuff.addRoundedRect(QRectF(-s.cuffSize * 0.6, -s.cuffSize * 0.55, s.cuffSize * 1.2, s.cuffSize * 1.1),
                                s.cuffSize * 0.45, s.cuffSize * 0.45);
            fill(p, cuff, s.cuff, line, 0.6);
            p.restore();
        }
    }
    anchors.handL = l.hand;
    anchors.handR = r.hand;
    if (pose.prop == Prop::Book)
        book(p, (l.hand + r.hand) / 2 + QPointF(0, -s.hand * 1.6), 40, pose.propOpen);
    if (pose.prop == Prop::Wand)
        wand(p, r.hand, 180 - r.handAngle + 20, 22, &anchors.tip);
    if (s.hands) {
        hand(p, l, -1, s.hand, s.skin);
        hand(p, r, +1, s.hand, s.skin);
    }
}

void eye(QPainter &p, QPointF c, double rx, double ry, const Pose &pose, const EyeStyle &s, int side)
{
    p.save();
    if (pose.happy > 0.5) {
        // Happy eyes: closed upward arcs.
        QPainterPath arc(c + QPointF(-rx * 0.85, ry * 0.25));
        arc.quadTo(c + QPointF(0, -ry * 0.95), c + QPointF(rx * 0.85, ry * 0.25));
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(s.line, 2.8, Qt::SolidLine, Qt::RoundCap));
        p.drawPath(arc);
        p.restore();
        return;
    }
    const double open = std::clamp(pose.eyeOpen, 0.0, 1.0);
    if (open < 0.15) {
        QPainterPath arc(c + QPointF(-rx * 0.9, 0));
        arc.quadTo(c + QPointF(0, ry * 0.55), c + QPointF(rx * 0.9, 0));
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(s.line, 2.4, Qt::SolidLine, Qt::RoundCap));
        p.drawPath(arc);
        // Lashes at the outer corner.
        p.drawLine(c + QPointF(side * rx * 0.9, 0), c + QPointF(side * rx * 1.15, -ry * 0.25));
        p.restore();
        return;
    }
    const QPainterPath white = oval(c, rx, ry);
    QLinearGradient wg(c.x(), c.y() - ry, c.x(), c.y() + ry);
    wg.setColorAt(0, QColor(255, 255, 255));
    wg.setColorAt(1, QColor(218, 226, 240));
    p.setPen(Qt::NoPen);
    p.setBrush(wg);
    p.drawPath(white);

    p.setClipPath(white, Qt::IntersectClip);
    const double ir = rx * s.irisSize;
    const QPointF ic = c + QPointF((std::clamp(pose.lookX, -1.0, 1.0) * 0.75 + pose.turn * 0.3) * (rx - ir * 0.8),
                                   std::clamp(pose.lookY, -1.0, 1.0) * 0.7 * (ry - ir * 0.8) + ry * 0.08);
    QRadialGradient ig(ic + QPointF(0, ir * 0.3), ir);
    ig.setColorAt(0, s.iris.lighter(150));
    ig.setColorAt(0.7, s.iris);
    ig.setColorAt(1, s.iris.darker(160));
    p.setBrush(ig);
    p.drawEllipse(ic, ir, ir * 1.08);
    p.setBrush(QColor(25, 20, 35));
    p.drawEllipse(ic, ir * 0.55, ir * 0.6);
    p.setBrush(Qt::white);
    p.drawEllipse(ic + QPointF(-ir * 0.35, -ir * 0.4), ir * 0.3, ir * 0.3);
    p.drawEllipse(ic + QPointF(ir * 0.35, ir * 0.35), ir * 0.13, ir * 0.13);

    if (open < 0.97) {
        // The upper lid comes down; its edge sags a little.
        const double edge = c.y() - ry + 2 * ry * (1 - open);
        QPainterPath lid;
        lid.moveTo(c.x() - rx - 2, c.y() - ry - 2);
        lid.lineTo(c.x() + rx + 2, c.y() - ry - 2);
        lid.lineTo(c.x() + rx + 2, edge - ry * 0.2);
        lid.quadTo(c.x(), edge + ry * 0.25, c.x() - rx - 2, edge - ry * 0.2);
        lid.closeSubpath();
        p.setBrush(shade(s.lid, QRectF(c.x() - rx, c.y() - ry, 2 * rx, 2 * ry * (1 - open) + 1), 0.6));
        p.drawPath(lid);
        p.setPen(QPen(ink, 1.8, Qt::SolidLine, Qt::RoundCap));
        p.setBrush(Qt::NoBrush);
        QPainterPath lash(QPointF(c.x() - rx - 2, edge - ry * 0.2));
        lash.quadTo(c.x(), edge + ry * 0.25, c.x() + rx + 2, edge - ry * 0.2);
        p.drawPath(lash);
    }
    p.setClipping(false);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(ink, 1.9));
    p.drawPath(white);
    p.restore();
}

void brow(QPainter &p, QPointF c, double w, const Pose &pose, int side, const QColor &colour, double thick)
{
    const double lift = pose.brow * 3.0 + side * pose.browTilt * 3.0;
    // Frowning tips the inner ends down; raising arches them.
    const double inner = -pose.brow * 2.0 - side * pose.browTilt * 1.5;
    const QPointF a = c + QPointF(-side * w / 2, -lift + inner);
    const QPointF b = c + QPointF(side * w / 2, -lift);
    QPainterPath path(a);
    path.quadTo((a + b) / 2 + QPointF(0, -w * 0.22), b);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(colour, thick, Qt::SolidLine, Qt::RoundCap));
    p.drawPath(path);
}

void mouth(QPainter &p, QPointF c, double w, Mouth m, const MouthStyle &s)
{
    p.save();
    const QPen lipPen(s.lip, 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    auto curve = [&](double width, double sag) {
        QPainterPath path(c + QPointF(-width / 2, 0));
        path.quadTo(c + QPointF(0, sag), c + QPointF(width / 2, 0));
        p.setBrush(Qt::NoBrush);
        p.setPen(lipPen);
        p.drawPath(path);
    };
    // An open mouth: a top edge and a deeper bottom edge, tongue and teeth inside.
    auto open = [&](double width, double top, double depth, bool teeth) {
        QPainterPath path(c + QPointF(-width / 2, 0));
        path.quadTo(c + QPointF(0, top), c + QPointF(width / 2, 0));
        path.cubicTo(c + QPointF(width * 0.45, depth * 1.1), c + QPointF(-width * 0.45, depth * 1.1),
                     c + QPointF(-width / 2, 0));
        path.closeSubpath();
        p.setPen(Qt::NoPen);
        p.setBrush(s.inside);
        p.drawPath(path);
        p.setClipPath(path);
        p.setBrush(s.tongue);
        p.drawEllipse(c + QPointF(0, depth * 0.95), width * 0.3, depth * 0.45);
        if (teeth && s.teeth) {
            p.setBrush(Qt::white);
            p.drawRect(QRectF(c.x() - width / 2, c.y() + top / 2 - 3, width, 2.6 + std::abs(top) * 0.3));
        }
        p.setClipping(false);
        p.setBrush(Qt::NoBrush);
        p.setPen(lipPen);
        p.drawPath(path);
    };
    auto ring = [&](double rx, double ry) {
        p.setPen(lipPen);
        p.setBrush(s.inside);
        p.drawEllipse(c + QPointF(0, ry * 0.6), rx, ry);
        p.setPen(Qt::NoPen);
        p.setBrush(s.tongue);
        p.drawEllipse(c + QPointF(0, ry * 1.2), rx * 0.6, ry * 0.35);
        p.setBrush(Qt::NoBrush);
        p.setPen(lipPen);
        p.drawEllipse(c + QPointF(0, ry * 0.6), rx, ry);
    };
    switch (m) {
    case Mouth::Smile: curve(w, w * 0.38); break;
    case Mouth::Closed: curve(w * 0.75, w * 0.2); break;
    case Mouth::Small: open(w * 0.5, w * 0.02, w * 0.22, false); break;
    case Mouth::Open: open(w * 0.75, w * 0.05, w * 0.38, true); break;
    case Mouth::Wide: open(w, 0, w * 0.42, true); break;
    case Mouth::Round: ring(w * 0.2, w * 0.24); break;
    case Mouth::Grin: open(w * 1.05, w * 0.1, w * 0.5, true); break;
    case Mouth::Frown: curve(w * 0.65, -w * 0.22); break;
    case Mouth::Flat: {
        QPainterPath path(c + QPointF(-w * 0.35, w * 0.05));
        path.cubicTo(c + QPointF(-w * 0.1, -w * 0.05), c + QPointF(w * 0.1, w * 0.12), c + QPointF(w * 0.35, 0));
        p.setPen(lipPen);
        p.setBrush(Qt::NoBrush);
        p.drawPath(path);
        break;
    }
    }
    p.restore();
}

QRect mouthBounds(QPointF c, double w)
{
    // Tight: the speech shapes reach a little above the centre and about half the
    // width below it. Anything else that moves must stay out of this patch.
    return QRectF(c.x() - w * 0.55 - 2, c.y() - w * 0.1 - 2, w * 1.1 + 4, w * 0.55 + 4).toAlignedRect();
}

void star(QPainter &p, QPointF c, double r, const QColor &colour, double rotation, double pen)
{
    QPainterPath path;
    for (int i = 0; i < 10; ++i) {
        const double a = rad(rotation + i * 36.0);
        const double rr = i % 2 ? r * 0.45 : r;
        const QPointF pt = c + QPointF(std::sin(a) * rr, -std::cos(a) * rr);
        if (i == 0)
            path.moveTo(pt);
        else
            path.lineTo(pt);
    }
    path.closeSubpath();
    fill(p, path, colour, pen, 0.5);
}

void sparkle(QPainter &p, QPointF c, double r, const QColor &colour)
{
    QPainterPath path(c + QPointF(0, -r));
    path.quadTo(c, c + QPointF(r, 0));
    path.quadTo(c, c + QPointF(0, r));
    path.quadTo(c, c + QPointF(-r, 0));
    path.quadTo(c, c + QPointF(0, -r));
    QRadialGradient g(c, r);
    g.setColorAt(0, Qt::white);
    g.setColorAt(0.5, colour);
    g.setColorAt(1, colour.darker(120));
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawPath(path);
}

void book(QPainter &p, QPointF c, double width, double open)
{
    // Seen from the reader's front: the red cover, pages peeking over the top.
    p.save();
    const double h = width * 0.62;
    const double spread = 0.55 + 0.45 * std::clamp(open, 0.0, 1.0);
    const double half = width / 2 * spread;
    QPainterPath cover;
    cover.moveTo(c.x() - half, c.y() - h / 2 + 3);
    cover.quadTo(c.x() - half / 2, c.y() - h / 2 - 2, c.x(), c.y() - h / 2 + 2);
    cover.quadTo(c.x() + half / 2, c.y() - h / 2 - 2, c.x() + half, c.y() - h / 2 + 3);
    cover.lineTo(c.x() + half, c.y() + h / 2);
    cover.quadTo(c.x() + half / 2, c.y() + h / 2 - 3, c.x(), c.y() + h / 2 + 1);
    cover.quadTo(c.x() - half / 2, c.y() + h / 2 - 3, c.x() - half, c.y() + h / 2);
    cover.closeSubpath();
    QPainterPath pages;
    pages.moveTo(c.x() - half + 2, c.y() - h / 2 + 1);
    pages.quadTo(c.x() - half / 2, c.y() - h / 2 - 5, c.x(), c.y() - h / 2);
    pages.quadTo(c.x() + half / 2, c.y() - h / 2 - 5, c.x() + half - 2, c.y() - h / 2 + 1);
    pages.lineTo(c.x() + half - 2, c.y() - h / 2 + 6);
    pages.lineTo(c.x() - half + 2, c.y() - h / 2 + 6);
    pages.closeSubpath();
    fill(p, pages, QColor(255, 250, 232), 1.4, 0.3);
    fill(p, cover, QColor(214, 60, 60), 1.8);
    p.setPen(QPen(QColor(255, 210, 90), 1.6));
    p.drawLine(QPointF(c.x(), c.y() - h / 2 + 3), QPointF(c.x(), c.y() + h / 2 - 1));
    star(p, c + QPointF(-half / 2, 1), 3.5, QColor(255, 215, 80), 0, 0.8);
    star(p, c + QPointF(half / 2, 1), 3.5, QColor(255, 215, 80), 0, 0.8);
    p.restore();
}

void wand(QPainter &p, QPointF hand, double angle, double length, QPointF *tip)
{
    const QPointF d(std::sin(rad(angle)), -std::cos(rad(angle)));
    const QPointF a = hand - d * 4;
    const QPointF b = hand + d * length;
    p.setPen(QPen(ink, 5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(a, b);
    p.setPen(QPen(QColor(70, 50, 90), 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(a, b);
    p.setPen(QPen(Qt::white, 3, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(b - d * 4, b);
    star(p, b, 5, QColor(255, 220, 70), angle);
    if (tip)
        *tip = b;
}

void effects(QPainter &p, const Pose &pose, const Anchors &a, QSizeF frame)
{
    const double t = std::clamp(pose.fx, 0.0, 1.0);
    p.save();
    switch (pose.effect) {
    case Effect::None: break;
    case Effect::Sparkles: {
        const QPointF c = a.tip.isNull() ? a.head + QPointF(0, -a.headRadius) : a.tip;
        const QColor colours[] = {QColor(255, 230, 90), QColor(140, 230, 255), QColor(255, 150, 230),
                                  QColor(255, 255, 255)};
        for (int i = 0; i < 9; ++i) {
            const double life = std::fmod(t * 2.2 + i / 9.0, 1.0);
            const double ang = rad(i * 40.0 + t * 260);
            const double dist = 4 + life * 30;
            const QPointF pt = c + QPointF(std::cos(ang) * dist, std::sin(ang) * dist * 0.8 - life * 8);
            const double size = (1 - life) * (i % 3 == 0 ? 7 : 5) * std::min(1.0, t * 6) + 0.5;
            if (i % 2)
                sparkle(p, pt, size, colours[i % 4]);
            else
                star(p, pt, size, colours[i % 4], t * 400 + i * 20, 1.0);
        }
        break;
    }
    case Effect::Confetti: {
        const QColor colours[] = {QColor(255, 90, 90), QColor(255, 210, 60), QColor(80, 200, 120),
                                  QColor(80, 160, 255), QColor(220, 110, 255)};
        for (int i = 0; i < 26; ++i) {
            const double x0 = 8 + hash01(i, 1) * (frame.width() - 16);
            const double start = hash01(i, 2) * 0.35;
            const double u = std::clamp((t - start) / (1 - start), 0.0, 1.0);
            if (u <= 0)
                continue;
            const double y = -6 + u * (frame.height() * 0.85) + hash01(i, 3) * 20;
            const double x = x0 + std::sin(u * 9 + i) * 6;
            p.save();
            p.translate(x, y);
            p.rotate(u * 720 * (hash01(i, 4) - 0.5));
            p.setOpacity(u > 0.85 ? (1 - u) / 0.15 : 1.0);
            p.setPen(Qt::NoPen);
            p.setBrush(colours[i % 5]);
            if (i % 3 == 0)
                p.drawEllipse(QPointF(0, 0), 2.2, 2.2);
            else
                p.drawRect(QRectF(-2.8, -1.4, 5.6, 2.8 * std::abs(std::cos(u * 12 + i)) + 0.6));
            p.restore();
        }
        break;
    }
    case Effect::Question: {
        const double pop = t < 0.15 ? t / 0.15 * 1.2 : (t < 0.25 ? 1.2 - (t - 0.15) * 2 : 1.0);
        const QPointF c = a.head + QPointF(a.headRadius * 1.05, -a.headRadius * 1.05 + std::sin(t * 12) * 1.5);
        p.translate(c);
        p.scale(pop, pop);
        p.rotate(12);
        QFont f(QStringLiteral("DejaVu Sans"));
        f.setBold(true);
        f.setPixelSize(22);
        QPainterPath q;
        q.addText(0, 0, f, QStringLiteral("?"));
        q.translate(-q.boundingRect().center());
        p.setPen(QPen(ink, 4.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(Qt::NoBrush);
        p.drawPath(q);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 200, 40));
        p.drawPath(q);
        break;
    }
    case Effect::Hearts: {
        for (int i = 0; i < 3; ++i) {
            const double u = std::clamp(t * 1.4 - i * 0.2, 0.0, 1.0);
            if (u <= 0 || u >= 1)
                continue;
            const QPointF c = a.head + QPointF((i - 1) * a.headRadius * 0.9 + std::sin(u * 8 + i) * 3,
                                               -a.headRadius * 0.8 - u * 26);
            const double r = 4.5 * std::sin(u * 3.14159) + 1;
            if (r < 2)
                continue;
            QPainterPath h(c + QPointF(0, r * 0.9));
            h.cubicTo(c + QPointF(-r * 1.6, -r * 0.3), c + QPointF(-r * 0.6, -r * 1.5), c + QPointF(0, -r * 0.4));
            h.cubicTo(c + QPointF(r * 0.6, -r * 1.5), c + QPointF(r * 1.6, -r * 0.3), c + QPointF(0, r * 0.9));
            fill(p, h, QColor(255, 90, 130), 1.2, 0.5);
        }
        break;
    }
    case Effect::Speed: {
        // Wind lines trailing behind whatever way the figure faces.
        const double side = pose.turn < 0 ? 1 : -1;
        p.setPen(QPen(QColor(255, 255, 255, 220), 2.2, Qt::SolidLine, Qt::RoundCap));
        for (int i = 0; i < 3; ++i) {
            const double y = frame.height() * (0.35 + 0.18 * i) + std::sin(pose.time / 90.0 + i) * 2;
            const double x = frame.width() / 2 + side * (frame.width() * 0.3 + std::fmod(pose.time / 4.0 + i * 13, 14));
            p.setPen(QPen(QColor(120, 160, 210, 200), 2.2, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(x, y), QPointF(x + side * (10 + 4 * i), y));
        }
        break;
    }
    }
    p.restore();
}

QTransform tiltedHead(QPainter &p, QPointF neck, double degrees, const std::function<void()> &head)
{
    QTransform t;
    t.translate(neck.x(), neck.y());
    t.rotate(degrees);
    t.translate(-neck.x(), -neck.y());
    p.save();
    p.setTransform(t, true);
    head();
    p.restore();
    return t;
}

} // namespace chimewell::art::draw
