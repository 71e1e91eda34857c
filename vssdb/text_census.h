// Every text a database holds, for deciding its code page: the strings of names.dat, the
// user names of um.dat, and from the log of every item the database references (see
// referenced_logs.h) its names, user names, labels, specs and comments. Damaged files are
// passed over here; reading the items reports them.
#pragma once

#include <functional>
#include <string_view>
#include <vector>

#include "vssdb/data_folder.h"
#include "vssdb/names_file.h"
#include "vssdb/user_file.h"

namespace vssdb {

// For the census of ForEachDatabaseText: whether any text it takes from a record (the item
// header's short name; a version's user, label, names, specs and archive path as
// ParseRevision reads them; a comment) can hold a byte of 0x80 or more. False only when
// none does; a body too short for its fields may hold anything. Most records of most
// databases hold only ASCII, and those need neither their checksum nor parsing here.
bool RecordMayHoldNonAscii(std::string_view signature, std::string_view body);

void ForEachDatabaseText(const DataFolder& folder, const NamesFile& names,
                         const std::vector<UserRecord>& users,
                         const std::function<void(std::string_view)>& visit);

}  // namespace vssdb
