#include "vssdb/srcsafe_ini.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>

#include "vssdb/data_folder.h"
#include "vssdb/error.h"
#include "vssdb/physical_file.h"

namespace vssdb {
namespace {

// An ini file is a few kilobytes; anything far bigger is not one.
constexpr std::size_t kMaxIniSize = 1 << 20;

std::string_view Trim(std::string_view s) {
    const auto space = [](unsigned char c) {
        return c == ' ' || c == '\t' || c == '\r' || c == '\n';
    };
    while (!s.empty() && space(static_cast<unsigned char>(s.front()))) {
        s.remove_prefix(1);
    }
    while (!s.empty() && space(static_cast<unsigned char>(s.back()))) {
        s.remove_suffix(1);
    }
    return s;
}

std::string Lower(std::string_view s) {
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

bool IsDirectory(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Why `folder` (as resolved from Data_Path; empty when a part of it is missing) is no
// data folder.
std::string WhyNoFolder(const std::string& folder) {
    struct stat st {};
    if (folder.empty()) {
        return "not found";
    }
    if (::stat(folder.c_str(), &st) != 0) {
        if (errno == ELOOP) {
            return folder + " loops through symbolic links";
        }
        if (errno == ENOENT) {
            return folder + " not found";
        }
        return folder + " cannot be reached: " + std::strerror(errno);
    }
    return folder + " is not a folder";
}

bool IsWindowsAbsolute(std::string_view path) {
    const bool drive =
        path.size() >= 2 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':';
    const bool network = path.size() >= 2 && (path[0] == '\\' || path[0] == '/') &&
                         (path[1] == '\\' || path[1] == '/');
    return drive || network;
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

// `setting` (a path relative to the ini's folder, or an absolute one) as a path here;
// empty for a Windows drive or network path.
std::string ResolveSetting(const std::string& iniPath, const std::string& setting) {
    if (setting.empty() || IsWindowsAbsolute(setting)) {
        return {};
    }
    return setting.front() == '/' ? ResolvePathCaseInsensitive("/", setting.substr(1))
                                  : ResolvePathCaseInsensitive(FolderOf(iniPath), setting);
}

}  // namespace

std::string SrcSafeIni::Get(std::string_view key, std::string fallback) const {
    const auto it = globals.find(Lower(key));
    return it == globals.end() ? fallback : it->second;
}

// The ini's text. The size is checked before reading: a huge (or sparse) file is refused
// at once.
SrcSafeIni ReadSrcSafeIni(const std::string& iniPath) {
    const PhysicalFile file = PhysicalFile::Read(iniPath, kMaxIniSize);
    if (file.bytes().find('\0') != std::string_view::npos) {
        throw Error(ErrorKind::kCorrupt, iniPath, "not a text file");
    }
    return ParseSrcSafeIni(file.bytes());
}

SrcSafeIni ParseSrcSafeIni(std::string_view text) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF") {
        text.remove_prefix(3);
    }
    SrcSafeIni ini;
    // Only the global part holds database settings; of the sections, [TimeZone] is read.
    std::map<std::string, std::string>* keys = &ini.globals;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        const std::string_view line = Trim(text.substr(pos, end - pos));
        pos = end + 1;
        if (line.empty() || line.front() == ';') {
            continue;
        }
        if (line.front() == '[') {
            keys = Lower(line) == "[timezone]" ? &ini.timeZone : nullptr;
            continue;
        }
        if (keys == nullptr) {
            continue;
        }
        const std::size_t eq = line.find('=');
        if (eq == std::string_view::npos) {
            continue;
        }
        const std::string key = Lower(Trim(line.substr(0, eq)));
        std::string_view value = Trim(line.substr(eq + 1));
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
            value = value.substr(1, value.size() - 2);
        }
        if (!key.empty()) {
            keys->emplace(key, std::string(value));
        }
    }
    return ini;
}

std::string LocateDataFolder(const std::string& iniPath) {
    const SrcSafeIni ini = ReadSrcSafeIni(iniPath);
    std::string dataPath = ini.Get("data_path");
    if (dataPath.empty()) {
        dataPath = "data";
    }
    const std::string base = FolderOf(iniPath);

    std::string folder;
    if (IsWindowsAbsolute(dataPath)) {
        folder = ResolvePathCaseInsensitive(base, "data");
        if (!IsDirectory(folder)) {
            throw Error(ErrorKind::kNotFound, iniPath,
                        "Data_Path \"" + dataPath +
                            "\" is a Windows path that cannot be reached here, and there is no "
                            "data folder beside srcsafe.ini");
        }
        return folder;
    }
    folder = dataPath.front() == '/' ? ResolvePathCaseInsensitive("/", dataPath.substr(1))
                                     : ResolvePathCaseInsensitive(base, dataPath);
    if (!IsDirectory(folder)) {
        throw Error(ErrorKind::kNotFound, iniPath,
                    "data folder " + WhyNoFolder(folder) + " (Data_Path = " + dataPath + ")");
    }
    return folder;
}

UsersPlaces LocateUsers(const std::string& iniPath) {
    const SrcSafeIni ini = ReadSrcSafeIni(iniPath);
    return UsersPlaces{ResolveSetting(iniPath, ini.Get("users_path", "users")),
                       ResolveSetting(iniPath, ini.Get("users_txt", "users.txt"))};
}

}  // namespace vssdb
