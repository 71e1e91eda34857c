// varnotte-measure RESULT COMMAND [ARGUMENT...]: runs COMMAND and writes to the file RESULT
// "<wall seconds> <CPU seconds> <peak resident KiB> <exit status> <bytes read>", the last
// what the command's read calls returned (page cache or disk alike; -1 where the kernel
// does not count it).
//
// run-benchmarks measures through this rather than forking the command from Python: a
// child's peak memory counts the memory of the process it was forked from, and this one is
// small.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

namespace {

// rchar of /proc/PID/io: read while the finished child is not yet reaped.
long long BytesRead(pid_t child) {
    std::ifstream io("/proc/" + std::to_string(child) + "/io");
    std::string key;
    long long value = -1;
    while (io >> key >> value) {
        if (key == "rchar:") {
            return value;
        }
    }
    return -1;
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: varnotte-measure RESULT COMMAND [ARGUMENT...]\n");
        return 2;
    }
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = ::fork();
    if (child < 0) {
        std::perror("varnotte-measure: fork");
        return 2;
    }
    if (child == 0) {
        ::execvp(argv[2], argv + 2);
        std::fprintf(stderr, "varnotte-measure: cannot run %s: %s\n", argv[2],
                     std::strerror(errno));
        ::_exit(127);
    }
    siginfo_t info{};
    while (::waitid(P_PID, static_cast<id_t>(child), &info, WEXITED | WNOWAIT) < 0) {
        if (errno != EINTR) {
            std::perror("varnotte-measure: waitid");
            return 2;
        }
    }
    const long long bytesRead = BytesRead(child);
    int status = 0;
    rusage usage{};
    while (::wait4(child, &status, 0, &usage) < 0) {
        if (errno != EINTR) {
            std::perror("varnotte-measure: wait4");
            return 2;
        }
    }
    const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - start;
    const auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6;
    };
    std::FILE* result = std::fopen(argv[1], "w");
    if (result == nullptr) {
        std::perror("varnotte-measure: result file");
        return 2;
    }
    const int exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    std::fprintf(result, "%.6f %.6f %ld %d %lld\n", wall.count(),
                 seconds(usage.ru_utime) + seconds(usage.ru_stime), usage.ru_maxrss, exitStatus,
                 bytesRead);
    std::fclose(result);
    return 0;
}
