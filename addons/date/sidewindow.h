#pragma once

#include "common/labelwindow.h"

#include <QHash>

class QAction;

namespace chimewell::addons {

// The window the date and the countdown share: a frameless label beside the
// clock, dragged to move it, with a right-click menu to close it, change its
// two colours and stop the clock starting it. Each window keeps its place,
// colours and start flag under its own keys in section Data.
class SideWindow : public LabelWindow
{
    Q_OBJECT
public:
    struct Keys
    {
        const char *left;
        const char *top;
        const char *fore;
        const char *back;
        const char *start;
    };

    SideWindow(const QString &formName, const QString &labelName, Keys keys, QWidget *parent = nullptr);
    ~SideWindow() override;

    // A menu entry by its object name (mnu_exit, mnu_colourfore, ...).
    QAction *menuEntry(const QString &name) const { return m_entries.value(name); }

    void mnu_exit_Click();
    void mnu_colourfore_Click();
    void mnu_colourback_Click();
    void mnu_noload_Click();

protected:
    // Puts the window at its stored place (top left when none) in its stored
    // colours (the desktop's window colours when none).
    void restorePlaceAndColours();
    // Sets the label's text, widening the window when the text needs more room
    // than the usual width; it never narrows, so a changing text does not jitter.
    void setText(const QString &text);
    void closeEvent(QCloseEvent *event) override;

private:
    void buildMenu();
    void chooseColour(QPalette::ColorRole role, const char *key);
    void layOut(int width);

    Keys m_keys;
    QHash<QString, QAction *> m_entries;
};

} // namespace chimewell::addons
