#include "export/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace varnotte {
namespace {

std::string ErrorText(int code) {
    return std::strerror(code);
}

bool WriteAll(int fd, std::string_view content) {
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

}  // namespace

mode_t NewFileMode() {
    static const mode_t mode = [] {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        return static_cast<mode_t>(0666 & ~mask);
    }();
    return mode;
}

bool WriteFileAtomically(const std::string& path, std::string_view content, std::time_t modified,
                         bool replace, std::string& error, int* errorCode) {
    const std::size_t slash = path.rfind('/');
    const std::string folder =
        slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    std::string pattern = folder + ".varnotte-get-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) {
        const int code = errno;
        error = ErrorText(code);
        if (errorCode != nullptr) {
            *errorCode = code;
        }
        return false;
    }
    const std::string temporary(name.data());
    const timespec times[2] = {{modified, 0}, {modified, 0}};
    bool ok =
        ::fchmod(fd, NewFileMode()) == 0 && WriteAll(fd, content) && ::futimens(fd, times) == 0;
    int code = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        code = errno;
    }
    bool linked = false;  // in place by a second name: the temporary one is still there
    if (ok && replace) {
        ok = ::rename(temporary.c_str(), path.c_str()) == 0;
        code = errno;
    } else if (ok) {
        ok =
            ::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, path.c_str(), RENAME_NOREPLACE) == 0;
        code = errno;
        if (!ok && (code == EINVAL || code == ENOSYS)) {
            // A file system without that flag: link() refuses an existing target too.
            ok = linked = ::link(temporary.c_str(), path.c_str()) == 0;
            code = errno;
        }
    }
    if (!ok || linked) {
        ::unlink(temporary.c_str());
    }
    if (!ok) {
        if (errorCode != nullptr) {
            *errorCode = code;
        }
        error =
            code == EEXIST ? std::string("a file of that name is already there") : ErrorText(code);
    }
    return ok;
}

}  // namespace varnotte
