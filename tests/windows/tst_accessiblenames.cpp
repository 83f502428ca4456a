// Screen readers: every control of every window that asks something of the
// user has a name, in the accessibility tree a screen reader reads.
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

using namespace chimewell;

namespace {

// What a user acts on, as opposed to text, groups and panes.
const QList<QAccessible::Role> kControls{QAccessible::PushButton,   QAccessible::CheckBox, QAccessible::RadioButton,
                                         QAccessible::EditableText, QAccessible::ComboBox, QAccessible::SpinBox,
                                         QAccessible::Slider,       QAccessible::PageTab,  QAccessible::Link,
                                         QAccessible::List,         QAccessible::Tree,     QAccessible::Table};

// The controls under `node` without a name; `controls` counts them all.
void walk(QAccessibleInterface *node, QStringList &nameless, int &controls)
{
    if (!node || !node->isValid())
        return;
    if (kControls.contains(node->role()) && ++controls && node->text(QAccessible::Name).trimmed().isEmpty())
        nameless << (node->object() ? node->object()->objectName() + QLatin1Char('/') +
                                          QLatin1String(node->object()->metaObject()->className())
                                    : QStringLiteral("?"));
    for (int i = 0; i < node->childCount(); ++i)
        walk(node->child(i), nameless, controls);
}

} // namespace

class TestAccessibleNames final : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { dialogs::installShowLog(); } // as every program has it

    void everyControlHasAName_data()
    {
        QTest::addColumn<QString>("window");
        for (const char *w : {"settings dialog", "about box", "question box", "file dialog", "colour dialog",
                              "times tables", "comic show", "commands window"})
            QTest::newRow(w) << QString::fromLatin1(w);
    }
    void everyControlHasAName()
    {
        QFETCH(QString, window);
        testing::TempHome home;
        testing::TestClock time;
        platform::dummy::reset();
        // Advanced mode shows every control of the settings dialog.
        store::setValue(QStringLiteral("Data"), QStringLiteral("mode"), QStringLiteral("advanced"));
        clockcore::frm_clock clock;
        clock.Form_Load();
        std::unique_ptr<QWidget> own;
        QWidget *shown = nullptr;
        QStringList nameless;
        int controls = 0;
        const auto check = [&](QWidget *w) {
            shown = w;
            if (w)
                walk(QAccessible::queryAccessibleInterface(w), nameless, controls);
        };
        // A modal box is walked while it waits for its answer.
        QTimer::singleShot(0, [&] {
            if (QWidget *box = QApplication::activeModalWidget()) {
                check(box);
                box->close();
            }
        });
        if (window == QLatin1String("settings dialog")) {
            clock.showSettings(0);
            check(clock.settingsDialog());
        } else if (window == QLatin1String("about box")) {
            clock.showAbout();
            check(clock.aboutBox());
        } else if (window == QLatin1String("question box")) {
            dialogs::ask(&clock, QStringLiteral("Attention!"), QStringLiteral("Do you want to play again?"));
        } else if (window == QLatin1String("file dialog")) {
            dialogs::openFile(&clock, QStringLiteral("Program"), QDir::homePath(), QStringLiteral("Programs (*)"));
        } else if (window == QLatin1String("colour dialog")) {
            dialogs::chooseColour(&clock, Qt::red);
        } else if (window == QLatin1String("commands window")) {
            agent::AgentControl::showCommandsWindow();
            for (QWidget *w : QApplication::topLevelWidgets())
                if (w->objectName() == QLatin1String("agent_commands"))
                    check(w);
        } else {
            if (window == QLatin1String("times tables"))
                own = std::make_unique<drillquiz::frm_xtables>();
            else
                own = std::make_unique<jollix::frm_fun>();
            own->show();
            check(own.get());
        }
        QVERIFY2(shown && controls > 0, "no controls reached");
        QVERIFY2(nameless.isEmpty(), qPrintable(nameless.join(QStringLiteral(", "))));
    }
};

QTEST_MAIN(TestAccessibleNames)
#include "tst_accessiblenames.moc"
