#include "common/pause.h"

#include "common/clock.h"
#include "common/program.h"

#include <algorithm>
#include <cmath>

namespace chimewell {

bool pause(double seconds)
{
    if (isEnding())
        return false;
    // Whole seconds 0..255, as the stored and computed values expect.
    int whole = 0;
    if (std::isfinite(seconds))
        whole = static_cast<int>(std::clamp(std::round(seconds), 0.0, 255.0));
    Clock::instance().wait(whole * 1000);
    return !isEnding();
}

} // namespace chimewell
