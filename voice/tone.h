#pragma once

#include <QObject>

#include <memory>

// A short tone through the same audio path as the voice, for a ticking
// countdown. The X bell is silent on most desktops, so programs that need to
// be heard play this and fall back to the bell only where there is no audio.
namespace chimewell::voice {

class TonePlayer final : public QObject
{
    Q_OBJECT
public:
    explicit TonePlayer(QObject *parent = nullptr);
    ~TonePlayer() override;

    // Starts a tone of `ms` milliseconds at `hertz` and returns at once; false
    // when no audio output can play it (the caller then rings the bell).
    bool play(int hertz = 880, int ms = 120);

private:
    class Private;
    std::unique_ptr<Private> d;
};

} // namespace chimewell::voice
