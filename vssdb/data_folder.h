// Finding files in a database's data folder.
//
// Databases come from Windows, where names are case-insensitive: records say "BAAAAAAA",
// the disk has data/b/baaaaaaa, and old copies have DATA/B/BAAAAAAA. Every lookup here is
// case-insensitive; each folder is listed once and remembered, compactly, since a data
// folder holds one or two files for every item of the database. A name that a listing
// lacks is looked up again once the folder has changed: the database may be in use.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

namespace vssdb {

// The physical name of the root project, in every database.
inline constexpr std::string_view kRootPhysical = "AAAAAAAA";

// Whether `name` is a physical item name: exactly eight letters A-Z (either case). Names
// from records are checked with this before they become part of a path.
bool IsPhysicalName(std::string_view name);

// Joins `relative` (slashes or backslashes) to `base`, matching each part
// case-insensitively against what exists. Returns the empty string when a part is missing.
std::string ResolvePathCaseInsensitive(const std::string& base, std::string_view relative);

class DataFolder {
  public:
    explicit DataFolder(std::string path);
    ~DataFolder();
    DataFolder(const DataFolder&) = delete;
    DataFolder& operator=(const DataFolder&) = delete;

    const std::string& path() const { return path_; }

    // A file directly in the data folder (names.dat, um.dat); empty when there is none.
    std::string FindFile(std::string_view name) const;

    // The log file of a physical item: <data>/<letter>/<name>, or <data>/<name> as in
    // the flat layout of old databases. Empty when there is none or the name is invalid.
    std::string FindLog(std::string_view physical) const;

    // The data file <name>.a or <name>.b next to the log. Empty when there is none.
    std::string FindData(std::string_view physical, char extension) const;

    // The path where the log of `physical` would be, for messages about a missing file.
    std::string ExpectedLogPath(std::string_view physical) const;

  private:
    class Listing;
    std::string FolderPath(const std::string& relativeDir) const;
    const Listing& List(const std::string& relativeDir) const;
    std::string_view FindName(const std::string& relativeDir, std::string_view name) const;
    std::string Find(const std::string& relativeDir, std::string_view name) const;
    std::string FindLogIn(std::string_view physical, std::string& relativeDir) const;

    std::string path_;
    mutable std::unordered_map<std::string, std::unique_ptr<Listing>> listings_;
};

}  // namespace vssdb
