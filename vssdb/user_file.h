// um.dat: the users of a database and their password hashes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "vssdb/physical_file.h"

namespace vssdb {

struct UserRecord {
    std::string name;  // raw bytes in the database's code page
    std::uint16_t passwordHash = 0;
    std::uint16_t flags = 0;
};

// Every user of um.dat, in file order. Throws Error(kIncompatible) for an old-format file,
// Error(kCorrupt) for a damaged one.
std::vector<UserRecord> ReadUsers(const PhysicalFile& file);

}  // namespace vssdb
