// Screen readers: every control of every window that asks something of the
// user has a name, walked through the same accessibility tree a screen
// reader reads.
#include "addons/drillquiz/frm_xtables.h"
#include "addons/jollix/frm_fun.h"
#include "agent/agent.h"
#include "clock/frm_about.h"
#include "clock/frm_clock.h"
#include "settings/frm_settings.h"

#include "common/dialogs.h"
#include "common/platform_dummy.h"
#include "common/settingsstore.h"
#include "tests/support/temphome.h"
#include "tests/support/testclock.h"

#include <QAccessible>
#include <QApplication>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

using namespace chimewell;

namespace {

// What a user acts on, as opposed to text, groups and panes.
bool isControl(QAccessible::Role role)
{
    switch (role) {
    case QAccessible::PushButton:
    case QAccessible::CheckBox:
    case QAccessible::RadioButton:
    case QAccessible::EditableText:
    case QAccessible::ComboBox:
    case QAccessible::SpinBox:
    case QAccessible::Slider:
    case QAccessible::PageTab:
    case QAccessible::Link:
    case QAccessible::ButtonMenu:
    case QAccessible::ButtonDropDown:
    case QAccessible::List:
    case QAccessible::Tree:
    case QAccessible::Table:
        return true;
    default:
        return false;
    }
}

void walk(QAccessibleInterface *node, QStringList &nameless, int &controls, int depth = 0)
{
    if (!node || !node->isValid() || depth > 40)
        return;
    if (isControl(node->role())) {
        ++controls;
        if (node->text(QAccessible::Name).trimmed().isEmpty()) {
            const QObject *o = node->object();
            nameless << QStringLiteral("%1 (role %2)")
                            .arg(o ? (o->objectName().isEmpty() ? QLatin1String(o->metaObject()->className())
                                                                : o->objectName())
                                   : QStringLiteral("?"))
                            .arg(int(node->role()));
        }
    }
    for (int i = 0; i < node->childCount(); ++i)
        walk(node->child(i), nameless, controls, depth + 1);
}

// Walks `window`: the controls without a name, and how many controls there were.
QStringList namelessIn(QWidget *window, int &controls)
{
    QStringList nameless;
    controls = 0;
    walk(QAccessible::queryAccessibleInterface(window), nameless, controls);
    return nameless;
}

// Opens a window by the program's own way of opening it and hands it to `check`.
using Opener = std::function<void(const std::function<void(QWidget *)> &check)>;

// A modal box opened by `open`, checked while it waits for its answer.
Opener modal(std::function<void()> open)
{
    return [open](const std::function<void(QWidget *)> &check) {
        QTimer::singleShot(0, [check] {
            QWidget *box = QApplication::activeModalWidget();
            QVERIFY(box);
            check(box);
            box->close();
        });
        open();
    };
}

} // namespace

class TestAccessibleNames final : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<testing::TempHome> m_home;
    std::unique_ptr<testing::TestClock> m_clock;
    std::unique_ptr<clockcore::frm_clock> m_window;

private Q_SLOTS:
    void initTestCase() { dialogs::installShowLog(); } // as every program has it

    void init()
    {
        m_home = std::make_unique<testing::TempHome>();
        m_clock = std::make_unique<testing::TestClock>();
        platform::dummy::reset();
        // Advanced mode shows every control of the settings dialog.
        store::setValue(QStringLiteral("Data"), QStringLiteral("mode"), QStringLiteral("advanced"));
        m_window = std::make_unique<clockcore::frm_clock>();
        m_window->Form_Load();
    }
    void cleanup()
    {
        m_window.reset();
        m_clock.reset();
        m_home.reset();
    }

    void everyControlHasAName_data()
    {
        QTest::addColumn<QString>("window");
        for (const char *w : {"settings dialog", "about box", "question box", "message box", "file dialog",
                              "colour dialog", "times tables", "comic show", "commands window"})
            QTest::newRow(w) << QString::fromLatin1(w);
    }
    void everyControlHasAName()
    {
        QFETCH(QString, window);
        clockcore::frm_clock *clock = m_window.get();
        std::unique_ptr<QWidget> owned;
        const QHash<QString, Opener> openers{
            {QStringLiteral("settings dialog"),
             [clock](const auto &check) {
                 clock->showSettings(0);
                 check(clock->settingsDialog());
             }},
            {QStringLiteral("about box"),
             [clock](const auto &check) {
                 clock->showAbout();
                 check(clock->aboutBox());
             }},
            {QStringLiteral("question box"), modal([clock] {
                 dialogs::ask(clock, QStringLiteral("Attention!"), QStringLiteral("Do you want to play again?"));
             })},
            {QStringLiteral("message box"), modal([clock] {
                 dialogs::message(clock, QStringLiteral("Chimewell"), QStringLiteral("Web Page not Opened"));
             })},
            {QStringLiteral("file dialog"), modal([clock] {
                 dialogs::openFile(clock, QStringLiteral("Program to launch with alarm 1"), QDir::homePath(),
                                   QStringLiteral("Programs (*)"));
             })},
            {QStringLiteral("colour dialog"), modal([clock] { dialogs::chooseColour(clock, Qt::red); })},
            {QStringLiteral("times tables"),
             [&owned](const auto &check) {
                 owned = std::make_unique<drillquiz::frm_xtables>();
                 owned->show();
                 check(owned.get());
             }},
            {QStringLiteral("comic show"),
             [&owned](const auto &check) {
                 owned = std::make_unique<jollix::frm_fun>();
                 owned->show();
                 check(owned.get());
             }},
            {QStringLiteral("commands window"),
             [](const auto &check) {
                 agent::AgentControl::showCommandsWindow();
                 for (QWidget *w : QApplication::topLevelWidgets()) {
                     if (w->objectName() == QLatin1String("agent_commands"))
                         check(w);
                 }
             }},
        };
        bool checked = false;
        openers.value(window)([&checked, &window](QWidget *w) {
            QVERIFY(w);
            int controls = 0;
            const QStringList nameless = namelessIn(w, controls);
            QVERIFY2(controls > 0, "no controls found: the walk does not reach them");
            checked = true;
            // The character service's own window is not ours to name yet.
            if (window == QLatin1String("commands window"))
                QEXPECT_FAIL("commands window", "its command list has no name", Continue);
            QVERIFY2(nameless.isEmpty(), qPrintable(nameless.join(QStringLiteral(", "))));
        });
        QVERIFY(checked);
    }
};

QTEST_MAIN(TestAccessibleNames)
#include "tst_accessiblenames.moc"
