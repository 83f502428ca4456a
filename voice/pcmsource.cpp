#include "voice/pcmsource.h"

#include <algorithm>
#include <cstring>

namespace chimewell::voice {

PcmSource::PcmSource(int sampleRate, QObject *parent) : QIODevice(parent), m_rate(std::max(1, sampleRate)) {}

void PcmSource::append(const QByteArray &pcm)
{
    if (pcm.isEmpty())
        return;
    m_chunks.push_back(pcm);
    m_buffered += pcm.size();
    Q_EMIT readyRead();
}

qint64 PcmSource::bytesAvailable() const
{
    return m_buffered + QIODevice::bytesAvailable();
}

qint64 PcmSource::readData(char *data, qint64 maxSize)
{
    maxSize &= ~qint64(1); // whole samples only
    qint64 done = 0;
    while (done < maxSize && !m_chunks.empty()) {
        const QByteArray &front = m_chunks.front();
        const qint64 n = std::min<qint64>(maxSize - done, front.size() - m_frontOffset);
        std::memcpy(data + done, front.constData() + m_frontOffset, size_t(n));
        done += n;
        m_frontOffset += n;
        m_buffered -= n;
        if (m_frontOffset >= front.size()) {
            m_chunks.pop_front();
            m_frontOffset = 0;
        }
    }
    if (done == 0 && maxSize > 0) {
        // Nothing to say yet (or any more): a short stretch of silence keeps the sink going.
        const qint64 n = std::min<qint64>(maxSize, qint64(m_rate) / 50 * 2);
        std::memset(data, 0, size_t(n));
        const qint64 samples = n / 2;
        if (!m_gaps.empty() && m_gaps.back().start + m_gaps.back().length == m_handedOut) {
            m_gaps.back().length += samples;
        } else {
            const qint64 before = m_gaps.empty() ? 0 : m_gaps.back().before + m_gaps.back().length;
            m_gaps.push_back({m_handedOut, samples, before});
        }
        done = n;
    }
    m_handedOut += done / 2;
    return done;
}

qint64 PcmSource::writeData(const char *, qint64)
{
    return -1;
}

qint64 PcmSource::speechSamplesAt(qint64 deviceSamples) const
{
    deviceSamples = std::clamp<qint64>(deviceSamples, 0, m_handedOut);
    // The last gap that starts before the position.
    auto it = std::upper_bound(m_gaps.begin(), m_gaps.end(), deviceSamples,
                               [](qint64 s, const Gap &g) { return s < g.start; });
    if (it == m_gaps.begin())
        return deviceSamples;
    const Gap &g = *(it - 1);
    const qint64 inGap = std::min(deviceSamples - g.start, g.length);
    return deviceSamples - g.before - inGap;
}

} // namespace chimewell::voice
