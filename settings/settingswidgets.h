#pragma once

#include <QColor>
#include <QLabel>
#include <QString>

class QWidget;

// Small pieces the settings dialog's files share.
namespace chimewell::setup::detail {

// A label that acts on a click, and on Space or Enter once it has the
// keyboard focus, so it is not a mouse-only control.
class ClickableLabel final : public QLabel
{
    Q_OBJECT
public:
    using QLabel::QLabel;

Q_SIGNALS:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
};

// Selects the whole text of a line or text box whenever it gets the keyboard
// focus, so typing replaces it.
void selectAllOnFocus(QWidget *box);

// The mode label's caption in simple mode (also its design caption) and in advanced mode.
QString simpleModeCaption();
QString advancedModeCaption();
// The colour the mode label rests on between its red flashes: the desktop's
// menu-bar colour, unless that is too light for the label's white text (as on
// most Linux desktops); then the colour the desktop itself puts white text on.
QColor modeLabelRest(const QWidget *label);

// The title of the program's own message boxes.
QString programTitle();

// Section "Data" of the store.
QString readData(const char *key, const QString &defaultValue = QString());
void writeData(const char *key, const QString &value);

// The longest text a line box takes: no limit that a user could reach.
inline constexpr int kUnlimited = 0x7fffffff;

} // namespace chimewell::setup::detail
