// The service's own windows and options, and a soak of random requests.
#include "agent/agent.h"
#include "acsbuilder.h"
#include "tests/support/widgets.h"
#include "common/settingsstore.h"
#include "voice/speaker.h"

#include <QApplication>
#include <QCheckBox>
#include <QPointer>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QSlider>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

using namespace chimewell::agent;

namespace {
using chimewell::testing::topLevel;

QString stored(const char *key)
{
    return chimewell::store::read(QStringLiteral("ChimewellAgent"), QStringLiteral("Options"), QLatin1String(key), QString());
}
} // namespace

class TestAgentService : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void commandsWindowListsVisibleCharacters();
    void optionsWindowStoresAndApplies();
    void balloonOffShowsNoBalloon();
    void soakOfRandomRequests();

private:
    QTemporaryDir m_home;
    std::unique_ptr<AgentControl> m_control;
};

void TestAgentService::initTestCase()
{
    QVERIFY(m_home.isValid());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_home.filePath(QStringLiteral("config"))));
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_home.filePath(QStringLiteral("data"))));
    qputenv("XDG_DATA_DIRS", QFile::encodeName(m_home.filePath(QStringLiteral("none"))));
    const QString folder = m_home.filePath(QStringLiteral("data/chimewell/chars"));
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(!test::TestCharacter().write(folder, QStringLiteral("testy.acs")).isEmpty());
}

void TestAgentService::init() { m_control = std::make_unique<AgentControl>(); }
void TestAgentService::cleanup() { m_control.reset(); }

void TestAgentService::commandsWindowListsVisibleCharacters()
{
    AgentControl other;
    QVERIFY(m_control->characters().load(QStringLiteral("max"), QStringLiteral("testy")));
    QVERIFY(other.characters().load(QStringLiteral("robby"), QStringLiteral("testy")));
    QVERIFY(other.characters().load(QStringLiteral("quiet"), QStringLiteral("testy")));
    Character *max = m_control->characters().character(QStringLiteral("max"));
    Character *robby = other.characters().character(QStringLiteral("robby"));
    max->commands().setCaption(QStringLiteral("Max's commands"));
    max->commands().setVisible(true);
    max->commands().add(QStringLiteral("time"), QStringLiteral("Say the time"));
    max->commands().add(QStringLiteral("hidden"), QStringLiteral("Hidden"), QString(), true, false);
    robby->commands().setCaption(QStringLiteral("Robby"));
    robby->commands().setVisible(true);
    robby->commands().add(QStringLiteral("exit"), QStringLiteral("Exit"));
    // "quiet" keeps its commands out of the window (not visible).
    other.characters().character(QStringLiteral("quiet"))->commands().add(QStringLiteral("x"), QStringLiteral("X"));

    AgentControl::showCommandsWindow();
    QWidget *window = topLevel(QStringLiteral("agent_commands"));
    QVERIFY(window && window->isVisible());
    auto *tree = window->findChild<QTreeWidget *>(QStringLiteral("agent_commands_list"));
    QVERIFY(tree);
    QCOMPARE(tree->topLevelItemCount(), 2);
    QCOMPARE(tree->topLevelItem(0)->text(0), QStringLiteral("Max's commands"));
    QCOMPARE(tree->topLevelItem(0)->childCount(), 1);
    QCOMPARE(tree->topLevelItem(0)->child(0)->text(0), QStringLiteral("Say the time"));
    QCOMPARE(tree->topLevelItem(1)->text(0), QStringLiteral("Robby"));

    QSignalSpy maxCommands(m_control.get(), &AgentControl::command);
    QSignalSpy robbyCommands(&other, &AgentControl::command);
    Q_EMIT tree->itemActivated(tree->topLevelItem(1)->child(0), 0);
    QCOMPARE(robbyCommands.count(), 1);
    QCOMPARE(robbyCommands.at(0).at(0).value<UserInput>().Name, QStringLiteral("exit"));
    QCOMPARE(robbyCommands.at(0).at(0).value<UserInput>().CharacterID, QStringLiteral("robby"));
    QCOMPARE(maxCommands.count(), 0);
    Q_EMIT tree->itemActivated(tree->topLevelItem(0), 0); // a heading raises nothing
    QCOMPARE(maxCommands.count(), 0);

    // The window follows loads and unloads while it is open.
    QVERIFY(other.characters().unload(QStringLiteral("robby")));
    QCOMPARE(tree->topLevelItemCount(), 1);
    window->close();
}

void TestAgentService::optionsWindowStoresAndApplies()
{
    QVERIFY(!m_control->propertySheet().isVisible());
    m_control->propertySheet().setVisible(true);
    QVERIFY(m_control->propertySheet().isVisible());
    QWidget *window = topLevel(QStringLiteral("agent_options"));
    QVERIFY(window);
    auto *balloon = window->findChild<QCheckBox *>(QStringLiteral("agent_options_balloon"));
    auto *font = window->findChild<QSpinBox *>(QStringLiteral("agent_options_fontsize"));
    auto *spoken = window->findChild<QCheckBox *>(QStringLiteral("agent_options_spoken"));
    auto *sounds = window->findChild<QCheckBox *>(QStringLiteral("agent_options_sounds"));
    QVERIFY(balloon && font && spoken && sounds);
    QVERIFY(balloon->isChecked() && spoken->isChecked() && sounds->isChecked());

    spoken->setChecked(false);
    QCOMPARE(stored("SpokenOutput"), QStringLiteral("False"));
    QVERIFY(!chimewell::voice::outputOptions().spokenOutput);
    spoken->setChecked(true);
    QVERIFY(chimewell::voice::outputOptions().spokenOutput);
    font->setValue(14);
    QCOMPARE(stored("BalloonFontSize"), QStringLiteral("14"));
    sounds->setChecked(false);
    QCOMPARE(stored("SoundEffects"), QStringLiteral("False"));
    sounds->setChecked(true);
    QCOMPARE(stored("SoundEffects"), QStringLiteral("True"));

    // Speed and volume reach every voice, within their ranges.
    auto *speed = window->findChild<QSlider *>(QStringLiteral("agent_options_speed"));
    auto *volume = window->findChild<QSlider *>(QStringLiteral("agent_options_volume"));
    QVERIFY(speed && volume);
    speed->setValue(150);
    QCOMPARE(stored("SpeechSpeed"), QStringLiteral("150"));
    QCOMPARE(chimewell::voice::outputOptions().speedPercent, 150);
    volume->setValue(40);
    QCOMPARE(stored("SpeechVolume"), QStringLiteral("40"));
    QCOMPARE(chimewell::voice::outputOptions().volumePercent, 40);
    speed->setValue(1000);
    QCOMPARE(chimewell::voice::outputOptions().speedPercent, 200);

    m_control->propertySheet().setVisible(false);
    QVERIFY(!m_control->propertySheet().isVisible());
    // Opened again, it shows what was stored.
    m_control->propertySheet().setVisible(true);
    window = topLevel(QStringLiteral("agent_options"));
    QVERIFY(window);
    QCOMPARE(window->findChild<QSpinBox *>(QStringLiteral("agent_options_fontsize"))->value(), 14);
    QCOMPARE(window->findChild<QSlider *>(QStringLiteral("agent_options_volume"))->value(), 40);
    window->findChild<QSlider *>(QStringLiteral("agent_options_speed"))->setValue(100);
    window->findChild<QSlider *>(QStringLiteral("agent_options_volume"))->setValue(100);
    m_control->propertySheet().setVisible(false);
}

void TestAgentService::balloonOffShowsNoBalloon()
{
    m_control->propertySheet().setVisible(true);
    auto *balloonBox = topLevel(QStringLiteral("agent_options"))->findChild<QCheckBox *>(QStringLiteral("agent_options_balloon"));
    balloonBox->setChecked(false);
    QCOMPARE(stored("Balloon"), QStringLiteral("False"));
    QVERIFY(m_control->characters().load(QStringLiteral("max"), QStringLiteral("testy")));
    Character *c = m_control->characters().character(QStringLiteral("max"));
    QSignalSpy started(c, &Character::requestStarted);
    c->show(true);
    const int speech = c->speak(QStringLiteral("nobody reads this"));
    QTRY_VERIFY(!started.isEmpty() && started.last().at(0).toInt() == speech);
    QTest::qWait(20);
    QWidget *balloon = topLevel(QStringLiteral("agent_balloon_max"));
    QVERIFY(balloon);
    QVERIFY(!balloon->isVisible());
    balloonBox->setChecked(true);
    m_control->propertySheet().setVisible(false);
}

void TestAgentService::soakOfRandomRequests()
{
    // Random requests on random ids, loaded or not, with handlers that stop and
    // unload from inside the characters' own signals. It must end without a crash
    // (and, in the sanitizer build, without a leak).
    QRandomGenerator rng(20261207);
    AgentControl second;
    AgentControl *controls[] = {m_control.get(), &second};
    const QStringList ids{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")};
    const QStringList animations{QStringLiteral("Greet"), QStringLiteral("wave"), QStringLiteral("Nope"), QStringLiteral("IDLE1")};
    int loaded = 0;
    int refused = 0;
    for (int i = 0; i < 10000; ++i) {
        AgentControl *control = controls[rng.bounded(2)];
        const QString id = ids.at(rng.bounded(int(ids.size())));
        Character *c = control->characters().character(id);
        const int op = rng.bounded(13);
        if (op == 0 || !c) {
            if (control->characters().load(id, QStringLiteral("testy"))) {
                ++loaded;
                Character *fresh = control->characters().character(id);
                const int mood = rng.bounded(3);
                connect(fresh, &Character::requestComplete, fresh, [fresh, control, id, mood](int requestId, bool) {
                    if (mood == 1 && requestId % 7 == 0)
                        fresh->stop();
                    else if (mood == 2 && requestId % 11 == 0)
                        control->characters().unload(id);
                });
            } else {
                ++refused;
            }
            continue;
        }
        switch (op) {
        case 1: control->characters().unload(id); break;
        case 2: c->show(rng.bounded(2)); break;
        case 3: c->hide(rng.bounded(2)); break;
        case 4: c->speak(rng.bounded(4) ? QStringLiteral("hi") : QString()); break;
        case 5:
        case 6: c->play(animations.at(rng.bounded(int(animations.size())))); break;
        case 7: c->moveTo(rng.bounded(-100, 1500), rng.bounded(-100, 1000), rng.bounded(3) * 40); break;
        case 8:
        case 9: c->stop(); break;
        case 10: c->setSoundEffectsOn(rng.bounded(2)); break;
        case 11: c->setLeft(rng.bounded(0, 800)); break;
        default: c->commands().add(QStringLiteral("cmd%1").arg(rng.bounded(5))); break;
        }
        if (i % 50 == 0)
            QTest::qWait(rng.bounded(3)); // let the timers and the speaker run
    }
    QVERIFY(loaded > 100);
    QVERIFY(refused > 0); // ids loaded already
    QTest::qWait(50);
    for (AgentControl *control : controls) {
        for (const QString &id : control->characters().ids())
            QVERIFY(control->characters().unload(id));
        QVERIFY(control->characters().ids().isEmpty());
    }
    QTest::qWait(10); // deferred deletions
}

QTEST_MAIN(TestAgentService)
#include "tst_agentservice.moc"
