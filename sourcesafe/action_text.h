// What a version did, in words ("Checked in $/A", "Added b.txt", "Labeled 'v1'") and as
// data (a code and the fields the action stores), classified alike.
#pragma once

#include <string>

#include "vssdb/database.h"
#include "vssdb/item_log.h"

namespace sourcesafe {

// The action text of one version. Names are shown with their long names where the
// database has them; unknown action codes say so with their number.
std::string ActionText(const vssdb::Revision& revision, vssdb::Database& database);

// The action of one version as data. Fields an action does not store stay empty (0).
struct ActionDetails {
    // "labeled", "label_removed" (a label its users removed), "created", "added", "deleted",
    // "recovered", "destroyed", "purged", "renamed", "moved_from", "moved_to", "shared", "pinned",
    // "unpinned", "branched", "checked_in", "branched_at", "rolled_back", "archived",
    // "archived_versions", "restored", "restored_versions"; "unknown" for a code the reader does
    // not know.
    std::string code;
    int storedAction = 0;  // the code as stored
    std::string text;      // as ActionText gives it
    // The item acted on (for renames its new name), where the text names it: adds,
    // deletes, recoveries, destroys, purges, renames, shares, pins, branches, archives.
    std::string name;
    bool nameIsProject = false;
    std::string oldName;       // renames
    std::string spec;          // check-ins: the project as typed; shares: the file shared;
                               // moves: the other project
    int version = 0;           // pins: the version pinned; unpins: the version that was
                               // pinned; branched_at and rolled_back: the version before
    std::string branchSource;  // branches: physical name of the file branched from
    std::string archivePath;   // archives and restores
};

ActionDetails DescribeAction(const vssdb::Revision& revision, vssdb::Database& database);

}  // namespace sourcesafe
