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
    std::uint8_t fileType() const;  // project_entry_format::kType*, 0 when not stored
};

// Every entry, deleted ones included, in stored order. An empty file has none.
std::vector<ProjectEntry> ReadProjectEntries(const PhysicalFile& file);

// The child list of a project whose item header counts `childCount` entries, deleted ones
// included, read from `path` as far as those entries go and no further. A list that holds
// fewer or more entries is an error that names it: cut short, emptied, or replaced by an
// older copy, it would otherwise lose items, or bring back old ones, without a word.
std::vector<ProjectEntry> ReadChildList(const std::string& path, std::uint16_t childCount);
// The same for a list whose bytes are at hand.
std::vector<ProjectEntry> ReadChildList(const PhysicalFile& file, std::uint16_t childCount);

}  // namespace vssdb
