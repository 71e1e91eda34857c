#include "fuzz/scratch_folder.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace varnotte::fuzz {

ScratchFolder::ScratchFolder(std::string_view prefix) {
    std::string pattern =
        (std::filesystem::temp_directory_path() / (std::string(prefix) + "XXXXXX")).string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        std::abort();
    }
    path_ = pattern;
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

void ScratchFolder::Write(const std::filesystem::path& relative, std::string_view bytes) const {
    const std::filesystem::path file = path_ / relative;
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        std::abort();
    }
    const auto size = static_cast<off_t>(bytes.size());
    off_t at = 0;
    while (!bytes.empty()) {
        const ssize_t n = ::pwrite(fd, bytes.data(), bytes.size(), at);
        if (n <= 0) {
            std::abort();
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
        at += n;
    }
    if (::ftruncate(fd, size) != 0) {
        std::abort();
    }
    ::close(fd);
}

void ScratchFolder::Remove(const std::filesystem::path& relative) const {
    ::unlink((path_ / relative).c_str());
}

}  // namespace varnotte::fuzz
