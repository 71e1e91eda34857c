#include "vssdb/code_page_memory.h"

#include <sys/stat.h>

#include <array>
#include <map>
#include <mutex>
#include <tuple>

namespace vssdb {
namespace {

constexpr std::size_t kRemembered = 64;

// Size and modification time of the files whose change invalidates the answer.
using Fingerprint = std::array<long long, 6>;

Fingerprint FingerprintOf(const std::string& dataPath) {
    Fingerprint fingerprint{};
    std::size_t i = 0;
    for (const char* name : {"names.dat", "um.dat", "aaaaaaaa.cnt"}) {
        struct stat st {};
        if (::stat((dataPath + "/" + name).c_str(), &st) == 0) {
            fingerprint[i] = static_cast<long long>(st.st_size);
            fingerprint[i + 1] =
                static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
        }
        i += 2;
    }
    return fingerprint;
}

struct Answer {
    Fingerprint fingerprint;
    int codePage;
};

std::mutex& Lock() {
    static std::mutex lock;
    return lock;
}

std::map<std::pair<std::string, int>, Answer>& Answers() {
    static std::map<std::pair<std::string, int>, Answer> answers;
    return answers;
}

}  // namespace

std::optional<int> RememberedCodePage(const std::string& dataPath, int tieBreak) {
    const Fingerprint now = FingerprintOf(dataPath);
    const std::lock_guard<std::mutex> guard(Lock());
    const auto found = Answers().find({dataPath, tieBreak});
    if (found == Answers().end() || found->second.fingerprint != now) {
        return std::nullopt;
    }
    return found->second.codePage;
}

void RememberCodePage(const std::string& dataPath, int tieBreak, int codePage) {
    const Fingerprint now = FingerprintOf(dataPath);
    const std::lock_guard<std::mutex> guard(Lock());
    if (Answers().size() >= kRemembered) {
        Answers().clear();
    }
    Answers()[{dataPath, tieBreak}] = Answer{now, codePage};
}

void ForgetCodePages() {
    const std::lock_guard<std::mutex> guard(Lock());
    Answers().clear();
}

}  // namespace vssdb
