#include "testing/support_files.h"

#include <algorithm>

#include "testing/name_rules.h"
#include "testing/record_builder.h"
#include "vssdb/record_format.h"
#include "vssdb/user_file_format.h"

namespace vsstest {

namespace {

// The text SourceSafe 2005 puts into a new database's srcsafe.ini.
constexpr std::string_view kIniHead =
    "; srcsafe.ini\r\n"
    ";\r\n"
    "; Three of these variables -- Data_Path, Users_Path, and Users_Txt -- must\r\n"
    "; be in srcsafe.ini.  Any other variable here can be overridden in ss.ini.\r\n"
    "; Similarly, any ss.ini variable can be placed in srcsafe.ini to set a\r\n"
    "; system \"default,\" which individual users can still override in ss.ini.\r\n"
    "\r\n"
    "; The two important paths used by SourceSafe.\r\n";

constexpr std::string_view kIniUsers =
    "Temp_Path = temp\r\n"
    "\r\n"
    "; This tells admin where to put personal directories for new users.\r\n"
    "Users_Path = users\r\n"
    "\r\n"
    "; From this, find users.txt; from that, in turn, find ss.ini for a user.\r\n"
    "Users_Txt = users.txt\r\n"
    "\r\n"
    "; The following line contains common file groupings.\r\n"
    "File_Types = VC(*.c;*.cpp;*.cxx;*.def;*.ds?;*.h;*.hpp;*.hxx;*.rc;*.rc2),"
    "XML(*.xml;*.xsl;*.xsd)\r\n"
    "\r\n"
    "PrjEntryTimeout = 15\r\n"
    "Multiple_Checkouts = No\r\n"
    "Checkout_LocalVer_Disabled = Yes\r\n"
    "UseHelperService = Yes \r\n";

constexpr std::string_view kUserIni =
    "; ss.ini\r\n"
    ";\r\n"
    "; This file contains all the variables that \"customize\" SourceSafe to your\r\n"
    "; particular needs.\r\n"
    "\r\n"
    "; The following line prevents you from being asked for a checkout comment.\r\n"
    "Checkout_Comment = -\r\n";

}  // namespace

std::string SrcsafeIniText(std::string_view dataPath, std::string_view extraText,
                           std::string_view timeZoneText) {
    std::string text(kIniHead);
    text += "Data_Path = ";
    text += dataPath;
    text += "\r\n";
    text += kIniUsers;
    if (!extraText.empty()) {
        text += extraText;
        if (extraText.back() != '\n') {
            text += "\r\n";
        }
    }
    if (!timeZoneText.empty()) {
        text += "\r\n[TimeZone]\r\n";
        text += timeZoneText;
        if (timeZoneText.back() != '\n') {
            text += "\r\n";
        }
    }
    return text;
}

std::string UserFolderName(std::string_view userName) {
    return AsciiLower(userName);
}

std::string UsersTxtText(const std::vector<UserEntry>& users) {
    std::string text;
    for (const UserEntry& user : users) {
        text += user.name + " = users\\" + UserFolderName(user.name) + "\\ss.ini\r\n";
    }
    return text;
}

std::string UserIniText() {
    return std::string(kUserIni);
}

std::string UserFileBytes(const std::vector<UserEntry>& users) {
    namespace uf = vssdb::user_file_format;
    std::vector<const UserEntry*> sorted;
    for (const UserEntry& user : users) {
        sorted.push_back(&user);
    }
    std::stable_sort(sorted.begin(), sorted.end(), [](const UserEntry* a, const UserEntry* b) {
        return LessIgnoringCase(a->name, b->name);
    });

    std::string file;
    AppendUserFileHeader(file);
    RecordBuilder header(file, vssdb::record_format::kUsersHeader, uf::kHeaderBodySize);
    header.U16(uf::kHeaderUserCount, static_cast<std::uint16_t>(users.size()));
    header.Finish();
    for (const UserEntry* user : sorted) {
        RecordBuilder record(file, vssdb::record_format::kUser, uf::kUserBodySize);
        record.Text(uf::kUserName, user->name, uf::kUserNameSize - 1);
        record.U16(uf::kPasswordHash, user->passwordHash);
        record.Finish();
    }
    return file;
}

std::string VersionFileBytes() {
    std::string bytes(2, '\0');
    PutU16(bytes, 0, vssdb::file_header_format::kFormatVersion);
    return bytes;
}

}  // namespace vsstest
