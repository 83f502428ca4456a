#include "agent/agent.h"
#include "acsbuilder.h"

#include <QApplication>
#include <QLoggingCategory>
#include <QTimer>
#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace chimewell::agent;

namespace {
QStringList g_log;
QtMessageHandler g_previous = nullptr;

void captureLog(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (context.category && qstrcmp(context.category, "chimewell.agent") == 0 && type == QtInfoMsg)
        g_log.append(message);
    if (g_previous)
        g_previous(type, context, message);
}

// Records what a character reports, in order: "start <n>", "done <n> ok|failed".
class Recorder
{
public:
    explicit Recorder(Character *c)
    {
        QObject::connect(c, &Character::requestStarted, c, [this](int id) { events << QStringLiteral("start %1").arg(id); });
        QObject::connect(c, &Character::requestComplete, c, [this](int id, bool ok) {
            events << QStringLiteral("done %1 %2").arg(id).arg(ok ? QStringLiteral("ok") : QStringLiteral("failed"));
        });
    }
    bool has(const QString &e) const { return events.contains(e); }
    QStringList events;
};
} // namespace

class TestAgentQueue : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void loadFindsBareName();
    void requestsRunInOrder();
    void stopDropsCurrentAndQueued();
    void unknownAnimationFailsOnlyItsRequest();
    void animationNamesIgnoreCase();
    void twoCharactersActAtOnce();
    void moveToWalksAndJumps();
    void setLeftTopMovesAtOnce();
    void failurePaths();
    void unloadDeletesAndIdCanReturn();
    void unloadFromOwnSignalIsSafe();
    void logLinesHaveTheReadFormat();
    void hiddenCharacterRunsNoTimers();

private:
    QTemporaryDir m_home;
    QString m_charFolder;
    std::unique_ptr<AgentControl> m_control;
};

void TestAgentQueue::initTestCase()
{
    QVERIFY(m_home.isValid());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_home.filePath(QStringLiteral("config"))));
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_home.filePath(QStringLiteral("data"))));
    qputenv("XDG_DATA_DIRS", QFile::encodeName(m_home.filePath(QStringLiteral("none"))));
    m_charFolder = m_home.filePath(QStringLiteral("data/chimewell/chars"));
    QVERIFY(QDir().mkpath(m_charFolder));
    QVERIFY(!test::TestCharacter().write(m_charFolder, QStringLiteral("testy.acs")).isEmpty());
    QLoggingCategory::setFilterRules(QStringLiteral("chimewell.agent.info=true"));
    g_previous = qInstallMessageHandler(captureLog);
}

void TestAgentQueue::init()
{
    // Any warning fails the test unless the test expects it (ignoreMessage) or it is
    // the platform or the audio system saying what this machine lacks.
    QTest::failOnWarning(QRegularExpression(QStringLiteral("^(?!This plugin does not support|PulseAudioService|pa_context|QAudio|ALSA).*")));
    m_control = std::make_unique<AgentControl>();
    g_log.clear();
}

void TestAgentQueue::cleanup() { m_control.reset(); }

void TestAgentQueue::loadFindsBareName()
{
    QVERIFY(m_control->characters().load(QStringLiteral("max"), QStringLiteral("testy.acs")));
    Character *c = m_control->characters().character(QStringLiteral("max"));
    QVERIFY(c);
    QCOMPARE(c->name(), QStringLiteral("Testy"));
    QCOMPARE(c->description(), QStringLiteral("A character painted by the tests."));
    QCOMPARE(c->width(), 32);
    QCOMPARE(c->height(), 32);
    QVERIFY(!c->isVisible());
    QVERIFY(c->animationNames().contains(QStringLiteral("Greet")));
    QCOMPARE(m_control->characters().ids(), QStringList{QStringLiteral("max")});
}

void TestAgentQueue::requestsRunInOrder()
{
    QVERIFY(m_control->characters().load(QStringLiteral("max"), QStringLiteral("testy")));
    Character *c = m_control->characters().character(QStringLiteral("max"));
    Recorder rec(c);
    const int show = c->show();
    const int play = c->play(QStringLiteral("Greet"));
    const int speak = c->speak(QStringLiteral("Hello there"));
    const int move = c->moveTo(10, 20, 50);
    const int hide = c->hide();
    QVERIFY(show > 0 && play > show && speak > play && move > speak && hide > move);
    QVERIFY(c->isBusy());
    QTRY_VERIFY_WITH_TIMEOUT(rec.has(QStringLiteral("done %1 ok").arg(hide)), 10000);
    const QStringList expected{
        QStringLiteral("start %1").arg(show), QStringLiteral("done %1 ok").arg(show),
        QStringLiteral("start %1").arg(play), QStringLiteral("done %1 ok").arg(play),
        QStringLiteral("start %1").arg(speak), QStringLiteral("done %1 ok").arg(speak),
        QStringLiteral("start %1").arg(move), QStringLiteral("done %1 ok").arg(move),
        QStringLiteral("start %1").arg(hide), QStringLiteral("done %1 ok").arg(hide),
    };
    QCOMPARE(rec.events, expected);
    QVERIFY(!c->isVisible());
    QVERIFY(!c->isBusy());
    QCOMPARE(c->left(), 10);
    QCOMPARE(c->top(), 20);
}

void TestAgentQueue::stopDropsCurrentAndQueued()
{
    QVERIFY(m_control->characters().load(QStringLiteral("max"), QStringLiteral("testy")));
    Character *c = m_control->characters().character(QStringLiteral("max"));
    Recorder rec(c);
    c->show(true);
    const int speak = c->speak(QStringLiteral("A long sentence that takes a good while to say out loud"));
    const int play = c->play(QStringLiteral("Wave"));
    const int hide = c->hide();
    QTRY_VERIFY(rec.has(QStringLiteral("start %1").arg(speak)));
    const QStringList before = rec.events;
    c->stop();
    // Stop reports every dropped request at once, in order, and nothing more starts.
    QCOMPARE(rec.events.mid(before.size()),
             (QStringList{QStringLiteral("done %1 failed").arg(speak), QStringLiteral("done %1 failed").arg(play),
                          QStringLiteral("done %1 failed").arg(hide)}));
    QVERIFY(!c->isBusy());
    QTest::qWait(50);
    QCOMPARE(rec.events.size(), before.size() + 3);
    QVERIFY(c->isVisible());
    // The character takes new requests after a stop.
    const int again = c->play(QStringLiteral("Wave"));
    QTRY_VERIFY(rec.has(QStringLiteral("done %1 ok").arg(again)));
}

void TestAgentQueue::unknownAnimationFailsOnlyItsRequest()
{
    QVERIFY(m_control->characters().load(QStringLiteral("max"), QStringLiteral("testy")));
    Character *c = m_control->characters().character(QStringLiteral("max"));
    Recorder rec(c);
    c->show(true);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("has no animation \"NoSuchAnimation\"")));
    const int bad = c->play(QStringLiteral("NoSuchAnimation"));
    const int good = c->play(QStringLiteral("Wave"));
    QVERIFY(bad > 0);
    QTRY_VERIFY(rec.has(QStringLiteral("done %1 ok").arg(good)));
    QVERIFY(rec.has(QStringLiteral("done %1 failed").arg(bad)));
}

void TestAgentQueue::animationNamesIgnoreCase()
{
    QVERIFY(m_control->characters().load(QStringLiteral("max"), QStringLiteral("testy")));
    Character *c = m_control->characters().character(QStringLiteral("max"));
    Recorder rec(c);
    c->show(true);
    const int a = c->play(QStringLiteral("gREET"));
    const int b = c->play(QStringLiteral("wave"));
    QTRY_VERIFY(rec.has(QStringLiteral("done %1 ok").arg(b)));
    QVERIFY(rec.has(QStringLiteral("done %1 ok").arg(a)));
}

void TestAgentQueue::twoCharactersActAtOnce()
{
    AgentControl second;
    QVERIFY(m_control->characters().load(QStringLiteral("genie"), QStringLiteral("testy")));
    QVERIFY(second.characters().load(QStringLiteral("peedy"), QStringLiteral("testy")));
    Character *a = m_control->characters().character(QStringLiteral("genie"));
    Character *b = second.characters().character(QStringLiteral("peedy"));
    Recorder ra(a), rb(b);
    a->show(true);
    b->show(true);
    const int sa = a->speak(QStringLiteral("one two three"));
    const int sb = b->speak(QStringLiteral("four five six"));
    QTRY_VERIFY(ra.has(QStringLiteral("start %1").arg(sa)) && rb.has(QStringLiteral("start %1").arg(sb)));
    // Both speak at the same time: neither waits for the other.
    QVERIFY(!ra.has(QStringLiteral("done %1 ok").arg(sa)));
    QVERIFY(!rb.has(QStringLiteral("done %1 ok").arg(sb)));
    QTRY_VERIFY_WITH_TIMEOUT(ra.has(QStringLiteral("done %1 ok").arg(sa)) && rb.has(QStringLiteral("done %1 ok").arg(sb)), 10000);
}

void TestAgentQueue::moveToWalksAndJumps()
{
    QVERIFY(m_control->characters().load(QStringLiteral("max"), QStringLiteral("testy")));
    Character *c = m_control->characters().character(QStringLiteral("max"));
    Recorder rec(c);
    c->show(true);
    c->moveTo(50, 60, 0);
    const int walk = c->moveTo(250, 60, 300);
    QTRY_VERIFY(rec.has(QStringLiteral("start %1").arg(walk)));
    QTRY_VERIFY(c->left() > 50 && c->left() < 250); // on its way
    QTRY_VERIFY(rec.has(QStringLiteral("done %1 ok").arg(walk)));
    QCOMPARE(c->left(), 250);
    QCOMPARE(c->top(), 60);
}

void TestAgentQueue::setLeftTopMovesAtOnce()
{
    QVERIFY(m_control->characters().load(QStringLiteral("max"), QStringLiteral("testy")));
    Character *c = m_control->characters().character(QStringLiteral("max"));
    c->setLeft(123);
    c->setTop(77);
    QCOMPARE(c->left(), 123);
    QCOMPARE(c->top(), 77);
}

void TestAgentQueue::failurePaths()
{
    Characters &chars = m_control->characters();
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("no such character file")));
    QVERIFY(!chars.load(QStringLiteral("max"), QStringLiteral("missing.acs")));
    QVERIFY(!chars.character(QStringLiteral("max")));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("no such character file")));
    QVERIFY(!chars.load(QStringLiteral("max"), m_home.filePath(QStringLiteral("nowhere/testy.acs"))));
    QVERIFY(chars.load(QStringLiteral("max"), QStringLiteral("testy.acs")));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("already loaded")));
    QVERIFY(!chars.load(QStringLiteral("max"), QStringLiteral("testy.acs")));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("id is empty")));
    QVERIFY(!chars.load(QString(), QStringLiteral("testy.acs")));
    QVERIFY(!chars.unload(QStringLiteral("nobody")));
    QVERIFY(!chars.character(QStringLiteral("nobody")));
    QVERIFY(!chars(QStringLiteral("nobody")));
    QVERIFY(!AgentControl::findCharacterFile(QStringLiteral("missing")).isEmpty() == false);
    // An absolute path is taken as it is.
    QVERIFY(chars.load(QStringLiteral("abs"), m_charFolder + QStringLiteral("/testy.acs")));
}

void TestAgentQueue::unloadDeletesAndIdCanReturn()
{
    Characters &chars = m_control->characters();
    QVERIFY(chars.load(QStringLiteral("max"), QStringLiteral("testy.acs")));
    QPointer<Character> c = chars.character(QStringLiteral("max"));
    c->show();
    c->speak(QStringLiteral("going away"));
    QVERIFY(chars.unload(QStringLiteral("max")));
    QVERIFY(c.isNull());
    QVERIFY(!chars.character(QStringLiteral("max")));
    QVERIFY(!chars.unload(QStringLiteral("max")));
    QVERIFY(chars.load(QStringLiteral("max"), QStringLiteral("testy.acs")));
    QVERIFY(chars.character(QStringLiteral("max")));
}

void TestAgentQueue::unloadFromOwnSignalIsSafe()
{
    Characters &chars = m_control->characters();
    QVERIFY(chars.load(QStringLiteral("max"), QStringLiteral("testy.acs")));
    QPointer<Character> c = chars.character(QStringLiteral("max"));
    c->show(true);
    const int play = c->play(QStringLiteral("Wave"));
    c->play(QStringLiteral("Greet"));
    connect(c.data(), &Character::requestComplete, this, [&chars, play](int id, bool) {
        if (id == play)
            chars.unload(QStringLiteral("max"));
    });
    QTRY_VERIFY(c.isNull());
    QVERIFY(!chars.character(QStringLiteral("max")));
}

void TestAgentQueue::logLinesHaveTheReadFormat()
{
    Characters &chars = m_control->characters();
    QVERIFY(chars.load(QStringLiteral("max"), QStringLiteral("testy.acs")));
    Character *c = chars.character(QStringLiteral("max"));
    c->show();
    c->hide(true);
    c->speak(QStringLiteral("The time is 10 O clock "));
    c->speak(QStringLiteral(" "));
    c->speak(QStringLiteral("\\chr=\"Whisper\"\\psst"));
    c->play(QStringLiteral("Greet"));
    c->play(QStringLiteral("Nothing"));
    c->moveTo(10, 20);
    c->moveTo(-5, 7, 200);
    c->moveTo(1, 2, 0);
    c->stop();
    c->setSoundEffectsOn(false);
    c->setSoundEffectsOn(true);
    chars.unload(QStringLiteral("max"));
    chars.unload(QStringLiteral("max"));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("no such character file")));
    chars.load(QStringLiteral("robby"), QStringLiteral("robby.acs"));
    const QStringList expected{
        QStringLiteral("max Load testy.acs"),
        QStringLiteral("max Show"),
        QStringLiteral("max Hide"),
        QStringLiteral("max Speak The time is 10 O clock "),
        QStringLiteral("max Speak  "),
        QStringLiteral("max Speak \\chr=\"Whisper\"\\psst"),
        QStringLiteral("max Play Greet"),
        QStringLiteral("max Play Nothing"),
        QStringLiteral("max MoveTo 10,20"),
        QStringLiteral("max MoveTo -5,7,200"),
        QStringLiteral("max MoveTo 1,2,0"),
        QStringLiteral("max Stop"),
        QStringLiteral("max SoundEffectsOn false"),
        QStringLiteral("max SoundEffectsOn true"),
        QStringLiteral("max Unload"),
        QStringLiteral("max Unload"),
        QStringLiteral("robby Load robby.acs"),
    };
    QCOMPARE(g_log, expected);
}

void TestAgentQueue::hiddenCharacterRunsNoTimers()
{
    Characters &chars = m_control->characters();
    QVERIFY(chars.load(QStringLiteral("max"), QStringLiteral("testy.acs")));
    Character *c = chars.character(QStringLiteral("max"));
    Recorder rec(c);
    c->show(true);
    const int hide = c->hide(true);
    QTRY_VERIFY(rec.has(QStringLiteral("done %1 ok").arg(hide)));
    QVERIFY(!c->isVisible());
    const QList<QTimer *> timers = c->findChildren<QTimer *>();
    QVERIFY(timers.size() >= 3); // frames, idling, walking
    for (QTimer *t : timers)
        QVERIFY2(!t->isActive(), qPrintable(QString::number(t->interval())));
}

QTEST_MAIN(TestAgentQueue)
#include "tst_agentqueue.moc"
