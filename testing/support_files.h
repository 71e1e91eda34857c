// The small files around the item files: srcsafe.ini, users.txt, each user's ss.ini,
// um.dat, version.dat and the physical name counter. Text files use CR LF, as SourceSafe
// writes them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vsstest {

struct UserEntry {
    std::string name;  // raw bytes
    std::uint16_t passwordHash = 0;
};

// `extraText` goes at the end of the global part; `timeZoneText`, when given, makes the
// [TimeZone] section that follows it.
std::string SrcsafeIniText(std::string_view dataPath, std::string_view extraText,
                           std::string_view timeZoneText = {});
// "<name> = users\<folder>\ss.ini" per user; folders are UserFolderName().
std::string UsersTxtText(const std::vector<UserEntry>& users);
std::string UserFolderName(std::string_view userName);
std::string UserIniText();

// um.dat: users sorted by name ignoring case.
std::string UserFileBytes(const std::vector<UserEntry>& users);

std::string VersionFileBytes();

}  // namespace vsstest
