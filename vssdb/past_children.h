// What a project held at a moment of its past, replayed from its own log.
//
// A project's log records every change to its child list (additions, deletions and
// recoveries, renames, moves in and out, shares, pins and unpins, branches, destructions),
// each with the name the child had then. Replaying those records from the project's
// creation up to a version gives the list as it was at that version, whatever has become of
// the items since. Only the log is read: the current child list plays no part.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "vssdb/item_log.h"
#include "vssdb/name_field.h"

namespace vssdb {

// A moment of the database's past.
struct Moment {
    // Stored wall-clock seconds (as Revision::time): every item is taken at its newest
    // version not after this.
    std::int64_t time = 0;
    // For a label: the item it was applied to and the label's version, at which that item
    // is taken exactly (versions later in the same second are not part of it).
    std::string labelled;
    int labelVersion = 0;
};

// The newest of `newestFirst`'s versions at `moment`, those of the item `physical`; with
// `withContent`, labels are passed over (a label has the content of the version below it).
// 0 when the item had no such version yet.
int VersionAt(const std::vector<Revision>& newestFirst, const std::string& physical,
              const Moment& moment, bool withContent);

struct PastEntry {
    ItemType type = ItemType::kFile;
    NameField name;  // as the record that last named the child stored it
    std::string physical;
    std::uint16_t pinnedVersion = 0;
    bool deleted = false;
    bool shared = false;
    // The version of the project, after the moment, whose record destroyed the child;
    // 0 when none did.
    int destroyedIn = 0;
};

// The child list of a project after its versions up to `upToVersion`, replayed from its log
// (`newestFirst`, as ItemLog::ReadRevisions gives it), sorted as SourceSafe keeps child
// lists: by stored short name, letter case ignored.
std::vector<PastEntry> ReplayChildList(const std::vector<Revision>& newestFirst, int upToVersion);

}  // namespace vssdb
