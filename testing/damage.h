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
void PatchU16(const std::filesystem::path& file, std::size_t offset, std::uint16_t value);
void PatchU32(const std::filesystem::path& file, std::size_t offset, std::uint32_t value);
void PatchBytes(const std::filesystem::path& file, std::size_t offset, std::string_view bytes);
// Makes the stored CRC of the record at `recordOffset` match its body again, so that a
// deliberate change to a field is not caught as a CRC error.
void FixRecordCrc(const std::filesystem::path& file, std::size_t recordOffset);

}  // namespace vsstest
