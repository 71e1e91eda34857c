// DH record: the item header at offset 52 of every item log file.
//
// Common part (both kinds), then a project part or a file part from offset 80.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vssdb::item_header_format {

inline constexpr std::size_t kRecordOffset = 52;  // right after the file header
inline constexpr std::size_t kBodySize = 356;

inline constexpr std::size_t kItemType = 0;        // u16: 1 project, 2 file
inline constexpr std::size_t kRevisionCount = 2;   // u16: EL records in this file
inline constexpr std::size_t kName = 4;            // name field (40)
inline constexpr std::size_t kFirstVersion = 44;   // u16: 1 unless branched
inline constexpr std::size_t kDataExtension = 46;  // char[2]: ".A" or ".B"
inline constexpr std::size_t kFirstRevision = 48;  // u32 offset of the first EL
inline constexpr std::size_t kLastRevision = 52;   // u32 offset of the last EL
inline constexpr std::size_t kEndOfData = 56;      // u32, the file size
inline constexpr std::size_t kRightsOffset = 60;   // u32, projects only

// Project part.
inline constexpr std::size_t kParentSpec = 80;  // char[260]
inline constexpr std::size_t kParentSpecSize = 260;
inline constexpr std::size_t kParentPhysical = 340;  // char[8] (+4 unused)
inline constexpr std::size_t kPhysicalNameSize = 8;
inline constexpr std::size_t kChildCount = 352;       // u16, deleted entries included
inline constexpr std::size_t kSubprojectCount = 354;  // u16

// File part.
inline constexpr std::size_t kFileFlags = 80;           // u16
inline constexpr std::size_t kBranchSource = 82;        // char[8], empty unless branched
inline constexpr std::size_t kLastBranchRecord = 92;    // u32
inline constexpr std::size_t kLastParentRecord = 96;    // u32
inline constexpr std::size_t kBranchRecordCount = 100;  // u16
inline constexpr std::size_t kParentCount = 102;        // u16
inline constexpr std::size_t kActiveCheckout = 104;     // u32
inline constexpr std::size_t kIdleCheckout = 108;       // u32
inline constexpr std::size_t kDataCrc = 112;            // u32
inline constexpr std::size_t kLastCheckInTime = 124;    // u32
inline constexpr std::size_t kModificationTime = 128;   // u32
inline constexpr std::size_t kCreationTime = 132;       // u32

inline constexpr std::uint16_t kFileLocked = 0x0001;
inline constexpr std::uint16_t kFileBinary = 0x0002;
inline constexpr std::uint16_t kFileLatestOnly = 0x0004;
inline constexpr std::uint16_t kFileShared = 0x0020;
inline constexpr std::uint16_t kFileCheckedOut = 0x0040;

inline constexpr std::uint16_t kProjectType = 1;
inline constexpr std::uint16_t kFileType = 2;

}  // namespace vssdb::item_header_format

// The checkout record that every file log carries right after its item header, present
// even when the file is not checked out. It keeps the details of the last checkout after
// the file is checked in again; only the item header's active-checkout offset says whether
// the file is checked out now.
namespace vssdb::checkout_format {

inline constexpr std::size_t kRecordOffset = 0x1A0;
inline constexpr std::size_t kBodySize = 668;

inline constexpr std::size_t kUser = 0;  // char[32]
inline constexpr std::size_t kUserSize = 32;
inline constexpr std::size_t kTime = 32;           // u32, as revision times
inline constexpr std::size_t kWorkingFolder = 36;  // char[260]
inline constexpr std::size_t kWorkingFolderSize = 260;
inline constexpr std::size_t kMachine = 296;  // char[32]
inline constexpr std::size_t kMachineSize = 32;
inline constexpr std::size_t kProjectSpec = 328;  // char[260]
inline constexpr std::size_t kProjectSpecSize = 260;
inline constexpr std::size_t kComment = 588;  // char[64]
inline constexpr std::size_t kCommentSize = 64;
inline constexpr std::size_t kVersion = 652;           // u16: checked out at; 0 once checked in
inline constexpr std::size_t kFlags = 654;             // u16
inline constexpr std::size_t kPreviousCheckout = 656;  // u32
inline constexpr std::size_t kThisCheckout = 660;      // u32: this record's offset
inline constexpr std::size_t kCheckoutCount = 664;     // u32: checkouts of the file so far

inline constexpr std::uint16_t kExclusive = 0x0040;

}  // namespace vssdb::checkout_format

// PF and BF records of a file log: a parent project of the file (PF), or a file branched
// off it (BF). Each points back at the previous one of its kind; the item header points at
// the last. A PF whose project no longer holds the file is blanked.
namespace vssdb::file_link_format {

inline constexpr std::size_t kBodySize = 16;
inline constexpr std::size_t kPrevious = 0;  // u32, 0 for the first
inline constexpr std::size_t kPhysical = 4;  // char[12]: 8 letters + NULs
inline constexpr std::size_t kPhysicalSize = 12;

}  // namespace vssdb::file_link_format
