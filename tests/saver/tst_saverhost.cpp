// Characters inside a host widget (the screen saver's window) rather than on
// the desktop: where they stand, their balloon, and the host going away.
#include "agent/agent.h"

#include "tests/support/temphome.h"
#include "tests/support/warnings.h"

#include <QPointer>
#include <QTest>
#include <QWidget>

using namespace chimewell;
using agent::AgentControl;
using agent::Character;

namespace {
QWidget *windowOf(QWidget *host, const QString &id)
{
    return host->findChild<QWidget *>(QStringLiteral("agent_character_") + id);
}
} // namespace

class TestSaverHost final : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { testing::failOnUnexpectedWarnings(); }

    void hostPlacesTheCharacter_data()
    {
        QTest::addColumn<bool>("hostFirst");  // the host is set before the character loads
        QTest::addColumn<QPoint>("standing"); // on the screen, before it is hosted
        QTest::addColumn<QPoint>("expected"); // in the host (400 x 300 at 100, 100)
        QTest::newRow("loaded into a host: its lower right") << true << QPoint() << QPoint(231, 131);
        QTest::newRow("standing over the host: the same place on the screen")
            << false << QPoint(150, 170) << QPoint(50, 70);
        QTest::newRow("partly over the host: the same place") << false << QPoint(30, 40) << QPoint(-70, -60);
        QTest::newRow("standing away from the host: its lower right") << false << QPoint(700, 500) << QPoint(231, 131);
    }
    void hostPlacesTheCharacter()
    {
        QFETCH(bool, hostFirst);
        QFETCH(QPoint, standing);
        QFETCH(QPoint, expected);
        testing::TempHome home;
        QVERIFY(home.addCharacter(QStringLiteral("max")));
        QWidget host;
        host.setGeometry(100, 100, 400, 300);
        host.show();
        QVERIFY(QTest::qWaitForWindowExposed(&host));
        AgentControl control;
        if (hostFirst)
            control.setHostWidget(&host);
        QVERIFY(control.characters().load(QStringLiteral("max"), QStringLiteral("max.acs")));
        Character *c = control.characters()(QStringLiteral("max"));
        if (!hostFirst) {
            c->setLeft(standing.x());
            c->setTop(standing.y());
            c->show(true);
            QTRY_VERIFY(!c->isBusy());
            control.setHostWidget(&host);
        }
        QWidget *w = windowOf(&host, QStringLiteral("max"));
        QVERIFY(w);
        QVERIFY(!w->isWindow());
        QCOMPARE(QPoint(c->left(), c->top()), expected);
        QCOMPARE(w->isVisible(), !hostFirst); // a shown character stays shown

        // Requests work as on the desktop, in the host's coordinates.
        c->show(true);
        c->moveTo(10, 20, 0);
        QTRY_VERIFY(!c->isBusy());
        QVERIFY(w->isVisible());
        QCOMPARE(w->mapTo(&host, QPoint(0, 0)), QPoint(10, 20));
        // The balloon speaks inside the host too, kept within it.
        c->speak(QStringLiteral("Hello from inside the window"));
        QWidget *balloon = host.findChild<QWidget *>(QStringLiteral("agent_balloon_max"));
        QVERIFY(balloon);
        QTRY_VERIFY(balloon->isVisible());
        QVERIFY2(host.rect().contains(balloon->geometry()), qPrintable(QStringLiteral("balloon at %1,%2 %3x%4")
                                                                            .arg(balloon->x())
                                                                            .arg(balloon->y())
                                                                            .arg(balloon->width())
                                                                            .arg(balloon->height())));
        QTRY_VERIFY_WITH_TIMEOUT(!c->isBusy(), 20000);
    }

    void hostGoingAway_data()
    {
        QTest::addColumn<bool>("deleteHost"); // else setHostWidget(nullptr)
        QTest::newRow("the host is deleted with the character in it") << true;
        QTest::newRow("the host is given back") << false;
    }
    void hostGoingAway()
    {
        QFETCH(bool, deleteHost);
        testing::TempHome home;
        QVERIFY(home.addCharacter(QStringLiteral("max")));
        auto *host = new QWidget;
        host->setGeometry(100, 100, 400, 300);
        host->show();
        QVERIFY(QTest::qWaitForWindowExposed(host));
        AgentControl control;
        control.setHostWidget(host);
        QVERIFY(control.characters().load(QStringLiteral("max"), QStringLiteral("max.acs")));
        QPointer<Character> c = control.characters()(QStringLiteral("max"));
        c->show(true);
        c->moveTo(50, 60, 0);
        c->speak(QStringLiteral("Going"));
        QTRY_VERIFY(host->findChild<QWidget *>(QStringLiteral("agent_balloon_max"))->isVisible());
        if (deleteHost) {
            delete host;
            QVERIFY(!control.hostWidget());
        } else {
            control.setHostWidget(nullptr);
            // Back on the desktop at the same place on the screen.
            QCOMPARE(QPoint(c->left(), c->top()), QPoint(150, 160));
            QVERIFY(!windowOf(host, QStringLiteral("max")));
            delete host;
        }
        // The character lives on, on the desktop, and goes cleanly.
        QVERIFY(c);
        QVERIFY(c->isVisible());
        c->stop();
        c->moveTo(5, 5, 0);
        QTRY_VERIFY(!c->isBusy());
        QCOMPARE(QPoint(c->left(), c->top()), QPoint(5, 5));
        QVERIFY(control.characters().unload(QStringLiteral("max")));
        QVERIFY(!c);
    }
};

QTEST_MAIN(TestSaverHost)
#include "tst_saverhost.moc"
