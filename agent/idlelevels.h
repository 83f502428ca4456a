#pragma once

#include <QDateTime>

// How lively an idle character is: from the moment anyone last asked it
// anything (a request, a click, a drag, the listening key), it idles often for
// half a minute, then now and then, and after five minutes it dozes until woken.
// Time comes from chimewell::Clock. No widgets here.
namespace chimewell::agent {

enum class IdleLevel { Lively, Calm, Dozing };

class IdleLevels final
{
public:
    // Half a minute of lively idling after being asked something: it looks
    // attentive while someone is at the desk.
    static constexpr qint64 calmAfterMs = 30 * 1000;
    // Five minutes without anyone: nobody is watching, and a dozing character
    // costs next to nothing.
    static constexpr qint64 dozeAfterMs = 5 * 60 * 1000;
    // Between idle animations, while lively and while calm.
    static constexpr qint64 livelyMinMs = 3000, livelyMaxMs = 8000;
    static constexpr qint64 calmMinMs = 25000, calmMaxMs = 60000;

    IdleLevels();
    // Someone asked for the character now.
    void touch();
    IdleLevel level() const;
    // How long from now until the next idle animation, `roll` in [0, 1) choosing
    // within the level's span; never past the moment the character dozes, and 0
    // once it is due to doze.
    qint64 nextDelayMs(double roll) const;
    // How long from now until the character is due to doze; 0 once it is.
    qint64 untilDozeMs() const;

private:
    qint64 sinceMs() const;
    QDateTime m_last;
};

} // namespace chimewell::agent
