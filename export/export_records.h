// Every fact the formats beyond the default CSV write about an item or a version, read
// through the automation objects in one place so that the wide CSV and JSON Lines agree.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "sourcesafe/action_text.h"
#include "sourcesafe/vss_item.h"
#include "sourcesafe/vss_version.h"

namespace varnotte {

struct CheckoutRecord {
    std::string user;
    double date = 0;  // automation date
    std::string folder;
    std::string machine;
    std::string project;
    std::string comment;
    int version = 0;
};

struct ItemRecord {
    bool project = false;
    std::string spec;
    std::string name;
    std::string physical;
    int version = 0;
    bool deleted = false;
    // Set when `name` is the stored short form standing in for a long name that is lost.
    std::optional<vssdb::NameDoubt> nameDoubt;
    // Files only.
    bool binary = false;
    std::string fileType;  // see IVSSItem::StoredFileType; empty when not stored
    long long size = -1;   // -1: the data file is missing
    std::vector<CheckoutRecord> checkouts;
    std::vector<std::string> links;  // specs of every live entry listing the file
    int pinnedVersion = 0;
    sourcesafe::BranchSource branch;
    // What its own log says against the entry that lists it; empty when they agree.
    std::string damage;
};

// What a version says; the facts of its item come from the item (ItemRecord's first ones).
struct VersionRecord {
    int version = 0;
    std::string user;
    std::string action;
    sourcesafe::ActionDetails details;
    double date = 0;  // automation date
    std::string comment;
    std::string label;  // removed labels too: what can still be read of the name
    std::string labelComment;
    std::string storedIn;  // see IVSSVersion::StoredIn
};

// Throw VssError when the item's files cannot be read.
ItemRecord ReadItemRecord(const sourcesafe::IVSSItem& item);
VersionRecord ReadVersionRecord(const sourcesafe::IVSSVersion& version);

// Whether `item` is the one seen last, remembering it when not: a format writes the same
// facts of an item in each of its version rows, and builds them once.
class ItemMemo {
  public:
    bool IsNew(const sourcesafe::IVSSItem& item) {
        if (last_.IsSameObject(item) && !last_.IsEmpty()) {
            return false;
        }
        last_ = item;
        return true;
    }

  private:
    sourcesafe::IVSSItem last_;
};

}  // namespace varnotte
