// A project's child list: the JP records of its current data file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "vssdb/item_log.h"
#include "vssdb/name_field.h"
#include "vssdb/physical_file.h"

namespace vssdb {

struct ProjectEntry {
    ItemType type = ItemType::kFile;
    std::uint16_t flags = 0;
    NameField name;
    std::uint16_t pinnedVersion = 0;  // 0 when not pinned
    std::string physical;             // upper case as stored

    bool deleted() const;
    bool shared() const;
};

// Every entry, deleted ones included, in stored order. An empty file has none.
std::vector<ProjectEntry> ReadProjectEntries(const PhysicalFile& file);

}  // namespace vssdb
