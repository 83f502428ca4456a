#include "agent/balloon.h"

#include "agent/agent_p.h"
#include "agent/characterwindow.h"

#include <QBitmap>
#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QTextLayout>

namespace chimewell::agent {

namespace {
constexpr int kPadding = 8;
constexpr int kTail = 16;
constexpr int kRadius = 10;
constexpr int kMaxLines = 6;
constexpr int kEdge = 2; // room for the outline

QPainterPath balloonPath(const QRect &body, const QPoint &tip, bool tailDown)
{
    QPainterPath path;
    path.addRoundedRect(QRectF(body).adjusted(0.5, 0.5, -0.5, -0.5), kRadius, kRadius);
    const qreal baseY = tailDown ? body.bottom() - 1 : body.top() + 1;
    const qreal baseX = qBound<qreal>(body.left() + kRadius + 6, tip.x() + (tailDown ? -10 : 10),
                                      body.right() - kRadius - 16);
    QPainterPath tail;
    tail.moveTo(baseX, baseY);
    tail.lineTo(tip);
    tail.lineTo(baseX + 14, baseY);
    tail.closeSubpath();
    return path.united(tail).simplified();
}
} // namespace

Balloon::Balloon(const QString &characterId)
{
    prepareDesktopWindow(this);
    setWindowFlag(Qt::WindowTransparentForInput);
    setObjectName(QStringLiteral("agent_balloon_") + characterId);
    m_hideTimer.setSingleShot(true);
    connect(&m_hideTimer, &QTimer::timeout, this, &Balloon::hideNow);
}

QFont Balloon::balloonFont() const
{
    QFont f(QStringLiteral("Arial"));
    f.setPointSize(Options::instance().fontSize());
    return f;
}

void Balloon::begin(const QString &text, const QRect &character)
{
    m_hideTimer.stop();
    m_text = text;
    m_revealed = 0;
    if (text.trimmed().isEmpty()) {
        hideNow();
        return;
    }
    layout(character);
    show();
    if (platformHasShapes())
        raise();
    update();
}

void Balloon::reveal(int end)
{
    end = qBound(0, end, int(m_text.size()));
    if (end == m_revealed)
        return;
    m_revealed = end;
    update();
}

void Balloon::finishSoon(int ms)
{
    m_revealed = int(m_text.size());
    update();
    m_hideTimer.start(ms);
}

void Balloon::hideNow()
{
    m_hideTimer.stop();
    hide();
}

void Balloon::follow(const QRect &character)
{
    if (isVisible())
        layout(character);
}

void Balloon::setHost(QWidget *host)
{
    const bool shown = isVisible();
    if (host) {
        setParent(host, Qt::Widget);
        setAttribute(Qt::WA_TransparentForMouseEvents);
    } else {
        setParent(nullptr);
        prepareDesktopWindow(this);
        setWindowFlag(Qt::WindowTransparentForInput);
    }
    if (shown) {
        show();
        raise();
    }
}

void Balloon::layout(const QRect &character)
{
    const QFont font = balloonFont();
    const QFontMetrics fm(font);
    const int maxTextWidth = qMax(120, fm.averageCharWidth() * 28);
    QRect textBounds = fm.boundingRect(QRect(0, 0, maxTextWidth, 100000), Qt::TextWordWrap, m_text);
    textBounds.setWidth(qMax(textBounds.width(), fm.averageCharWidth() * 6));
    textBounds.setHeight(qMin(textBounds.height(), fm.lineSpacing() * kMaxLines));
    const QSize bodySize(textBounds.width() + 2 * kPadding, textBounds.height() + 2 * kPadding);
    const QSize total(bodySize.width() + 2 * kEdge, bodySize.height() + kTail + 2 * kEdge);

    // Inside a host the balloon keeps to the host, on the desktop to the screen.
    QRect avail;
    if (const QWidget *host = parentWidget()) {
        avail = host->rect();
    } else {
        QScreen *screen = QGuiApplication::screenAt(character.center());
        if (!screen)
            screen = QGuiApplication::primaryScreen();
        avail = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    }

    // Above the character's head when there is room, else below its feet.
    int y = character.top() - total.height() + 4;
    m_tailDown = y >= avail.top();
    if (!m_tailDown)
        y = character.bottom() - 4;
    int x = character.center().x() - total.width() / 2;
    x = qBound(avail.left(), x, qMax(avail.left(), avail.right() + 1 - total.width()));
    y = qBound(avail.top(), y, qMax(avail.top(), avail.bottom() + 1 - total.height()));

    const int bodyTop = m_tailDown ? kEdge : kEdge + kTail;
    m_body = QRect(QPoint(kEdge, bodyTop), bodySize);
    m_textRect = m_body.adjusted(kPadding, kPadding, -kPadding, -kPadding);
    const int tipX = qBound(m_body.left() + kRadius, character.center().x() - x, m_body.right() - kRadius);
    m_tailTip = QPoint(tipX, m_tailDown ? total.height() - kEdge : kEdge);

    const bool resized = size() != total;
    setFixedSize(total);
    move(x, y);
    if (resized && platformHasShapes()) {
        QBitmap shape(total);
        shape.fill(Qt::color0);
        QPainter p(&shape);
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setPen(QPen(Qt::color1, 3));
        p.setBrush(Qt::color1);
        p.drawPath(balloonPath(m_body, m_tailTip, m_tailDown));
        p.end();
        setMask(shape);
    }
}

void Balloon::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    if (isWindow()) {
        p.setCompositionMode(QPainter::CompositionMode_Source);
        p.fillRect(rect(), Qt::transparent);
        p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    }
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(40, 40, 40), 1.5));
    p.setBrush(Qt::white);
    p.drawPath(balloonPath(m_body, m_tailTip, m_tailDown));

    const QString shown = m_text.left(m_revealed);
    p.setFont(balloonFont());
    p.setPen(Qt::black);
    const QFontMetrics fm(p.font());
    QRect needed = fm.boundingRect(QRect(0, 0, m_textRect.width(), 100000), Qt::TextWordWrap, shown);
    p.setClipRect(m_textRect);
    // A long speech scrolls: the newest line stays in sight.
    const int overflow = qMax(0, needed.height() - m_textRect.height());
    p.drawText(m_textRect.adjusted(0, -overflow, 0, 0), Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop, shown);
}

} // namespace chimewell::agent
