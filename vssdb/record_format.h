// Physical framing shared by every SourceSafe data file.
//
//   file   := [file header (52 bytes)] record*        (header only in item logs and um.dat)
//   record := u32 body length | char[2] signature | u16 crc | body
//
// The crc is the low 16 bits of c ^ (c >> 16), where c is the reflected CRC-32
// (polynomial 0xEDB88320) over the body, started at 0 with no final xor.
// A stored crc of 0 means "not checked" (comment records are always written so).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace vssdb::record_format {

inline constexpr std::size_t kHeaderSize = 8;
inline constexpr std::size_t kLengthOffset = 0;
inline constexpr std::size_t kSignatureOffset = 4;
inline constexpr std::size_t kCrcOffset = 6;

// Record signatures.
inline constexpr std::string_view kItemHeader = "DH";
inline constexpr std::string_view kRevision = "EL";
inline constexpr std::string_view kComment = "MC";
inline constexpr std::string_view kProjectEntry = "JP";
inline constexpr std::string_view kCheckout = "CF";
inline constexpr std::string_view kParentProject = "PF";
inline constexpr std::string_view kBranch = "BF";
inline constexpr std::string_view kDelta = "FD";
inline constexpr std::string_view kNamesHeader = "HN";
inline constexpr std::string_view kName = "SN";
inline constexpr std::string_view kUsersHeader = "HU";
inline constexpr std::string_view kUser = "UU";

}  // namespace vssdb::record_format

namespace vssdb::file_header_format {

// 52-byte header at the start of item log files and of um.dat.
inline constexpr std::size_t kSize = 52;
inline constexpr std::size_t kSignatureSize = 32;
inline constexpr std::string_view kItemSignature = "SourceSafe@Microsoft";
inline constexpr std::string_view kUsersSignature = "UserManagement@Microsoft";
// Format-5 databases carry these instead; they are refused as incompatible.
inline constexpr std::string_view kOldItemSignature = "SourceSafe@Icarus";
inline constexpr std::string_view kOldUsersSignature = "UserManagement@Icarus";

// Item logs: u16 item type at 32, u16 format version at 34.
inline constexpr std::size_t kItemTypeOffset = 32;
inline constexpr std::size_t kFormatVersionOffset = 34;
inline constexpr std::uint16_t kFormatVersion = 6;
// um.dat: byte 32 holds 8.
inline constexpr std::size_t kUsersMarkerOffset = 32;
inline constexpr std::uint8_t kUsersMarker = 8;

}  // namespace vssdb::file_header_format
