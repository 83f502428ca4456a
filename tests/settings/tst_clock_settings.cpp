// The settings dialog as the real clock window opens and serves it.
#include "clock/frm_clock.h"
#include "settings/frm_settings.h"

#include "common/dialogs.h"
#include "common/platform_dummy.h"
#include "common/settingsstore.h"
#include "tests/support/temphome.h"
#include "tests/support/testclock.h"
#include "tests/support/warnings.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

using namespace chimewell;
using clockcore::frm_clock;
using setup::frm_settings;

class TestClockSettings final : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<testing::TempHome> m_home;
    std::unique_ptr<testing::TestClock> m_clock;

private Q_SLOTS:
    void init()
    {
        testing::failOnUnexpectedWarnings();
        m_home = std::make_unique<testing::TempHome>();
        m_clock = std::make_unique<testing::TestClock>(QDateTime(QDate(2026, 12, 7), QTime(21, 5, 30)));
        platform::dummy::reset();
        dialogs::takeShownMessages();
    }
    void cleanup()
    {
        m_clock.reset();
        m_home.reset();
    }

    // Each entry opens the one dialog on its tab; "Main Options" also puts
    // the cursor in the alarm-1 hour box.
    void menuEntriesOpenTheirTab_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<int>("tab");
        QTest::newRow("Main Options") << "mnu_settings1" << 0;
        QTest::newRow("Change characters and settings") << "mnu_chcharacters" << 2;
        QTest::newRow("Change colours") << "mnu_colours" << 3;
        QTest::newRow("Type and Speak !") << "mnu_tands" << 5;
        QTest::newRow("Alter time format") << "mnu_format" << 6;
    }
    void menuEntriesOpenTheirTab()
    {
        QFETCH(QString, entry);
        QFETCH(int, tab);
        store::setValue(QStringLiteral("Data"), QStringLiteral("mode"), QStringLiteral("advanced"));
        frm_clock clock;
        clock.Form_Load();
        clock.menuEntry(QStringLiteral("mnu_format"))->trigger();
        QPointer<frm_settings> first = clock.settingsDialog();
        QVERIFY(first && first->isVisible());
        first->findChild<QLineEdit *>(QStringLiteral("txt_username"))->setText(QStringLiteral("kept"));

        clock.menuEntry(entry)->trigger();
        QCOMPARE(clock.settingsDialog(), first.data()); // brought forward, not loaded again
        QCOMPARE(first->SSTab1()->currentIndex(), tab);
        QCOMPARE(first->findChild<QLineEdit *>(QStringLiteral("txt_username"))->text(), QStringLiteral("kept"));
        if (entry == QLatin1String("mnu_settings1"))
            QCOMPARE(first->focusWidget(), first->findChild<QLineEdit *>(QStringLiteral("txt_hour1")));

        // Closed by the user, the next opening loads it afresh.
        first->close();
        QTRY_VERIFY(!first);
        QVERIFY(!clock.settingsDialog());
        clock.menuEntry(entry)->trigger();
        QVERIFY(clock.settingsDialog());
        QCOMPARE(clock.settingsDialog()->findChild<QLineEdit *>(QStringLiteral("txt_username"))->text(),
                 QStringLiteral("kept"));
    }

    // The format and the colours reach the clock window at once.
    void formatAndColoursReachTheClock()
    {
        store::setValue(QStringLiteral("data"), QStringLiteral("format"), QStringLiteral("1"));
        frm_clock clock;
        clock.Form_Load(); // black on white by default
        QCOMPARE(clock.lab_time()->text(), QStringLiteral("9:05pm"));
        clock.showSettings(frm_settings::MiscTab);
        frm_settings *dialog = clock.settingsDialog();
        QCOMPARE(dialog->findChild<QComboBox *>(QStringLiteral("com_format"))->currentText(),
                 QStringLiteral("12 Hour am/pm"));
        QCOMPARE(dialog->findChild<QLineEdit *>(QStringLiteral("txt_backcolour"))->palette().color(QPalette::Base),
                 QColor(Qt::white));

        dialog->findChild<QComboBox *>(QStringLiteral("com_format"))->setEditText(QStringLiteral("24 Hour"));
        dialog->findChild<QPushButton *>(QStringLiteral("Command2"))->click();
        QCOMPARE(clock.lab_time()->text(), QStringLiteral("21:05"));
        QCOMPARE(clock.lab_time()->font().pointSize(), 28);
        QCOMPARE(clock.height(), 50); // 750 twips

        dialogs::setNextColour(QColor(255, 0, 0));
        dialog->findChild<QPushButton *>(QStringLiteral("com_changefore"))->click();
        dialogs::setNextColour(QColor()); // cancelled
        dialog->findChild<QPushButton *>(QStringLiteral("com_changeback"))->click();
        QCOMPARE(clock.lab_time()->palette().color(QPalette::WindowText), QColor(255, 0, 0));
        QCOMPARE(clock.lab_time()->palette().color(QPalette::Window), QColor(Qt::white));
    }

    // A character change goes through the clock's characters, which hide the
    // dialog; it is closed afterwards, whatever the user picked.
    void changingACharacterClosesTheDialog()
    {
        store::setValue(QStringLiteral("Data"), QStringLiteral("LastCharacter"), QStringLiteral("max"));
        frm_clock clock;
        clock.Form_Load();
        clock.showSettings(frm_settings::CharactersTab);
        QPointer<frm_settings> dialog = clock.settingsDialog();
        dialogs::setNextFile(QString()); // cancelled: character 1 stays
        dialog->findChild<QPushButton *>(QStringLiteral("com_changechar1"))->click();
        QVERIFY(!clock.settingsDialog());
        QTRY_VERIFY(!dialog);
        QCOMPARE(store::value(QStringLiteral("Data"), QStringLiteral("LastCharacter")), QStringLiteral("max"));
    }
};

QTEST_MAIN(TestClockSettings)
#include "tst_clock_settings.moc"
