// How much of each kind of database file its own format accounts for, told from the file's
// first bytes. The reader reads no further (PhysicalFile::ReadDeclared): a file that was
// extended, padded or made sparse costs what its header records, not its size on disk.
//
// Bytes past the recorded end are not damage in themselves: another client writes a new
// record first and the header that takes it in afterwards. Bytes missing before it are.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace vssdb {

// Item logs: the file header, then the item header (DH), whose end-of-data field is the
// size of the log.
inline constexpr std::size_t kItemFileHeadSize = 52 + 8 + 356;
// names.dat: the HN record at its start holds the end offset of the name records.
inline constexpr std::size_t kNamesFileHeadSize = 8 + 80;
// A project's child list: one entry (8-byte record header, 56-byte body) per child.
inline constexpr std::size_t kChildEntrySize = 8 + 56;

// The recorded size of an item log or of names.dat. When `head` holds no intact header
// (too short, another record, a failed checksum) nothing more is worth reading: the result
// is the head's own size, and reading the file then reports what is wrong with it.
std::size_t ItemFileDataEnd(std::string_view head);
std::size_t NamesFileDataEnd(std::string_view head);

// The size of a child list whose project counts `childCount` entries, deleted ones included.
std::size_t ChildListSize(std::uint16_t childCount);

}  // namespace vssdb
