#pragma once

#include <QByteArray>
#include <QIODevice>

#include <deque>
#include <vector>

// The audio a sink pulls for one speech. When the engine has not delivered yet it hands
// out silence instead of running dry (so the sink never stops on an underrun), and
// remembers where, so the position heard can be told back in speech samples.
namespace chimewell::voice {

class PcmSource final : public QIODevice
{
    Q_OBJECT
public:
    explicit PcmSource(int sampleRate, QObject *parent = nullptr);

    void append(const QByteArray &pcm);
    // Samples of speech among the first `deviceSamples` samples handed to the sink.
    qint64 speechSamplesAt(qint64 deviceSamples) const;
    qint64 buffered() const { return m_buffered; }

    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override;

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *data, qint64 size) override;

private:
    struct Gap
    {
        qint64 start;  // device sample
        qint64 length; // samples of silence
        qint64 before; // silence handed out before `start`
    };
    int m_rate;
    std::deque<QByteArray> m_chunks;
    qsizetype m_frontOffset = 0;
    qint64 m_buffered = 0; // bytes not handed out yet
    qint64 m_handedOut = 0; // samples
    std::vector<Gap> m_gaps;
};

} // namespace chimewell::voice
