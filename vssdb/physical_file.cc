#include "vssdb/physical_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "vssdb/error.h"

namespace vssdb {
namespace {

class Descriptor {
  public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    // Hands the descriptor over to a caller that closes it.
    int Release() { return std::exchange(fd_, -1); }

  private:
    int fd_;
};

int OpenReadOnly(const std::string& path) {
    // O_NOATIME keeps even the access time as it was, where the kernel lets us (it does
    // for the file's owner). O_NONBLOCK makes opening a FIFO return at once instead of
    // waiting for a writer; the file type is checked right after.
    constexpr int kFlags = O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    int fd = ::open(path.c_str(), kFlags | O_NOATIME);
    if (fd < 0 && errno == EPERM) {
        fd = ::open(path.c_str(), kFlags);
    }
    return fd;
}

[[noreturn]] void ThrowTooLarge(const std::string& path, std::size_t size, std::size_t maxSize) {
    ThrowCorrupt(path, "too large to be read (" + std::to_string(size) +
                           " bytes or more; at most " + std::to_string(maxSize) + " expected)");
}

[[noreturn]] void ThrowOsError(const std::string& path, int error) {
    if (error == ENOENT || error == ENOTDIR) {
        throw Error(ErrorKind::kNotFound, path, "file not found");
    }
    throw Error(ErrorKind::kUnreadable, path, std::string("cannot read: ") + std::strerror(error));
}

// A regular file opened for reading, and its size when opened.
struct OpenedFile {
    explicit OpenedFile(const std::string& path) : fd(OpenReadOnly(path)) {
        if (fd.get() < 0) {
            ThrowOsError(path, errno);
        }
        struct stat st {};
        if (::fstat(fd.get(), &st) != 0) {
            ThrowOsError(path, errno);
        }
        // A FIFO would block, /dev/zero would never end: only regular files are read.
        // O_NONBLOCK stays set: reading a regular file blocks until it is done regardless.
        if (!S_ISREG(st.st_mode)) {
            throw Error(ErrorKind::kUnreadable, path, "not a regular file");
        }
        size = static_cast<std::size_t>(st.st_size);
    }

    Descriptor fd;
    std::size_t size = 0;
};

// Reads on after the `used` bytes `buffer` holds until it holds `want` bytes or the file
// ends; returns how many it holds. Whole files through read(), never a memory map: another
// SourceSafe client may truncate the file meanwhile, which under a map would raise SIGBUS.
// The file's size when opened is only a hint: it may shrink or grow while it is read.
std::size_t ReadUpTo(const OpenedFile& file, const std::string& path, std::string& buffer,
                     std::size_t used, std::size_t want) {
    // One byte more than expected, so that the end of the file shows without a second round.
    buffer.resize(std::max(used, std::min(want, file.size + 1)));
    while (used < want) {
        if (used == buffer.size()) {
            buffer.resize(std::min(want, std::max<std::size_t>(buffer.size() * 2, 4096)));
        }
        const ssize_t n = ::read(file.fd.get(), buffer.data() + used, buffer.size() - used);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            ThrowOsError(path, errno);
        }
        if (n == 0) {
            break;
        }
        used += static_cast<std::size_t>(n);
    }
    buffer.resize(used);
    return used;
}

// ReadDeclared into `buffer`; `sizeOnDisk` receives the file's size when it was opened.
std::size_t ReadDeclaredData(const std::string& path, std::string& buffer, std::size_t headSize,
                             const DataEnd& dataEnd, std::size_t& sizeOnDisk) {
    const OpenedFile file(path);
    sizeOnDisk = file.size;
    const std::size_t head = ReadUpTo(file, path, buffer, 0, headSize);
    const std::size_t end = dataEnd(std::string_view(buffer.data(), head));
    if (end > kMaxPhysicalFileSize) {
        ThrowTooLarge(path, end, kMaxPhysicalFileSize);
    }
    return end > head ? ReadUpTo(file, path, buffer, head, end) : head;
}

}  // namespace

std::size_t PhysicalFile::ReadInto(const std::string& path, std::string& buffer,
                                   std::size_t maxSize) {
    const OpenedFile file(path);
    // Refused before a byte is read: a sparse file claims any size at no cost.
    if (file.size > maxSize) {
        ThrowTooLarge(path, file.size, maxSize);
    }
    // One byte past the limit tells a file that grew beyond it while being read.
    const std::size_t used = ReadUpTo(file, path, buffer, 0, maxSize + 1);
    if (used > maxSize) {
        ThrowTooLarge(path, used, maxSize);
    }
    return used;
}

PhysicalFile PhysicalFile::Read(const std::string& path, std::size_t maxSize) {
    PhysicalFile file;
    file.path_ = path;
    file.sizeOnDisk_ = ReadInto(path, file.data_, maxSize);
    return file;
}

PhysicalFile PhysicalFile::ReadDeclared(const std::string& path, std::size_t headSize,
                                        const DataEnd& dataEnd) {
    PhysicalFile file;
    file.path_ = path;
    ReadDeclaredData(path, file.data_, headSize, dataEnd, file.sizeOnDisk_);
    return file;
}

PositionedFile::PositionedFile(std::string path) : path_(std::move(path)) {
    OpenedFile file(path_);
    sizeOnDisk_ = file.size;
    fd_ = file.fd.Release();
}

PositionedFile::~PositionedFile() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

PositionedFile::PositionedFile(PositionedFile&& other) noexcept
    : path_(std::move(other.path_)),
      fd_(std::exchange(other.fd_, -1)),
      sizeOnDisk_(other.sizeOnDisk_) {}

PositionedFile& PositionedFile::operator=(PositionedFile&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        path_ = std::move(other.path_);
        fd_ = std::exchange(other.fd_, -1);
        sizeOnDisk_ = other.sizeOnDisk_;
    }
    return *this;
}

std::size_t PositionedFile::ReadAt(std::size_t offset, std::size_t length,
                                   std::string& buffer) const {
    buffer.resize(length);
    std::size_t used = 0;
    while (used < length) {
        const ssize_t n =
            ::pread(fd_, buffer.data() + used, length - used, static_cast<off_t>(offset + used));
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            ThrowOsError(path_, errno);
        }
        if (n == 0) {
            break;
        }
        used += static_cast<std::size_t>(n);
    }
    buffer.resize(used);
    return used;
}

void PositionedFile::AdviseScatteredReads() const {
    // Only advice: a kernel that ignores it reads more, never less.
    (void)::posix_fadvise(fd_, 0, 0, POSIX_FADV_RANDOM);
}

void PositionedFile::AdviseReadSoon(std::size_t length) const {
    ::posix_fadvise(fd_, 0, static_cast<off_t>(length), POSIX_FADV_WILLNEED);
}

bool PositionedFile::StartIsCached() const {
    char head[512];
    iovec piece{head, sizeof head};
    return ::preadv2(fd_, &piece, 1, 0, RWF_NOWAIT) > 0;
}

FileStamp StampOf(const std::string& path) {
    FileStamp stamp;
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0) {
        return stamp;
    }
    stamp.device = st.st_dev;
    stamp.inode = st.st_ino;
    stamp.size = st.st_size;
    stamp.mtimeNs = static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
    return stamp;
}

PhysicalFile PhysicalFile::FromBytes(std::string path, std::string bytes) {
    PhysicalFile file;
    file.path_ = std::move(path);
    file.data_ = std::move(bytes);
    file.sizeOnDisk_ = file.data_.size();
    return file;
}

}  // namespace vssdb
