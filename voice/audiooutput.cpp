#include "voice/audiooutput.h"

#include <QMediaDevices>

namespace chimewell::voice {

bool monoOutput(int rate, QAudioDevice *device, QAudioFormat *format, QString *unsupported)
{
    if (QMediaDevices::audioOutputs().isEmpty())
        return false;
    *device = QMediaDevices::defaultAudioOutput();
    if (device->isNull())
        return false;
    format->setSampleRate(rate);
    format->setChannelCount(1);
    format->setSampleFormat(QAudioFormat::Int16);
    if (device->isFormatSupported(*format))
        return true;
    if (unsupported)
        *unsupported = device->description();
    return false;
}

} // namespace chimewell::voice
