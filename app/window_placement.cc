#include "app/window_placement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace varnotte {
namespace {

constexpr quint32 kHalfMask = 0xFFFF;

int LowHalf(qint32 value) {
    return static_cast<int>(static_cast<quint32>(value) & kHalfMask);
}
int HighHalf(qint32 value) {
    return static_cast<int>(static_cast<quint32>(value) >> 16);
}

}  // namespace

qint32 PackCorner(int x, int y) {
    const quint32 packed =
        ((static_cast<quint32>(y) & kHalfMask) << 16) | (static_cast<quint32>(x) & kHalfMask);
    return static_cast<qint32>(packed);
}

PackedRectangle PackRectangle(const QRect& rect) {
    return {PackCorner(rect.x(), rect.y()),
            PackCorner(rect.x() + rect.width(), rect.y() + rect.height())};
}

std::optional<QRect> UnpackRectangle(qint32 topLeft, qint32 bottomRight) {
    if (topLeft == -1 || bottomRight == -1) {
        return std::nullopt;
    }
    const QPoint corner(LowHalf(topLeft), HighHalf(topLeft));
    return QRect(corner,
                 QSize(LowHalf(bottomRight) - corner.x(), HighHalf(bottomRight) - corner.y()));
}

bool LiesOnAScreen(const QRect& rect) {
    // QRect::intersects() normalises an inverted rectangle first; here it must not count.
    if (rect.isEmpty()) {
        return false;
    }
    const QList<QScreen*> screens = QGuiApplication::screens();
    return std::any_of(screens.begin(), screens.end(), [&rect](const QScreen* screen) {
        return screen->geometry().intersects(rect);
    });
}

QRect NormalRectangle(const QWidget& window) {
    if (window.isMaximized() || window.isMinimized() || window.isFullScreen()) {
        const QRect normal = window.normalGeometry();
        // A window that was never shown in its normal state has none of its own.
        if (normal.isValid()) {
            return normal;
        }
    }
    return window.geometry();
}

bool RestoreNormalRectangle(QWidget& window, const QRect& rect) {
    if (!LiesOnAScreen(rect)) {
        return false;
    }
    // Also marks the window as placed, so it is not centred when it is shown.
    window.setGeometry(rect);
    return true;
}

}  // namespace varnotte
