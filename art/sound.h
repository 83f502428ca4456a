#pragma once

#include <QByteArray>

#include <vector>

// Sound effects synthesized in code: 16-bit PCM, 22050 Hz, mono.
namespace chimewell::art::sound {

inline constexpr int sampleRate = 22050;

// A RIFF WAVE file around the samples (-1..1, clipped).
QByteArray wav(const std::vector<float> &samples);

// A rising three-note chime; pitch scales every note.
QByteArray chime(double pitch);
// A bubbly pop that slides up.
QByteArray pop(double pitch);
// A short brass-like fanfare: three quick notes and a held chord.
QByteArray fanfare(double pitch);

} // namespace chimewell::art::sound
