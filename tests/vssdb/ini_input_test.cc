// What a user may pick as srcsafe.ini, and what its Data_Path may point at: each is opened
// or refused at once with a message that names it, and never hangs or reads without end.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>

#include "testing/database_writer.h"
#include "tests/support/bytes_read.h"
#include "tests/support/file_access.h"
#include "tests/support/temp_dir.h"
#include "vssdb/database.h"
#include "vssdb/error.h"

namespace {

namespace fs = std::filesystem;
using vssdb::ErrorKind;

void WriteFile(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

struct IniCase {
    std::string name;
    // Makes the thing to open in `dir` (which holds a database's data folder) and
    // returns its path.
    std::function<std::string(const fs::path& dir)> make;
    ErrorKind kind;
    std::string message;
    bool asOrdinaryUser = false;
};

std::ostream& operator<<(std::ostream& out, const IniCase& c) {
    return out << c.name;
}

class IniInput : public testing::TestWithParam<IniCase> {};

TEST_P(IniInput, IsRefusedWithAMessageThatNamesIt) {
    varnotte::test::TempDir dir;
    fs::permissions(dir.path(), fs::perms::all, fs::perm_options::add);
    vsstest::DatabaseWriter(dir.path()).Write();
    const std::string path = GetParam().make(dir.path());
    std::optional<varnotte::test::AsOrdinaryUser> user;
    if (GetParam().asOrdinaryUser) {
        user.emplace();
    }
    const long long before = varnotte::test::BytesRead();
    try {
        vssdb::Database::Open(path);
        FAIL() << "opened " << path;
    } catch (const vssdb::Error& error) {
        EXPECT_EQ(error.kind(), GetParam().kind) << error.what();
        EXPECT_NE(std::string(error.what()).find(path), std::string::npos) << error.what();
        EXPECT_NE(std::string(error.what()).find(GetParam().message), std::string::npos)
            << error.what();
    }
    EXPECT_LT(varnotte::test::BytesRead() - before, 4 << 20) << "read far more than any ini holds";
}

INSTANTIATE_TEST_SUITE_P(
    Files, IniInput,
    testing::Values(IniCase{"HugeSparseFile",
                            [](const fs::path& dir) {
                                const fs::path ini = dir / "huge.ini";
                                WriteFile(ini, "Data_Path = data\r\n");
                                fs::resize_file(ini, 200u << 20);
                                return ini.string();
                            },
                            ErrorKind::kCorrupt, "too large to be read (209715200 bytes"},
                    IniCase{"Binary",
                            [](const fs::path& dir) {
                                WriteFile(dir / "bin.ini", std::string("\x7F"
                                                                       "ELF\x02\x01\x01\0\0\0",
                                                                       10));
                                return (dir / "bin.ini").string();
                            },
                            ErrorKind::kCorrupt, "not a text file"},
                    IniCase{"Folder",
                            [](const fs::path& dir) {
                                fs::create_directory(dir / "folder.ini");
                                return (dir / "folder.ini").string();
                            },
                            ErrorKind::kUnreadable, "not a regular file"},
                    IniCase{"DanglingLink",
                            [](const fs::path& dir) {
                                fs::create_symlink(dir / "nowhere.ini", dir / "dangling.ini");
                                return (dir / "dangling.ini").string();
                            },
                            ErrorKind::kNotFound, "file not found"},
                    IniCase{"LinkLoop",
                            [](const fs::path& dir) {
                                fs::create_symlink(dir / "loop2.ini", dir / "loop1.ini");
                                fs::create_symlink(dir / "loop1.ini", dir / "loop2.ini");
                                return (dir / "loop1.ini").string();
                            },
                            ErrorKind::kUnreadable, "symbolic links"},
                    IniCase{"Unreadable",
                            [](const fs::path& dir) {
                                fs::permissions(dir / "srcsafe.ini", fs::perms::owner_write);
                                return (dir / "srcsafe.ini").string();
                            },
                            ErrorKind::kUnreadable, "Permission denied", true},
                    // Opening a FIFO for reading waits for a writer: it must be refused first.
                    IniCase{"Fifo",
                            [](const fs::path& dir) {
                                const fs::path fifo = dir / "fifo.ini";
                                EXPECT_EQ(mkfifo(fifo.c_str(), 0644), 0);
                                return fifo.string();
                            },
                            ErrorKind::kUnreadable, "not a regular file"},
                    IniCase{"DevZero", [](const fs::path&) { return std::string("/dev/zero"); },
                            ErrorKind::kUnreadable, "not a regular file"},
                    IniCase{"DevUrandom",
                            [](const fs::path&) { return std::string("/dev/urandom"); },
                            ErrorKind::kUnreadable, "not a regular file"},
                    // An empty ini means the defaults: Data_Path is "data" beside it.
                    IniCase{"EmptyWithoutData",
                            [](const fs::path& dir) {
                                fs::create_directory(dir / "elsewhere");
                                WriteFile(dir / "elsewhere" / "srcsafe.ini", "");
                                return (dir / "elsewhere" / "srcsafe.ini").string();
                            },
                            ErrorKind::kNotFound, "data folder not found (Data_Path = data)"}),
    [](const testing::TestParamInfo<IniCase>& info) { return info.param.name; });

TEST(IniInput, EmptyIniBesideADataFolderOpensIt) {
    varnotte::test::TempDir dir;
    vsstest::DatabaseWriter(dir.path()).Write();
    WriteFile(dir / "srcsafe.ini", "");
    EXPECT_NO_THROW(vssdb::Database::Open((dir / "srcsafe.ini").string()));
}

// Data_Path values that lead nowhere useful.
struct DataPathCase {
    std::string name;
    std::string value;
    std::function<void(const fs::path& dir)> prepare;
    std::string message;
};

std::ostream& operator<<(std::ostream& out, const DataPathCase& c) {
    return out << c.name;
}

class DataPathInput : public testing::TestWithParam<DataPathCase> {};

TEST_P(DataPathInput, IsRefusedWithSettingAndReason) {
    varnotte::test::TempDir dir;
    vsstest::DatabaseWriter(dir.path()).Write();
    GetParam().prepare(dir.path());
    WriteFile(dir / "srcsafe.ini", "Data_Path = " + GetParam().value + "\r\n");
    try {
        vssdb::Database::Open((dir / "srcsafe.ini").string());
        FAIL() << "opened";
    } catch (const vssdb::Error& error) {
        EXPECT_EQ(error.kind(), ErrorKind::kNotFound) << error.what();
        EXPECT_NE(std::string(error.what()).find(GetParam().message), std::string::npos)
            << error.what();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Settings, DataPathInput,
    testing::Values(
        DataPathCase{"Missing", "nowhere", [](const fs::path&) {},
                     "data folder not found (Data_Path = nowhere)"},
        DataPathCase{"AFile", "file", [](const fs::path& dir) { WriteFile(dir / "file", "x"); },
                     "file is not a folder (Data_Path = file)"},
        DataPathCase{"FolderWithoutTheDatabase", "empty",
                     [](const fs::path& dir) { fs::create_directory(dir / "empty"); },
                     "root project not found"},
        DataPathCase{"LinkLoop", "loop",
                     [](const fs::path& dir) { fs::create_symlink(dir / "loop", dir / "loop"); },
                     "loop loops through symbolic links (Data_Path = loop)"}),
    [](const testing::TestParamInfo<DataPathCase>& info) { return info.param.name; });

}  // namespace
