// A control's place as left, top, right and bottom edges in signed 32-bit pixels of its
// dialog's client area: width is right - left, height is bottom - top. The rectangle
// whose four values are all 0 is the empty rectangle, the answer for a missing control.
#pragma once

#include <QRect>

#include <cstdint>

namespace varnotte {

struct CRect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;

    // QRect's right() and bottom() are one pixel short of our edges, so both conversions
    // go through the position and the size.
    static CRect FromQRect(const QRect& rect) {
        return {rect.x(), rect.y(), rect.x() + rect.width(), rect.y() + rect.height()};
    }
    QRect ToQRect() const { return QRect(left, top, width(), height()); }

    std::int32_t width() const { return right - left; }
    std::int32_t height() const { return bottom - top; }
    // No area at all, including a rectangle turned inside out.
    bool IsEmpty() const { return width() <= 0 || height() <= 0; }

    CRect Offset(int dx, int dy) const { return {left + dx, top + dy, right + dx, bottom + dy}; }

    friend bool operator==(const CRect&, const CRect&) = default;
};

// The common part of `a` and `b`, or the empty rectangle when they share no area. QRect's
// own intersection treats a rectangle with a negative size as flipped rather than empty,
// which would let a control shrunk past its own edge reappear on the other side.
CRect Intersect(const CRect& a, const CRect& b);

}  // namespace varnotte
