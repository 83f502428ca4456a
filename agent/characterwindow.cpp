#include "agent/characterwindow.h"

#include "agent/agent_p.h"
#include "agent/desktopstacking.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>

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

void CharacterWindow::frameChanged(int image)
{
    // Without a compositor the alpha channel is not shown; the shape keeps the
    // rest of the window see-through there too. Either way the pointer goes
    // through what is see-through.
    if (image != m_maskImage && platformHasShapes()) {
        m_maskImage = image;
        desktopstacking::shape(this, m_owner->maskFor(image));
    }
    update();
}

void CharacterWindow::paintEvent(QPaintEvent *)
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
    if (const FrameImage *mouth = m_owner->currentMouth()) {
        const QImage hi = hiDpi ? mouth->image2x() : QImage();
        const QRect r(m_owner->mouthPos(), mouth->size());
        p.drawImage(r, hi.isNull() ? mouth->image() : hi);
    }
}

void CharacterWindow::mousePressEvent(QMouseEvent *event)
{
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
