#include "vssdb/physical_file.h"

#include <fcntl.h>
#include <sys/stat.h>
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
        throw Error(ErrorKind::kNotFound, path + ": file not found");
    }
    throw Error(ErrorKind::kUnreadable, path + ": cannot read: " + std::strerror(error));
}

}  // namespace

std::size_t PhysicalFile::ReadInto(const std::string& path, std::string& buffer,
                                   std::size_t maxSize) {
    const Descriptor fd(OpenReadOnly(path));
    if (fd.get() < 0) {
        ThrowOsError(path, errno);
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) {
        ThrowOsError(path, errno);
    }
    // A FIFO would block, /dev/zero would never end: only regular files are read.
    if (!S_ISREG(st.st_mode)) {
        throw Error(ErrorKind::kUnreadable, path + ": not a regular file");
    }
    // O_NONBLOCK stays set: reading a regular file blocks until it is done regardless.
    // Refused before a byte is read: a sparse file claims any size at no cost.
    const auto size = static_cast<std::size_t>(st.st_size);
    if (size > maxSize) {
        ThrowTooLarge(path, size, maxSize);
    }
    // Whole files through read(), never a memory map: another SourceSafe client may
    // truncate the file meanwhile, which under a map would raise SIGBUS. Read until end of
    // file rather than trusting the size, as the file may also grow.
    buffer.resize(size + 1);
    std::size_t used = 0;
    for (;;) {
        if (used == buffer.size()) {
            if (used > maxSize) {
                ThrowTooLarge(path, used, maxSize);
            }
            buffer.resize(std::min(buffer.size() * 2, maxSize + 1));
        }
        const ssize_t n = ::read(fd.get(), buffer.data() + used, buffer.size() - used);
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

PhysicalFile PhysicalFile::Read(const std::string& path, std::size_t maxSize) {
    PhysicalFile file;
    file.path_ = path;
    ReadInto(path, file.data_, maxSize);
    return file;
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
    return file;
}

}  // namespace vssdb
