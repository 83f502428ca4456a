#pragma once

#include <QPoint>
#include <QWidget>

namespace chimewell::agent {

class CharacterPrivate;

// The character on the desktop: a frameless, always-on-top window the size of one
// frame, see-through where the frame is, that the user drags and right-clicks.
// Inside a host widget it is a child of the same shape instead.
class CharacterWindow final : public QWidget
{
    Q_OBJECT
public:
    explicit CharacterWindow(CharacterPrivate *owner);
    // Shows `image` of the character: repaints and shapes the window to its alpha.
    void frameChanged(int image);
    bool isDragging() const { return m_dragging; }
    // Makes this a child of `host`, or a desktop window again (nullptr). Hidden
    // afterwards, as any widget that changes parent.
    void setHost(QWidget *host);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    CharacterPrivate *m_owner;
    QPoint m_pressGlobal;
    QPoint m_pressPos;
    bool m_pressed = false;
    bool m_dragging = false;
    int m_maskImage = -2;
};

// Window flags both of our desktop windows use: no frame, above others, not in the
// task bar, never taking the focus.
void prepareDesktopWindow(QWidget *w);
// Whether windows can be shaped here (not on the tests' offscreen platform).
bool platformHasShapes();

} // namespace chimewell::agent
