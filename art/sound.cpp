#include "sound.h"

#include <QtEndian>

#include <algorithm>
#include <cmath>

namespace chimewell::art::sound {

namespace {
constexpr double twoPi = 6.28318530717958647692;

void put16(QByteArray &b, quint16 v)
{
    char c[2];
    qToLittleEndian(v, c);
    b.append(c, 2);
}
void put32(QByteArray &b, quint32 v)
{
    char c[4];
    qToLittleEndian(v, c);
    b.append(c, 4);
}

// Adds a bell-like tone (a few inharmonic partials, fast attack, exponential decay).
void bell(std::vector<float> &out, double start, double freq, double length, double gain)
{
    const int from = int(start * sampleRate);
    const int n = int(length * sampleRate);
    if (out.size() < size_t(from + n))
        out.resize(from + n, 0.f);
    for (int i = 0; i < n; ++i) {
        const double t = double(i) / sampleRate;
        const double env = std::min(1.0, t / 0.004) * std::exp(-t * 5.5);
        const double v = std::sin(twoPi * freq * t) + 0.4 * std::sin(twoPi * freq * 2.76 * t) * std::exp(-t * 9) +
                         0.2 * std::sin(twoPi * freq * 5.4 * t) * std::exp(-t * 16);
        out[from + i] += float(gain * env * v);
    }
}

// Adds a buzzy horn note: a few harmonics with a soft attack and vibrato.
void horn(std::vector<float> &out, double start, double freq, double length, double gain)
{
    const int from = int(start * sampleRate);
    const int n = int(length * sampleRate);
    if (out.size() < size_t(from + n))
        out.resize(from + n, 0.f);
    double phase = 0;
    for (int i = 0; i < n; ++i) {
        const double t = double(i) / sampleRate;
        const double env = std::min(1.0, t / 0.02) * std::min(1.0, (length - t) / 0.06);
        const double f = freq * (1 + 0.006 * std::sin(twoPi * 5.5 * t) * std::min(1.0, t / 0.15));
        phase += twoPi * f / sampleRate;
        double v = 0;
        for (int h = 1; h <= 6; ++h)
            v += std::sin(phase * h) / (h * 0.9);
        out[from + i] += float(gain * env * v * 0.45);
    }
}

void normalise(std::vector<float> &s, double peak)
{
    float m = 0;
    for (float v : s)
        m = std::max(m, std::abs(v));
    if (m > 0)
        for (float &v : s)
            v = float(v / m * peak);
}
} // namespace

QByteArray wav(const std::vector<float> &samples)
{
    const quint32 data = quint32(samples.size() * 2);
    QByteArray b;
    b.reserve(int(44 + data));
    b.append("RIFF", 4);
    put32(b, 36 + data);
    b.append("WAVEfmt ", 8);
    put32(b, 16);
    put16(b, 1); // PCM
    put16(b, 1); // mono
    put32(b, sampleRate);
    put32(b, sampleRate * 2);
    put16(b, 2);
    put16(b, 16);
    b.append("data", 4);
    put32(b, data);
    for (float v : samples)
        put16(b, quint16(qint16(std::lround(std::clamp(v, -1.f, 1.f) * 32767))));
    return b;
}

QByteArray chime(double pitch)
{
    std::vector<float> s;
    const double base = 659.25 * pitch; // E5
    bell(s, 0.00, base, 0.7, 0.8);
    bell(s, 0.11, base * 1.26, 0.7, 0.7);
    bell(s, 0.22, base * 1.5, 0.9, 0.7);
    normalise(s, 0.7);
    return wav(s);
}

QByteArray pop(double pitch)
{
    std::vector<float> s(size_t(0.28 * sampleRate), 0.f);
    double phase = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        const double t = double(i) / sampleRate;
        // A quick upward sweep, like a bubble or a cork.
        const double f = pitch * (300 + 900 * (1 - std::exp(-t * 30)));
        phase += twoPi * f / sampleRate;
        const double env = std::min(1.0, t / 0.003) * std::exp(-t * 14);
        s[i] = float(env * (std::sin(phase) + 0.25 * std::sin(2 * phase)));
    }
    bell(s, 0.09, 1567.98 * pitch, 0.18, 0.35);
    normalise(s, 0.7);
    return wav(s);
}

QByteArray fanfare(double pitch)
{
    std::vector<float> s;
    const double c = 392.0 * pitch; // G4
    horn(s, 0.00, c, 0.14, 0.6);
    horn(s, 0.15, c, 0.14, 0.6);
    horn(s, 0.30, c, 0.14, 0.6);
    horn(s, 0.45, c * 1.335, 0.65, 0.6);
    horn(s, 0.45, c * 1.68, 0.65, 0.45);
    horn(s, 0.45, c * 2.0, 0.65, 0.35);
    bell(s, 0.45, c * 4, 0.6, 0.25);
    normalise(s, 0.7);
    return wav(s);
}

} // namespace chimewell::art::sound
