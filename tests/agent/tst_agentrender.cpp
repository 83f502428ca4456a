// What the character window paints: frames, the mouth while speaking, the 2x
// pictures on a HiDPI screen, idling, and sound effects without an audio device.
#include "agent/agent.h"
#include "agent/agent_p.h"
#include "acsbuilder.h"
#include "tests/support/widgets.h"

#include <QApplication>
#include <QJsonArray>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QRegularExpression>
#include <QTest>

using namespace chimewell::agent;

namespace {
using chimewell::testing::topLevel;

bool near(const QColor &a, const QColor &b, int tolerance = 30)
{
    return qAbs(a.red() - b.red()) <= tolerance && qAbs(a.green() - b.green()) <= tolerance
        && qAbs(a.blue() - b.blue()) <= tolerance;
}

// The colour at (x, y) of the window, in logical pixels.
QColor pixel(QWidget *w, int x, int y)
{
    const QImage img = w->grab().toImage();
    const qreal dpr = img.devicePixelRatio();
    return img.pixelColor(int(x * dpr), int(y * dpr));
}

// Speaking frames carry the mouth; the mouth is a black bar at (12, 20).
test::TestCharacter speakingCharacter()
{
    test::TestCharacter t(32, 30);
    t.files.insert(QStringLiteral("mouth/open.png"), test::png([] {
        QImage m(8, 4, QImage::Format_ARGB32);
        m.fill(Qt::black);
        return m;
    }()));
    t.manifest.insert(QStringLiteral("mouth"), QJsonObject{{QStringLiteral("x"), 12}, {QStringLiteral("y"), 20},
                                                           {QStringLiteral("images"), QJsonObject{{QStringLiteral("open"), QStringLiteral("mouth/open.png")}}}});
    QJsonObject anims = t.manifest.value(QStringLiteral("animations")).toObject();
    QJsonObject speak = anims.value(QStringLiteral("Speak")).toObject();
    QJsonArray frames = speak.value(QStringLiteral("frames")).toArray();
    for (int i = 0; i < frames.size(); ++i) {
        QJsonObject f = frames.at(i).toObject();
        f.insert(QStringLiteral("mouth"), true);
        frames.replace(i, f);
    }
    speak.insert(QStringLiteral("frames"), frames);
    anims.insert(QStringLiteral("Speak"), speak);
    // Greet's first frame makes a sound.
    QJsonObject greet = anims.value(QStringLiteral("Greet")).toObject();
    QJsonArray gf = greet.value(QStringLiteral("frames")).toArray();
    QJsonObject first = gf.at(0).toObject();
    first.insert(QStringLiteral("sound"), QStringLiteral("sounds/greet.wav"));
    gf.replace(0, first);
    greet.insert(QStringLiteral("frames"), gf);
    anims.insert(QStringLiteral("Greet"), greet);
    t.manifest.insert(QStringLiteral("animations"), anims);
    t.files.insert(QStringLiteral("sounds/greet.wav"), test::wav(30));
    // The rest pose on a HiDPI screen is green instead of red.
    t.files.insert(QStringLiteral("2x/frames/restpose_0.png"), test::png(test::paintFrame(32, 32, QColor(0, 220, 0), 2.0)));
    return t;
}

// "Count": six frames of 150 ms, each its own colour, at 1x and 2x.
const QList<QColor> kCountColours{Qt::blue, Qt::yellow, Qt::magenta, Qt::cyan, QColor(255, 128, 0), QColor(0, 128, 0)};
test::TestCharacter countingCharacter()
{
    test::TestCharacter t(32, 30);
    QJsonArray frames;
    for (int i = 0; i < kCountColours.size(); ++i) {
        const QString image = QStringLiteral("frames/count_%1.png").arg(i);
        t.files.insert(image, test::png(test::paintFrame(32, 32, kCountColours.at(i))));
        t.files.insert(QStringLiteral("2x/") + image, test::png(test::paintFrame(32, 32, kCountColours.at(i), 2.0)));
        frames.append(QJsonObject{{QStringLiteral("image"), image}, {QStringLiteral("duration"), 150}});
    }
    QJsonObject anims = t.manifest.value(QStringLiteral("animations")).toObject();
    anims.insert(QStringLiteral("Count"), QJsonObject{{QStringLiteral("frames"), frames}});
    t.manifest.insert(QStringLiteral("animations"), anims);
    return t;
}
} // namespace

class TestAgentRender : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void drawsTheRestPose();
    void drawsTheMouthWhileSpeaking();
    void idlesNowAndThen();
    void soundEffectsNeverHang();
    void everyFrameOnTimeWhenFirstPlayed_data();
    void everyFrameOnTimeWhenFirstPlayed();

private:
    Character *loadShown();
    QTemporaryDir m_home;
    std::unique_ptr<AgentControl> m_control;
};

void TestAgentRender::initTestCase()
{
    QVERIFY(m_home.isValid());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_home.filePath(QStringLiteral("config"))));
    QVERIFY(!speakingCharacter().write(m_home.path(), QStringLiteral("talker.acs")).isEmpty());
    QVERIFY(!countingCharacter().write(m_home.path(), QStringLiteral("counter.acs")).isEmpty());
}

void TestAgentRender::init()
{
    // Any warning fails the test unless the test expects it (ignoreMessage) or it is
    // the platform or the audio system saying what this machine lacks.
    QTest::failOnWarning(QRegularExpression(QStringLiteral("^(?!This plugin does not support|PulseAudioService|pa_context|QAudio|ALSA).*")));
    m_control = std::make_unique<AgentControl>();
}
void TestAgentRender::cleanup() { m_control.reset(); }

Character *TestAgentRender::loadShown()
{
    if (!m_control->characters().load(QStringLiteral("max"), m_home.filePath(QStringLiteral("talker.acs"))))
        return nullptr;
    Character *c = m_control->characters().character(QStringLiteral("max"));
    c->show(true);
    if (!QTest::qWaitFor([c] { return c->isVisible(); }, 2000))
        return nullptr;
    return c;
}

void TestAgentRender::drawsTheRestPose()
{
    Character *c = loadShown();
    QVERIFY(c);
    QWidget *w = topLevel(QStringLiteral("agent_character_max"));
    QVERIFY(w);
    const bool hiDpi = w->devicePixelRatioF() > 1.0;
    QCOMPARE(hiDpi, qEnvironmentVariableIsSet("AGENT_TEST_SCALE"));
    // Scale 1 paints the red picture; a HiDPI screen the green 2x one.
    const QColor centre = pixel(w, 16, 16);
    QVERIFY2(near(centre, hiDpi ? QColor(0, 220, 0) : QColor(200, 30, 30)), qPrintable(centre.name()));
    QCOMPARE(pixel(w, 1, 1).alpha(), 0);
}

void TestAgentRender::drawsTheMouthWhileSpeaking()
{
    Character *c = loadShown();
    QVERIFY(c);
    QWidget *w = topLevel(QStringLiteral("agent_character_max"));
    QVERIFY(!near(pixel(w, 14, 21), Qt::black));
    QSignalSpy done(c, &Character::requestComplete);
    const int speech = c->speak(QStringLiteral("one two three four"));
    // The stand-in speaker opens the mouth on its words.
    QTRY_VERIFY_WITH_TIMEOUT(near(pixel(w, 14, 21), Qt::black), 5000);
    QTRY_VERIFY_WITH_TIMEOUT(!done.isEmpty() && done.last().at(0).toInt() == speech, 10000);
    QTRY_VERIFY(!near(pixel(w, 14, 21), Qt::black));
}

void TestAgentRender::idlesNowAndThen()
{
    // Idling plays Idle1 or Blink (greys) within a few seconds, then rests again.
    Character *c = loadShown();
    QVERIFY(c);
    QWidget *w = topLevel(QStringLiteral("agent_character_max"));
    const auto grey = [](const QColor &col) { return qAbs(col.red() - col.green()) < 8 && qAbs(col.green() - col.blue()) < 8 && col.alpha() > 0; };
    QTRY_VERIFY_WITH_TIMEOUT(grey(pixel(w, 16, 16)), 10000);
    QVERIFY(!c->isBusy()); // idling is no request
}

void TestAgentRender::soundEffectsNeverHang()
{
    Character *c = loadShown();
    QVERIFY(c);
    QSignalSpy done(c, &Character::requestComplete);
    c->setSoundEffectsOn(true);
    const int a = c->play(QStringLiteral("Greet"));
    c->setSoundEffectsOn(false);
    const int b = c->play(QStringLiteral("Greet"));
    QTRY_VERIFY_WITH_TIMEOUT(done.size() >= 2, 5000);
    QCOMPARE(done.at(0).at(0).toInt(), a);
    QVERIFY(done.at(0).at(1).toBool());
    QCOMPARE(done.at(1).at(0).toInt(), b);
}

void TestAgentRender::everyFrameOnTimeWhenFirstPlayed_data()
{
    QTest::addColumn<qint64>("budget");
    QTest::newRow("cache as loaded") << qint64(-1);
    // Smaller than one picture: every frame is decoded again as it comes.
    QTest::newRow("cache smaller than one animation") << qint64(1);
}

void TestAgentRender::everyFrameOnTimeWhenFirstPlayed()
{
    QFETCH(qint64, budget);
    QVERIFY(m_control->characters().load(QStringLiteral("counter"), m_home.filePath(QStringLiteral("counter.acs"))));
    Character *c = m_control->characters().character(QStringLiteral("counter"));
    c->show(true);
    QTRY_VERIFY(c->isVisible());
    if (budget >= 0)
        CharacterPrivate::get(c)->m_data.store->setBudget(budget);
    QWidget *w = topLevel(QStringLiteral("agent_character_counter"));
    QVERIFY(w);

    // The window is sampled every few ms from the moment the request starts: the
    // frames must come in order, none left out, the first at once.
    QElapsedTimer clock;
    QList<QPair<qint64, int>> seen; // ms since the start, frame
    QTimer sampler;
    sampler.setTimerType(Qt::PreciseTimer);
    connect(&sampler, &QTimer::timeout, this, [&] {
        const QColor now = pixel(w, 16, 16);
        for (int i = 0; i < kCountColours.size(); ++i) {
            if (near(now, kCountColours.at(i), 40) && (seen.isEmpty() || seen.last().second != i))
                seen.append({clock.elapsed(), i});
        }
    });
    const int id = c->play(QStringLiteral("Count"));
    connect(c, &Character::requestStarted, this, [&](int started) {
        if (started != id)
            return;
        clock.start();
        sampler.start(5);
    });
    QSignalSpy done(c, &Character::requestComplete);
    QTRY_VERIFY_WITH_TIMEOUT(!done.isEmpty(), 5000);
    sampler.stop();
    QVERIFY(done.first().at(1).toBool());
    QStringList order;
    for (const auto &[ms, frame] : std::as_const(seen))
        order << QStringLiteral("%1@%2ms").arg(frame).arg(ms);
    QCOMPARE(seen.size(), kCountColours.size());
    for (int i = 0; i < seen.size(); ++i)
        QVERIFY2(seen.at(i).second == i, qPrintable(order.join(QLatin1Char(' '))));
    QVERIFY2(seen.first().first < 60, qPrintable(order.join(QLatin1Char(' '))));
}

int main(int argc, char **argv)
{
    // Registered twice: as it is, and at scale 2 for the HiDPI pictures.
    if (qEnvironmentVariableIsSet("AGENT_TEST_SCALE"))
        qputenv("QT_SCALE_FACTOR", qgetenv("AGENT_TEST_SCALE"));
    QApplication app(argc, argv);
    TestAgentRender test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_agentrender.moc"
