#include "vssdb/data_folder.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>

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
    DIR* d = ::opendir(dir.c_str());
    if (d == nullptr) {
        return false;
    }
    while (const dirent* e = ::readdir(d)) {
        const std::string name = e->d_name;
        if (name == "." || name == "..") {
            continue;
        }
        out.emplace(Lower(name), name);
    }
    ::closedir(d);
    return true;
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

DataFolder::DataFolder(std::string path) : path_(std::move(path)) {}
DataFolder::~DataFolder() = default;

const DataFolder::Listing& DataFolder::List(const std::string& relativeDir) const {
    auto it = listings_.find(relativeDir);
    if (it == listings_.end()) {
        auto listing = std::make_unique<Listing>();
        ListFolder(relativeDir.empty() ? path_ : JoinPath(path_, relativeDir), *listing);
        it = listings_.emplace(relativeDir, std::move(listing)).first;
    }
    return *it->second;
}

std::string DataFolder::Find(const std::string& relativeDir, std::string_view name) const {
    const Listing& listing = List(relativeDir);
    const auto it = listing.find(Lower(name));
    if (it == listing.end()) {
        return {};
    }
    const std::string dir = relativeDir.empty() ? path_ : JoinPath(path_, relativeDir);
    return JoinPath(dir, it->second);
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
    const Listing& top = List({});
    const auto letterDir = top.find(Lower(physical.substr(0, 1)));
    if (letterDir != top.end()) {
        std::string found = Find(letterDir->second, physical);
        if (!found.empty()) {
            relativeDir = letterDir->second;
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
