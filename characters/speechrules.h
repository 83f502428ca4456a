#pragma once

#include <QString>

// The rules behind what the characters say, free of any character or window,
// so the clock's other parts and the tests can use them directly.
namespace chimewell::characters::rules {

// The time in words as the characters say it ("The time is half past 5").
QString timePhrase(int hour24, int minute);
// True when `hour` (0-23) lies in the quiet hours `quietTime` ("2207": from
// 22:00 up to but not including 07:00). Anything but four digits means none.
bool isQuietHour(const QString &quietTime, int hour);
// "good morning, ", "good afternoon, " or "good evening, " for an hour 0-23.
QString greeting(int hour24);
// The gesture played after the `index`th speech (1-9).
QString gesture(int index);

} // namespace chimewell::characters::rules
