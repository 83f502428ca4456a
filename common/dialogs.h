#pragma once

#include <QColor>
#include <QMessageBox>
#include <QString>

class QWidget;

// Message boxes and common dialogs, logged on chimewell.ui, with "next answer"
// hooks so tests drive handlers that ask the user without a real modal.
namespace chimewell::dialogs {

// Shows a message box (OK, or Yes and No) and returns the button pressed.
QMessageBox::StandardButton message(QWidget *parent, const QString &title, const QString &text,
                                    QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                                    QMessageBox::Icon icon = QMessageBox::NoIcon);
// A message box with an OK button that does not wait for it: the program
// goes on while it is open (an answer set for the tests closes it at once).
void inform(QWidget *parent, const QString &title, const QString &text);
// Yes/No question; true on Yes.
bool ask(QWidget *parent, const QString &title, const QString &text);
// Open-file dialog; the chosen path or empty when cancelled. `filter` in Qt form.
QString openFile(QWidget *parent, const QString &caption, const QString &folder, const QString &filter);
// Colour dialog; an invalid colour when cancelled.
QColor chooseColour(QWidget *parent, const QColor &initial);

// Test hooks: the next call answers this instead of opening a dialog.
void setNextAnswer(QMessageBox::StandardButton answer);
void setNextFile(const QString &path);
void setNextColour(const QColor &colour);
// Every message box title and text shown since the last call (for tests).
QStringList takeShownMessages();

// Logs "show <object name>" on chimewell.ui whenever a top-level window
// appears, and keeps the program's boxes in full view: each opens on the
// monitor of its opener, inside its available area, clear of the characters
// and their balloons, or stacked above them where there is no room (and above
// any that comes over it later); a question box takes the keyboard focus,
// Enter presses a focused button, and the parts of a combo box carry its
// name for screen readers.
void installShowLog();

} // namespace chimewell::dialogs
