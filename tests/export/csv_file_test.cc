// CSV fields and the file writer: quoting, line ends, and never a half-written file.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <QString>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "export/csv_file_writer.h"
#include "export/csv_rows.h"
#include "tests/support/file_access.h"
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

QString Q(const fs::path& path) {
    return QString::fromStdString(path.string());
}

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
    QString error;
    ASSERT_TRUE(
        varnotte::WriteCsvFile(Q(dir / "out.csv"), {"\"$/A\",\"1\"", "\"$/A/b\",\"2\""}, &error))
        << error.toStdString();
    EXPECT_EQ(ReadAll(dir / "out.csv"), "\"$/A\",\"1\"\r\n\"$/A/b\",\"2\"\r\n");
    ASSERT_TRUE(varnotte::WriteCsvFile(Q(dir / "empty.csv"), {}, &error));
    EXPECT_TRUE(fs::exists(dir / "empty.csv"));
    EXPECT_EQ(fs::file_size(dir / "empty.csv"), 0u);
}

TEST(CsvFile, ReplacesAnOldFileOnlyWhenComplete) {
    TempDir dir;
    std::ofstream(dir / "out.csv") << "old contents";
    {
        varnotte::CsvFileWriter writer;
        ASSERT_TRUE(writer.Open(Q(dir / "out.csv")));
        ASSERT_TRUE(writer.WriteRow("\"new\""));
        EXPECT_EQ(ReadAll(dir / "out.csv"), "old contents") << "visible before the commit";
        // Destroyed without a commit: the old file stays, no temporary file is left.
    }
    EXPECT_EQ(ReadAll(dir / "out.csv"), "old contents");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
    QString error;
    ASSERT_TRUE(varnotte::WriteCsvFile(Q(dir / "out.csv"), {"\"new\""}, &error));
    EXPECT_EQ(ReadAll(dir / "out.csv"), "\"new\"\r\n");
}

TEST(CsvFile, ReadOnlyFolderIsReportedAndKeepsTheOldFile) {
    TempDir dir;
    fs::permissions(dir.path(), fs::perms::all, fs::perm_options::add);
    fs::create_directories(dir / "locked");
    std::ofstream(dir / "locked" / "out.csv") << "old contents";
    fs::permissions(dir / "locked", fs::perms::owner_read | fs::perms::owner_exec |
                                        fs::perms::group_read | fs::perms::group_exec |
                                        fs::perms::others_read | fs::perms::others_exec);
    QString error;
    {
        const varnotte::test::AsOrdinaryUser user;
        EXPECT_FALSE(varnotte::WriteCsvFile(Q(dir / "locked" / "out.csv"), {"\"x\""}, &error));
    }
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(ReadAll(dir / "locked" / "out.csv"), "old contents");
}

TEST(CsvFile, MissingFolderIsReported) {
    TempDir dir;
    QString error;
    EXPECT_FALSE(varnotte::WriteCsvFile(Q(dir / "missing" / "out.csv"), {"\"x\""}, &error));
    EXPECT_FALSE(error.isEmpty());
}

TEST(CsvFile, FullDiskIsAFailureNotATruncatedSuccess) {
    if (!fs::exists("/dev/full")) {
        GTEST_SKIP() << "no /dev/full";
    }
    // /dev/full is not a regular file, so it is written directly, and every write fails.
    QString error;
    EXPECT_FALSE(varnotte::WriteCsvFile(QStringLiteral("/dev/full"), {"\"x\""}, &error));
    EXPECT_FALSE(error.isEmpty());
}

TEST(CsvFile, SpecialFilesAreWrittenDirectlyNeverReplaced) {
    TempDir dir;
    const fs::path fifo = dir / "pipe";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::string received;
    std::thread reader([&] { received = ReadAll(fifo); });
    QString error;
    EXPECT_TRUE(varnotte::WriteCsvFile(Q(fifo), {"\"a\""}, &error)) << error.toStdString();
    reader.join();
    EXPECT_EQ(received, "\"a\"\r\n");
    EXPECT_TRUE(fs::is_fifo(fifo));
    EXPECT_TRUE(varnotte::WriteCsvFile(QStringLiteral("/dev/null"), {"\"a\""}, &error));
    EXPECT_TRUE(fs::is_character_file("/dev/null"));
}

}  // namespace
