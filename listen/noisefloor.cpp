#include "listen/noisefloor.h"

#include <cmath>

namespace chimewell::listen {

void NoiseFloor::reset()
{
    m_loudest = 0;
    m_levels.fill(0);
    m_pieces = 0;
    m_random = 1;
    m_b0 = m_b1 = m_b2 = 0;
}

double NoiseFloor::signalToNoiseDb() const
{
    if (m_pieces == 0)
        return 0;
    // The level below which `share` of the pieces lie.
    const auto level = [this](double share) {
        int seen = 0;
        for (int db = 0; db < int(m_levels.size()); ++db)
            if ((seen += m_levels[size_t(db)]) >= share * m_pieces)
                return db;
        return int(m_levels.size()) - 1;
    };
    return level(0.9) - level(0.1);
}

void NoiseFloor::add(qint16 *samples, qsizetype count)
{
    constexpr qsizetype kStep = 160; // 10 ms
    const double below = std::pow(10.0, -kBelowLoudestDb / 20);
    for (qsizetype at = 0; at < count; at += kStep) {
        const qsizetype n = qMin(kStep, count - at);
        double energy = 0;
        for (qsizetype i = at; i < at + n; ++i)
            energy += double(samples[i]) * samples[i];
        const double rms = std::sqrt(energy / double(n));
        m_loudest = qMax(m_loudest, rms);
        const int db = int(std::lround(20 * std::log10(qMax(rms, kLeast) / kLeast)));
        ++m_levels[size_t(qMin(db, int(m_levels.size()) - 1))];
        ++m_pieces;
        const double level = qMax(kLeast, m_loudest * below);
        for (qsizetype i = at; i < at + n; ++i) {
            m_random = m_random * 1664525u + 1013904223u;
            const double white = double(m_random >> 8) / double(1u << 23) - 1; // -1 to 1
            // Paul Kellet's economy pinking filter; its output has an RMS of about 1.74.
            m_b0 = 0.99765 * m_b0 + white * 0.0990460;
            m_b1 = 0.96300 * m_b1 + white * 0.2965164;
            m_b2 = 0.57000 * m_b2 + white * 1.0526913;
            const double pink = (m_b0 + m_b1 + m_b2 + white * 0.1848) / 1.74;
            samples[i] = qint16(qBound(-32768.0, samples[i] + level * pink, 32767.0));
        }
    }
}

} // namespace chimewell::listen
