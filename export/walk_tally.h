// What a walk can count instead of writing rows: each item and each version it read whole,
// as typed facts, in the order the rows would have come (a file's versions before the
// file). An item that fails half-way tells the tally nothing.
#pragma once

#include <string>

#include "export/export_records.h"
#include "sourcesafe/vss_item.h"
#include "sourcesafe/vss_version.h"

namespace varnotte {

// One version of an item.
struct TalliedVersion {
    std::string spec;      // the item's
    std::string physical;  // the item's
    bool project = false;  // a project's own version
    // For a detailed tally all of it but the comment; else the version number, the user,
    // the date and where it is stored.
    VersionRecord record;
};

// Throws VssError when the item's files cannot be read, as the rows of an export would.
TalliedVersion ReadTalliedVersion(const sourcesafe::IVSSItem& item,
                                  const sourcesafe::IVSSVersion& version, bool detailed);

class WalkTally {
  public:
    virtual ~WalkTally() = default;

    // Whether the items and all of each version are wanted: the walk reads an item's record
    // (its checkouts, links, size) and a version's action and label only for such a tally.
    virtual bool Detailed() const = 0;
    // Called only for a detailed tally.
    virtual void CountItem(const ItemRecord& item) = 0;
    virtual void CountVersion(const TalliedVersion& version) = 0;
};

}  // namespace varnotte
