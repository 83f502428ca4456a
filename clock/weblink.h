#pragma once

#include <QString>

class QWidget;

namespace chimewell::clockcore {

// Opens `webaddress` in the desktop's web browser (its handler for web
// pages). When there is none, or it will not start, a message box says so.
// True when the browser was started.
bool weblink(const QString &webaddress, QWidget *parent = nullptr);

} // namespace chimewell::clockcore
