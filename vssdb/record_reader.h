// Reading framed records (see record_format.h) out of a file's bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>

#include "vssdb/byte_view.h"

namespace vssdb {

struct Record {
    std::size_t offset = 0;      // of the record header within the file
    std::string_view signature;  // two characters
    std::uint16_t storedCrc = 0;
    ByteView body;

    std::size_t end() const { return offset + 8 + body.size(); }
};

// Where records are read from: a file's bytes in memory, or a log read piece by piece (see
// log_window.h). Records lie within the first size() bytes.
class RecordSource {
  public:
    virtual ~RecordSource() = default;
    virtual const std::string& path() const = 0;
    virtual std::size_t size() const = 0;
    // The bytes [offset, offset + length), which lie within size(). Valid until the next
    // call. Throws Error(kCorrupt) when the file no longer holds them.
    virtual ByteView Bytes(std::size_t offset, std::size_t length) = 0;
    // A source whose bytes never change may remember which records passed their checksum,
    // so that a record read twice (by the code page census, then by the history) is
    // checked once. Others check every time.
    virtual bool PassedChecksum(std::size_t /*offset*/) const { return false; }
    virtual void NotePassedChecksum(std::size_t /*offset*/) {}
};

// The bytes of a whole file, already in memory.
class InMemoryRecords final : public RecordSource {
  public:
    explicit InMemoryRecords(const ByteView& file) : file_(file) {}
    const std::string& path() const override { return file_.file(); }
    std::size_t size() const override { return file_.size(); }
    ByteView Bytes(std::size_t offset, std::size_t length) override {
        return file_.Sub(offset, length);
    }

  private:
    ByteView file_;
};

// The record whose header starts at `offset`. Checks that header and body lie inside the
// file, that the signature is `expected` (unless empty) and that a stored CRC other than
// 0 matches the body. Throws Error(kCorrupt) naming the file, the offset and the fault.
Record ReadRecordAt(const ByteView& file, std::size_t offset, std::string_view expected = {});
// As above; the record's views are valid until the source is read again.
Record ReadRecordAt(RecordSource& source, std::size_t offset, std::string_view expected = {});

// Reads records that must not share a byte with each other: the versions of one chain with
// their comments, the name records of names.dat. Damage can make such records overlap, and
// then a reader that follows offsets would check the same bytes once per record; a chain of
// records that each span the rest of the file would cost the square of its size.
class DisjointRecords {
  public:
    // As ReadRecordAt, and throws Error(kCorrupt) when the record shares a byte with one read
    // before through this object (whether that one's checksum held or not). That is checked
    // before the checksum is computed.
    Record Read(const ByteView& file, std::size_t offset, std::string_view expected = {});
    // As above; the body is read from `source` only once the overlap check has passed. The
    // record's views are valid until the source is read again.
    Record Read(RecordSource& source, std::size_t offset, std::string_view expected = {});

  private:
    std::map<std::size_t, std::size_t> spans_;  // offset -> end of each record read
};

// Calls `visit` for each record from `start` to the end of the file, in file order. Every
// record is checked as by ReadRecordAt; bytes after the last whole record are an error.
void ForEachRecord(const ByteView& file, std::size_t start,
                   const std::function<void(const Record&)>& visit);

}  // namespace vssdb
