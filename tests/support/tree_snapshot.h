// A record of everything about a folder tree that a reader must not change, to compare
// before and after: every file, folder and link, with its type, size, permissions,
// modification time, access time and a hash of its content.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace varnotte::test {

struct EntryState {
    char type = '?';  // 'f' file, 'd' folder, 'l' link, 'o' other
    long long size = 0;
    unsigned mode = 0;
    long long mtimeNs = 0;
    long long atimeNs = 0;
    unsigned long long hash = 0;  // of the content (of the target, for a link)
};

using TreeSnapshot = std::map<std::string, EntryState>;  // by path relative to the root

// Reads the tree without changing its access times (O_NOATIME; the caller owns the files).
TreeSnapshot SnapshotTree(const std::filesystem::path& root);

// What differs, one line per path and property; empty when nothing does. Access times are
// compared only when `compareAccessTimes` is set.
std::vector<std::string> CompareSnapshots(const TreeSnapshot& before, const TreeSnapshot& after,
                                          bool compareAccessTimes);

// Whether the file system under `folder` keeps access times that reading would change
// (not mounted noatime): a file whose access time is set before its modification time is
// read normally, and its access time looked at again.
bool KeepsAccessTimes(const std::filesystem::path& folder);

// Sets every access time in the tree before the modification time, so that an ordinary
// read would move it even under relatime.
void AgeAccessTimes(const std::filesystem::path& root);

}  // namespace varnotte::test
