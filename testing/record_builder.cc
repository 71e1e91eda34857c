#include "testing/record_builder.h"

#include <algorithm>
#include <stdexcept>

#include "vssdb/crc.h"
#include "vssdb/name_format.h"
#include "vssdb/record_format.h"

namespace vsstest {

namespace rf = vssdb::record_format;

void PutU16(std::string& buffer, std::size_t offset, std::uint16_t value) {
    buffer[offset] = static_cast<char>(value & 0xFF);
    buffer[offset + 1] = static_cast<char>(value >> 8);
}

void PutU32(std::string& buffer, std::size_t offset, std::uint32_t value) {
    for (std::size_t i = 0; i < 4; ++i) {
        buffer[offset + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
    }
}

void PutText(std::string& buffer, std::size_t offset, std::string_view text,
             std::size_t fieldSize) {
    const std::size_t length = std::min(text.size(), fieldSize);
    std::copy_n(text.data(), length, buffer.begin() + static_cast<std::ptrdiff_t>(offset));
}

void AppendU16(std::string& buffer, std::uint16_t value) {
    buffer.append(2, '\0');
    PutU16(buffer, buffer.size() - 2, value);
}

void AppendU32(std::string& buffer, std::uint32_t value) {
    buffer.append(4, '\0');
    PutU32(buffer, buffer.size() - 4, value);
}

std::uint16_t GetU16(std::string_view buffer, std::size_t offset) {
    return static_cast<std::uint16_t>(static_cast<std::uint8_t>(buffer[offset]) |
                                      static_cast<std::uint8_t>(buffer[offset + 1]) << 8);
}

std::uint32_t GetU32(std::string_view buffer, std::size_t offset) {
    return GetU16(buffer, offset) | static_cast<std::uint32_t>(GetU16(buffer, offset + 2)) << 16;
}

void AppendItemFileHeader(std::string& file, std::uint16_t itemType) {
    namespace fh = vssdb::file_header_format;
    const std::size_t start = file.size();
    file.append(fh::kSize, '\0');
    PutText(file, start, fh::kItemSignature, fh::kSignatureSize);
    PutU16(file, start + fh::kItemTypeOffset, itemType);
    PutU16(file, start + fh::kFormatVersionOffset, fh::kFormatVersion);
}

void AppendUserFileHeader(std::string& file) {
    namespace fh = vssdb::file_header_format;
    const std::size_t start = file.size();
    file.append(fh::kSize, '\0');
    PutText(file, start, fh::kUsersSignature, fh::kSignatureSize);
    file[start + fh::kUsersMarkerOffset] = static_cast<char>(fh::kUsersMarker);
}

RecordBuilder::RecordBuilder(std::string& file, std::string_view signature, std::size_t bodySize)
    : file_(file), offset_(file.size()) {
    if (signature.size() != 2) {
        throw std::invalid_argument("a record signature has two characters");
    }
    file_.append(rf::kHeaderSize + bodySize, '\0');
    PutText(file_, offset_ + rf::kSignatureOffset, signature, 2);
}

std::size_t RecordBuilder::BodyStart() const {
    return offset_ + rf::kHeaderSize;
}

void RecordBuilder::U16(std::size_t at, std::uint16_t value) {
    PutU16(file_, BodyStart() + at, value);
}

void RecordBuilder::U32(std::size_t at, std::uint32_t value) {
    PutU32(file_, BodyStart() + at, value);
}

void RecordBuilder::Text(std::size_t at, std::string_view text, std::size_t fieldSize) {
    PutText(file_, BodyStart() + at, text, fieldSize);
}

void RecordBuilder::Name(std::size_t at, const NameField& name) {
    namespace nf = vssdb::name_format;
    U16(at + nf::kFlagsOffset, name.flags);
    Text(at + nf::kShortNameOffset, name.shortName, nf::kShortNameSize - 1);
    U32(at + nf::kNamesOffsetOffset, name.namesOffset);
}

void RecordBuilder::Append(std::string_view bytes) {
    file_.append(bytes);
}

void RecordBuilder::AppendU16(std::uint16_t value) {
    vsstest::AppendU16(file_, value);
}

void RecordBuilder::AppendU32(std::uint32_t value) {
    vsstest::AppendU32(file_, value);
}

void RecordBuilder::Finish(Crc crc) {
    const std::size_t bodySize = file_.size() - BodyStart();
    PutU32(file_, offset_ + rf::kLengthOffset, static_cast<std::uint32_t>(bodySize));
    const std::uint16_t value =
        crc == Crc::kZero ? 0 : vssdb::RecordCrc(file_.data() + BodyStart(), bodySize);
    PutU16(file_, offset_ + rf::kCrcOffset, value);
}

void RefreshRecordCrc(std::string& file, std::size_t recordOffset) {
    const std::size_t bodyStart = recordOffset + rf::kHeaderSize;
    if (bodyStart > file.size()) {
        throw std::out_of_range("record header past the end of the buffer");
    }
    const std::uint32_t length = GetU32(file, recordOffset + rf::kLengthOffset);
    if (length > file.size() - bodyStart) {
        throw std::out_of_range("record body past the end of the buffer");
    }
    PutU16(file, recordOffset + rf::kCrcOffset, vssdb::RecordCrc(file.data() + bodyStart, length));
}

}  // namespace vsstest
