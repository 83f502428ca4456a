#include "tray/trayicon.h"

#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QRadialGradient>

#include <algorithm>
#include <cmath>

namespace chimewell::tray {

namespace {

// Max's colours, as the character is drawn.
const QColor kInk(48, 34, 52);
const QColor kSkin(255, 214, 172);
const QColor kHair(128, 74, 38);
const QColor kIris(80, 140, 220);

QBrush shaded(const QColor &base, const QRectF &r)
{
    QRadialGradient g(r.center() - QPointF(r.width() * 0.2, r.height() * 0.25), std::max(r.width(), r.height()));
    g.setColorAt(0, base.lighter(112));
    g.setColorAt(0.6, base);
    g.setColorAt(1, base.darker(125));
    return QBrush(g);
}

class FaceEngine final : public QIconEngine
{
public:
    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State) override
    {
        painter->save();
        if (mode == QIcon::Disabled)
            painter->setOpacity(0.5);
        paintTrayFace(*painter, rect);
        painter->restore();
    }
    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        return scaledPixmap(size, mode, state, 1.0);
    }
    QPixmap scaledPixmap(const QSize &size, QIcon::Mode mode, QIcon::State state, qreal scale) override
    {
        QPixmap pm(size * scale);
        pm.setDevicePixelRatio(scale);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        paint(&p, QRect(QPoint(0, 0), size), mode, state);
        return pm;
    }
    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override
    {
        // What a tray host that takes ready-made pictures gets.
        return {QSize(16, 16), QSize(22, 22), QSize(24, 24), QSize(32, 32), QSize(48, 48), QSize(64, 64)};
    }
    QIconEngine *clone() const override { return new FaceEngine; }
    QString key() const override { return QStringLiteral("chimewell-face"); }
};

} // namespace

void paintTrayFace(QPainter &p, const QRectF &r)
{
    const double side = std::min(r.width(), r.height());
    if (side <= 0)
        return;
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(r.center().x() - side / 2, r.center().y() - side / 2);
    // Drawn on a 64 unit square; the outline keeps at least a pixel.
    const double k = side / 64.0;
    p.scale(k, k);
    const bool small = side < 28;
    const double pen = std::max(small ? 1.4 : 2.0, 1.0 / k);
    p.setPen(QPen(kInk, pen, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));

    // Ears, then the head filling most of the square.
    const QRectF head(6, 10, 52, 50);
    if (!small) {
        for (double x : {1.5, 52.5}) {
            const QRectF ear(x, 32, 10, 13);
            p.setBrush(shaded(kSkin, ear));
            p.drawEllipse(ear);
        }
    }
    p.setBrush(shaded(kSkin, head));
    p.drawEllipse(head);

    // Hair: a rounded cap with a swept fringe, and the cowlick on top.
    QPainterPath hair;
    hair.moveTo(6.5, 36);
    hair.cubicTo(3, 6, 36, 0, 48, 6);
    hair.cubicTo(60, 11, 62, 26, 57.5, 36);
    hair.quadTo(54, 25, 48, 21);
    hair.quadTo(42, 28, 34, 24);
    hair.quadTo(24, 30, 18, 21);
    hair.quadTo(12, 28, 6.5, 36);
    hair.closeSubpath();
    p.setBrush(shaded(kHair, hair.boundingRect()));
    p.drawPath(hair);
    if (!small) {
        QPainterPath lick(QPointF(30, 6));
        lick.cubicTo(28, -2, 38, -3, 41, 2);
        lick.cubicTo(37, 1, 35, 4, 36, 6);
        p.drawPath(lick);
    }

    // Cheeks.
    p.save();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(240, 120, 120, 90));
    p.drawEllipse(QPointF(15, 46), 5.5, 4);
    p.drawEllipse(QPointF(49, 46), 5.5, 4);
    p.restore();

    // Big round eyes with blue irises and a highlight.
    for (double x : {23.0, 41.0}) {
        const QRectF eye(x - 7, 27, 14, 16);
        p.setBrush(Qt::white);
        p.drawEllipse(eye);
        p.save();
        p.setPen(Qt::NoPen);
        p.setBrush(kIris);
        p.drawEllipse(QPointF(x + 1, 36), 5, 5.5);
        p.setBrush(kInk);
        p.drawEllipse(QPointF(x + 1, 36.5), 2.6, 3);
        p.setBrush(Qt::white);
        p.drawEllipse(QPointF(x + 2.6, 33.6), 1.6, 1.6);
        p.restore();
    }

    // A wide smile.
    QPainterPath smile;
    smile.moveTo(22, 49);
    smile.quadTo(32, 59, 42, 49);
    smile.quadTo(32, 53, 22, 49);
    p.setBrush(QColor(130, 35, 50));
    p.drawPath(smile);
    p.restore();
}

QIcon trayIcon() { return QIcon(new FaceEngine); }

} // namespace chimewell::tray
