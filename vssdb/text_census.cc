#include "vssdb/text_census.h"

#include <dirent.h>

#include <algorithm>
#include <string>

#include "vssdb/error.h"
#include "vssdb/file_header_check.h"
#include "vssdb/item_header_format.h"
#include "vssdb/item_log.h"
#include "vssdb/name_format.h"
#include "vssdb/physical_file.h"
#include "vssdb/record_format.h"
#include "vssdb/record_reader.h"

namespace vssdb {
namespace {

std::vector<std::string> ListNames(const std::string& dir) {
    std::vector<std::string> names;
    if (DIR* d = ::opendir(dir.c_str())) {
        while (const dirent* e = ::readdir(d)) {
            names.emplace_back(e->d_name);
        }
        ::closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

bool HasHighByte(std::string_view s) {
    return std::any_of(s.begin(), s.end(),
                       [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

void VisitIfHigh(std::string_view text, const std::function<void(std::string_view)>& visit) {
    if (HasHighByte(text)) {
        visit(text);
    }
}

void VisitLogTexts(const std::string& path, std::string& buffer,
                   const std::function<void(std::string_view)>& visit) {
    namespace rf = record_format;
    try {
        PhysicalFile::ReadInto(path, buffer);
        const ByteView file(buffer, &path);
        if (!IsCurrentItemFile(file)) {
            return;
        }
        ForEachRecord(file, file_header_format::kSize, [&](const Record& record) {
            if (record.signature == rf::kItemHeader) {
                VisitIfHigh(
                    record.body.CString(item_header_format::kName + name_format::kShortNameOffset,
                                        name_format::kShortNameSize),
                    visit);
            } else if (record.signature == rf::kRevision) {
                const Revision rev = ParseRevision(record);
                for (const std::string* text :
                     {&rev.user, &rev.label, &rev.name.shortName, &rev.oldName.shortName, &rev.spec,
                      &rev.archivePath}) {
                    VisitIfHigh(*text, visit);
                }
            } else if (record.signature == rf::kComment) {
                VisitIfHigh(record.body.CString(0, record.body.size()), visit);
            }
        });
    } catch (const Error&) {
        // The item's own reading reports the damage.
    }
}

}  // namespace

void ForEachDatabaseText(const DataFolder& folder, const NamesFile& names,
                         const std::vector<UserRecord>& users,
                         const std::function<void(std::string_view)>& visit) {
    names.ForEachText([&](std::string_view text) { VisitIfHigh(text, visit); });
    for (const UserRecord& user : users) {
        VisitIfHigh(user.name, visit);
    }
    std::string buffer;
    for (const std::string& letter : ListNames(folder.path())) {
        if (letter.size() != 1 || !std::isalpha(static_cast<unsigned char>(letter[0]))) {
            continue;
        }
        const std::string dir = folder.path() + "/" + letter;
        for (const std::string& name : ListNames(dir)) {
            if (IsPhysicalName(name)) {
                VisitLogTexts(dir + "/" + name, buffer, visit);
            }
        }
    }
}

}  // namespace vssdb
