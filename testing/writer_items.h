// The writer's picture of one item (internal to database_writer*.cc).
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "testing/database_writer.h"
#include "testing/item_log_builder.h"
#include "testing/record_builder.h"

namespace vsstest {

struct DatabaseWriter::ChildEntry {
    ItemId item = 0;
    bool deleted = false;
    std::uint16_t pinnedVersion = 0;
    ItemId filesOf = -1;  // damage: the entry names this item's files instead
};

// A project listing a file, seen from the file.
struct ParentLink {
    ItemId project = 0;
    std::uint32_t recordOffset = 0;  // the file's PF record for that project
    bool deleted = false;            // mirrors the project's entry
};

struct DatabaseWriter::Item {
    explicit Item(bool isProject) : project(isProject), log(isProject) {}

    bool project;
    bool binary = false;
    bool destroyed = false;
    bool written = false;  // by WriteSubtree(): its bytes are gone and it may not change
    std::string name;      // the real name, raw bytes
    NameField nameField;
    std::string physical;
    ItemLogBuilder log;
    // The item's labels in the order applied, with their EL records.
    std::vector<std::pair<std::string, std::uint32_t>> labels;
    // SourceSafe writes each new data file under the other extension: even .A, odd .B.
    int dataRewrites = 0;

    // Projects.
    ItemId parent = -1;
    std::vector<ChildEntry> children;  // in the order added; sorted when written

    // Files: the projects listing the file, in the order it joined them.
    std::vector<ParentLink> parents;
    std::string content;
    bool latestOnly = false;
    std::uint8_t fileType = 0;  // high byte of its entries' flags; 0 as before VSS 2005
    // With WriterOptions::keepVersionContents: each version's content, from the log's
    // first version on; versions below `keptFrom` have none.
    std::vector<std::string> versionContents;
    int keptFrom = 1;
    std::string branchSource;
    ItemId branchSourceItem = -1;
    std::uint32_t creationTime = 0;
    std::uint32_t modificationTime = 0;
    std::uint32_t lastCheckInTime = 0;
};

}  // namespace vsstest
