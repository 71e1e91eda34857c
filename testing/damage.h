// Byte-level helpers for tests that inspect or damage a written database.
//
// Offsets are file offsets. The patch helpers throw std::out_of_range when the bytes they
// would change lie outside the file; they never grow a file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace vsstest {

struct RecordInfo {
    std::size_t offset = 0;  // of the record header
    std::string signature;
    std::uint32_t length = 0;  // of the body
    std::uint16_t crc = 0;     // as stored
};

// The records of a file in file order, after the 52-byte file header when `hasFileHeader`.
// Stops at the first record whose header or body would run past the end of the file.
std::vector<RecordInfo> ListRecords(const std::filesystem::path& file, bool hasFileHeader);
std::vector<RecordInfo> ListRecordsInBytes(std::string_view bytes, bool hasFileHeader);

void TruncateFile(const std::filesystem::path& file, std::size_t newSize);
// Makes the file `newSize` bytes long by adding zeros that take no disk space (a sparse
// file), as a careless copy or a file system repair may. Never shortens it.
void ExtendFile(const std::filesystem::path& file, std::uintmax_t newSize);
void PatchU16(const std::filesystem::path& file, std::size_t offset, std::uint16_t value);
void PatchU32(const std::filesystem::path& file, std::size_t offset, std::uint32_t value);
void PatchBytes(const std::filesystem::path& file, std::size_t offset, std::string_view bytes);
// Makes the stored CRC of the record at `recordOffset` match its body again, so that a
// deliberate change to a field is not caught as a CRC error.
void FixRecordCrc(const std::filesystem::path& file, std::size_t recordOffset);

// Writes a copy of the record at `recordOffset` right after it, or takes the record out:
// every record after it moves, and nothing that points at them follows.
void DuplicateRecord(const std::filesystem::path& file, std::size_t recordOffset);
void RemoveRecord(const std::filesystem::path& file, std::size_t recordOffset);

// Overwrites `bytes` at `field` of the body of the child entry (JP record) for the item
// named `physical` in the child list `list`, and fixes that record's CRC. Throws
// std::invalid_argument when the list has no entry for it.
void PatchChildEntry(const std::filesystem::path& list, std::string_view physical,
                     std::size_t field, std::string_view bytes);

}  // namespace vsstest
