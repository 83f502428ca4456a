// The date window and the window behaviour the countdown shares with it.
#include "addons/date/datetext.h"
#include "addons/date/frm_date.h"
#include "addons/millenium/frm_millenium.h"

#include "agent/speakingcharacter.h"
#include "common/platform_dummy.h"
#include "common/program.h"
#include "common/dialogs.h"
#include "common/settingsstore.h"
#include "tests/support/logcapture.h"
#include "tests/support/temphome.h"
#include "tests/support/testclock.h"
#include "tests/support/warnings.h"

#include <QAction>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QTimer>
#include <QtTest>

using namespace chimewell;
using namespace chimewell::addons;
using chimewell::testing::TestClock;

namespace {

QString stored(const QString &key, const QString &fallback = QStringLiteral("(none)"))
{
    return store::value(QStringLiteral("Data"), key, fallback);
}

void setStored(const QString &key, const QString &value) { store::setValue(QStringLiteral("Data"), key, value); }

// Either window, loaded as its program loads it.
std::unique_ptr<SideWindow> loadWindow(const QString &which)
{
    if (which == QLatin1String("date")) {
        auto w = std::make_unique<frm_date>();
        w->Form_Load();
        return w;
    }
    auto w = std::make_unique<frm_millenium>();
    w->Form_Load();
    return w;
}

void sendMouse(QWidget *to, QEvent::Type type, Qt::MouseButton button, const QPoint &global)
{
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
    QMouseEvent e(type, QPointF(to->mapFromGlobal(global)), QPointF(global), button, held, Qt::NoModifier);
    QCoreApplication::sendEvent(to, &e);
}

} // namespace

class TestDate final : public QObject
{
    Q_OBJECT

    std::unique_ptr<testing::TempHome> m_home;
    std::unique_ptr<TestClock> m_clock;

private Q_SLOTS:
    void initTestCase() { testing::startLogCapture(); }

    void init()
    {
        testing::failOnUnexpectedWarnings();
        m_home = std::make_unique<testing::TempHome>();
        m_clock = std::make_unique<TestClock>(QDateTime(QDate(2026, 12, 7), QTime(10, 0)));
        platform::dummy::reset();
        testing::capturedLog().clear();
    }

    void cleanup()
    {
        QLocale::setDefault(QLocale::c());
        clearEnding();
        m_clock.reset();
        m_home.reset();
    }

    void suffixTable()
    {
        const QStringList expected = QStringLiteral(
            "1st 2nd 3rd 4th 5th 6th 7th 8th 9th 10th 11th 12th 13th 14th 15th 16th 17th 18th 19th 20th "
            "21st 22nd 23rd 24th 25th 26th 27th 28th 29th 30th 31st").split(QLatin1Char(' '));
        for (int day = 1; day <= 31; ++day)
            QCOMPARE(QString::number(day) + daySuffix(day), expected.at(day - 1));
    }

    void dateInTheUsersLanguage_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QDate>("date");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("spoken");
        QTest::newRow("English") << "en_US" << QDate(2026, 12, 7) << "December 7th 2026"
                                 << "The date is 7th of December 2026";
        QTest::newRow("the millennium") << "en_GB" << QDate(2000, 1, 1) << "January 1st 2000"
                                        << "The date is 1st of January 2000";
        QTest::newRow("German") << "de_DE" << QDate(2026, 3, 22) << QStringLiteral("März 22nd 2026")
                                << QStringLiteral("The date is 22nd of März 2026");
        // The month as it stands alone ("grudzień"), not inside a date ("grudnia").
        QTest::newRow("Polish") << "pl_PL" << QDate(2026, 12, 13) << QStringLiteral("grudzień 13th 2026")
                                << QStringLiteral("The date is 13th of grudzień 2026");
    }
    void dateInTheUsersLanguage()
    {
        QFETCH(QString, locale);
        QFETCH(QDate, date);
        QFETCH(QString, shown);
        QFETCH(QString, spoken);
        QCOMPARE(dateText(date, QLocale(locale)), shown);
        QCOMPARE(spokenDate(date, QLocale(locale)), spoken);
        // The window writes it in the user's language too.
        QLocale::setDefault(QLocale(locale));
        m_clock->set(QDateTime(date, QTime(12, 0)));
        frm_date w;
        w.Form_Load();
        QCOMPARE(w.lab_date()->text(), shown);
    }

    void freshStoreWindow_data()
    {
        QTest::addColumn<QString>("which");
        QTest::addColumn<QString>("toolTip");
        QTest::newRow("date") << "date" << "Double click me to hear the date or RIGHT click for menu";
        QTest::newRow("millenium") << "millenium" << "This is the millenium count down";
    }
    void freshStoreWindow()
    {
        QFETCH(QString, which);
        QFETCH(QString, toolTip);
        const auto w = loadWindow(which);
        QVERIFY(w->isVisible());
        QCOMPARE(w->pos(), QPoint(0, 0));
        QCOMPARE(w->label()->palette().color(QPalette::WindowText), QGuiApplication::palette().color(QPalette::WindowText));
        QCOMPARE(w->label()->palette().color(QPalette::Window), QGuiApplication::palette().color(QPalette::Base));
        QCOMPARE(w->label()->toolTip(), toolTip);
        QVERIFY(w->width() >= 112); // 1680 twips, wider when the text needs it
        // The whole text fits on its one line.
        QVERIFY(w->label()->fontMetrics().horizontalAdvance(w->label()->text()) <= w->label()->contentsRect().width());
        QStringList menu;
        for (const QAction *a : w->popupMenu()->actions())
            menu << (a->isSeparator() ? QStringLiteral("-") : a->text());
        QCOMPARE(menu, QStringList({"Close this window", "-", "Change text colour", "Change background colour", "-",
                                    "Stop me loading with the clock"}));
    }

    void storedPlace_data()
    {
        QTest::addColumn<QString>("which");
        QTest::addColumn<QString>("left");
        QTest::addColumn<QString>("top");
        QTest::addColumn<QPoint>("place");
        QTest::newRow("date at its place") << "date" << "4500" << "2250" << QPoint(300, 150);
        QTest::newRow("countdown at its place") << "millenium" << "1500.5" << "15" << QPoint(100, 1);
        QTest::newRow("not a number") << "date" << "left" << "2250" << QPoint(0, 150);
        // Off every screen a window without a title bar could never be dragged
        // back: it comes back into the nearest, as little moved as can be
        // (the tests' screen is 800 x 600).
        QTest::newRow("off to the right") << "millenium"
                                          << "9999999"
                                          << "2250" << QPoint(800 - 112, 150);
        QTest::newRow("far off to the upper left") << "date"
                                                   << "-99999999"
                                                   << "-1e300" << QPoint(0, 0);
    }
    void storedPlace()
    {
        QFETCH(QString, which);
        QFETCH(QString, left);
        QFETCH(QString, top);
        QFETCH(QPoint, place);
        const QString prefix = which == QLatin1String("date") ? QStringLiteral("Date") : QStringLiteral("Millenium");
        setStored(prefix + QStringLiteral("Left"), left);
        setStored(prefix + QStringLiteral("Top"), top);
        QCOMPARE(loadWindow(which)->pos(), place);
    }

    void dragIsStoredForTheNextStart_data()
    {
        QTest::addColumn<QString>("which");
        QTest::addColumn<QString>("prefix");
        QTest::newRow("date") << "date" << "Date";
        QTest::newRow("millenium") << "millenium" << "Millenium";
    }
    void dragIsStoredForTheNextStart()
    {
        QFETCH(QString, which);
        QFETCH(QString, prefix);
        {
            const auto w = loadWindow(which);
            QLabel *label = w->label();
            // A right press moves nothing.
            sendMouse(label, QEvent::MouseButtonPress, Qt::RightButton, QPoint(5, 5));
            sendMouse(label, QEvent::MouseMove, Qt::RightButton, QPoint(50, 50));
            QCOMPARE(w->pos(), QPoint(0, 0));
            sendMouse(label, QEvent::MouseButtonRelease, Qt::RightButton, QPoint(50, 50));
            w->popupMenu()->hide();

            sendMouse(label, QEvent::MouseButtonPress, Qt::LeftButton, QPoint(5, 5));
            sendMouse(label, QEvent::MouseMove, Qt::LeftButton, QPoint(105, 55));
            sendMouse(label, QEvent::MouseMove, Qt::LeftButton, QPoint(305, 155));
            sendMouse(label, QEvent::MouseButtonRelease, Qt::LeftButton, QPoint(305, 155));
            QCOMPARE(w->pos(), QPoint(300, 150));
            // Ended without "Close this window": the place is stored all the same.
            w->flushPlace();
        }
        QCOMPARE(stored(prefix + QStringLiteral("Left")), QStringLiteral("4500"));
        QCOMPARE(stored(prefix + QStringLiteral("Top")), QStringLiteral("2250"));
        QCOMPARE(loadWindow(which)->pos(), QPoint(300, 150));
    }

    void colourEntries_data()
    {
        QTest::addColumn<QString>("which");
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QColor>("answer");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("storedValue");
        QTest::newRow("date text red") << "date" << "mnu_colourfore" << QColor(255, 0, 0) << "DateFore" << "255";
        QTest::newRow("countdown background blue")
            << "millenium" << "mnu_colourback" << QColor(0, 0, 255) << "MilleniumBack" << "16711680";
        // Cancel changes nothing, neither the window nor the store.
        QTest::newRow("date text cancelled") << "date" << "mnu_colourfore" << QColor() << "DateFore" << "(none)";
        QTest::newRow("countdown background cancelled")
            << "millenium" << "mnu_colourback" << QColor() << "MilleniumBack" << "(none)";
    }
    void colourEntries()
    {
        QFETCH(QString, which);
        QFETCH(QString, entry);
        QFETCH(QColor, answer);
        QFETCH(QString, key);
        QFETCH(QString, storedValue);
        const auto w = loadWindow(which);
        const QPalette before = w->label()->palette();
        const bool fore = entry == QLatin1String("mnu_colourfore");
        const QPalette::ColorRole changed = fore ? QPalette::WindowText : QPalette::Window;
        const QPalette::ColorRole kept = fore ? QPalette::Window : QPalette::WindowText;
        dialogs::setNextColour(answer);
        w->menuEntry(entry)->trigger();
        QCOMPARE(w->label()->palette().color(changed), answer.isValid() ? answer : before.color(changed));
        QCOMPARE(w->label()->palette().color(kept), before.color(kept));
        QCOMPARE(stored(key), storedValue);
        // The next start shows what was stored.
        QCOMPARE(loadWindow(which)->label()->palette().color(changed), answer.isValid() ? answer : before.color(changed));
    }

    void stopLoadingAndClose_data()
    {
        QTest::addColumn<QString>("which");
        QTest::addColumn<QString>("key");
        QTest::newRow("date") << "date" << "DateStart";
        QTest::newRow("millenium") << "millenium" << "MilleniumStart";
    }
    void stopLoadingAndClose()
    {
        QFETCH(QString, which);
        QFETCH(QString, key);
        setStored(key, QStringLiteral("1"));
        const auto w = loadWindow(which);
        w->menuEntry(QStringLiteral("mnu_noload"))->trigger();
        QCOMPARE(stored(key), QStringLiteral("0"));
        QVERIFY(w->isVisible());
        QVERIFY(!isEnding());
        w->menuEntry(QStringLiteral("mnu_exit"))->trigger();
        QVERIFY(isEnding());
    }

    // The caption follows the wall clock's minutes, so a new day shows at once.
    void newDayAtMidnight()
    {
        m_clock->set(QDateTime(QDate(2026, 12, 31), QTime(23, 59, 59, 500)));
        frm_date w;
        w.Form_Load();
        QCOMPARE(w.lab_date()->text(), QStringLiteral("December 31st 2026"));
        QVERIFY(w.Timer1()->isActive());
        QVERIFY(w.Timer1()->isSingleShot());
        QCOMPARE(w.Timer1()->interval(), 520); // just after midnight, not a minute from now
        m_clock->advance(520);
        w.Timer1_Timer();
        QCOMPARE(w.lab_date()->text(), QStringLiteral("January 1st 2027"));
        QCOMPARE(w.Timer1()->interval(), 59980 + 20);
        // The clock set by hand (or the machine waking) to another day: shown at
        // once, and the next wake is on that clock's next minute.
        m_clock->set(QDateTime(QDate(2027, 3, 2), QTime(8, 30, 45)));
        platform::dummy::changeWallClock();
        QCOMPARE(w.lab_date()->text(), QStringLiteral("March 2nd 2027"));
        QCOMPARE(w.Timer1()->interval(), 15020);
    }

    void doubleClickSaysTheDate_data()
    {
        QTest::addColumn<QString>("character");
        QTest::addColumn<QStringList>("requests");
        const QString said = QStringLiteral("Speak The date is 7th of December 2026");
        QTest::newRow("fresh store: Max") << QString() << QStringList({"Max Load Max.acs", "Max Show", "Max " + said, "Max Unload"});
        QTest::newRow("the clock's first character")
            << "genie" << QStringList({"genie Load genie.acs", "genie Show", "genie " + said, "genie Unload"});
        QTest::newRow("no such character") << "nobody" << QStringList({"nobody Load nobody.acs"});
    }
    void doubleClickSaysTheDate()
    {
        QFETCH(QString, character);
        QFETCH(QStringList, requests);
        QVERIFY(m_home->addCharacter(QStringLiteral("max")));
        QVERIFY(m_home->addCharacter(QStringLiteral("genie")));
        if (requests.size() == 1)
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("cannot load")));
        if (!character.isEmpty())
            setStored(QStringLiteral("LastCharacter"), character);
        frm_date w;
        w.Form_Load();
        const QDateTime start = m_clock->now();
        Q_EMIT w.labelDoubleClicked();
        QCOMPARE(testing::capturedLines(QStringLiteral("chimewell.agent")), requests);
        QVERIFY(m_clock->now() >= start.addSecs(10));
        QVERIFY(!w.Agent1()->isLoaded());
    }

    // A second double click while the first still talks: the character says it
    // again and stays until the last one's ten seconds are over.
    void doubleClickWhileTalking()
    {
        QVERIFY(m_home->addCharacter(QStringLiteral("max")));
        setStored(QStringLiteral("LastCharacter"), QStringLiteral("max"));
        frm_date w;
        w.Form_Load();
        bool loadedDuringSecond = false;
        QTimer::singleShot(0, &w, [&] {
            Q_EMIT w.labelDoubleClicked();
            loadedDuringSecond = w.Agent1()->isLoaded();
        });
        Q_EMIT w.labelDoubleClicked();
        QVERIFY(loadedDuringSecond);
        const QString said = QStringLiteral("max Speak The date is 7th of December 2026");
        QCOMPARE(testing::capturedLines(QStringLiteral("chimewell.agent")),
                 QStringList({"max Load max.acs", "max Show", said, "max Show", said, "max Unload"}));
    }
};

QTEST_MAIN(TestDate)
#include "tst_date.moc"
