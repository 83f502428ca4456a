#pragma once

#include <QString>

namespace chimewell::tray {

class frmSysTray;
class TrayHost;

// The tray's tool tip: "Click me for options. Chimewell " and the version as
// major.minor.revision.
QString toolTipText();

// What the clock window does with its tray form at start-up: fills the menu
// (hide, show, main options, about, exit; exit in bold), sets the tool tip
// and the icon, and sends the icon's events to the handlers below.
void setUpTray(frmSysTray &tray, TrayHost &host);

// The clock window's handlers of the tray's events.
// A left press says the time, a right press opens the menu.
void m_frmSysTray_SysTrayMouseDown(frmSysTray &tray, TrayHost &host, int button);
// A menu item chosen, by its key.
void m_frmSysTray_MenuClick(TrayHost &host, const QString &key);

} // namespace chimewell::tray
