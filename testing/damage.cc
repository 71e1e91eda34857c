#include "testing/damage.h"

#include <stdexcept>

#include "testing/file_io.h"
#include "testing/record_builder.h"
#include "vssdb/record_format.h"

namespace vsstest {

namespace rf = vssdb::record_format;

namespace {

void RequireInside(const std::filesystem::path& file, std::size_t fileSize, std::size_t offset,
                   std::size_t length) {
    if (offset > fileSize || length > fileSize - offset) {
        throw std::out_of_range(file.string() + ": bytes " + std::to_string(offset) + ".." +
                                std::to_string(offset + length) + " are past its end (" +
                                std::to_string(fileSize) + " bytes)");
    }
}

}  // namespace

std::vector<RecordInfo> ListRecordsInBytes(std::string_view bytes, bool hasFileHeader) {
    std::vector<RecordInfo> records;
    std::size_t offset = hasFileHeader ? vssdb::file_header_format::kSize : 0;
    while (offset <= bytes.size() && bytes.size() - offset >= rf::kHeaderSize) {
        RecordInfo record;
        record.offset = offset;
        record.length = GetU32(bytes, offset + rf::kLengthOffset);
        record.signature = std::string(bytes.substr(offset + rf::kSignatureOffset, 2));
        record.crc = GetU16(bytes, offset + rf::kCrcOffset);
        if (record.length > bytes.size() - offset - rf::kHeaderSize) {
            break;
        }
        records.push_back(record);
        offset += rf::kHeaderSize + record.length;
    }
    return records;
}

std::vector<RecordInfo> ListRecords(const std::filesystem::path& file, bool hasFileHeader) {
    return ListRecordsInBytes(ReadWholeFile(file), hasFileHeader);
}

void TruncateFile(const std::filesystem::path& file, std::size_t newSize) {
    if (newSize > std::filesystem::file_size(file)) {
        throw std::out_of_range(file.string() + ": truncating would grow the file");
    }
    std::filesystem::resize_file(file, newSize);
}

void PatchBytes(const std::filesystem::path& file, std::size_t offset, std::string_view bytes) {
    std::string content = ReadWholeFile(file);
    RequireInside(file, content.size(), offset, bytes.size());
    content.replace(offset, bytes.size(), bytes);
    WriteWholeFile(file, content);
}

void PatchU16(const std::filesystem::path& file, std::size_t offset, std::uint16_t value) {
    std::string bytes(2, '\0');
    PutU16(bytes, 0, value);
    PatchBytes(file, offset, bytes);
}

void PatchU32(const std::filesystem::path& file, std::size_t offset, std::uint32_t value) {
    std::string bytes(4, '\0');
    PutU32(bytes, 0, value);
    PatchBytes(file, offset, bytes);
}

void FixRecordCrc(const std::filesystem::path& file, std::size_t recordOffset) {
    std::string content = ReadWholeFile(file);
    RequireInside(file, content.size(), recordOffset, rf::kHeaderSize);
    RequireInside(file, content.size(), recordOffset + rf::kHeaderSize,
                  GetU32(content, recordOffset + rf::kLengthOffset));
    RefreshRecordCrc(content, recordOffset);
    WriteWholeFile(file, content);
}

}  // namespace vsstest
