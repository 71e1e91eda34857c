// Reading database files without ever changing them.
//
// A file is read whole into memory through a read-only descriptor: no memory map (a file
// that another SourceSafe client truncates under a map raises SIGBUS), no lock, no
// temporary file, nothing written; the access time stays as it was where the kernel lets
// us. A file that another client changes while we read it gives whatever bytes read()
// returned, which the record checks then accept or refuse. Only regular files are read:
// a FIFO, a device or a folder given in a file's place is refused without waiting on it.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "vssdb/byte_view.h"

namespace vssdb {

// Largest file the reader accepts: record offsets are 32-bit.
inline constexpr std::size_t kMaxPhysicalFileSize = std::size_t{1} << 32;

// How long a file's data is by its own account, told from its first bytes (fewer than asked
// for when the file is shorter). See declared_size.h.
using DataEnd = std::function<std::size_t(std::string_view head)>;

class PhysicalFile {
  public:
    // Throws Error(kNotFound) when the file does not exist, Error(kUnreadable) when it
    // cannot be read or is not a regular file, Error(kCorrupt) when it is bigger than
    // `maxSize` (checked before reading, and again while reading a file that grows).
    static PhysicalFile Read(const std::string& path, std::size_t maxSize = kMaxPhysicalFileSize);

    // Reads only what the file's own header says it holds: its first `headSize` bytes,
    // then up to `dataEnd(head)` bytes in all, never more, whatever the file's size on
    // disk (a sparse or padded file costs what its header records). A file shorter than
    // that gives what it has: compare bytes().size() with what was expected. Throws as
    // Read, and Error(kCorrupt) when `dataEnd` is beyond kMaxPhysicalFileSize.
    static PhysicalFile ReadDeclared(const std::string& path, std::size_t headSize,
                                     const DataEnd& dataEnd);

    // As Read, into `buffer` (reused across calls to spare allocations); returns the number
    // of bytes read.
    static std::size_t ReadInto(const std::string& path, std::string& buffer,
                                std::size_t maxSize = kMaxPhysicalFileSize);

    // A file whose bytes are already in memory (fuzzing, tests); `path` names it in errors.
    static PhysicalFile FromBytes(std::string path, std::string bytes);

    const std::string& path() const { return path_; }
    std::string_view bytes() const { return data_; }
    ByteView view() const { return ByteView(data_, &path_); }
    // The file's size on disk when it was opened: more than bytes() holds when only its
    // declared data was read.
    std::size_t sizeOnDisk() const { return sizeOnDisk_; }

    // Forgets every byte after the first `size`: those past the data a header records.
    void KeepFirst(std::size_t size) {
        if (size < data_.size()) {
            data_.resize(size);
        }
    }

  private:
    std::string path_;
    std::string data_;
    std::size_t sizeOnDisk_ = 0;
};

// A regular file kept open for positioned reads (pread) of the pieces asked for: the
// history records of a log without the content deltas between them. Read-only and without
// a memory map, as PhysicalFile.
class PositionedFile {
  public:
    // Throws as PhysicalFile::Read.
    explicit PositionedFile(std::string path);
    ~PositionedFile();
    PositionedFile(PositionedFile&& other) noexcept;
    PositionedFile& operator=(PositionedFile&& other) noexcept;
    PositionedFile(const PositionedFile&) = delete;
    PositionedFile& operator=(const PositionedFile&) = delete;

    const std::string& path() const { return path_; }
    // The file's size when it was opened.
    std::size_t sizeOnDisk() const { return sizeOnDisk_; }

    // Reads up to `length` bytes at `offset` into `buffer`; fewer where the file ends first
    // (it may have shrunk since it was opened). Returns how many `buffer` holds.
    std::size_t ReadAt(std::size_t offset, std::size_t length, std::string& buffer) const;

    // Tells the kernel that reading ahead of what is asked for would be wasted: the pieces
    // asked for lie far apart.
    void AdviseScatteredReads() const;

    // Asks the kernel to read the first `length` bytes into the page cache, without
    // waiting for them.
    void AdviseReadSoon(std::size_t length) const;

    // Whether the file's first bytes are in the page cache, found out without waiting for
    // the disk (false where the kernel cannot tell).
    bool StartIsCached() const;

  private:
    std::string path_;
    int fd_ = -1;
    std::size_t sizeOnDisk_ = 0;
};

// What tells one state of a file from another without reading it: a file that another
// client rewrote or replaced has another size, modification time or inode.
struct FileStamp {
    unsigned long long device = 0;
    unsigned long long inode = 0;
    long long size = -1;  // -1: the file could not be looked at
    long long mtimeNs = 0;

    bool operator==(const FileStamp&) const = default;
};

FileStamp StampOf(const std::string& path);

}  // namespace vssdb
