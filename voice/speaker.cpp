#include "voice/speaker.h"
// Contributors: read CONTRIBUTING.md at the top of the tree before changing anything here.

#include <QRegularExpression>
#include <QTimer>

// A first, silent voice: words are paced at about 160 per minute so balloons,
// queues and Stop behave as they will with real speech.
namespace chimewell::voice {

namespace {
OutputOptions g_options;
}

void setOutputOptions(const OutputOptions &options) { g_options = options; }
OutputOptions outputOptions() { return g_options; }

QString displayText(const QString &taggedText)
{
    static const QRegularExpression tag(QStringLiteral(R"(\\[^\\]*\\)"));
    QString t = taggedText;
    t.replace(tag, QString());
    return t.simplified();
}

bool engineAvailable() { return true; }

class Speaker::Private
{
public:
    Voice voice;
    QTimer timer;
    QString text;
    int pos = 0;
    bool speaking = false;
};

Speaker::Speaker(QObject *parent) : QObject(parent), d(std::make_unique<Private>())
{
    d->timer.setInterval(60000 / 160);
    connect(&d->timer, &QTimer::timeout, this, [this] {
        static const QRegularExpression word(QStringLiteral(R"(\S+)"));
        const auto m = word.match(d->text, d->pos);
        if (!m.hasMatch()) {
            stop();
            return;
        }
        d->pos = m.capturedEnd();
        Q_EMIT wordReached(m.capturedStart(), m.capturedLength());
        Q_EMIT mouthChanged(d->pos % 2 ? Mouth::Open : Mouth::Small);
    });
}

Speaker::~Speaker() = default;

void Speaker::setVoice(const Voice &voice) { d->voice = voice; }
Voice Speaker::voice() const { return d->voice; }

void Speaker::speak(const QString &taggedText)
{
    if (d->speaking)
        stop();
    d->text = displayText(taggedText);
    d->pos = 0;
    d->speaking = true;
    Q_EMIT started(d->text);
    d->timer.start();
}

void Speaker::stop()
{
    if (!d->speaking)
        return;
    d->timer.stop();
    d->speaking = false;
    Q_EMIT mouthChanged(Mouth::Closed);
    Q_EMIT finished();
}

bool Speaker::isSpeaking() const { return d->speaking; }

} // namespace chimewell::voice
