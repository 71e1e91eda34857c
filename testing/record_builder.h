// Byte-level assembly of SourceSafe files: little-endian fields in a growing buffer and the
// record framing (length, signature, CRC) around each body (see vssdb/record_format.h).
//
// Offsets are positions in the buffer, never pointers, so a buffer may grow while records
// are built in it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vsstest {

void PutU16(std::string& buffer, std::size_t offset, std::uint16_t value);
void PutU32(std::string& buffer, std::size_t offset, std::uint32_t value);
// Writes at most `fieldSize` bytes of `text` at `offset`; the rest of the field is untouched.
// Callers that need a terminating NUL pass a field one byte shorter than the text may be.
void PutText(std::string& buffer, std::size_t offset, std::string_view text, std::size_t fieldSize);

void AppendU16(std::string& buffer, std::uint16_t value);
void AppendU32(std::string& buffer, std::uint32_t value);

// Little-endian reads; the caller has checked that the bytes are there.
std::uint16_t GetU16(std::string_view buffer, std::size_t offset);
std::uint32_t GetU32(std::string_view buffer, std::size_t offset);

// The 40-byte name field of many records (see vssdb/name_format.h).
struct NameField {
    std::uint16_t flags = 0;
    std::string shortName;          // at most 33 bytes are stored
    std::uint32_t namesOffset = 0;  // SN record in names.dat, 0 for none
};

// The 52-byte header of item logs (`itemType` 1 project, 2 file) and of um.dat.
void AppendItemFileHeader(std::string& file, std::uint16_t itemType);
void AppendUserFileHeader(std::string& file);

// Builds one record at the end of `file`. The body starts as `bodySize` zero bytes and may
// grow through Append. Nothing else may be appended to `file` until Finish() has run.
class RecordBuilder {
  public:
    RecordBuilder(std::string& file, std::string_view signature, std::size_t bodySize = 0);
    RecordBuilder(const RecordBuilder&) = delete;
    RecordBuilder& operator=(const RecordBuilder&) = delete;

    // Where the record header starts in the file.
    std::size_t offset() const { return offset_; }
    // Where the record will end (the next record's offset) given the body so far.
    std::size_t end() const { return file_.size(); }

    // Field writers take offsets within the body, which must already be large enough.
    void U16(std::size_t at, std::uint16_t value);
    void I16(std::size_t at, std::int16_t value) { U16(at, static_cast<std::uint16_t>(value)); }
    void U32(std::size_t at, std::uint32_t value);
    void Text(std::size_t at, std::string_view text, std::size_t fieldSize);
    void Name(std::size_t at, const NameField& name);

    void Append(std::string_view bytes);
    void AppendU16(std::uint16_t value);
    void AppendU32(std::uint32_t value);

    // Writes the body length and the CRC. Comment records store 0 instead of a CRC.
    enum class Crc { kComputed, kZero };
    void Finish(Crc crc = Crc::kComputed);

  private:
    std::size_t BodyStart() const;

    std::string& file_;
    std::size_t offset_;
};

// Recomputes the CRC of the record whose header starts at `recordOffset` in `file`, after
// a field was changed in place.
void RefreshRecordCrc(std::string& file, std::size_t recordOffset);

}  // namespace vsstest
