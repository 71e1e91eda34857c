#include "vssdb/project_entries.h"

#include "vssdb/data_folder.h"
#include "vssdb/declared_size.h"
#include "vssdb/error.h"
#include "vssdb/item_header_format.h"
#include "vssdb/project_entry_format.h"
#include "vssdb/record_format.h"
#include "vssdb/record_reader.h"

namespace vssdb {

bool ProjectEntry::deleted() const {
    return (flags & project_entry_format::kDeleted) != 0;
}
bool ProjectEntry::shared() const {
    return (flags & project_entry_format::kShared) != 0;
}

std::uint8_t ProjectEntry::fileType() const {
    return static_cast<std::uint8_t>(flags >> project_entry_format::kFileTypeShift);
}

std::vector<ProjectEntry> ReadProjectEntries(const PhysicalFile& file) {
    namespace pe = project_entry_format;
    std::vector<ProjectEntry> entries;
    ForEachRecord(file.view(), 0, [&](const Record& record) {
        if (record.signature != record_format::kProjectEntry) {
            ThrowCorruptAt(file.path(), record.offset,
                           "project child list holds a record that is not a child entry");
        }
        const ByteView& body = record.body;
        ProjectEntry entry;
        const std::uint16_t type = body.U16(pe::kItemType);
        if (type != item_header_format::kProjectType && type != item_header_format::kFileType) {
            ThrowCorruptAt(file.path(), record.offset,
                           "child entry of unknown item type " + std::to_string(type));
        }
        entry.type = static_cast<ItemType>(type);
        entry.flags = body.U16(pe::kFlags);
        entry.name = ReadNameField(body, pe::kName);
        entry.pinnedVersion = body.U16(pe::kPinnedVersion);
        entry.physical = std::string(body.CString(pe::kPhysical, pe::kPhysicalSize));
        if (!IsPhysicalName(entry.physical)) {
            ThrowCorruptAt(file.path(), record.offset, "child entry has an invalid physical name");
        }
        entries.push_back(std::move(entry));
    });
    return entries;
}

std::vector<ProjectEntry> ReadChildList(const std::string& path, std::uint16_t childCount) {
    return ReadChildList(PhysicalFile::ReadDeclared(
                             path, 0, [&](std::string_view) { return ChildListSize(childCount); }),
                         childCount);
}

std::vector<ProjectEntry> ReadChildList(const PhysicalFile& file, std::uint16_t childCount) {
    const std::size_t expected = ChildListSize(childCount);
    const std::size_t size = file.sizeOnDisk();
    if (size != expected) {
        const std::string count = std::to_string(childCount);
        ThrowCorrupt(file.path(),
                     size % kChildEntrySize == 0
                         ? "child list holds " + std::to_string(size / kChildEntrySize) +
                               " entries; its project counts " + count
                         : "child list is " + std::to_string(size) + " bytes long; the " + count +
                               " entries its project counts take " + std::to_string(expected));
    }
    return ReadProjectEntries(file);
}

}  // namespace vssdb
