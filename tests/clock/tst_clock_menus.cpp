#include "clock/frm_about.h"
#include "clock/frm_clock.h"
#include "clock/weblink.h"

#include "common/dialogs.h"
#include "common/platform_dummy.h"
#include "common/program.h"
#include "common/secondstart.h"
#include "common/settingsstore.h"
#include "common/version.h"
#include "tests/support/logcapture.h"
#include "tests/support/temphome.h"
#include "tests/support/testclock.h"
#include "tray/frmSysTray.h"

#include <QAction>
#include <QApplication>
#include <QMouseEvent>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QTest>

using namespace chimewell;
using clockcore::frm_clock;

namespace {

QString data(const char *key) { return store::value(QStringLiteral("Data"), QLatin1String(key), QStringLiteral("unset")); }

// An add-on that starts and ends at once.
void placeAddOn(const QString &folder, const QString &name)
{
    QFile f(folder + QLatin1Char('/') + name);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("#!/bin/sh\nexit 0\n");
    f.close();
    QVERIFY(f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
}

// Sends a mouse event to the label at a place on the screen.
void mouse(QWidget *label, QEvent::Type type, Qt::MouseButton button, Qt::MouseButtons buttons, QPoint global)
{
    QMouseEvent e(type, QPointF(label->mapFromGlobal(global)), QPointF(global), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(label, &e);
}

const QString kSite = QStringLiteral(CHIMEWELL_WEB_SITE);

} // namespace

class TestClockMenus final : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<testing::TempHome> m_home;
    std::unique_ptr<testing::TestClock> m_clock;

private Q_SLOTS:
    void initTestCase() { testing::startLogCapture(); }

    void init()
    {
        m_home = std::make_unique<testing::TempHome>();
        m_clock = std::make_unique<testing::TestClock>(QDateTime(QDate(2026, 12, 7), QTime(10, 0, 30)));
        platform::dummy::reset();
        platform::dummy::state().programFolder = m_home->programFolder();
        dialogs::takeShownMessages();
        testing::capturedLog().clear();
        clearEnding();
    }
    void cleanup()
    {
        clearEnding();
        m_clock.reset();
        m_home.reset();
    }

    // The mouse on the clock: a left drag moves it and stores the place, a
    // right button ends any drag and opens the menu centred on the pointer.
    void mouseOnTheClock_data()
    {
        QTest::addColumn<QString>("gesture");
        QTest::addColumn<QPoint>("moved"); // pixels
        QTest::addColumn<QString>("stored");
        QTest::addColumn<bool>("menu");
        QTest::newRow("drag 300 twips right and 150 down") << "drag" << QPoint(20, 10) << "3300,1650" << false;
        QTest::newRow("left click without moving") << "click" << QPoint(0, 0) << "unset,unset" << false;
        QTest::newRow("right button in mid-drag") << "drag+right" << QPoint(20, 10) << "3300,1650" << true;
        QTest::newRow("right click") << "right" << QPoint(0, 0) << "unset,unset" << true;
    }
    void mouseOnTheClock()
    {
        QFETCH(QString, gesture);
        QFETCH(QPoint, moved);
        QFETCH(QString, stored);
        QFETCH(bool, menu);
        store::setValue(QStringLiteral("Data"), QStringLiteral("FormX"), QStringLiteral("3000"));
        store::setValue(QStringLiteral("Data"), QStringLiteral("FormY"), QStringLiteral("1500"));
        frm_clock w;
        w.Form_Load();
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const QPoint start = w.pos();
        QCOMPARE(start, QPoint(200, 100));
        store::write(QStringLiteral("ChimewellIIV"), QStringLiteral("Data"), QStringLiteral("FormX"), QStringLiteral("unset"));
        store::write(QStringLiteral("ChimewellIIV"), QStringLiteral("Data"), QStringLiteral("FormY"), QStringLiteral("unset"));
        QWidget *label = w.lab_time();
        const QPoint grip = label->mapToGlobal(QPoint(10, 10));

        if (gesture.startsWith(QLatin1String("drag")) || gesture == QLatin1String("click")) {
            mouse(label, QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton, grip);
            if (gesture != QLatin1String("click")) {
                for (int i = 1; i <= 10; ++i)
                    mouse(label, QEvent::MouseMove, Qt::NoButton, Qt::LeftButton, grip + moved * i / 10);
            }
        }
        const bool right = gesture.endsWith(QLatin1String("right"));
        if (right) {
            mouse(label, QEvent::MouseButtonPress, Qt::RightButton, Qt::LeftButton | Qt::RightButton, grip + moved);
            mouse(label, QEvent::MouseButtonRelease, Qt::RightButton, Qt::LeftButton, grip + moved);
            // The drag is over: a move with the left button still down moves nothing.
            mouse(label, QEvent::MouseMove, Qt::NoButton, Qt::LeftButton, grip + moved + QPoint(40, 40));
        }
        mouse(label, QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton, grip + moved);
        QVERIFY(!w.isDragging());
        QCOMPARE(w.pos(), start + moved);
        w.flushPlace();
        QCOMPARE(data("FormX") + QLatin1Char(',') + data("FormY"), stored);
        QCOMPARE(w.mnu_settings()->isVisible(), menu);
        if (menu) {
            const QRect g = w.mnu_settings()->geometry();
            QVERIFY2(qAbs(g.center().x() - (grip + moved).x()) <= 1, "menu centred on the pointer");
            w.mnu_settings()->hide();
        }
    }

    // The clock from the keyboard: it takes the focus, the menu key and
    // Shift+F10 open its menu under it, Enter and Space say the time.
    void keysOnTheClock_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<bool>("menu");
        QTest::addColumn<bool>("saytime");
        QTest::newRow("menu key") << int(Qt::Key_Menu) << int(Qt::NoModifier) << true << false;
        QTest::newRow("shift+F10") << int(Qt::Key_F10) << int(Qt::ShiftModifier) << true << false;
        QTest::newRow("keypad enter") << int(Qt::Key_Enter) << int(Qt::KeypadModifier) << false << true;
        QTest::newRow("ctrl+enter") << int(Qt::Key_Return) << int(Qt::ControlModifier) << false << false;
    }
    void keysOnTheClock()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(bool, menu);
        QFETCH(bool, saytime);
        frm_clock w;
        w.Form_Load();
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        w.setFocus(Qt::TabFocusReason);
        QVERIFY(w.hasFocus());
        testing::capturedLog().clear();
        QTest::keyClick(&w, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCOMPARE(w.mnu_settings()->isVisible(), menu);
        if (menu) {
            QCOMPARE(w.mnu_settings()->geometry().topLeft(), w.mapToGlobal(QPoint(0, w.height())));
            w.mnu_settings()->hide();
        }
        QCOMPARE(testing::capturedLog().contains(QStringLiteral("chimewell.clock: saytime")), saytime);
    }

    // The four launchers: the add-on there or missing, the answer given, and
    // what follows (the autostart key, the web site, the end of the clock).
    void addOns_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("present");
        QTest::addColumn<int>("answer");
        QTest::addColumn<int>("browser");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("autostart"); // key=value expected afterwards
        QTest::addColumn<bool>("opensSite");
        QTest::addColumn<bool>("ends");

        const int yes = QMessageBox::Yes, no = QMessageBox::No;
        const int opened = int(platform::OpenResult::Opened), none = int(platform::OpenResult::NoHandler);
        QTest::newRow("date there, Yes: starts with the clock from now on")
            << "mnu_showdate" << "date" << true << yes << opened
            << "Attention!\nDo you want the date to start everytime you start Chimewell?" << "DateStart=1" << false
            << false;
        QTest::newRow("date there, No: nothing stored")
            << "mnu_showdate" << "date" << true << no << opened
            << "Attention!\nDo you want the date to start everytime you start Chimewell?" << "DateStart=unset" << false
            << false;
        QTest::newRow("millenium there, Yes")
            << "mnu_millenium" << "millenium" << true << yes << opened
            << "Attention!\nDo you want Millenium add on to start everytime you start Chimewell?"
            << "MilleniumStart=1" << false << false;
        QTest::newRow("quiz there: the clock ends, no question")
            << "mnu_drillquiz" << "drillquiz" << true << yes << opened << QString() << "DateStart=unset" << false
            << true;
        QTest::newRow("jollix there: the clock ends")
            << "mnu_jollix" << "jollix" << true << yes << opened << QString() << "DateStart=unset" << false << true;
        QTest::newRow("date missing, No: the clock runs on")
            << "mnu_showdate" << "date" << false << no << opened
            << "Attention!\nYou don`t have the `Date` add on. You can download this for free, from the Chimewell web "
               "site. Do you want to go to the web site now?"
            << "DateStart=unset" << false << false;
        QTest::newRow("quiz missing, Yes: the web site, then the end")
            << "mnu_drillquiz" << "drillquiz" << false << yes << opened
            << "Attention!\nYou don`t have the `Tames Tables` add on. You can download this for free, from the "
               "Chimewell web site. Do you want to go to the web site now?"
            << "DateStart=unset" << true << true;
        QTest::newRow("millenium missing, Yes, no browser: the clock stays")
            << "mnu_millenium" << "millenium" << false << yes << none
            << "Attention!\nYou don`t have the `Millenium` add on. You can download this for free, from the Chimewell "
               "web site. Do you want to go to the web site now?"
            << "MilleniumStart=unset" << true << false;
    }
    void addOns()
    {
        QFETCH(QString, entry);
        QFETCH(QString, file);
        QFETCH(bool, present);
        QFETCH(int, answer);
        QFETCH(int, browser);
        QFETCH(QString, message);
        QFETCH(QString, autostart);
        QFETCH(bool, opensSite);
        QFETCH(bool, ends);
        if (present)
            placeAddOn(m_home->programFolder(), file);
        platform::dummy::state().openResult = platform::OpenResult(browser);
        store::setValue(QStringLiteral("Data"), QStringLiteral("mode"), QStringLiteral("advanced"));

        frm_clock w;
        w.Form_Load();
        QVERIFY(w.trayForm());
        dialogs::setNextAnswer(QMessageBox::StandardButton(answer));
        w.menuEntry(entry)->trigger();

        const QString program = m_home->programFolder() + QLatin1Char('/') + file;
        QCOMPARE(testing::capturedLines(QStringLiteral("chimewell.launch")),
                 QStringList{QStringLiteral("start %1 %2").arg(program, present ? "ok" : "failed")});
        const QStringList shown = dialogs::takeShownMessages();
        QCOMPARE(shown.value(0), message);
        QCOMPARE(data(autostart.section(QLatin1Char('='), 0, 0).toLatin1().constData()),
                 autostart.section(QLatin1Char('='), 1));
        QCOMPARE(platform::dummy::state().opened, opensSite ? QStringList{kSite} : QStringList());
        if (browser == int(platform::OpenResult::NoHandler))
            QCOMPARE(shown.value(1), QStringLiteral("BROWSER NOT FOUND\nCould not find associated browser!"));
        QCOMPARE(isEnding(), ends);
        // Ending takes the tray icon with it.
        QCOMPARE(w.trayForm() == nullptr, ends);
    }

    // weblink for each answer of the desktop: the message box it shows.
    void weblink_data()
    {
        QTest::addColumn<int>("result");
        QTest::addColumn<QStringList>("messages");
        QTest::newRow("opened") << int(platform::OpenResult::Opened) << QStringList();
        QTest::newRow("no handler") << int(platform::OpenResult::NoHandler)
                                    << QStringList{QStringLiteral("BROWSER NOT FOUND\nCould not find associated browser!")};
        QTest::newRow("handler cannot start") << int(platform::OpenResult::StartFailed)
                                              << QStringList{QStringLiteral("URL FAILED\nWeb Page not Opened")};
    }
    void weblink()
    {
        QFETCH(int, result);
        QFETCH(QStringList, messages);
        platform::dummy::state().openResult = platform::OpenResult(result);
        const QString address = QStringLiteral("https://example.org/a b?x=1&y='2'");
        QCOMPARE(clockcore::weblink(address), result == int(platform::OpenResult::Opened));
        QCOMPARE(platform::dummy::state().opened, QStringList{address});
        QCOMPARE(dialogs::takeShownMessages(), messages);
    }

    // Hiding from the clock's menu or the tray, showing from the tray or by
    // starting the program again: the window and `minimise` follow.
    void hideAndShow()
    {
        frm_clock w;
        // Started again during the start-up (no clock yet): nothing to show.
        w.secondStart();
        QVERIFY(!w.isVisible());
        QCOMPARE(data("minimise"), QStringLiteral("unset"));

        w.Form_Load();
        w.show();
        // No tray here: the first hiding of a run says how to bring the clock back.
        QVERIFY(!w.trayForm()->isIconShown());
        dialogs::setNextAnswer(QMessageBox::Ok);
        w.menuEntry(QStringLiteral("mnu_hideshow"))->trigger();
        QVERIFY(!w.isVisible());
        QCOMPARE(data("minimise"), QStringLiteral("True"));
        QCOMPARE(w.menuEntry(QStringLiteral("mnu_hideshow"))->text(), QStringLiteral("Hide the clock"));
        const QStringList told = dialogs::takeShownMessages();
        QCOMPARE(told.size(), 1);
        QVERIFY2(told.first().startsWith(QStringLiteral("Chimewell\nThe clock is hidden.")), qPrintable(told.first()));
        QVERIFY2(told.first().contains(QStringLiteral("\"Show the clock\"")), qPrintable(told.first()));
        // Not on the PATH, so by its full path.
        QVERIFY2(told.first().endsWith(QCoreApplication::applicationFilePath() + QStringLiteral(" --show")),
                 qPrintable(told.first()));

        w.trayForm()->mnuSysTray(2)->trigger(); // "show"
        QVERIFY(w.isVisible());
        QCOMPARE(data("minimise"), QStringLiteral("False"));
        w.trayForm()->mnuSysTray(0)->trigger(); // "hide"
        QVERIFY(!w.isVisible());
        QCOMPARE(data("minimise"), QStringLiteral("True"));
        w.show();
        w.menuEntry(QStringLiteral("mnu_hideshow"))->trigger();
        QVERIFY(!w.isVisible());
        QCOMPARE(dialogs::takeShownMessages(), QStringList()); // once is enough

        // A second start, through the socket a crashed run left behind.
        QVERIFY(!SecondStartListener::notifyRunning(QStringLiteral("clocktest"), {}, 200));
        QFile stale(SecondStartListener::socketPath(QStringLiteral("clocktest")));
        QVERIFY(stale.open(QIODevice::WriteOnly));
        stale.close();
        SecondStartListener listener(QStringLiteral("clocktest"));
        QVERIFY(listener.isListening());
        connect(&listener, &SecondStartListener::secondStart, &w, &frm_clock::secondStart);
        QVERIFY(SecondStartListener::notifyRunning(QStringLiteral("clocktest")));
        QTRY_VERIFY(w.isVisible());
        QCOMPARE(data("minimise"), QStringLiteral("False"));
        // The next tick no longer hides it.
        w.clock_Timer();
        QVERIFY(w.isVisible());

        w.trayForm()->mnuSysTray(8)->trigger(); // "exit"
        QVERIFY(isEnding());
        QVERIFY(!w.trayForm());
    }

    // The about box, from the clock's menu and from the tray: one box, not
    // modal, with the version, the site, the licences and the characters; its
    // link goes through weblink.
    void aboutBox()
    {
        frm_clock w;
        w.Form_Load();
        w.menuEntry(QStringLiteral("mnu_about"))->trigger();
        clockcore::frm_about *about = w.aboutBox();
        QVERIFY(about);
        QVERIFY(about->isVisible());
        QVERIFY(!about->isModal());
        // The keyboard starts on OK, and Esc closes the box as it does any dialog.
        QCOMPARE(about->focusWidget() ? about->focusWidget()->objectName() : QString(), QStringLiteral("com_ok"));
        QTest::keyClick(about->focusWidget(), Qt::Key_Escape);
        QVERIFY(!about->isVisible());
        w.trayForm()->mnuSysTray(6)->trigger();
        QCOMPARE(w.aboutBox(), about);
        QVERIFY(about->isVisible());

        QStringList texts;
        for (const QLabel *l : about->findChildren<QLabel *>())
            texts << l->text();
        const QString all = texts.join(QLatin1Char('\n'));
        const QString version = QStringLiteral("%1.%2.%3")
                                    .arg(CHIMEWELL_VERSION_MAJOR)
                                    .arg(CHIMEWELL_VERSION_MINOR)
                                    .arg(CHIMEWELL_VERSION_PATCH);
        for (const QString &needed : QStringList{QStringLiteral("Version ") + version, kSite, QStringLiteral("Qt "),
                                      QStringLiteral("espeak-ng"), QStringLiteral("libzip"),
                                      QStringLiteral("pocketsphinx"), QStringLiteral("LGPL"), QStringLiteral("Max"),
                                      QStringLiteral("Plany"), QStringLiteral("Genie"), QStringLiteral("Peedy"),
                                      QStringLiteral("Robby"), QStringLiteral("Merlin"), QStringLiteral("Check")})
            QVERIFY2(all.contains(needed), qPrintable(needed));

        platform::dummy::state().openResult = platform::OpenResult::NoHandler;
        auto *link = about->findChild<QLabel *>(QStringLiteral("lab_link"));
        Q_EMIT link->linkActivated(kSite);
        QCOMPARE(platform::dummy::state().opened, QStringList{kSite});
        QCOMPARE(dialogs::takeShownMessages(),
                 QStringList{QStringLiteral("BROWSER NOT FOUND\nCould not find associated browser!")});
    }
};

QTEST_MAIN(TestClockMenus)
#include "tst_clock_menus.moc"
