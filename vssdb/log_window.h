// A log read piece by piece: the records asked for and what lies near them, never the
// content deltas that the history passes over. A log of a SourceSafe database is mostly
// deltas (every older version of a file lives in its log), and an export needs none of them.
#pragma once

#include <cstddef>
#include <string>

#include "vssdb/physical_file.h"
#include "vssdb/record_reader.h"

namespace vssdb {

// Which way the records asked for go: a version chain runs from the end of the log towards
// its start, a scan of every record the other way. The window of bytes read at once reaches
// mostly that way, where the next records lie.
enum class ReadDirection { kBackward, kForward };

class LogWindow final : public RecordSource {
  public:
    // `dataEnd`: where the log's data ends by its item header, at most the file's size when
    // it was opened. `head`: the file's first bytes, already read.
    LogWindow(PositionedFile file, std::size_t dataEnd, ReadDirection direction,
              std::string head = {});

    const std::string& path() const override { return file_.path(); }
    std::size_t size() const override { return dataEnd_; }
    // Throws Error(kCorrupt) when the file ends before the bytes asked for: another client
    // cut it short after it was opened.
    ByteView Bytes(std::size_t offset, std::size_t length) override;

  private:
    PositionedFile file_;
    std::size_t dataEnd_;
    ReadDirection direction_;
    std::string window_;  // bytes [windowStart_, windowStart_ + window_.size()) of the file
    std::size_t windowStart_ = 0;
    std::size_t reach_ = 0;  // of the last window read
};

// The size up to which a log is read whole in one read rather than record by record. Most
// logs of a database are a few kilobytes, which one read takes as cheaply as the header read
// and the window that reading by records needs (the 50,000-file benchmark database exports
// in the same time either way; see docs/performance.md).
inline constexpr std::size_t kWholeLogReadLimit = 64 * 1024;

}  // namespace vssdb
