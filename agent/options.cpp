#include "agent/agent_p.h"

#include "common/settingsstore.h"

namespace chimewell::agent {

namespace {
// The service keeps its own options apart from the programs' store.
constexpr char kApp[] = "ChimewellAgent";
constexpr char kSection[] = "Options";
constexpr char kBalloon[] = "Balloon";
constexpr char kFontSize[] = "BalloonFontSize";
constexpr char kSpokenOutput[] = "SpokenOutput";
constexpr char kSoundEffects[] = "SoundEffects";
constexpr char kSpeed[] = "SpeechSpeed";
constexpr char kVolume[] = "SpeechVolume";
constexpr char kListeningKey[] = "ListeningKey";

// A stored percentage within [min, max], or the fallback.
int readPercent(const char *key, int min, int max, int fallback)
{
    bool ok = false;
    const int v = store::read(QString::fromLatin1(kApp), QString::fromLatin1(kSection), QString::fromLatin1(key),
                              QString())
                      .trimmed()
                      .toInt(&ok);
    return ok ? qBound(min, v, max) : fallback;
}

bool readBool(const char *key, bool fallback)
{
    const QString v = store::read(QString::fromLatin1(kApp), QString::fromLatin1(kSection), QString::fromLatin1(key), QString()).trimmed();
    if (v.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
        return true;
    if (v.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
        return false;
    return fallback;
}

void writeValue(const char *key, const QString &value)
{
    store::write(QLatin1String(kApp), QLatin1String(kSection), QLatin1String(key), value);
}

QString boolText(bool on) { return on ? QStringLiteral("True") : QStringLiteral("False"); }
} // namespace

Options &Options::instance()
{
    static Options *options = new Options; // lives as long as the program
    return *options;
}

Options::Options() { reload(); }

void Options::reload()
{
    m_balloon = readBool(kBalloon, true);
    bool ok = false;
    const int size = store::read(QString::fromLatin1(kApp), QString::fromLatin1(kSection), QString::fromLatin1(kFontSize), QString()).toInt(&ok);
    m_fontSize = ok ? qBound(minFontSize, size, maxFontSize) : 10;
    m_spokenOutput = readBool(kSpokenOutput, true);
    m_soundEffects = readBool(kSoundEffects, true);
    m_speechSpeed = readPercent(kSpeed, minSpeed, maxSpeed, 100);
    m_speechVolume = readPercent(kVolume, 0, 100, 100);
    m_listeningKey = store::read(QString::fromLatin1(kApp), QString::fromLatin1(kSection), QString::fromLatin1(kListeningKey),
                                 QStringLiteral("Scroll_Lock"))
                         .trimmed();
    if (m_listeningKey.isEmpty())
        m_listeningKey = QStringLiteral("Scroll_Lock");
    applyVoice();
    Q_EMIT changed();
}

void Options::applyVoice()
{
    voice::OutputOptions o = voice::outputOptions();
    o.spokenOutput = m_spokenOutput;
    o.speedPercent = m_speechSpeed;
    o.volumePercent = m_speechVolume;
    voice::setOutputOptions(o);
}

void Options::setBalloon(bool on)
{
    if (on == m_balloon)
        return;
    m_balloon = on;
    writeValue(kBalloon, boolText(on));
    Q_EMIT changed();
}

void Options::setFontSize(int points)
{
    points = qBound(minFontSize, points, maxFontSize);
    if (points == m_fontSize)
        return;
    m_fontSize = points;
    writeValue(kFontSize, QString::number(points));
    Q_EMIT changed();
}

void Options::setSpokenOutput(bool on)
{
    if (on == m_spokenOutput)
        return;
    m_spokenOutput = on;
    writeValue(kSpokenOutput, boolText(on));
    applyVoice();
    Q_EMIT changed();
}

void Options::setSoundEffects(bool on)
{
    if (on == m_soundEffects)
        return;
    m_soundEffects = on;
    writeValue(kSoundEffects, boolText(on));
    Q_EMIT changed();
}

void Options::setSpeechSpeed(int percent)
{
    percent = qBound(minSpeed, percent, maxSpeed);
    if (percent == m_speechSpeed)
        return;
    m_speechSpeed = percent;
    writeValue(kSpeed, QString::number(percent));
    applyVoice();
    Q_EMIT changed();
}

void Options::setListeningKey(const QString &key)
{
    if (key.isEmpty() || key == m_listeningKey)
        return;
    m_listeningKey = key;
    writeValue(kListeningKey, key);
    service::listeningKeyChanged();
    Q_EMIT changed();
}

void Options::setSpeechVolume(int percent)
{
    percent = qBound(0, percent, 100);
    if (percent == m_speechVolume)
        return;
    m_speechVolume = percent;
    writeValue(kVolume, QString::number(percent));
    applyVoice();
    Q_EMIT changed();
}

} // namespace chimewell::agent
