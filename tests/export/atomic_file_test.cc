// Writing one file whole or not at all, both ways it can be kept out of sight until whole:
// what lands under the name, what was there before and what is left beside it.
#include "export/atomic_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using varnotte::AtomicWriteMethod;

constexpr std::time_t kWrittenAt = 1136116800;  // 2006-01-01 12:00:00 UTC

enum class InTheWay { kNothing, kFile, kLinkOut, kFolder };

struct AtomicCase {
    const char* name;
    AtomicWriteMethod method;
    InTheWay before;
    bool replace;
    int errorCode;  // 0: written
};

const AtomicCase kAtomicCases[] = {
    {"NewFile", AtomicWriteMethod::kBest, InTheWay::kNothing, false, 0},
    {"NewFileByTemporaryName", AtomicWriteMethod::kTemporaryName, InTheWay::kNothing, false, 0},
    {"FileKept", AtomicWriteMethod::kBest, InTheWay::kFile, false, EEXIST},
    {"FileKeptByTemporaryName", AtomicWriteMethod::kTemporaryName, InTheWay::kFile, false, EEXIST},
    {"FileReplaced", AtomicWriteMethod::kBest, InTheWay::kFile, true, 0},
    {"FileReplacedByTemporaryName", AtomicWriteMethod::kTemporaryName, InTheWay::kFile, true, 0},
    {"DanglingLinkKept", AtomicWriteMethod::kBest, InTheWay::kLinkOut, false, EEXIST},
    {"LinkReplacedNotFollowed", AtomicWriteMethod::kBest, InTheWay::kLinkOut, true, 0},
    {"FolderNotReplaced", AtomicWriteMethod::kBest, InTheWay::kFolder, true, EISDIR},
};

std::string ReadWritten(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

mode_t CurrentUmask() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

class AtomicFile : public testing::TestWithParam<AtomicCase> {};

TEST_P(AtomicFile, WritesWholeOrLeavesWhatWasThere) {
    const AtomicCase& c = GetParam();
    varnotte::test::TempDir temp;
    const fs::path folder = temp / "in";
    fs::create_directory(folder);
    const fs::path target = folder / "f.txt";
    const fs::path outside = temp / "outside.txt";
    std::set<std::string> expectedNames{"f.txt"};
    switch (c.before) {
        case InTheWay::kNothing:
            break;
        case InTheWay::kFile:
            std::ofstream(target) << "old";
            // A second name for the old file: it keeps the old bytes unless they were
            // overwritten in place.
            fs::create_hard_link(target, folder / "old-name");
            expectedNames.insert("old-name");
            break;
        case InTheWay::kLinkOut:
            fs::create_symlink(outside, target);
            break;
        case InTheWay::kFolder:
            fs::create_directory(target);
            break;
    }
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    std::string error;
    int code = 0;
    const bool written = varnotte::WriteFileAtomically(
        fd, "f.txt", std::string("new\0\r\n", 6), kWrittenAt, c.replace, error, &code, c.method);
    ::close(fd);

    EXPECT_EQ(written, c.errorCode == 0) << error;
    EXPECT_EQ(code, c.errorCode) << error;
    std::set<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        names.insert(entry.path().filename().string());
    }
    EXPECT_EQ(names, expectedNames) << "nothing is left beside it";
    EXPECT_FALSE(fs::exists(outside)) << "a link in the way is never written through";
    if (c.before == InTheWay::kFile) {
        EXPECT_EQ(ReadWritten(folder / "old-name"), "old");
    }
    if (written) {
        struct stat status {};
        ASSERT_EQ(::lstat(target.c_str(), &status), 0);
        EXPECT_TRUE(S_ISREG(status.st_mode));
        EXPECT_EQ(status.st_mtime, kWrittenAt);
        EXPECT_EQ(status.st_mode & 0777, 0666 & ~CurrentUmask());
        EXPECT_EQ(ReadWritten(target), std::string("new\0\r\n", 6));
    } else if (c.before == InTheWay::kFile) {
        EXPECT_EQ(ReadWritten(target), "old");
    } else if (c.before == InTheWay::kFolder) {
        EXPECT_TRUE(fs::is_directory(target));
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, AtomicFile, testing::ValuesIn(kAtomicCases),
                         [](const testing::TestParamInfo<AtomicCase>& info) {
                             return info.param.name;
                         });

}  // namespace
