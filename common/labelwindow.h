#pragma once

#include <QPoint>
#include <QWidget>

#include <memory>

class QLabel;
class QMenu;

namespace chimewell {

// A small frameless window filled by one label, as the clock, the date and the
// countdown are: the label is dragged to move the window (the place is stored
// in twips under the window's own keys), a right click opens the window's
// pop-up menu centred on the pointer, and a double click is passed on.
class LabelWindow : public QWidget
{
    Q_OBJECT
public:
    // Section and keys of the stored place, in section Data.
    struct PlaceKeys
    {
        const char *left;
        const char *top;
    };

    LabelWindow(const QString &formName, const QString &labelName, PlaceKeys keys, QWidget *parent = nullptr);
    ~LabelWindow() override;

    QLabel *label() const { return m_label; }
    // The menu a right click opens (owned by the caller or by this window).
    void setPopupMenu(QMenu *menu) { m_popup = menu; }
    QMenu *popupMenu() const { return m_popup; }
    // The label's text and background colours.
    void setColours(const QColor &fore, const QColor &back);
    // Moves the window to a place given in twips (15 to a pixel).
    void moveToTwips(double left, double top);
    // A window wholly or mostly out of reach of every monitor comes back into
    // the available area of the nearest (as a window without a title bar
    // could never be dragged back); one mostly in view stays.
    void keepInView();
    bool isDragging() const { return m_dragging; }
    // Stores a place that a drag has not stored yet, and waits for the store.
    void flushPlace();

    static constexpr int kTwipsPerPixel = 15;
    static int toPixels(double twips);

Q_SIGNALS:
    void labelDoubleClicked();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

    void moveEvent(QMoveEvent *event) override;

private:
    void dragTo(const QPoint &globalPos);
    void endDrag();
    // The window manager ignores our moves: it moves the window itself.
    void handOverDrag();
    // A monitor went: a window left on it comes back onto one still there.
    void screenGone();

    QLabel *m_label;
    QMenu *m_popup = nullptr;
    PlaceKeys m_keys;
    bool m_dragging = false;
    QPoint m_grip; // the pointer's offset from the window's corner, in pixels
    bool m_managerMoves = false; // the window manager moves the window now

    class PlaceWriter;
    std::unique_ptr<PlaceWriter> m_writer;
};

} // namespace chimewell
