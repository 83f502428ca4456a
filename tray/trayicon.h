#pragma once

#include <QIcon>

class QPainter;
class QRectF;

namespace chimewell::tray {

// The tray icon: Max's face, drawn for the size asked, so it is crisp in a
// 16 pixel tray as in a 64 pixel one (small sizes leave out the fine lines).
QIcon trayIcon();
// Draws the face into `r` (square), as the icon does.
void paintTrayFace(QPainter &p, const QRectF &r);

} // namespace chimewell::tray
