#include "vssdb/text_census.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

#include "vssdb/error.h"
#include "vssdb/item_header_format.h"
#include "vssdb/item_log.h"
#include "vssdb/name_format.h"
#include "vssdb/physical_file.h"
#include "vssdb/record_format.h"
#include "vssdb/record_reader.h"
#include "vssdb/referenced_logs.h"
#include "vssdb/revision_format.h"

namespace vssdb {
namespace {

namespace rv = revision_format;
using rv::Action;

bool HasHighByte(std::string_view s) {
    unsigned char all = 0;  // a plain reduction, which the compiler vectorises
    for (const char c : s) {
        all |= static_cast<unsigned char>(c);
    }
    return all >= 0x80;
}

// A fixed-size text field up to its first NUL, as ByteView::CString reads it.
bool FieldHasHighByte(std::string_view body, std::size_t offset, std::size_t size) {
    const std::string_view field = body.substr(offset, size);
    const void* nul = std::memchr(field.data(), 0, field.size());
    return HasHighByte(
        nul == nullptr ? field : field.substr(0, static_cast<const char*>(nul) - field.data()));
}

bool NameHasHighByte(std::string_view body, std::size_t nameOffset) {
    return FieldHasHighByte(body, nameOffset + name_format::kShortNameOffset,
                            name_format::kShortNameSize);
}

// The action-specific texts, field for field as ParseRevision takes them.
bool ActionTextsHaveHighByte(std::string_view body, Action action) {
    const rv::ActionLayout layout = rv::LayoutOf(action);
    return (layout.name != 0 && NameHasHighByte(body, layout.name)) ||
           (layout.oldName != 0 && NameHasHighByte(body, layout.oldName)) ||
           (layout.spec != 0 && FieldHasHighByte(body, layout.spec, rv::kSpecSize)) ||
           (layout.archivePath != 0 && FieldHasHighByte(body, layout.archivePath, rv::kSpecSize));
}

void VisitIfHigh(std::string_view text, const std::function<void(std::string_view)>& visit) {
    if (HasHighByte(text)) {
        visit(text);
    }
}

// Where the last record that may hold a non-ASCII text ends; 0 when none may. Finds the
// records by their lengths alone, without checksums: where this walk cannot go on, reading
// the records properly cannot either.
std::size_t EndOfNonAsciiRecords(std::string_view file) {
    namespace rf = record_format;
    std::size_t end = 0;
    std::size_t offset = file_header_format::kSize;
    while (offset < file.size() && file.size() - offset >= rf::kHeaderSize) {
        const auto* header = reinterpret_cast<const unsigned char*>(file.data() + offset);
        const std::uint32_t length = static_cast<std::uint32_t>(header[0]) |
                                     static_cast<std::uint32_t>(header[1]) << 8 |
                                     static_cast<std::uint32_t>(header[2]) << 16 |
                                     static_cast<std::uint32_t>(header[3]) << 24;
        if (length > file.size() - offset - rf::kHeaderSize) {
            break;
        }
        const std::size_t next = offset + rf::kHeaderSize + length;
        if (RecordMayHoldNonAscii(file.substr(offset + rf::kSignatureOffset, 2),
                                  file.substr(offset + rf::kHeaderSize, length))) {
            end = next;
        }
        offset = next;
    }
    return end;
}

void VisitLogTexts(const ByteView& file, const std::function<void(std::string_view)>& visit) {
    namespace rf = record_format;
    try {
        // Records past the last that may hold a non-ASCII text give nothing to visit, so
        // they need no checksum; a file of ASCII texts needs none at all.
        const std::size_t end = EndOfNonAsciiRecords(file.bytes());
        for (std::size_t offset = file_header_format::kSize; offset < end;) {
            const Record record = ReadRecordAt(file, offset);
            offset = record.end();
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
        }
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
    ForEachReferencedLog(folder, [&](const ByteView& log) { VisitLogTexts(log, visit); });
}

bool RecordMayHoldNonAscii(std::string_view signature, std::string_view body) {
    namespace ih = item_header_format;
    if (signature == record_format::kComment) {
        return FieldHasHighByte(body, 0, body.size());
    }
    if (signature == record_format::kItemHeader) {
        const std::size_t end =
            ih::kName + name_format::kShortNameOffset + name_format::kShortNameSize;
        return body.size() < end || NameHasHighByte(body, ih::kName);
    }
    if (signature == record_format::kRevision) {
        if (body.size() < rv::kBodySize) {
            return true;
        }
        const auto action =
            static_cast<Action>(static_cast<std::uint8_t>(body[rv::kAction]) |
                                static_cast<std::uint8_t>(body[rv::kAction + 1]) << 8);
        return FieldHasHighByte(body, rv::kUser, rv::kTextFieldSize) ||
               FieldHasHighByte(body, rv::kLabel, rv::kTextFieldSize) ||
               ActionTextsHaveHighByte(body, action);
    }
    return false;
}

}  // namespace vssdb
