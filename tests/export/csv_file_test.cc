// CSV fields and the file writer: quoting, line ends, and never a half-written file.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <QString>

#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>

#include "export/csv_rows.h"
#include "export/output_file_writer.h"
#include "tests/support/file_access.h"
#include "tests/support/qt_path.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using varnotte::test::TempDir;

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

using varnotte::test::Q;

TEST(CsvField, QuotesEveryValueAndDoublesQuotes) {
    EXPECT_EQ(varnotte::CsvField(""), "\"\"");
    EXPECT_EQ(varnotte::CsvField("$/A/b.txt"), "\"$/A/b.txt\"");
    EXPECT_EQ(varnotte::CsvField("say \"hi\", then go"), "\"say \"\"hi\"\", then go\"");
    EXPECT_EQ(varnotte::CsvField("line 1\nline 2"), "\"line 1\nline 2\"");
    EXPECT_EQ(varnotte::CsvField("日本語"), "\"日本語\"");
}

TEST(CsvLine, EveryLineFeedBecomesCrLfAndCarriageReturnsStay) {
    QByteArray out;
    varnotte::AppendCsvLine(out, "\"a\",\"x\ny\"");
    varnotte::AppendCsvLine(out, "\"cr\rstays\",\"\n\"");
    EXPECT_EQ(out.toStdString(), "\"a\",\"x\r\ny\"\r\n\"cr\rstays\",\"\r\n\"\r\n");
}

TEST(CsvFile, WritesRowsAndAnEmptyExportAsZeroBytes) {
    TempDir dir;
    varnotte::WriteError error;
    ASSERT_TRUE(
        varnotte::WriteCsvFile(Q(dir / "out.csv"), {"\"$/A\",\"1\"", "\"$/A/b\",\"2\""}, &error))
        << error.text.toStdString();
    EXPECT_EQ(ReadAll(dir / "out.csv"), "\"$/A\",\"1\"\r\n\"$/A/b\",\"2\"\r\n");
    ASSERT_TRUE(varnotte::WriteCsvFile(Q(dir / "empty.csv"), {}, &error));
    EXPECT_TRUE(fs::exists(dir / "empty.csv"));
    EXPECT_EQ(fs::file_size(dir / "empty.csv"), 0u);
}

TEST(CsvFile, ReplacesAnOldFileOnlyWhenComplete) {
    TempDir dir;
    std::ofstream(dir / "out.csv") << "old contents";
    {
        varnotte::OutputFileWriter writer;
        ASSERT_TRUE(writer.Open(Q(dir / "out.csv")));
        ASSERT_TRUE(writer.WriteRow("\"new\""));
        EXPECT_EQ(ReadAll(dir / "out.csv"), "old contents") << "visible before the commit";
        // Destroyed without a commit: the old file stays, no temporary file is left.
    }
    EXPECT_EQ(ReadAll(dir / "out.csv"), "old contents");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
    varnotte::WriteError error;
    ASSERT_TRUE(varnotte::WriteCsvFile(Q(dir / "out.csv"), {"\"new\""}, &error));
    EXPECT_EQ(ReadAll(dir / "out.csv"), "\"new\"\r\n");
}

// Targets that cannot be written: each failure is told by its kind, at once (a FIFO
// without a reader included), and an old file in the way keeps its contents.
struct FailureCase {
    std::string name;
    // Makes the target below `dir`; an empty path skips the case on this machine.
    std::function<fs::path(const fs::path& dir)> make;
    varnotte::WriteFailure kind;
    bool asOrdinaryUser = false;
};

class WriteFailureTest : public testing::TestWithParam<FailureCase> {};

TEST_P(WriteFailureTest, IsReportedByKindAndKeepsTheOldFile) {
    TempDir dir;
    fs::permissions(dir.path(), fs::perms::all, fs::perm_options::add);
    const fs::path target = GetParam().make(dir.path());
    if (target.empty()) {
        GTEST_SKIP() << "this machine cannot make the target";
    }
    const bool hadOldFile = fs::is_regular_file(target);
    varnotte::WriteError error;
    bool written = true;
    {
        std::optional<varnotte::test::AsOrdinaryUser> user;
        if (GetParam().asOrdinaryUser) {
            user.emplace();
        }
        written = varnotte::WriteCsvFile(Q(target), {"\"x\""}, &error);
    }
    EXPECT_FALSE(written);
    EXPECT_EQ(static_cast<int>(error.kind), static_cast<int>(GetParam().kind))
        << error.text.toStdString();
    EXPECT_FALSE(error.text.isEmpty());
    if (hadOldFile) {
        EXPECT_EQ(ReadAll(target), "old contents");
    }
    ::umount2((dir / "ro").c_str(), MNT_DETACH);  // the read-only case's mount, if any
}

fs::path LockedFolder(const fs::path& dir) {
    fs::create_directories(dir / "locked");
    std::ofstream(dir / "locked" / "out.csv") << "old contents";
    fs::permissions(dir / "locked", fs::perms::owner_read | fs::perms::owner_exec |
                                        fs::perms::group_read | fs::perms::group_exec |
                                        fs::perms::others_read | fs::perms::others_exec);
    return dir / "locked" / "out.csv";
}

INSTANTIATE_TEST_SUITE_P(
    Targets, WriteFailureTest,
    testing::Values(
        FailureCase{"MissingFolder",
                    [](const fs::path& dir) { return dir / "missing" / "out.csv"; },
                    varnotte::WriteFailure::kNoSuchFolder},
        FailureCase{"AFileAsFolder",
                    [](const fs::path& dir) {
                        std::ofstream(dir / "file") << "x";
                        return dir / "file" / "out.csv";
                    },
                    varnotte::WriteFailure::kNoSuchFolder},
        FailureCase{"AFolder", [](const fs::path& dir) { return dir; },
                    varnotte::WriteFailure::kIsAFolder},
        FailureCase{"LockedFolder", LockedFolder, varnotte::WriteFailure::kNoPermission, true},
        // Every write to /dev/full fails as a full disk does.
        FailureCase{"FullDisk",
                    [](const fs::path&) {
                        return fs::exists("/dev/full") ? fs::path("/dev/full") : fs::path();
                    },
                    varnotte::WriteFailure::kDiskFull},
        FailureCase{"FifoWithoutReader",
                    [](const fs::path& dir) {
                        return mkfifo((dir / "pipe").c_str(), 0600) == 0 ? dir / "pipe"
                                                                         : fs::path();
                    },
                    varnotte::WriteFailure::kNoReader},
        FailureCase{"DiskDevice",
                    [](const fs::path& dir) {
                        // Never opened: refused for what it is.
                        return mknod((dir / "disk").c_str(), S_IFBLK | 0600, makedev(7, 0)) == 0
                                   ? dir / "disk"
                                   : fs::path();
                    },
                    varnotte::WriteFailure::kDiskDevice},
        FailureCase{"ReadOnlyMount",
                    [](const fs::path& dir) {
                        fs::create_directories(dir / "ro");
                        std::ofstream(dir / "ro" / "out.csv") << "old contents";
                        if (::mount((dir / "ro").c_str(), (dir / "ro").c_str(), nullptr, MS_BIND,
                                    nullptr) != 0) {
                            return fs::path();
                        }
                        if (::mount(nullptr, (dir / "ro").c_str(), nullptr,
                                    MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0) {
                            ::umount2((dir / "ro").c_str(), MNT_DETACH);
                            return fs::path();
                        }
                        return dir / "ro" / "out.csv";
                    },
                    varnotte::WriteFailure::kReadOnlyFileSystem}),
    [](const testing::TestParamInfo<FailureCase>& info) { return info.param.name; });

// A regular file is replaced whole wherever it lives, /dev/shm included: never appended
// to, its mode kept, and a link to it still a link.
TEST(CsvFile, RegularFilesAreReplacedWholeWhereverTheyLive) {
    TempDir dir;
    std::vector<fs::path> folders{dir.path()};
    if (fs::is_directory("/dev/shm")) {
        folders.push_back("/dev/shm");
    }
    for (const fs::path& folder : folders) {
        const fs::path file = folder / ("varnotte-" + dir.path().filename().string() + ".csv");
        std::ofstream(file) << "\"old\"\r\n\"rows\"\r\n";
        fs::permissions(file,
                        fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
        fs::create_symlink(file, dir / "link.csv");
        varnotte::WriteError error;
        EXPECT_TRUE(varnotte::WriteCsvFile(Q(dir / "link.csv"), {"\"new\""}, &error))
            << error.text.toStdString();
        EXPECT_EQ(ReadAll(file), "\"new\"\r\n") << file;
        EXPECT_EQ(fs::status(file).permissions(),
                  fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
        EXPECT_TRUE(fs::is_symlink(dir / "link.csv"));
        fs::remove(dir / "link.csv");
        fs::remove(file);
    }
}

TEST(CsvFile, SpecialFilesAreWrittenDirectlyNeverReplaced) {
    TempDir dir;
    const fs::path fifo = dir / "pipe";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    // A reader is there before the export opens the FIFO (the row fits in its buffer).
    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    varnotte::WriteError error;
    EXPECT_TRUE(varnotte::WriteCsvFile(Q(fifo), {"\"a\""}, &error)) << error.text.toStdString();
    char received[16] = {};
    EXPECT_EQ(::read(reader, received, sizeof received), 5);
    ::close(reader);
    EXPECT_EQ(std::string(received), "\"a\"\r\n");
    EXPECT_TRUE(fs::is_fifo(fifo));
    EXPECT_TRUE(varnotte::WriteCsvFile(QStringLiteral("/dev/null"), {"\"a\""}, &error));
    EXPECT_TRUE(fs::is_character_file("/dev/null"));
}

// An export that must write its rows again (its code page guess was overturned) takes
// back its own rows only: an old file being replaced, or lines already in a file that
// standard output appends to, stay; a device cannot take anything back.
TEST(CsvFile, StartingOverTakesBackOnlyWhatThisWriterWrote) {
    TempDir dir;
    const fs::path appended = dir / "appended.csv";
    std::ofstream(appended) << "\"before\"\r\n";
    const int fd = ::open(appended.c_str(), O_WRONLY | O_APPEND);
    ASSERT_GE(fd, 0);
    std::ofstream(dir / "replaced.csv") << "\"old\"\r\n";
    const struct {
        QString target;
        bool canStartOver;
        fs::path file;
        std::string contents;
    } cases[] = {
        {Q(dir / "replaced.csv"), true, dir / "replaced.csv", "\"b\"\r\n"},
        {QStringLiteral("/proc/self/fd/") + QString::number(fd), true, appended,
         "\"before\"\r\n\"b\"\r\n"},
        {QStringLiteral("/dev/null"), false, {}, {}},
    };
    for (const auto& c : cases) {
        varnotte::OutputFileWriter writer;
        ASSERT_TRUE(writer.Open(c.target)) << c.target.toStdString();
        ASSERT_TRUE(writer.WriteRow(std::string(100000, 'a')));
        EXPECT_EQ(writer.CanStartOver(), c.canStartOver) << c.target.toStdString();
        EXPECT_EQ(writer.StartOver(), c.canStartOver);
        if (c.canStartOver) {
            ASSERT_TRUE(writer.WriteRow("\"b\""));
            ASSERT_TRUE(writer.Commit());
            EXPECT_EQ(ReadAll(c.file), c.contents) << c.target.toStdString();
        }
    }
    ::close(fd);
}

}  // namespace
