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

// Two files of kVersions versions, each version `versionSize` bytes of content.
struct ContentDatabase {
    explicit ContentDatabase(std::size_t versionSize) {
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
        writer.Write();
    }

    varnotte::test::TempDir dir;
    vsstest::DatabaseWriter writer{dir.path()};
    std::vector<vsstest::ItemId> files;
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
