// JP record: one child of a project. The current data file (.a or .b) of a project is a
// plain sequence of these, with no file header, in the order SourceSafe keeps them
// (sorted by short name, projects and files interleaved).
#pragma once

#include <cstddef>
#include <cstdint>

namespace vssdb::project_entry_format {

inline constexpr std::size_t kBodySize = 56;

inline constexpr std::size_t kItemType = 0;        // u16: 1 project, 2 file
inline constexpr std::size_t kFlags = 2;           // u16
inline constexpr std::size_t kName = 4;            // name field (40)
inline constexpr std::size_t kPinnedVersion = 44;  // u16, 0 = not pinned
inline constexpr std::size_t kPhysical = 46;       // char[10]: 8 letters + NULs
inline constexpr std::size_t kPhysicalSize = 10;

inline constexpr std::uint16_t kDeleted = 0x0001;
inline constexpr std::uint16_t kBinary = 0x0002;
inline constexpr std::uint16_t kLatestOnly = 0x0004;
inline constexpr std::uint16_t kShared = 0x0008;
// VSS 2005 keeps a file's type in the high byte of the flags; older versions leave it 0.
inline constexpr int kFileTypeShift = 8;
inline constexpr std::uint8_t kTypeBinary = 1;
inline constexpr std::uint8_t kTypeText = 2;
inline constexpr std::uint8_t kTypeUtf8 = 3;
inline constexpr std::uint8_t kTypeUtf16 = 4;

}  // namespace vssdb::project_entry_format
