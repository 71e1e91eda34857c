#include "testing/damage.h"

#include <stdexcept>

#include "testing/file_io.h"
#include "testing/record_builder.h"
#include "vssdb/project_entry_format.h"
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

// The bytes of the record at `recordOffset` of `content`, header and body.
std::string_view WholeRecord(const std::filesystem::path& file, std::string_view content,
                             std::size_t recordOffset) {
    RequireInside(file, content.size(), recordOffset, rf::kHeaderSize);
    const std::size_t length = rf::kHeaderSize + GetU32(content, recordOffset + rf::kLengthOffset);
    RequireInside(file, content.size(), recordOffset, length);
    return content.substr(recordOffset, length);
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

void ExtendFile(const std::filesystem::path& file, std::uintmax_t newSize) {
    if (newSize < std::filesystem::file_size(file)) {
        throw std::out_of_range(file.string() + ": extending would shorten the file");
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

void DuplicateRecord(const std::filesystem::path& file, std::size_t recordOffset) {
    std::string content = ReadWholeFile(file);
    const std::string record(WholeRecord(file, content, recordOffset));
    content.insert(recordOffset + record.size(), record);
    WriteWholeFile(file, content);
}

void RemoveRecord(const std::filesystem::path& file, std::size_t recordOffset) {
    std::string content = ReadWholeFile(file);
    content.erase(recordOffset, WholeRecord(file, content, recordOffset).size());
    WriteWholeFile(file, content);
}

void PatchChildEntry(const std::filesystem::path& list, std::string_view physical,
                     std::size_t field, std::string_view bytes) {
    namespace pe = vssdb::project_entry_format;
    const std::string content = ReadWholeFile(list);
    for (const RecordInfo& record : ListRecordsInBytes(content, false)) {
        const std::size_t body = record.offset + rf::kHeaderSize;
        if (record.signature == rf::kProjectEntry &&
            content.compare(body + pe::kPhysical, physical.size(), physical) == 0) {
            PatchBytes(list, body + field, bytes);
            FixRecordCrc(list, record.offset);
            return;
        }
    }
    throw std::invalid_argument(list.string() + ": no entry for " + std::string(physical));
}

}  // namespace vsstest
