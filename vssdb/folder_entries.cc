#include "vssdb/folder_entries.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace vssdb {

bool ForEachFolderEntry(const std::string& dir,
                        const std::function<void(std::string_view)>& visit) {
    // opendir() cannot ask for O_NOATIME, so the descriptor is opened here.
    constexpr int kFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOCTTY;
    int fd = ::open(dir.c_str(), kFlags | O_NOATIME);
    if (fd < 0 && errno == EPERM) {
        fd = ::open(dir.c_str(), kFlags);
    }
    if (fd < 0) {
        return false;
    }
    DIR* d = ::fdopendir(fd);
    if (d == nullptr) {
        ::close(fd);
        return false;
    }
    while (const dirent* e = ::readdir(d)) {
        const std::string_view name = e->d_name;
        if (name != "." && name != "..") {
            visit(name);
        }
    }
    ::closedir(d);  // closes fd too
    return true;
}

}  // namespace vssdb
