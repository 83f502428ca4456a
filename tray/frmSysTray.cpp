#include "tray/frmSysTray.h"

#include "tray/traypresence.h"

#include <QAction>
#include <QCursor>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTimer>

namespace chimewell::tray {

frmSysTray::frmSysTray(QObject *parent)
    : QObject(parent), m_menu(std::make_unique<QMenu>(QStringLiteral("&Popup"))), m_presence(new TrayPresence(this))
{
    setObjectName(QStringLiteral("frmSysTray"));
    m_menu->setObjectName(QStringLiteral("mnuPopup"));
    // Item 0 is there from the start, unused until the first AddMenuItem.
    QAction *first = m_menu->addAction(QString());
    first->setObjectName(QStringLiteral("mnuSysTray"));
    first->setVisible(false);
    m_items << first;
    connect(m_menu.get(), &QMenu::triggered, this, &frmSysTray::itemTriggered);
    connect(m_presence, &TrayPresence::found, this, &frmSysTray::placeIcon);
    // From the event loop, once the owner has given the icon its picture.
    QTimer::singleShot(0, m_presence, &TrayPresence::start);
}

frmSysTray::~frmSysTray() { removeIcon(); }

void frmSysTray::setToolTip(const QString &tip)
{
    if (tip == m_tip)
        return;
    m_tip = tip;
    if (m_icon)
        m_icon->setToolTip(tip);
}

void frmSysTray::setIconHandle(const QIcon &icon)
{
    m_image = icon;
    if (m_icon) {
        m_icon->setIcon(icon);
        m_icon->show();
    }
}

int frmSysTray::AddMenuItem(const QString &caption, const QString &key, bool isDefault)
{
    QAction *item = nullptr;
    if (!m_firstItemAdded) {
        m_firstItemAdded = true;
        item = m_items.first();
    } else {
        item = new QAction(m_menu.get());
        item->setObjectName(QStringLiteral("mnuSysTray"));
        m_menu->addAction(item);
        m_items << item;
    }
    item->setVisible(true);
    item->setData(key);
    // A line carries no text, or some styles print the "-" beside it.
    const bool line = caption == QLatin1String("-");
    item->setText(line ? QString() : caption);
    item->setSeparator(line);
    const int index = int(m_items.indexOf(item));
    if (isDefault)
        m_defaultIndex = index;
    applyDefault();
    return index;
}

void frmSysTray::EnableMenuItem(int index, bool state)
{
    if (isValid(index))
        m_items.at(index)->setEnabled(state);
}

void frmSysTray::RemoveMenuItem(int index)
{
    if (!isValid(index))
        return;
    if (m_items.size() == 1) {
        // The last item left is item 0, which stays, unused, as at the start.
        QAction *first = m_items.first();
        first->setText(QString());
        first->setData(QString());
        first->setSeparator(false);
        first->setEnabled(true);
        first->setVisible(false);
        m_firstItemAdded = false;
        m_defaultIndex = 0;
        applyDefault();
        return;
    }
    delete m_items.takeAt(index);
    if (m_defaultIndex == index)
        m_defaultIndex = 0;
    else if (m_defaultIndex > index)
        --m_defaultIndex;
    applyDefault();
}

void frmSysTray::setDefaultMenuIndex(int index)
{
    m_defaultIndex = isValid(index) ? index : 0;
    applyDefault();
}

void frmSysTray::applyDefault()
{
    // The menu draws its default action in bold, wherever it pops up.
    m_menu->setDefaultAction(isValid(m_defaultIndex) ? m_items.at(m_defaultIndex) : nullptr);
}

void frmSysTray::ShowMenu()
{
    // An XEmbed tray pops the context menu itself on the right press.
    if (m_menu->isVisible())
        return;
    applyDefault();
    m_menu->popup(QCursor::pos());
}

QAction *frmSysTray::mnuSysTray(int index) const { return isValid(index) ? m_items.at(index) : nullptr; }

bool frmSysTray::isIconShown() const { return m_icon && m_icon->isVisible(); }

void frmSysTray::removeIcon()
{
    m_removed = true;
    m_presence->disconnect(this);
    m_icon.reset();
}

void frmSysTray::placeIcon()
{
    if (m_removed || m_icon)
        return;
    // A tray icon without a picture is refused; it goes in when it gets one.
    m_icon = std::make_unique<QSystemTrayIcon>(m_image);
    m_icon->setObjectName(QStringLiteral("trayicon"));
    m_icon->setToolTip(m_tip);
    // Always with a menu: some hosts show only items that have one.
    m_icon->setContextMenu(m_menu.get());
    connect(m_icon.get(), &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        switch (reason) {
        case QSystemTrayIcon::Trigger:
            Q_EMIT SysTrayMouseDown(Left);
            break;
        case QSystemTrayIcon::Context:
            Q_EMIT SysTrayMouseDown(Right);
            break;
        case QSystemTrayIcon::DoubleClick:
            Q_EMIT SysTrayDoubleClick(Left);
            break;
        default:
            break;
        }
    });
    if (!m_image.isNull())
        m_icon->show();
}

void frmSysTray::itemTriggered(QAction *action)
{
    const int index = int(m_items.indexOf(action));
    if (index >= 0)
        Q_EMIT MenuClick(index, action->data().toString());
}

} // namespace chimewell::tray
