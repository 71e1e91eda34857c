#include "export/walk_look_ahead.h"

#include <algorithm>
#include <limits>

namespace varnotte {
namespace {

// How far a file the walk reached is looked for after a subproject it passed over: past
// that, the look-ahead waits for the next list the walk reads.
constexpr int kCatchUpDistance = 64;

}  // namespace

int WalkLookAhead::Find(const Level& level, int type, const std::string& physical, int limit) {
    const int last = static_cast<int>(
        std::min<long long>(level.children.Count(), static_cast<long long>(level.next) + limit));
    for (int index = level.next; index <= last; ++index) {
        const sourcesafe::IVSSItem item = level.children.Item(index);
        if (item.Type() == type && item.Physical() == physical) {
            return index;
        }
    }
    return 0;
}

bool WalkLookAhead::ListRead(const sourcesafe::IVSSItem& project,
                             const sourcesafe::IVSSItems& children) {
    const std::string physical = project.Physical();
    // Normally the subproject the innermost list waits at; after a subproject the walk
    // passed over, one further on, or in a list further out once the walk has left the
    // inner ones.
    for (std::size_t depth = levels_.size(); depth-- > 0;) {
        const int at = Find(levels_[depth], sourcesafe::VSSITEM_PROJECT, physical,
                            std::numeric_limits<int>::max());
        if (at != 0) {
            levels_.resize(depth + 1);
            levels_.back().next = at + 1;
            levels_.push_back({children});
            return true;
        }
    }
    levels_.clear();
    levels_.push_back({children});
    return false;
}

std::optional<sourcesafe::IVSSItem> WalkLookAhead::Next() {
    while (!levels_.empty()) {
        Level& level = levels_.back();
        if (level.next > level.children.Count()) {
            // Its last subproject is behind: the walk goes on in the list further out.
            levels_.pop_back();
            continue;
        }
        const sourcesafe::IVSSItem item = level.children.Item(level.next);
        if (item.Type() == sourcesafe::VSSITEM_PROJECT) {
            return std::nullopt;
        }
        ++level.next;
        return item;
    }
    return std::nullopt;
}

void WalkLookAhead::Reached(const sourcesafe::IVSSItem& file) {
    if (levels_.empty()) {
        return;
    }
    Level& level = levels_.back();
    if (level.next > level.children.Count() ||
        level.children.Item(level.next).Type() != sourcesafe::VSSITEM_PROJECT) {
        return;  // not waiting
    }
    const int at = Find(level, sourcesafe::VSSITEM_FILE, file.Physical(), kCatchUpDistance);
    if (at != 0) {
        level.next = at + 1;
    }
}

}  // namespace varnotte
