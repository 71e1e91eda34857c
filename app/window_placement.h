// The main window's normal rectangle as the settings keep it: two 32-bit values, one per
// corner, each with y in the high 16 bits and x in the low 16 bits.
//
// The rectangle is the window's client area in screen coordinates, right and bottom
// exclusive as in a Windows RECT. The outer frame is what Windows keeps, but here its size
// is known only after a window manager has decorated the window, so a frame could not be
// put back exactly while the window is still hidden; setGeometry() puts a client area back
// exactly on every platform.
#pragma once

#include <QRect>
#include <QtGlobal>

#include <optional>

class QWidget;

namespace varnotte {

// (y AND FFFF) << 16 OR (x AND FFFF): a negative coordinate keeps only its low 16 bits.
qint32 PackCorner(int x, int y);

struct PackedRectangle {
    qint32 topLeft = -1;
    qint32 bottomRight = -1;
};

PackedRectangle PackRectangle(const QRect& rect);

// The rectangle of two stored corners, each half taken as an unsigned 16-bit number, so a
// negative coordinate comes back as a large positive one. Nothing when either value is -1,
// which stands for "never stored".
std::optional<QRect> UnpackRectangle(qint32 topLeft, qint32 bottomRight);

// Whether `rect` lies at least partly on one of the screens. An empty or inverted
// rectangle (a damaged pair of corners) lies on none.
bool LiesOnAScreen(const QRect& rect);

// The rectangle the window occupies when it is neither maximised nor minimised.
QRect NormalRectangle(const QWidget& window);

// Gives the hidden `window` the normal rectangle `rect` when that lies on a screen, so it
// is shown there; otherwise leaves it where it is. Returns whether it moved it.
bool RestoreNormalRectangle(QWidget& window, const QRect& rect);

}  // namespace varnotte
