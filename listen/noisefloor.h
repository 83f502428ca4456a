#pragma once

#include <QtGlobal>

#include <array>

// What the recogniser learns of the room from the audio of one utterance.
//
// It adds a faint pink hiss a set distance below the loudest sound so far: the
// model learnt from recordings that always had a room behind the voice, and speech
// with nothing behind it (a noise gate, a noise-cancelling headset, synthesized
// speech) has spectral holes it hears badly, espeak-ng's "home" as "tell". In a room
// the hiss lies far below what the microphone already hears.
//
// And it tells how far the speech stands above the room's own noise, which decides
// how sure the recogniser must be: in noise, the yardstick of any sounds in any
// order explains what is heard less well, and a sentence scores nearer a command.
namespace chimewell::listen {

class NoiseFloor
{
public:
    // dB below the loudest 10 ms so far.
    static constexpr double kBelowLoudestDb = 45;
    // Never fainter than this (RMS in 16-bit steps, about -72 dBFS), so the quiet
    // before the first word has it too.
    static constexpr double kLeast = 8;

    void reset();
    // Notes the level of `samples` and adds the hiss to them, in place.
    void add(qint16 *samples, qsizetype count);
    // The loud tenth of the utterance's 10 ms pieces against its quiet tenth, in dB.
    double signalToNoiseDb() const;

private:
    double m_loudest = 0; // RMS of the loudest 10 ms so far
    // How many 10 ms pieces lay at each level, in dB steps from kLeast up.
    std::array<int, 100> m_levels{};
    int m_pieces = 0;
    quint32 m_random = 1; // a fixed sequence: the same audio is heard the same way
    double m_b0 = 0, m_b1 = 0, m_b2 = 0; // the pinking filter's state
};

} // namespace chimewell::listen
