// Reading database files without ever changing them.
//
// A file is read whole into memory through a read-only descriptor: no memory map (a file
// that shrinks under a map raises SIGBUS), no lock, nothing written. A file that another
// client changes while we read it gives whatever bytes read() returned, which the record
// checks then accept or refuse.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "vssdb/byte_view.h"

namespace vssdb {

class PhysicalFile {
  public:
    // Throws Error(kNotFound) when the file does not exist, Error(kUnreadable) when it
    // cannot be read or is not a regular file, Error(kCorrupt) when it is implausibly big.
    static PhysicalFile Read(const std::string& path);

    // Reads into `buffer` (reused across calls to spare allocations); returns its size.
    static std::size_t ReadInto(const std::string& path, std::string& buffer);

    // A file whose bytes are already in memory (fuzzing, tests); `path` names it in errors.
    static PhysicalFile FromBytes(std::string path, std::string bytes);

    const std::string& path() const { return path_; }
    std::string_view bytes() const { return data_; }
    ByteView view() const { return ByteView(data_, &path_); }

  private:
    std::string path_;
    std::string data_;
};

// Largest file the reader accepts: record offsets are 32-bit.
inline constexpr std::size_t kMaxPhysicalFileSize = std::size_t{1} << 32;

}  // namespace vssdb
