// Idle levels on the test clock: lively, then calm, then dozing until a
// request or the user wakes the character, which then does what was asked.
#include "agent/agent.h"
#include "agent/idlelevels.h"
#include "acsbuilder.h"
#include "tests/support/testclock.h"

#include <QApplication>
#include <QJsonArray>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>

using namespace chimewell;
using namespace chimewell::agent;

namespace {
const QColor kAsleep(20, 20, 120);
const QColor kWaking(250, 140, 0);

QColor centre(QWidget *w)
{
    const QImage img = w->grab().toImage();
    return img.pixelColor(img.width() / 2, img.height() / 2);
}

bool near(const QColor &a, const QColor &b)
{
    return qAbs(a.red() - b.red()) < 30 && qAbs(a.green() - b.green()) < 30 && qAbs(a.blue() - b.blue()) < 30;
}
} // namespace

class TestIdling : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void levelFollowsTimeSinceAsked_data();
    void levelFollowsTimeSinceAsked();
    void dozesThenWakesFirst_data();
    void dozesThenWakesFirst();

private:
    QTemporaryDir m_home;
};

void TestIdling::initTestCase()
{
    QVERIFY(m_home.isValid());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_home.filePath(QStringLiteral("config"))));
    test::TestCharacter t;
    t.addAnimation(QStringLiteral("Doze"), 1, 100, kAsleep);
    t.addAnimation(QStringLiteral("Wake"), 1, 300, kWaking);
    QJsonObject states = t.manifest.value(QStringLiteral("states")).toObject();
    states.insert(QStringLiteral("Dozing"), QJsonArray{QStringLiteral("Doze")});
    states.insert(QStringLiteral("Waking"), QJsonArray{QStringLiteral("Wake")});
    t.manifest.insert(QStringLiteral("states"), states);
    QVERIFY(!t.write(m_home.path(), QStringLiteral("sleepy.acs")).isEmpty());
}

void TestIdling::levelFollowsTimeSinceAsked_data()
{
    QTest::addColumn<qint64>("sinceMs");
    QTest::addColumn<int>("level");
    QTest::addColumn<qint64>("soonest");
    QTest::addColumn<qint64>("latest");
    const auto row = [](const char *name, qint64 since, IdleLevel level, qint64 soonest, qint64 latest) {
        QTest::newRow(name) << since << int(level) << soonest << latest;
    };
    row("just asked: lively", 0, IdleLevel::Lively, 3000, 8000);
    row("29 s: still lively", 29000, IdleLevel::Lively, 3000, 8000);
    row("half a minute: calm", 30000, IdleLevel::Calm, 25000, 60000);
    row("4 min 50 s: calm, the next thing is the doze", 290000, IdleLevel::Calm, 10000, 10000);
    row("5 minutes: dozing now", 300000, IdleLevel::Dozing, 0, 0);
    row("a night: dozing", 8 * 3600 * 1000LL, IdleLevel::Dozing, 0, 0);
    row("clock set back an hour: lively", -3600 * 1000LL, IdleLevel::Lively, 3000, 8000);
}

void TestIdling::levelFollowsTimeSinceAsked()
{
    QFETCH(qint64, sinceMs);
    QFETCH(int, level);
    QFETCH(qint64, soonest);
    QFETCH(qint64, latest);
    testing::TestClock clock;
    IdleLevels levels;
    clock.advance(sinceMs);
    QCOMPARE(int(levels.level()), level);
    QCOMPARE(levels.nextDelayMs(0.0), soonest);
    QCOMPARE(levels.nextDelayMs(1.0), latest);
    // Asked again: lively from now on, whatever came before.
    levels.touch();
    clock.advance(1000);
    QCOMPARE(levels.level(), IdleLevel::Lively);
}

void TestIdling::dozesThenWakesFirst_data()
{
    QTest::addColumn<bool>("byRequest");
    QTest::newRow("a request") << true;
    QTest::newRow("a click") << false;
}

void TestIdling::dozesThenWakesFirst()
{
    QFETCH(bool, byRequest);
    QTest::failOnWarning(QRegularExpression(
        QStringLiteral("^(?!This plugin does not support|PulseAudioService|pa_context|QAudio|ALSA).*")));
    testing::TestClock clock;
    AgentControl control;
    QVERIFY(control.characters().load(QStringLiteral("max"), m_home.filePath(QStringLiteral("sleepy.acs"))));
    Character *c = control.characters().character(QStringLiteral("max"));
    c->show(true);
    QTRY_VERIFY(c->isVisible() && !c->isBusy());
    QWidget *w = nullptr;
    for (QWidget *top : QApplication::topLevelWidgets())
        if (top->objectName() == QLatin1String("agent_character_max"))
            w = top;
    QVERIFY(w);

    // Minutes pass on the clock with nobody at the desk: at its next idle moment
    // the character falls asleep, and once its doze is over nothing runs.
    clock.advance(6 * 60 * 1000);
    QTRY_VERIFY_WITH_TIMEOUT(near(centre(w), kAsleep), 12000);
    const auto anyTimer = [c] {
        const QList<QTimer *> timers = c->findChildren<QTimer *>();
        return std::any_of(timers.cbegin(), timers.cend(), [](QTimer *t) { return t->isActive(); });
    };
    QTRY_VERIFY(!anyTimer());

    if (!byRequest) {
        QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(16, 16));
        QTRY_VERIFY_WITH_TIMEOUT(near(centre(w), kWaking), 2000);
        QTRY_VERIFY_WITH_TIMEOUT(near(centre(w), QColor(200, 30, 30)), 2000);
        QVERIFY(!c->isBusy());
        return;
    }
    // A request wakes it first; the request itself starts once awake, with its
    // own id, and completes as ever.
    QStringList events;
    connect(c, &Character::requestStarted, this, [&](int id) {
        events << QStringLiteral("start %1 %2").arg(id).arg(near(centre(w), kWaking) ? "woken" : "not woken");
    });
    connect(c, &Character::requestComplete, this,
            [&](int id, bool ok) { events << QStringLiteral("done %1 %2").arg(id).arg(ok ? "ok" : "failed"); });
    const int greet = c->play(QStringLiteral("Greet"));
    const int speak = c->speak(QStringLiteral("Good morning"));
    QVERIFY(greet > 0 && speak > greet);
    QTRY_VERIFY_WITH_TIMEOUT(events.size() == 4, 10000);
    QCOMPARE(events,
             (QStringList{QStringLiteral("start %1 woken").arg(greet), QStringLiteral("done %1 ok").arg(greet),
                          QStringLiteral("start %1 not woken").arg(speak), QStringLiteral("done %1 ok").arg(speak)}));
}

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    TestIdling test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_idling.moc"
