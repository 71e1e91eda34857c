// The records of a file's log beside its versions: who has it checked out (CF) and which
// projects list it (PF).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "vssdb/item_log.h"

namespace vssdb {

// One checkout in force. Texts are raw bytes in the database's code page.
struct Checkout {
    std::string user;
    std::uint32_t time = 0;  // seconds, the writer's wall clock
    std::string folder;      // the working folder on the machine that checked it out
    std::string machine;
    std::string project;  // the project it was checked out from
    std::string comment;
    std::uint16_t version = 0;  // the version checked out
    bool exclusive = false;
};

// The checkouts of a file, the one the item header names first, then the ones chained to
// it. None when the header names no active checkout: the record every file carries then
// holds an old checkout's details. A chain that loops, leaves the file or reaches another
// kind of record throws Error(kCorrupt).
std::vector<Checkout> ReadCheckouts(const ItemLog& log);

// The physical names of the projects that list a file, in the order it joined them.
// Blanked records (a project that no longer holds it) are left out. Damage throws
// Error(kCorrupt) as above, as does a name that is no physical name.
std::vector<std::string> ReadParentProjects(const ItemLog& log);

}  // namespace vssdb
