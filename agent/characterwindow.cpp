#include "agent/characterwindow.h"

#include "agent/agent_p.h"
#include "agent/desktopstacking.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

#include <cstring>

namespace chimewell::agent {

void prepareDesktopWindow(QWidget *w)
{
    w->setWindowFlags(Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::Tool
                      | Qt::WindowDoesNotAcceptFocus | Qt::NoDropShadowWindowHint);
    w->setAttribute(Qt::WA_TranslucentBackground);
    w->setAttribute(Qt::WA_ShowWithoutActivating);
    desktopstacking::adopt(w);
}

bool platformHasShapes()
{
    // The offscreen and minimal platforms of the tests draw no desktop to shape.
    static const bool shapes = QGuiApplication::platformName() != QLatin1String("offscreen")
        && QGuiApplication::platformName() != QLatin1String("minimal");
    return shapes;
}

CharacterWindow::CharacterWindow(CharacterPrivate *owner) : m_owner(owner)
{
    prepareDesktopWindow(this);
    setObjectName(QStringLiteral("agent_character_") + owner->m_id);
    setWindowTitle(owner->m_data.name.isEmpty() ? owner->m_id : owner->m_data.name);
    setFixedSize(owner->m_data.width, owner->m_data.height);
}

void CharacterWindow::setHost(QWidget *host)
{
    if (host) {
        setParent(host, Qt::Widget);
    } else {
        setParent(nullptr);
        prepareDesktopWindow(this);
    }
}

namespace {
// The smallest rectangle holding every pixel where two pictures of one size and
// format differ; empty when they are the same.
QRect differingRect(const QImage &a, const QImage &b)
{
    const int rowBytes = a.width() * 4;
    int top = 0, bottom = a.height() - 1;
    while (top <= bottom && memcmp(a.constScanLine(top), b.constScanLine(top), size_t(rowBytes)) == 0)
        ++top;
    if (top > bottom)
        return {};
    while (memcmp(a.constScanLine(bottom), b.constScanLine(bottom), size_t(rowBytes)) == 0)
        --bottom;
    int left = a.width(), right = -1;
    for (int y = top; y <= bottom; ++y) {
        const auto *pa = reinterpret_cast<const quint32 *>(a.constScanLine(y));
        const auto *pb = reinterpret_cast<const quint32 *>(b.constScanLine(y));
        int x = 0;
        while (x < left && pa[x] == pb[x])
            ++x;
        left = std::min(left, x);
        x = a.width() - 1;
        while (x > right && pa[x] == pb[x])
            --x;
        right = std::max(right, x);
    }
    return QRect(QPoint(left, top), QPoint(right, bottom));
}
} // namespace

QImage CharacterWindow::picture() const
{
    const FrameImage *img = m_owner->currentImage();
    if (!img)
        return {};
    const QImage hi = devicePixelRatioF() > 1.0 ? img->image2x() : QImage();
    return hi.isNull() ? img->image() : hi;
}

QRect CharacterWindow::mouthRect() const
{
    QRect r;
    if (m_owner->m_data.hasMouth) {
        for (const FrameImage &shape : m_owner->m_data.mouth)
            r |= QRect(m_owner->mouthPos(), shape.size());
    }
    return r;
}

void CharacterWindow::frameChanged(int image)
{
    // Without a compositor the alpha channel is not shown; the shape keeps the
    // rest of the window see-through there too. Either way the pointer goes
    // through what is see-through.
    if (image != m_maskImage && platformHasShapes()) {
        m_maskImage = image;
        desktopstacking::shape(this, m_owner->maskFor(image));
    }
    // Most frames change a part of the picture only (eyes that blink, an arm):
    // that part alone is painted and sent to the screen.
    const QImage next = picture();
    QRect dirty = rect();
    if (!m_painted.isNull() && !next.isNull() && next.size() == m_painted.size()
        && next.format() == m_painted.format() && next.devicePixelRatio() == m_painted.devicePixelRatio()) {
        const QRect d = differingRect(m_painted, next);
        const qreal scale = qreal(next.width()) / std::max(1, width());
        dirty = QRectF(d.x() / scale, d.y() / scale, d.width() / scale, d.height() / scale).toAlignedRect();
    }
    m_painted = next;
    if (m_mouthDrawn || m_owner->currentMouth())
        dirty |= mouthRect();
    if (!dirty.isEmpty())
        update(dirty);
}

void CharacterWindow::mouthChanged() { update(mouthRect()); }

void CharacterWindow::paintEvent(QPaintEvent *event)
{
    QPainter p(this);
    // A window starts from nothing; a child draws over its host's picture.
    if (isWindow()) {
        p.setCompositionMode(QPainter::CompositionMode_Source);
        p.fillRect(rect(), Qt::transparent);
        p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    }
    const bool hiDpi = devicePixelRatioF() > 1.0;
    const QRect target(0, 0, width(), height());
    if (const FrameImage *img = m_owner->currentImage()) {
        const QImage hi = hiDpi ? img->image2x() : QImage();
        p.drawImage(target, hi.isNull() ? img->image() : hi);
    }
    const FrameImage *mouth = m_owner->currentMouth();
    if (mouth) {
        const QImage hi = hiDpi ? mouth->image2x() : QImage();
        const QRect r(m_owner->mouthPos(), mouth->size());
        p.drawImage(r, hi.isNull() ? mouth->image() : hi);
    }
    if (event->region().intersects(mouthRect()))
        m_mouthDrawn = mouth != nullptr;
}

void CharacterWindow::mousePressEvent(QMouseEvent *event)
{
    m_owner->userTouched();
    if (event->button() == Qt::LeftButton) {
        m_pressed = true;
        m_dragging = false;
        m_pressGlobal = event->globalPosition().toPoint();
        m_pressPos = pos();
    } else if (event->button() == Qt::RightButton) {
        m_owner->showMenu(event->globalPosition().toPoint());
    }
    event->accept();
}

void CharacterWindow::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_pressed || !(event->buttons() & Qt::LeftButton))
        return;
    const QPoint delta = event->globalPosition().toPoint() - m_pressGlobal;
    if (!m_dragging && delta.manhattanLength() < QApplication::startDragDistance())
        return;
    m_dragging = true;
    m_owner->moveWindow(m_pressPos + delta);
}

void CharacterWindow::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !m_pressed)
        return;
    m_pressed = false;
    if (!m_dragging)
        return;
    m_dragging = false;
    const Qt::KeyboardModifiers mods = event->modifiers();
    const int shift = (mods & Qt::ShiftModifier ? 1 : 0) | (mods & Qt::ControlModifier ? 2 : 0)
        | (mods & Qt::AltModifier ? 4 : 0);
    m_owner->dragFinished(1, shift, event->globalPosition().toPoint());
}

} // namespace chimewell::agent
