#pragma once

#include <QAudioDevice>
#include <QAudioFormat>
#include <QString>

namespace chimewell::voice {

// The default output device and an Int16 mono format at `rate` Hz, asked
// afresh at every call so sound comes back by itself when a device appears.
// False when there is no device, or when it cannot play that format (then
// `unsupported`, if given, names the device).
bool monoOutput(int rate, QAudioDevice *device, QAudioFormat *format, QString *unsupported = nullptr);

} // namespace chimewell::voice
