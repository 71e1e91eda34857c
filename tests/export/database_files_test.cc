// Which save paths would write into the database being read. Another mount of the same
// folder spells its files differently, yet they are the database's own.
#include <gtest/gtest.h>
#include <sys/mount.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "export/database_files.h"
#include "tests/support/qt_path.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

using varnotte::test::Q;

// `mounted` shows `source` for as long as it lives.
class BindMount {
  public:
    BindMount(const fs::path& source, const fs::path& mounted) : mounted_(mounted) {
        fs::create_directory(mounted);
        error_ =
            ::mount(source.c_str(), mounted.c_str(), nullptr, MS_BIND, nullptr) == 0 ? 0 : errno;
    }
    ~BindMount() {
        if (error_ == 0) {
            ::umount2(mounted_.c_str(), MNT_DETACH);
        }
    }
    BindMount(const BindMount&) = delete;
    BindMount& operator=(const BindMount&) = delete;

    int error() const { return error_; }

  private:
    fs::path mounted_;
    int error_ = 0;
};

// The database's own folder may be named in an old server's code page ("Дела" in 1251,
// no UTF-8), which Qt cannot spell: the check must still see it through another name.
TEST(DatabaseFiles, AnotherMountOrLinkOfTheDatabaseIsStillTheDatabase) {
    for (const std::string folder : {"db", "\xC4\xE5\xEB\xE0"}) {
        varnotte::test::TempDir dir;
        fs::create_directories(dir / folder / "data" / "a");
        std::ofstream(dir / folder / "srcsafe.ini") << "Data_Path = data\r\n";
        std::ofstream(dir / folder / "data" / "a" / "aaaaaaaa") << "log";
        const varnotte::DatabaseFiles database{
            dir / folder / "srcsafe.ini", dir / folder / "data", {}, {}};
        fs::create_directory_symlink(dir / folder, dir / "link");
        const BindMount mount(dir / folder, dir / "again");
        std::vector<fs::path> spellings{dir / "link"};
        if (mount.error() == 0) {
            spellings.push_back(dir / "again");
        } else {
            std::cerr << "no bind mount on this machine: " << std::strerror(mount.error()) << "\n";
        }
        for (const fs::path& at : spellings) {
            for (const fs::path& target :
                 {at / "data" / "a" / "aaaaaaaa", at / "data" / "new.csv", at / "srcsafe.ini",
                  at / "data" / ".." / "srcsafe.ini"}) {
                EXPECT_FALSE(varnotte::WhyTargetIsInDatabase(Q(target), database).isEmpty())
                    << target;
            }
            EXPECT_TRUE(varnotte::WhyTargetIsInDatabase(Q(at / "export.csv"), database).isEmpty());
        }
        EXPECT_TRUE(varnotte::WhyTargetIsInDatabase(Q(dir / "export.csv"), database).isEmpty());
    }
}

}  // namespace
