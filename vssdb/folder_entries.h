// Listing a database folder without changing anything about it.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace vssdb {

// Calls `visit` with the name of every entry of `dir` but "." and "..", in the order the
// folder gives them. Returns false when the folder cannot be opened. The folder's access
// time stays as it was where the kernel lets us, as with the files (see physical_file.h).
bool ForEachFolderEntry(const std::string& dir, const std::function<void(std::string_view)>& visit);

}  // namespace vssdb
