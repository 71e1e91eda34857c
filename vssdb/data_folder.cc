#include "vssdb/data_folder.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <vector>

#include "vssdb/folder_entries.h"

namespace vssdb {
namespace {

std::string Lower(std::string_view s) {
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

std::string JoinPath(const std::string& base, const std::string& name) {
    if (base.empty()) {
        return name;
    }
    return base.back() == '/' ? base + name : base + "/" + name;
}

// Entries of a folder keyed by lower-case name. When two entries differ only in case, the
// exact-case spelling is also reachable through FindEntry's exact match.
bool ListFolder(const std::string& dir, std::unordered_map<std::string, std::string>& out) {
    return ForEachFolderEntry(dir, [&](std::string_view name) { out.emplace(Lower(name), name); });
}

// std::tolower of every byte, looked up rather than called: listings compare names a lot.
using LowerTable = std::array<unsigned char, 256>;

LowerTable MakeLowerTable() {
    LowerTable table{};
    for (int c = 0; c < 256; ++c) {
        table[static_cast<std::size_t>(c)] = static_cast<unsigned char>(std::tolower(c));
    }
    return table;
}

// Orders as the lower-case forms that Lower() makes would.
int CompareIgnoringCase(const LowerTable& lower, std::string_view a, std::string_view b) {
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i) {
        const unsigned char x = lower[static_cast<unsigned char>(a[i])];
        const unsigned char y = lower[static_cast<unsigned char>(b[i])];
        if (x != y) {
            return x < y ? -1 : 1;
        }
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

bool Exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

}  // namespace

bool IsPhysicalName(std::string_view name) {
    return name.size() == 8 && std::all_of(name.begin(), name.end(), [](unsigned char c) {
               return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
           });
}

std::string ResolvePathCaseInsensitive(const std::string& base, std::string_view relative) {
    std::string current = base;
    std::size_t pos = 0;
    while (pos <= relative.size()) {
        std::size_t end = relative.find_first_of("/\\", pos);
        if (end == std::string_view::npos) {
            end = relative.size();
        }
        const std::string part(relative.substr(pos, end - pos));
        pos = end + 1;
        if (part.empty() || part == ".") {
            continue;
        }
        if (part == "..") {
            current = JoinPath(current, part);
            continue;
        }
        const std::string exact = JoinPath(current, part);
        if (Exists(exact)) {
            current = exact;
            continue;
        }
        std::unordered_map<std::string, std::string> entries;
        if (!ListFolder(current.empty() ? "." : current, entries)) {
            return {};
        }
        const auto it = entries.find(Lower(part));
        if (it == entries.end()) {
            return {};
        }
        current = JoinPath(current, it->second);
    }
    return current;
}

// One folder's entries: the names one after another, and where each starts, ordered by
// lower-case name. Of names that differ only in case, the one the folder lists first wins.
class DataFolder::Listing {
  public:
    explicit Listing(const std::string& dir) : lower_(MakeLowerTable()) {
        // The folder's change time is taken first, so a change made while listing shows.
        changed_ = ChangeTime(dir);
        ForEachFolderEntry(dir, [this](std::string_view name) {
            starts_.push_back(static_cast<std::uint32_t>(names_.size()));
            names_.append(name);
            names_.push_back('\0');
        });
        std::stable_sort(starts_.begin(), starts_.end(), [this](std::uint32_t a, std::uint32_t b) {
            return CompareIgnoringCase(lower_, NameAt(a), NameAt(b)) < 0;
        });
        names_.shrink_to_fit();
        starts_.shrink_to_fit();
    }

    // Whether `dir` has changed since it was listed. (Two changes within one tick of the
    // kernel's file clock look like one; a file missed that way is reported as missing.)
    bool MayBeOutdated(const std::string& dir) const {
        const timespec now = ChangeTime(dir);
        return now.tv_sec != changed_.tv_sec || now.tv_nsec != changed_.tv_nsec;
    }

    // The name as the folder spells it; empty when it has no such name.
    std::string_view Find(std::string_view name) const {
        const auto it =
            std::lower_bound(starts_.begin(), starts_.end(), name,
                             [this](std::uint32_t start, std::string_view wanted) {
                                 return CompareIgnoringCase(lower_, NameAt(start), wanted) < 0;
                             });
        if (it == starts_.end() || CompareIgnoringCase(lower_, NameAt(*it), name) != 0) {
            return {};
        }
        return NameAt(*it);
    }

  private:
    std::string_view NameAt(std::uint32_t start) const {
        return std::string_view(names_.data() + start);
    }

    static timespec ChangeTime(const std::string& dir) {
        struct stat st {};
        if (::stat(dir.c_str(), &st) != 0) {
            return timespec{-1, 0};
        }
        return st.st_mtim;
    }

    LowerTable lower_;
    timespec changed_{};
    std::string names_;  // each followed by a NUL
    std::vector<std::uint32_t> starts_;
};

DataFolder::DataFolder(std::string path) : path_(std::move(path)) {}
DataFolder::~DataFolder() = default;

std::string DataFolder::FolderPath(const std::string& relativeDir) const {
    return relativeDir.empty() ? path_ : JoinPath(path_, relativeDir);
}

const DataFolder::Listing& DataFolder::List(const std::string& relativeDir) const {
    auto it = listings_.find(relativeDir);
    if (it == listings_.end()) {
        auto listing = std::make_unique<Listing>(FolderPath(relativeDir));
        it = listings_.emplace(relativeDir, std::move(listing)).first;
    }
    return *it->second;
}

std::string_view DataFolder::FindName(const std::string& relativeDir, std::string_view name) const {
    const std::string_view found = List(relativeDir).Find(name);
    if (!found.empty()) {
        return found;
    }
    // Listings are kept, so a file that another client added since would stay unseen; a
    // miss looks again when the folder has changed. A file removed since is still found
    // here and then fails to open, which reports it.
    std::unique_ptr<Listing>& listing = listings_[relativeDir];
    const std::string dir = FolderPath(relativeDir);
    if (!listing->MayBeOutdated(dir)) {
        return {};
    }
    listing = std::make_unique<Listing>(dir);
    return listing->Find(name);
}

std::string DataFolder::Find(const std::string& relativeDir, std::string_view name) const {
    const std::string_view found = FindName(relativeDir, name);
    if (found.empty()) {
        return {};
    }
    std::string path = path_;
    for (const std::string_view part : {std::string_view(relativeDir), found}) {
        if (!part.empty()) {
            if (!path.empty() && path.back() != '/') {
                path += '/';
            }
            path += part;
        }
    }
    return path;
}

std::string DataFolder::FindFile(std::string_view name) const {
    return Find({}, name);
}

std::string DataFolder::FindLog(std::string_view physical) const {
    std::string dir;
    return FindLogIn(physical, dir);
}

std::string DataFolder::FindData(std::string_view physical, char extension) const {
    std::string dir;
    if (FindLogIn(physical, dir).empty()) {
        return {};
    }
    return Find(dir, std::string(physical) + "." + extension);
}

std::string DataFolder::FindLogIn(std::string_view physical, std::string& relativeDir) const {
    if (!IsPhysicalName(physical)) {
        return {};
    }
    const std::string_view letterDir = FindName({}, physical.substr(0, 1));
    if (!letterDir.empty()) {
        std::string letter(letterDir);
        std::string found = Find(letter, physical);
        if (!found.empty()) {
            relativeDir = std::move(letter);
            return found;
        }
    }
    relativeDir.clear();
    return Find({}, physical);
}

std::string DataFolder::ExpectedLogPath(std::string_view physical) const {
    return JoinPath(JoinPath(path_, Lower(physical.substr(0, 1))), Lower(physical));
}

}  // namespace vssdb
