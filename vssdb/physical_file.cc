#include "vssdb/physical_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
    // O_NOATIME keeps even the access time as it was, where the kernel lets us.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOATIME | O_NOCTTY);
    if (fd < 0 && errno == EPERM) {
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    }
    return fd;
}

[[noreturn]] void ThrowOsError(const std::string& path, int error) {
    if (error == ENOENT || error == ENOTDIR) {
        throw Error(ErrorKind::kNotFound, path + ": file not found");
    }
    throw Error(ErrorKind::kUnreadable, path + ": cannot read: " + std::strerror(error));
}

}  // namespace

std::size_t PhysicalFile::ReadInto(const std::string& path, std::string& buffer) {
    const Descriptor fd(OpenReadOnly(path));
    if (fd.get() < 0) {
        ThrowOsError(path, errno);
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) {
        ThrowOsError(path, errno);
    }
    if (!S_ISREG(st.st_mode)) {
        throw Error(ErrorKind::kUnreadable, path + ": not a regular file");
    }
    if (static_cast<std::size_t>(st.st_size) > kMaxPhysicalFileSize) {
        ThrowCorrupt(path, "file is too large to be a database file (" +
                               std::to_string(st.st_size) + " bytes)");
    }
    // Read until end of file rather than trusting the size: the file may change meanwhile.
    buffer.resize(static_cast<std::size_t>(st.st_size) + 1);
    std::size_t used = 0;
    for (;;) {
        if (used == buffer.size()) {
            if (buffer.size() > kMaxPhysicalFileSize) {
                ThrowCorrupt(path, "file grows beyond the size a database file can have");
            }
            buffer.resize(buffer.size() * 2);
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

PhysicalFile PhysicalFile::Read(const std::string& path) {
    PhysicalFile file;
    file.path_ = path;
    ReadInto(path, file.data_);
    return file;
}

PhysicalFile PhysicalFile::FromBytes(std::string path, std::string bytes) {
    PhysicalFile file;
    file.path_ = std::move(path);
    file.data_ = std::move(bytes);
    return file;
}

}  // namespace vssdb
