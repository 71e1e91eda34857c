// names.dat: long names for items whose name does not fit the short name field.
//
//   HN record at offset 0 (body 80: 16 reserved bytes, u32 end offset at 16, zeros)
//   SN records: u16 count | u16 unused | count x (u16 kind, u16 offset) | NUL-terminated strings
//
// Each string offset is relative to the first byte after the (kind, offset) table.
// Name field offsets point at the SN record's header.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vssdb::names_file_format {

inline constexpr std::size_t kHeaderBodySize = 80;
inline constexpr std::size_t kHeaderEndOffset = 16;

inline constexpr std::size_t kCount = 0;
inline constexpr std::size_t kTable = 4;
inline constexpr std::size_t kTableEntrySize = 4;

enum class NameKind : std::uint16_t {
    kDos = 1,   // 8.3 alias
    kLong = 2,  // a file's real name
    kMac = 3,
    kProjectLong = 10,  // a project's real name
};

}  // namespace vssdb::names_file_format
