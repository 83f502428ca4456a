#pragma once

#include <QIcon>
#include <QList>
#include <QObject>
#include <QString>

#include <memory>

class QAction;
class QMenu;
class QSystemTrayIcon;
class QTimer;

namespace chimewell::tray {

class TrayPresence;

// The notification-area icon with its pop-up menu. Never shown as a window.
// The icon goes into whichever tray the desktop offers (StatusNotifierItem or
// XEmbed) as soon as there is one, also when the panel comes up after the
// program; until then, and on a desktop without a tray, it is simply absent
// and everything else works on.
//
// The menu is a list of items by index: index 0 always exists (empty and
// hidden until the first AddMenuItem); an index is valid from 0 to
// menuItemCount() - 1.
class frmSysTray final : public QObject
{
    Q_OBJECT
public:
    // Mouse buttons of the events.
    enum Button { Left = 1, Right = 2 };

    // Loading the form places the icon (now, or once a tray appears).
    explicit frmSysTray(QObject *parent = nullptr);
    // Unloading removes the icon.
    ~frmSysTray() override;

    QString ToolTip() const { return m_tip; }
    void setToolTip(const QString &tip);
    QIcon IconHandle() const { return m_image; }
    void setIconHandle(const QIcon &icon);

    // Adds an item ("-" is a separator line) and returns its index; with
    // isDefault it becomes the default (bold) item.
    int AddMenuItem(const QString &caption, const QString &key = QString(), bool isDefault = false);
    void EnableMenuItem(int index, bool state);
    // Removes an item; the later ones move down by one, and the default item
    // stays the same item (item 0 when the default itself goes).
    void RemoveMenuItem(int index);
    int DefaultMenuIndex() const { return m_defaultIndex; }
    // An invalid index makes item 0 the default.
    void setDefaultMenuIndex(int index);
    // Pops the menu up at the pointer (unless the tray has just shown it).
    void ShowMenu();

    int menuItemCount() const { return int(m_items.size()); }
    QAction *mnuSysTray(int index) const;
    QMenu *mnuPopup() const { return m_menu.get(); }
    // True while the icon sits in a tray.
    bool isIconShown() const;
    // Takes the icon out of the tray now (the form itself may go later).
    void removeIcon();

Q_SIGNALS:
    // A button was pressed on the icon (Left or Right).
    void SysTrayMouseDown(int button);
    // The second press of a double click on the icon.
    void SysTrayDoubleClick(int button);
    // A menu item was chosen: its index and key.
    void MenuClick(int index, const QString &key);

private:
    bool isValid(int index) const { return index >= 0 && index < m_items.size(); }
    void applyDefault();
    void placeIcon();
    void itemTriggered(QAction *action);

    std::unique_ptr<QMenu> m_menu;
    QList<QAction *> m_items;
    bool m_firstItemAdded = false;
    int m_defaultIndex = 0;
    QString m_tip;
    QIcon m_image;
    std::unique_ptr<QSystemTrayIcon> m_icon;
    TrayPresence *m_presence = nullptr;
    bool m_removed = false;
};

} // namespace chimewell::tray
