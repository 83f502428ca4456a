// What the window manager is found to do with our windows, and what the
// characters and the clock's drag do about it, on a real X server (run under
// Xvfb with a window manager that does as asked).
#include "agent/agent.h"
#include "agent/desktopstacking.h"
#include "acsbuilder.h"
#include "tests/support/widgets.h"
#include "common/labelwindow.h"
#include "common/windowmanager.h"
#include "tests/support/logcapture.h"

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace chimewell;

using chimewell::testing::topLevel;

class TestWindowManager final : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_home.isValid());
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_home.filePath(QStringLiteral("config"))));
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_home.filePath(QStringLiteral("data"))));
        const QString folder = m_home.filePath(QStringLiteral("data/chimewell/chars"));
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(!agent::test::TestCharacter(64, 20).write(folder, QStringLiteral("testy.acs")).isEmpty());
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            QSKIP("needs an X server");
        testing::startLogCapture();
    }
    void init() { WindowManager::instance().reset(); }

    // A window that stays where it stood when moved, seen twice, means a
    // manager that ignores moves; one that goes where asked does not.
    void movesSeenIgnoredOrDone_data()
    {
        QTest::addColumn<bool>("moved");
        QTest::newRow("stays where it stood") << false;
        QTest::newRow("goes where asked") << true;
    }
    void movesSeenIgnoredOrDone()
    {
        QFETCH(bool, moved);
        QWidget w(nullptr, Qt::FramelessWindowHint);
        w.setGeometry(100, 100, 80, 60);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QTRY_COMPARE(WindowManager::placeOnServer(&w), std::optional<QPoint>(QPoint(100, 100)));
        WindowManager &manager = WindowManager::instance();
        QSignalSpy ignored(&manager, &WindowManager::movesIgnored);
        for (const QPoint asked : {QPoint(300, 200), QPoint(320, 220), QPoint(340, 240)}) {
            if (moved)
                w.move(asked);
            manager.checkMove(&w, asked);
            QTest::qWait(WindowManager::kSettleMs + 100);
        }
        QCOMPARE(manager.ignoresMoves(), !moved);
        QCOMPARE(ignored.count(), moved ? 0 : 1);
    }

    // Once moves are known ignored, a character on the desktop leaves the
    // manager's care where it stood, shown, and goes where it is sent.
    void charactersBypassOnceMovesAreIgnored()
    {
        agent::AgentControl control;
        QVERIFY(control.characters().load(QStringLiteral("max"), QStringLiteral("testy")));
        agent::Character *c = control.characters().character(QStringLiteral("max"));
        c->moveTo(200, 150, 0);
        c->show(true);
        QWidget *w = nullptr;
        QTRY_VERIFY((w = topLevel(QStringLiteral("agent_character_max"))) && w->isVisible());
        QVERIFY(!agent::desktopstacking::bypassing()); // the tests' manager keeps windows above
        WindowManager::instance().reset(true);
        QVERIFY(agent::desktopstacking::bypassing());
        QVERIFY(w->windowFlags().testFlag(Qt::X11BypassWindowManagerHint));
        QTRY_VERIFY(w->isVisible());
        QTRY_COMPARE(WindowManager::placeOnServer(w), std::optional<QPoint>(QPoint(200, 150)));
        c->moveTo(420, 330, 0);
        QTRY_COMPARE(WindowManager::placeOnServer(w), std::optional<QPoint>(QPoint(420, 330)));
    }

    // The clock's drag, once moves are known ignored, is the manager's to do.
    void ignoredMovesHandTheDragOver()
    {
        LabelWindow w(QStringLiteral("frm_test"), QStringLiteral("lab_test"), {"TestLeft", "TestTop"});
        w.label()->setGeometry(0, 0, 100, 30);
        w.setGeometry(100, 100, 100, 30);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        WindowManager::instance().reset(true);
        testing::capturedLog().clear();
        const auto send = [&](QEvent::Type type, QPoint global) {
            QMouseEvent e(type, QPointF(w.label()->mapFromGlobal(global)), QPointF(global), Qt::LeftButton,
                          type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(w.label(), &e);
        };
        send(QEvent::MouseButtonPress, {110, 110});
        send(QEvent::MouseMove, {200, 160});
        QCOMPARE(w.pos(), QPoint(100, 100));
        QVERIFY(!w.isDragging());
        const QStringList said = testing::capturedLines(QStringLiteral("chimewell.desktop"));
        QCOMPARE(said.filter(QStringLiteral("frm_test moved by the window manager")).size(), 1);
        send(QEvent::MouseButtonRelease, {200, 160});
    }

private:
    QTemporaryDir m_home;
};

QTEST_MAIN(TestWindowManager)
#include "tst_windowmanager.moc"
