// SourceSafe's 16-bit password hash, as stored in um.dat.
//
// The password bytes (already in the database's code page and upper-cased) are cut to 15
// and padded to 15 with the leading bytes of "BrianDavidHarry"; the hash is the sum of
// (b ^ 0x96) * (i + 1), kept to 16 bits. Bytes >= 0x80 count as signed chars, as
// SourceSafe's own code does. An empty password hashes to 0x6E90.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace vssdb {

inline constexpr std::size_t kPasswordSignificantBytes = 15;

std::uint16_t PasswordHash(std::string_view upperCasedBytes);

}  // namespace vssdb
