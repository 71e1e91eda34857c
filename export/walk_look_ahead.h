// The files a walk reaches next, in its order, worked out from the child lists it has
// read: so that work on a file can start before the walk gets to it.
//
// The walk goes depth-first through each list, so the files of a list are next up to its
// next subproject; what follows that subproject is known only once the walk has read the
// subproject's own list (its files come first). Until then the look-ahead waits there.
// A walk that passes a subproject over (it cannot be read, it is listed twice) leaves the
// look-ahead waiting; it catches up from the next list the walk reads, or the next file
// the walk reaches that it did not give. Nothing it gives is more than a guess: a caller
// must still be ready for the walk to ask for something else.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "sourcesafe/vss_item.h"

namespace varnotte {

class WalkLookAhead {
  public:
    // The walk read `project`'s child list: its items are the next it visits. Returns
    // false when the look-ahead did not expect this project and starts over from it (the
    // first list of a walk, or a walk that went elsewhere): then what it gave before may
    // never be reached.
    bool ListRead(const sourcesafe::IVSSItem& project, const sourcesafe::IVSSItems& children);

    // The next file the walk will reach; nothing while the next item is a subproject whose
    // list the walk has not read yet, or when nothing is left.
    std::optional<sourcesafe::IVSSItem> Next();

    // The walk reached `file`, which Next did not give: if the look-ahead is waiting at a
    // subproject the walk has passed over, it goes on after `file`.
    void Reached(const sourcesafe::IVSSItem& file);

  private:
    struct Level {
        sourcesafe::IVSSItems children;
        int next = 1;  // the index of the next item the walk will visit
    };

    // The index of the first item at or after level.next of `type` and physical name
    // `physical`, among the next `limit`; 0 when there is none.
    static int Find(const Level& level, int type, const std::string& physical, int limit);

    std::vector<Level> levels_;  // the lists the walk is in, the innermost last
};

}  // namespace varnotte
