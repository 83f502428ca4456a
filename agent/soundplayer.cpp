#include "agent/agent_p.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QBuffer>
#include <QMediaDevices>

namespace chimewell::agent {

SoundPlayer::SoundPlayer() = default;

SoundPlayer::~SoundPlayer() { stop(); }

void SoundPlayer::play(const Sound &sound)
{
    stop();
    if (sound.pcm.isEmpty())
        return;
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull())
        return; // no audio here: sound effects are simply not heard
    QAudioFormat format;
    format.setSampleRate(sound.sampleRate);
    format.setChannelCount(sound.channels);
    format.setSampleFormat(sound.bitsPerSample == 8 ? QAudioFormat::UInt8 : QAudioFormat::Int16);
    if (!device.isFormatSupported(format))
        return;
    m_buffer = std::make_unique<QBuffer>();
    m_buffer->setData(sound.pcm);
    m_buffer->open(QIODevice::ReadOnly);
    m_sink = std::make_unique<QAudioSink>(device, format);
    QAudioSink *sink = m_sink.get();
    connect(sink, &QAudioSink::stateChanged, this, [this, sink](QAudio::State state) {
        if (state != QAudio::IdleState && state != QAudio::StoppedState)
            return;
        // Deleting the sink inside its own signal is not safe; finish on the next turn.
        QMetaObject::invokeMethod(this, [this, sink] {
            if (m_sink.get() == sink)
                stop();
        }, Qt::QueuedConnection);
    });
    m_sink->start(m_buffer.get());
}

void SoundPlayer::stop()
{
    if (m_sink) {
        m_sink->disconnect(this);
        m_sink->stop();
        m_sink.reset();
    }
    m_buffer.reset();
}

} // namespace chimewell::agent
