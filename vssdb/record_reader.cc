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

// A record's header, checked against the end of the data.
struct Frame {
    std::size_t offset = 0;
    char signature[2] = {};
    std::uint16_t storedCrc = 0;
    std::uint32_t length = 0;

    std::string_view Signature() const { return {signature, 2}; }
    std::size_t end() const { return offset + record_format::kHeaderSize + length; }
};

Frame ReadFrameHeader(RecordSource& source, std::size_t offset, std::string_view expected) {
    namespace rf = record_format;
    const std::size_t size = source.size();
    if (offset > size || size - offset < rf::kHeaderSize) {
        ThrowCorruptAt(source.path(), offset,
                       "record header lies outside the file (size " + std::to_string(size) + ")");
    }
    const ByteView header = source.Bytes(offset, rf::kHeaderSize);
    Frame frame;
    frame.offset = offset;
    frame.length = header.U32(rf::kLengthOffset);
    frame.storedCrc = header.U16(rf::kCrcOffset);
    const std::string_view signature = header.Bytes(rf::kSignatureOffset, 2);
    frame.signature[0] = signature[0];
    frame.signature[1] = signature[1];
    if (!expected.empty() && frame.Signature() != expected) {
        ThrowCorruptAt(source.path(), offset,
                       "expected a " + std::string(expected) + " record, found '" +
                           Printable(frame.Signature()) + "'");
    }
    if (frame.length > size - offset - rf::kHeaderSize) {
        ThrowCorruptAt(source.path(), offset,
                       Printable(frame.Signature()) + " record of " + std::to_string(frame.length) +
                           " bytes runs past the end of the file (size " + std::to_string(size) +
                           ")");
    }
    return frame;
}

// The record of a checked header, its bytes read; without the checksum test.
Record ReadFrame(RecordSource& source, const Frame& frame) {
    namespace rf = record_format;
    const ByteView whole = source.Bytes(frame.offset, rf::kHeaderSize + frame.length);
    Record record;
    record.offset = frame.offset;
    record.signature = whole.Bytes(rf::kSignatureOffset, 2);
    record.storedCrc = frame.storedCrc;
    record.body = whole.Sub(rf::kHeaderSize, frame.length);
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

// CheckCrc, once per record of a source that remembers.
void CheckCrcOnce(RecordSource& source, const Record& record) {
    if (!source.PassedChecksum(record.offset)) {
        CheckCrc(record);
        source.NotePassedChecksum(record.offset);
    }
}

}  // namespace

Record ReadRecordAt(RecordSource& source, std::size_t offset, std::string_view expected) {
    Record record = ReadFrame(source, ReadFrameHeader(source, offset, expected));
    CheckCrcOnce(source, record);
    return record;
}

Record ReadRecordAt(const ByteView& file, std::size_t offset, std::string_view expected) {
    InMemoryRecords source(file);
    return ReadRecordAt(source, offset, expected);
}

Record DisjointRecords::Read(RecordSource& source, std::size_t offset, std::string_view expected) {
    const Frame frame = ReadFrameHeader(source, offset, expected);
    // The first span that ends after this record starts is the only one that may overlap it.
    auto next = spans_.upper_bound(frame.offset);
    if (next != spans_.begin() && std::prev(next)->second > frame.offset) {
        next = std::prev(next);
    }
    if (next != spans_.end() && next->first < frame.end()) {
        ThrowCorruptAt(source.path(), offset,
                       Printable(frame.Signature()) + " record overlaps the record at offset " +
                           HexOffset(next->first));
    }
    // Taken before the checksum test: a record that fails it has cost its reading too.
    spans_.emplace(frame.offset, frame.end());
    Record record = ReadFrame(source, frame);
    CheckCrcOnce(source, record);
    return record;
}

Record DisjointRecords::Read(const ByteView& file, std::size_t offset, std::string_view expected) {
    InMemoryRecords source(file);
    return Read(source, offset, expected);
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
