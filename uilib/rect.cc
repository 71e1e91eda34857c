#include "uilib/rect.h"

#include <algorithm>

namespace varnotte {

CRect Intersect(const CRect& a, const CRect& b) {
    if (a.IsEmpty() || b.IsEmpty()) {
        return {};
    }
    const CRect common{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                       std::min(a.bottom, b.bottom)};
    return common.IsEmpty() ? CRect{} : common;
}

}  // namespace varnotte
