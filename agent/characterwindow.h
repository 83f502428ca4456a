#pragma once

#include <QImage>
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
    // Shows `image` of the character: repaints what differs from the picture on
    // show and shapes the window to its alpha.
    void frameChanged(int image);
    // The mouth overlay changed: only its place is painted again.
    void mouthChanged();
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
    // The picture paintEvent draws now, at the screen's scale when the file has it.
    QImage picture() const;
    QRect mouthRect() const;

    CharacterPrivate *m_owner;
    QImage m_painted; // what frameChanged last asked to be shown
    bool m_mouthDrawn = false;
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
