// Every text a database holds, for deciding its code page: the strings of names.dat, the
// user names of um.dat, and from every item log its names, user names, labels, specs and
// comments. Damaged files are passed over here; reading the items reports them.
#pragma once

#include <functional>
#include <string_view>
#include <vector>

#include "vssdb/data_folder.h"
#include "vssdb/names_file.h"
#include "vssdb/user_file.h"

namespace vssdb {

void ForEachDatabaseText(const DataFolder& folder, const NamesFile& names,
                         const std::vector<UserRecord>& users,
                         const std::function<void(std::string_view)>& visit);

}  // namespace vssdb
