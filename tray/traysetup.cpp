#include "tray/traysetup.h"

#include "tray/frmSysTray.h"
#include "tray/trayhost.h"
#include "tray/trayicon.h"

#include "common/settingskeys.h"
#include "common/settingsstore.h"
#include "common/version.h"

namespace chimewell::tray {

QString toolTipText()
{
    return QStringLiteral("Click me for options. Chimewell %1.%2.%3")
        .arg(CHIMEWELL_VERSION_MAJOR)
        .arg(CHIMEWELL_VERSION_MINOR)
        .arg(CHIMEWELL_VERSION_PATCH);
}

void setUpTray(frmSysTray &tray, TrayHost &host)
{
    struct Item
    {
        const char *caption;
        const char *key;
    };
    static const Item items[] = {
        {"&Hide the clock", "hide"}, {"-", ""}, {"&Show the clock", "show"}, {"-", ""},
        {"&Main Options", "mainoptions"}, {"-", ""}, {"&About Chimewell", "about"}, {"-", ""},
        {"&Exit", "exit"},
    };
    // Every item but the lines asks to be the default, so the last, Exit, is.
    for (const Item &i : items) {
        const QString caption = QLatin1String(i.caption);
        tray.AddMenuItem(caption, QLatin1String(i.key), caption != QLatin1String("-"));
    }
    tray.setToolTip(toolTipText());
    tray.setIconHandle(trayIcon());

    QObject::connect(&tray, &frmSysTray::SysTrayMouseDown, &tray,
                     [&tray, &host](int button) { m_frmSysTray_SysTrayMouseDown(tray, host, button); });
    QObject::connect(&tray, &frmSysTray::MenuClick, &tray,
                     [&host](int, const QString &key) { m_frmSysTray_MenuClick(host, key); });
}

void m_frmSysTray_SysTrayMouseDown(frmSysTray &tray, TrayHost &host, int button)
{
    // Other events of the icon are left alone, so a double click speaks once.
    if (button == frmSysTray::Right)
        tray.ShowMenu();
    else if (button == frmSysTray::Left)
        host.saytime();
}

void m_frmSysTray_MenuClick(TrayHost &host, const QString &key)
{
    const QString data = QLatin1String(keys::Data);
    const QString minimise = QLatin1String(keys::minimise);
    if (key == QLatin1String("about")) {
        host.showAbout();
    } else if (key == QLatin1String("hide")) {
        host.setClockShown(false);
        store::setValue(data, minimise, QStringLiteral("True"));
    } else if (key == QLatin1String("show")) {
        host.setClockShown(true);
        store::setValue(data, minimise, QStringLiteral("False"));
    } else if (key == QLatin1String("mainoptions")) {
        host.showSettings(0);
    } else if (key == QLatin1String("exit")) {
        host.exitFromTray();
    }
}

} // namespace chimewell::tray
