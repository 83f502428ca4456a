#include "voice/tone.h"

#include "voice/audiooutput.h"

#include "voice/speaker.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QBuffer>
#include <QMediaDevices>
#include <QPointer>

#include <algorithm>
#include <cmath>

namespace chimewell::voice {

namespace {
constexpr int kRate = 22050;
constexpr int kFadeMs = 8; // soft edges, so the tone does not click
} // namespace

class TonePlayer::Private
{
public:
    QPointer<QAudioSink> sink;
    bool broken = false; // the device refused once: bell from now on
};

TonePlayer::TonePlayer(QObject *parent) : QObject(parent), d(std::make_unique<Private>()) {}

TonePlayer::~TonePlayer()
{
    if (d->sink) {
        d->sink->stop();
        delete d->sink.data();
    }
}

static QByteArray sineTone(int hertz, int ms, double volume)
{
    const int samples = kRate * ms / 1000;
    const int fade = std::max(1, kRate * kFadeMs / 1000);
    QByteArray pcm(samples * 2, Qt::Uninitialized);
    auto *out = reinterpret_cast<qint16 *>(pcm.data());
    const double step = 2.0 * M_PI * hertz / kRate;
    for (int i = 0; i < samples; ++i) {
        const double edge = std::min({1.0, double(i) / fade, double(samples - 1 - i) / fade});
        out[i] = qint16(std::lround(std::sin(step * i) * edge * volume * 0.4 * 32767));
    }
    return pcm;
}

bool TonePlayer::play(int hertz, int ms)
{
    if (d->broken || hertz <= 0 || ms <= 0)
        return false;
    const OutputOptions options = outputOptions();
    if (!options.spokenOutput)
        return false; // the user silenced the voices: the bell stands in, as for any program
    QAudioDevice device;
    QAudioFormat format;
    if (!monoOutput(kRate, &device, &format))
        return false;

    // One tone at a time: the previous one is over long before the next second.
    if (d->sink) {
        d->sink->stop();
        d->sink->deleteLater();
        d->sink = nullptr;
    }
    auto *sink = new QAudioSink(device, format, this);
    auto *buffer = new QBuffer(sink);
    buffer->setData(sineTone(hertz, ms, std::clamp(options.volumePercent, 0, 100) / 100.0));
    buffer->open(QIODevice::ReadOnly);
    // Pull mode: the audio backend reads the buffer on its own; nothing here waits.
    sink->start(buffer);
    if (sink->state() == QAudio::StoppedState && sink->error() != QAudio::NoError) {
        d->broken = true;
        sink->deleteLater();
        return false;
    }
    connect(sink, &QAudioSink::stateChanged, this, [this, sink](QAudio::State state) {
        if (state == QAudio::IdleState && d->sink == sink) {
            // Not inside the sink's own signal: finished on the next turn.
            d->sink = nullptr;
            sink->stop();
            sink->deleteLater();
        }
    });
    d->sink = sink;
    return true;
}

} // namespace chimewell::voice
