// Any stored text read as a number, whole number, colour, boolean, alarm time
// or announcing interval: no crash, no undefined behaviour, and the readings
// agree with each other. Input: two bytes choose an hour/minute and a range,
// the rest is the text (UTF-8).
#include "clock/ticklogic.h"
#include "common/convert.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>

using namespace chimewell;

namespace {

void check(bool ok)
{
    if (!ok)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2 || size > 4096)
        return 0;
    const int pick = data[0] | (data[1] << 8);
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data + 2), qsizetype(size - 2));

    const std::optional<double> n = convert::toNumber(text);
    if (n) {
        check(std::isfinite(*n));
        // The short form reads back as (nearly) the same number.
        const std::optional<double> back = convert::toNumber(convert::generalNumber(*n));
        check(back && std::abs(*back - *n) <= std::abs(*n) * 1e-14);
    }

    static const qint64 bounds[] = {0, 1, 59, 255, std::numeric_limits<qint32>::max(),
                                    std::numeric_limits<qint64>::max()};
    const qint64 max = bounds[pick % 6];
    const qint64 min = (pick & 0x80) ? std::numeric_limits<qint64>::min() : -max;
    if (const auto w = convert::toWhole(text, min, max))
        check(*w >= min && *w <= max && n);

    if (const auto c = convert::toColour(text)) {
        check(c->isValid() && n);
        const auto again = convert::toColour(convert::fromColour(*c));
        check(again && *again == *c);
    }
    check(convert::toBoolean(text) == (text.trimmed().compare(QLatin1String("True"), Qt::CaseInsensitive) == 0
                                       || (n && *n != 0)));

    // Every interval that is a number other than 0 says the full hour.
    check(clockcore::announceDue(0, text) == (n && *n != 0));
    const int minute = pick % 60;
    clockcore::announceDue(minute, text);

    const int hour = (pick / 60) % 24;
    if (clockcore::alarmDue(text, hour, minute)) {
        // Due at exactly one time of day.
        check(!clockcore::alarmDue(text, (hour + 1) % 24, minute));
        check(!clockcore::alarmDue(text, hour, (minute + 1) % 60));
    }
    const QString label = clockcore::labelText(QTime(hour, minute), text);
    check(label.size() >= 5 && label.size() <= 7);
    return 0;
}
