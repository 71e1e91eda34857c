// srcsafe.ini: where a database keeps its data.
#pragma once

#include <map>
#include <string>
#include <string_view>

namespace vssdb {

struct SrcSafeIni {
    // Keys of the global part (before the first [section]), lower-cased; values trimmed.
    // When a key repeats, the first value counts, as with Windows' own INI functions.
    std::map<std::string, std::string> globals;
    // Keys of the [TimeZone] section (VSS 2005), lower-cased, as the globals.
    std::map<std::string, std::string> timeZone;

    std::string Get(std::string_view key, std::string fallback = {}) const;
};

SrcSafeIni ParseSrcSafeIni(std::string_view text);
// Reads and parses srcsafe.ini. Throws Error when it cannot be read or is no text.
SrcSafeIni ReadSrcSafeIni(const std::string& iniPath);

// Reads srcsafe.ini and finds its data folder: Data_Path (default "data") relative to the
// ini's folder, backslashes accepted, matched case-insensitively. A Windows drive or
// network path cannot be reached here; then a data folder beside the ini is used if there
// is one. Throws Error(kNotFound) with the ini path and the Data_Path value otherwise.
std::string LocateDataFolder(const std::string& iniPath);

// The users' folder (Users_Path, default "users"; one folder per user with its ss.ini) and
// the list of users (Users_Txt, default "users.txt") that srcsafe.ini names, resolved as
// Data_Path is. Either may not exist; a Windows drive or network path gives an empty one.
// Throws as LocateDataFolder does when the ini cannot be read.
struct UsersPlaces {
    std::string folder;
    std::string list;
};
UsersPlaces LocateUsers(const std::string& iniPath);

}  // namespace vssdb
