// Which save paths would write into the database being read. Another mount of the same
// folder spells its files differently, yet they are the database's own.
#include <gtest/gtest.h>
#include <sys/mount.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "export/database_files.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

QString Q(const fs::path& path) {
    return QString::fromStdString(path.string());
}

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

TEST(DatabaseFiles, AnotherMountOfTheDatabaseIsStillTheDatabase) {
    varnotte::test::TempDir dir;
    fs::create_directories(dir / "db" / "data" / "a");
    std::ofstream(dir / "db" / "srcsafe.ini") << "Data_Path = data\r\n";
    std::ofstream(dir / "db" / "data" / "a" / "aaaaaaaa") << "log";
    const varnotte::DatabaseFiles database{
        Q(dir / "db" / "srcsafe.ini"), Q(dir / "db" / "data"), {}, {}};
    const BindMount mount(dir / "db", dir / "again");
    if (mount.error() != 0) {
        GTEST_SKIP() << "this machine does not allow a bind mount: "
                     << std::strerror(mount.error());
    }

    for (const fs::path& target :
         {dir / "again" / "data" / "a" / "aaaaaaaa", dir / "again" / "data" / "new.csv",
          dir / "again" / "srcsafe.ini"}) {
        EXPECT_FALSE(varnotte::WhyTargetIsInDatabase(Q(target), database).isEmpty()) << target;
    }
    EXPECT_TRUE(
        varnotte::WhyTargetIsInDatabase(Q(dir / "again" / "export.csv"), database).isEmpty());
    EXPECT_TRUE(varnotte::WhyTargetIsInDatabase(Q(dir / "export.csv"), database).isEmpty());
}

}  // namespace
