// The 40-byte name field used by many records ("VssName").
//
//   u16 flags (bit 0: project) | char[34] short name | u32 offset of an SN record in names.dat
//
// The short name has spaces turned into '_' and is cut to 33 bytes; when the names.dat
// offset is not 0, the SN record there holds the real (long) name.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vssdb::name_format {

inline constexpr std::size_t kSize = 40;
inline constexpr std::size_t kFlagsOffset = 0;
inline constexpr std::size_t kShortNameOffset = 2;
inline constexpr std::size_t kShortNameSize = 34;
inline constexpr std::size_t kNamesOffsetOffset = 36;
inline constexpr std::uint16_t kProjectFlag = 0x0001;

}  // namespace vssdb::name_format
