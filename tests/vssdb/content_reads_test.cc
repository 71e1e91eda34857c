// A log is mostly content: every older version of a file lives in it as a delta. Opening a
// database and reading histories must read the history records, not the deltas, and still
// notice a log that another client cuts short meanwhile.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "testing/damage.h"
#include "testing/database_writer.h"
#include "tests/support/bytes_read.h"
#include "tests/support/temp_dir.h"
#include "vssdb/database.h"
#include "vssdb/error.h"
#include "vssdb/item_log.h"

namespace vssdb {
namespace {

namespace fs = std::filesystem;

constexpr int kVersions = 12;

// Two files of kVersions versions, each version `versionSize` bytes of content; and, when
// asked for, many.txt in the root with `smallVersions` versions of a line each.
struct ContentDatabase {
    explicit ContentDatabase(std::size_t versionSize, int smallVersions = 0) {
        const vsstest::ItemId project = writer.AddProject(writer.Root(), "P");
        for (const char* name : {"big.bin", "large.dat"}) {
            const vsstest::ItemId file = writer.AddFile(
                project, name, vsstest::Stamp{"Admin", 100, "first of " + std::string(name)});
            for (int version = 2; version <= kVersions; ++version) {
                const auto time = static_cast<std::uint32_t>(100 + version);
                writer.CheckIn(file,
                               vsstest::Stamp{"Admin", time, "version " + std::to_string(version)},
                               {}, std::string(versionSize, static_cast<char>('a' + version)));
            }
            files.push_back(file);
        }
        if (smallVersions > 0) {
            many = writer.AddFile(writer.Root(), "many.txt");
            for (int version = 2; version <= smallVersions; ++version) {
                writer.CheckIn(many, vsstest::Stamp{"Admin", static_cast<std::uint32_t>(version),
                                                    std::string(version % 7 * 40, 'c')});
            }
        }
        writer.Write();
    }

    varnotte::test::TempDir dir;
    vsstest::DatabaseWriter writer{dir.path()};
    std::vector<vsstest::ItemId> files;
    vsstest::ItemId many = 0;
};

// What the histories of both files show, and how much opening and reading them read.
struct Reading {
    std::vector<std::string> comments;
    long long bytesRead = 0;
};

Reading ReadHistories(ContentDatabase& database) {
    const long long before = varnotte::test::BytesRead();
    auto db = Database::Open(database.writer.IniPath().string());
    Reading reading;
    for (const char* spec : {"$/P/big.bin", "$/P/large.dat"}) {
        for (const Revision& revision : db->History(db->Locate(spec).physical)) {
            reading.comments.push_back(std::to_string(revision.version) + " " + revision.comment);
        }
    }
    reading.bytesRead = varnotte::test::BytesRead() - before;
    return reading;
}

TEST(ContentReads, HistoriesOfLargeLogsReadTheirRecordsOnly) {
    if (varnotte::test::BytesRead() < 0) {
        GTEST_SKIP() << "the kernel does not count the bytes read";
    }
    ContentDatabase thin(8);
    ContentDatabase heavy(1 << 20);  // two logs of 11 MiB
    const Reading thinReading = ReadHistories(thin);
    const Reading heavyReading = ReadHistories(heavy);
    ASSERT_EQ(heavyReading.comments.size(), 2u * kVersions);
    EXPECT_EQ(heavyReading.comments, thinReading.comments);
    EXPECT_EQ(heavyReading.comments.front(), "12 version 12");
    EXPECT_EQ(heavyReading.comments.back(), "1 first of large.dat");
    // The open and the walk read the same records of both; of the heavy logs also a few
    // kilobytes around each version's records.
    EXPECT_LT(heavyReading.bytesRead, thinReading.bytesRead + 2 * kVersions * (8 << 10))
        << "read " << heavyReading.bytesRead << " bytes of a database of 22 MiB of content";
}

// Every log read record by record, however small, gives the versions that reading it whole
// gives: logs of large versions, and one of many small versions whose records lie close.
TEST(ContentReads, ByRecordsGivesWhatReadingWholeGives) {
    ContentDatabase heavy(100'000, 400);
    std::vector<fs::path> logs = {heavy.writer.LogPath(heavy.many),
                                  heavy.writer.LogPath(heavy.writer.Root())};
    for (const vsstest::ItemId file : heavy.files) {
        logs.push_back(heavy.writer.LogPath(file));
    }
    const auto lines = [](const std::vector<Revision>& revisions) {
        std::vector<std::string> out;
        for (const Revision& r : revisions) {
            out.push_back(std::to_string(r.version) + " " + std::to_string(r.action) + " " +
                          std::to_string(r.offset) + " " + r.user + " " + r.name.shortName + " " +
                          r.comment);
        }
        return out;
    };
    for (const fs::path& log : logs) {
        const std::vector<std::string> whole =
            lines(ItemLog(PhysicalFile::Read(log.string())).ReadRevisions());
        EXPECT_FALSE(whole.empty());
        EXPECT_EQ(
            lines(ItemLog(OpenLog(log.string(), ReadDirection::kBackward, 0)).ReadRevisions()),
            whole)
            << log;
    }
}

TEST(ContentReads, LogCutShortAfterItWasOpenedIsReported) {
    ContentDatabase heavy(256 << 10);
    const fs::path log = heavy.writer.LogPath(heavy.files.front());
    const ItemLog opened = ItemLog::Read(log.string());
    vsstest::TruncateFile(log, fs::file_size(log) / 2);
    try {
        opened.ReadRevisions();
        FAIL() << "a log cut in half was read";
    } catch (const Error& error) {
        EXPECT_EQ(error.kind(), ErrorKind::kCorrupt);
        const std::string message = error.what();
        EXPECT_NE(message.find(log.filename().string()), std::string::npos) << message;
        EXPECT_NE(message.find("cut short"), std::string::npos) << message;
    }
}

}  // namespace
}  // namespace vssdb
