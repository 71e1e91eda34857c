// um.dat: the users of a database.
//
//   file header (52 bytes, "UserManagement@Microsoft") | HU record | UU record per user
//
// The password is stored only as a 16-bit hash (see password_hash.h).
#pragma once

#include <cstddef>
#include <cstdint>

namespace vssdb::user_file_format {

inline constexpr std::size_t kHeaderBodySize = 64;
inline constexpr std::size_t kHeaderUserCount = 0;  // u16

inline constexpr std::size_t kUserBodySize = 56;
inline constexpr std::size_t kUserName = 0;  // char[32]
inline constexpr std::size_t kUserNameSize = 32;
inline constexpr std::size_t kPasswordHash = 32;  // u16
inline constexpr std::size_t kUserFlags = 34;     // u16, bit 0 read-only
inline constexpr std::size_t kRightsOffset = 36;  // u32

inline constexpr std::uint16_t kReadOnly = 0x0001;

}  // namespace vssdb::user_file_format
