#include "export/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>

namespace varnotte {
namespace {

constexpr int kTemporaryNameTries = 100;

// Closes the descriptor it holds when it goes.
class ClosingDescriptor {
  public:
    explicit ClosingDescriptor(int fd) : fd_(fd) {}
    ClosingDescriptor(const ClosingDescriptor&) = delete;
    ClosingDescriptor& operator=(const ClosingDescriptor&) = delete;
    ~ClosingDescriptor() {
        const int code = errno;  // the reason of a failure being returned
        Close();
        errno = code;
    }
    int get() const { return fd_; }
    // Whether the descriptor closed cleanly (a delayed write error shows here).
    bool Close() {
        const int fd = fd_;
        fd_ = -1;
        return fd < 0 || ::close(fd) == 0;
    }

  private:
    int fd_;
};

bool WriteAllTo(int fd, std::string_view content) {
    while (!content.empty()) {
        const ssize_t written = ::write(fd, content.data(), content.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        content.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

bool WriteAndDate(int fd, std::string_view content, std::time_t modified) {
    const timespec times[2] = {{modified, 0}, {modified, 0}};
    return WriteAllTo(fd, content) && ::futimens(fd, times) == 0;
}

std::string TemporaryName() {
    thread_local std::mt19937 random(std::random_device{}());
    char name[32];
    std::snprintf(name, sizeof name, ".varnotte-get-%08x", static_cast<unsigned>(random()));
    return name;
}

// Runs `attempt` with fresh temporary names while it fails with EEXIST; returns the name
// it succeeded with, empty (errno set) when it did not.
template <typename Attempt>
std::string WithTemporaryName(Attempt attempt) {
    for (int tries = 0; tries < kTemporaryNameTries; ++tries) {
        std::string name = TemporaryName();
        if (attempt(name)) {
            return name;
        }
        if (errno != EEXIST) {
            return {};
        }
    }
    errno = EEXIST;
    return {};
}

// Whether linkat() may name an open file by the descriptor alone: since Linux 6.10 for
// the process that opened it, before only with CAP_DAC_READ_SEARCH. Without it the same
// file is named through /proc.
std::atomic<bool> linkByDescriptor{true};

bool LinkOpenFile(int fd, int folder, const char* name) {
    if (linkByDescriptor.load(std::memory_order_relaxed)) {
        if (::linkat(fd, "", folder, name, AT_EMPTY_PATH) == 0) {
            return true;
        }
        if (errno != ENOENT && errno != EPERM) {
            return false;
        }
        linkByDescriptor.store(false, std::memory_order_relaxed);
    }
    char self[40];
    std::snprintf(self, sizeof self, "/proc/self/fd/%d", fd);
    return ::linkat(AT_FDCWD, self, folder, name, AT_SYMLINK_FOLLOW) == 0;
}

// Puts the whole file `temporary` in place of `name`; `temporary` is gone afterwards.
bool MoveIntoPlace(int folder, const std::string& temporary, const std::string& name,
                   bool replace) {
    bool ok = false;
    bool linked = false;  // in place by a second name: the temporary one is still there
    if (replace) {
        ok = ::renameat(folder, temporary.c_str(), folder, name.c_str()) == 0;
    } else {
        ok = ::renameat2(folder, temporary.c_str(), folder, name.c_str(), RENAME_NOREPLACE) == 0;
        if (!ok && (errno == EINVAL || errno == ENOSYS)) {
            // A file system without that flag: link() refuses an existing target too.
            ok = linked = ::linkat(folder, temporary.c_str(), folder, name.c_str(), 0) == 0;
        }
    }
    const int code = errno;
    if (!ok || linked) {
        ::unlinkat(folder, temporary.c_str(), 0);
    }
    errno = code;
    return ok;
}

// The unnamed file, written: linked in as `name`, or when something is in the way and
// `replace` allows, linked under a temporary name and renamed over it.
bool PlaceUnnamedFile(int fd, int folder, const std::string& name, bool replace) {
    if (LinkOpenFile(fd, folder, name.c_str())) {
        return true;
    }
    if (errno != EEXIST || !replace) {
        return false;
    }
    const std::string temporary = WithTemporaryName(
        [&](const std::string& candidate) { return LinkOpenFile(fd, folder, candidate.c_str()); });
    return !temporary.empty() && MoveIntoPlace(folder, temporary, name, true);
}

bool WriteByTemporaryName(int folder, const std::string& name, std::string_view content,
                          std::time_t modified, bool replace) {
    int fd = -1;
    const std::string temporary = WithTemporaryName([&](const std::string& candidate) {
        fd = ::openat(folder, candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        return fd >= 0;
    });
    if (temporary.empty()) {
        return false;
    }
    ClosingDescriptor file(fd);
    bool ok = WriteAndDate(fd, content, modified);
    int code = errno;
    if (!file.Close() && ok) {
        ok = false;
        code = errno;
    }
    if (!ok) {
        ::unlinkat(folder, temporary.c_str(), 0);
        errno = code;
        return false;
    }
    return MoveIntoPlace(folder, temporary, name, replace);
}

bool WriteSomeWay(int folder, const std::string& name, std::string_view content,
                  std::time_t modified, bool replace, AtomicWriteMethod method) {
    if (method == AtomicWriteMethod::kBest) {
        ClosingDescriptor file(::openat(folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666));
        if (file.get() >= 0) {
            // Until it is linked the file has no name, so a failure leaves nothing behind.
            return WriteAndDate(file.get(), content, modified) &&
                   PlaceUnnamedFile(file.get(), folder, name, replace);
        }
        // EISDIR: a kernel that predates O_TMPFILE and took it for O_DIRECTORY.
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
            return false;
        }
    }
    return WriteByTemporaryName(folder, name, content, modified, replace);
}

}  // namespace

bool WriteFileAtomically(int folder, const std::string& name, std::string_view content,
                         std::time_t modified, bool replace, std::string& error, int* errorCode,
                         AtomicWriteMethod method) {
    if (WriteSomeWay(folder, name, content, modified, replace, method)) {
        return true;
    }
    const int code = errno;
    if (errorCode != nullptr) {
        *errorCode = code;
    }
    error = code == EEXIST ? std::string("a file of that name is already there")
                           : std::string(std::strerror(code));
    return false;
}

}  // namespace varnotte
