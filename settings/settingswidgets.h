#pragma once

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

// The title of the program's own message boxes.
QString programTitle();

// Section "Data" of the store.
QString readData(const char *key, const QString &defaultValue = QString());
void writeData(const char *key, const QString &value);

// The longest text a line box takes: no limit that a user could reach.
inline constexpr int kUnlimited = 0x7fffffff;

} // namespace chimewell::setup::detail
