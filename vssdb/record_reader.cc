#include "vssdb/record_reader.h"

#include <cstdio>
#include <iterator>
#include <string>

#include "vssdb/crc.h"
#include "vssdb/error.h"
#include "vssdb/record_format.h"

namespace vssdb {
namespace {

std::string Printable(std::string_view signature) {
    std::string out;
    for (const char c : signature) {
        if (c >= 0x20 && c < 0x7F) {
            out += c;
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned char>(c));
            out += hex;
        }
    }
    return out;
}

std::string Hex16(std::uint16_t value) {
    char hex[8];
    std::snprintf(hex, sizeof hex, "0x%04X", value);
    return hex;
}

std::string HexOffset(std::size_t offset) {
    char hex[24];
    std::snprintf(hex, sizeof hex, "0x%zx", offset);
    return hex;
}

// The record's header and body, without the checksum test.
Record ReadFrameAt(const ByteView& file, std::size_t offset, std::string_view expected) {
    namespace rf = record_format;
    if (offset > file.size() || file.size() - offset < rf::kHeaderSize) {
        ThrowCorruptAt(
            file.file(), offset,
            "record header lies outside the file (size " + std::to_string(file.size()) + ")");
    }
    const std::uint32_t length = file.U32(offset + rf::kLengthOffset);
    Record record;
    record.offset = offset;
    record.signature = file.Bytes(offset + rf::kSignatureOffset, 2);
    record.storedCrc = file.U16(offset + rf::kCrcOffset);
    if (!expected.empty() && record.signature != expected) {
        ThrowCorruptAt(file.file(), offset,
                       "expected a " + std::string(expected) + " record, found '" +
                           Printable(record.signature) + "'");
    }
    if (length > file.size() - offset - rf::kHeaderSize) {
        ThrowCorruptAt(file.file(), offset,
                       Printable(record.signature) + " record of " + std::to_string(length) +
                           " bytes runs past the end of the file (size " +
                           std::to_string(file.size()) + ")");
    }
    record.body = file.Sub(offset + rf::kHeaderSize, length);
    return record;
}

void CheckCrc(const Record& record) {
    if (record.storedCrc == 0) {
        return;
    }
    const std::uint16_t actual = RecordCrc(record.body.bytes());
    if (actual != record.storedCrc) {
        ThrowCorruptAt(record.body.file(), record.offset,
                       Printable(record.signature) + " record fails its checksum (stored " +
                           Hex16(record.storedCrc) + ", computed " + Hex16(actual) + ")");
    }
}

}  // namespace

Record ReadRecordAt(const ByteView& file, std::size_t offset, std::string_view expected) {
    Record record = ReadFrameAt(file, offset, expected);
    CheckCrc(record);
    return record;
}

Record DisjointRecords::Read(const ByteView& file, std::size_t offset, std::string_view expected) {
    Record record = ReadFrameAt(file, offset, expected);
    // The first span that ends after this record starts is the only one that may overlap it.
    auto next = spans_.upper_bound(record.offset);
    if (next != spans_.begin() && std::prev(next)->second > record.offset) {
        next = std::prev(next);
    }
    if (next != spans_.end() && next->first < record.end()) {
        ThrowCorruptAt(file.file(), offset,
                       Printable(record.signature) + " record overlaps the record at offset " +
                           HexOffset(next->first));
    }
    // Taken before the checksum test: a record that fails it has cost its reading too.
    spans_.emplace(record.offset, record.end());
    CheckCrc(record);
    return record;
}

void ForEachRecord(const ByteView& file, std::size_t start,
                   const std::function<void(const Record&)>& visit) {
    std::size_t offset = start;
    while (offset < file.size()) {
        const Record record = ReadRecordAt(file, offset);
        visit(record);
        offset = record.end();
    }
}

}  // namespace vssdb
