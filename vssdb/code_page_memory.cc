#include "vssdb/code_page_memory.h"

#include <array>
#include <map>
#include <mutex>
#include <string>

#include "vssdb/physical_file.h"

namespace vssdb {
namespace {

constexpr std::size_t kRemembered = 64;

// The states of the files whose change invalidates the answer, found whatever the case of
// their names.
using Fingerprint = std::array<FileStamp, 3>;

Fingerprint FingerprintOf(const DataFolder& folder) {
    return {StampOf(folder.FindFile("names.dat")), StampOf(folder.FindFile("um.dat")),
            StampOf(folder.FindFile("aaaaaaaa.cnt"))};
}

struct Answer {
    Fingerprint fingerprint;
    SettledCodePage settled;
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

std::optional<SettledCodePage> RememberedCodePage(const DataFolder& folder, int localeCodePage) {
    const Fingerprint now = FingerprintOf(folder);
    const std::lock_guard<std::mutex> guard(Lock());
    const auto found = Answers().find({folder.path(), localeCodePage});
    if (found == Answers().end() || found->second.fingerprint != now) {
        return std::nullopt;
    }
    return found->second.settled;
}

void RememberCodePage(const DataFolder& folder, int localeCodePage, SettledCodePage settled) {
    const Fingerprint now = FingerprintOf(folder);
    const std::lock_guard<std::mutex> guard(Lock());
    if (Answers().size() >= kRemembered) {
        Answers().clear();
    }
    Answers()[{folder.path(), localeCodePage}] = Answer{now, settled};
}

void ForgetCodePages() {
    const std::lock_guard<std::mutex> guard(Lock());
    Answers().clear();
}

}  // namespace vssdb
