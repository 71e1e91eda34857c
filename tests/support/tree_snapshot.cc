#include "tests/support/tree_snapshot.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <stdexcept>

namespace varnotte::test {
namespace {

namespace fs = std::filesystem;

long long Ns(const timespec& t) {
    return static_cast<long long>(t.tv_sec) * 1000000000LL + t.tv_nsec;
}

// FNV-1a: enough to tell changed content from unchanged.
unsigned long long HashFile(const fs::path& path) {
    unsigned long long hash = 14695981039346656037ULL;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOATIME);
    if (fd < 0) {
        throw std::runtime_error("cannot read " + path.string());
    }
    std::array<unsigned char, 65536> buffer{};
    for (ssize_t n; (n = ::read(fd, buffer.data(), buffer.size())) > 0;) {
        for (ssize_t i = 0; i < n; ++i) {
            hash = (hash ^ buffer[static_cast<std::size_t>(i)]) * 1099511628211ULL;
        }
    }
    ::close(fd);
    return hash;
}

EntryState StateOf(const fs::path& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) {
        throw std::runtime_error("cannot look at " + path.string());
    }
    EntryState state;
    state.type = S_ISREG(st.st_mode)   ? 'f'
                 : S_ISDIR(st.st_mode) ? 'd'
                 : S_ISLNK(st.st_mode) ? 'l'
                                       : 'o';
    state.size = st.st_size;
    state.mode = st.st_mode & 07777;
    state.mtimeNs = Ns(st.st_mtim);
    state.atimeNs = Ns(st.st_atim);
    if (state.type == 'f') {
        state.hash = HashFile(path);
    } else if (state.type == 'l') {
        state.hash = std::hash<std::string>{}(fs::read_symlink(path).string());
    }
    return state;
}

void Diff(std::vector<std::string>& out, const std::string& path, const char* what, long long a,
          long long b) {
    if (a != b) {
        out.push_back(path + ": " + what + " " + std::to_string(a) + " -> " + std::to_string(b));
    }
}

// Lists `dir` without moving its access time, as the reader lists the data folders.
std::vector<std::string> ListQuietly(const fs::path& dir) {
    std::vector<std::string> names;
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOATIME);
    DIR* d = fd >= 0 ? ::fdopendir(fd) : nullptr;
    if (d == nullptr) {
        throw std::runtime_error("cannot list " + dir.string());
    }
    while (const dirent* e = ::readdir(d)) {
        const std::string name = e->d_name;
        if (name != "." && name != "..") {
            names.push_back(name);
        }
    }
    ::closedir(d);
    return names;
}

void Record(TreeSnapshot& snapshot, const fs::path& root, const fs::path& relative) {
    const fs::path path = relative.empty() ? root : root / relative;
    const EntryState state = StateOf(path);
    snapshot[relative.empty() ? std::string(".") : relative.string()] = state;
    if (state.type == 'd') {
        for (const std::string& name : ListQuietly(path)) {
            Record(snapshot, root, relative / name);
        }
    }
}

}  // namespace

TreeSnapshot SnapshotTree(const fs::path& root) {
    TreeSnapshot snapshot;
    Record(snapshot, root, {});
    return snapshot;
}

std::vector<std::string> CompareSnapshots(const TreeSnapshot& before, const TreeSnapshot& after,
                                          bool compareAccessTimes) {
    std::vector<std::string> out;
    for (const auto& [path, was] : before) {
        const auto now = after.find(path);
        if (now == after.end()) {
            out.push_back(path + ": gone");
            continue;
        }
        const EntryState& is = now->second;
        Diff(out, path, "type", was.type, is.type);
        Diff(out, path, "size", was.size, is.size);
        Diff(out, path, "mode", was.mode, is.mode);
        Diff(out, path, "mtime", was.mtimeNs, is.mtimeNs);
        Diff(out, path, "content", static_cast<long long>(was.hash),
             static_cast<long long>(is.hash));
        if (compareAccessTimes && was.type != 'l') {
            Diff(out, path, "atime", was.atimeNs, is.atimeNs);
        }
    }
    for (const auto& [path, state] : after) {
        if (before.find(path) == before.end()) {
            out.push_back(path + ": new");
        }
    }
    return out;
}

void AgeAccessTimes(const fs::path& root) {
    const auto age = [](const fs::path& path) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || S_ISLNK(st.st_mode)) {
            return;
        }
        timespec times[2] = {st.st_mtim, st.st_mtim};
        times[0].tv_sec -= 3600;
        ::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW);
    };
    if (!fs::is_directory(fs::symlink_status(root))) {
        age(root);
        return;
    }
    // Listed quietly first: listing a folder after aging it would move its time again.
    for (const auto& [path, state] : SnapshotTree(root)) {
        age(path == "." ? root : root / path);
    }
}

bool KeepsAccessTimes(const fs::path& folder) {
    const fs::path probe = folder / ".atime-probe";
    {
        const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0 || ::write(fd, "x", 1) != 1) {
            throw std::runtime_error("cannot write " + probe.string());
        }
        ::close(fd);
    }
    AgeAccessTimes(probe);
    struct stat before {};
    ::stat(probe.c_str(), &before);
    const int fd = ::open(probe.c_str(), O_RDONLY | O_CLOEXEC);
    char byte = 0;
    const bool read = fd >= 0 && ::read(fd, &byte, 1) == 1;
    if (fd >= 0) {
        ::close(fd);
    }
    struct stat after {};
    ::stat(probe.c_str(), &after);
    fs::remove(probe);
    return read && Ns(after.st_atim) != Ns(before.st_atim);
}

}  // namespace varnotte::test
