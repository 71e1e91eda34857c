// What the reader remembers so that a walk is quick and its memory small: recently used
// child lists and versions, compact folder listings, recently decoded texts. Each must give
// exactly what reading afresh would.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "codepage/text_decoder.h"
#include "testing/database_generator.h"
#include "testing/database_writer.h"
#include "testing/file_io.h"
#include "tests/support/temp_dir.h"
#include "vssdb/data_folder.h"
#include "vssdb/database.h"
#include "vssdb/log_prefetch.h"
#include "vssdb/log_window.h"
#include "vssdb/recent_cache.h"

namespace vssdb {
namespace {

namespace fs = std::filesystem;

TEST(RecentCache, DropsTheLeastRecentlyUsedOnceOverBudget) {
    RecentCache<int> cache(10, 1);
    cache.Put("a", 1, 4);
    cache.Put("b", 2, 4);
    ASSERT_NE(cache.Find("a"), nullptr);  // now b is the oldest
    cache.Put("c", 3, 4);
    EXPECT_EQ(cache.Find("b"), nullptr);
    ASSERT_NE(cache.Find("a"), nullptr);
    EXPECT_EQ(*cache.Find("a"), 1);
    EXPECT_EQ(*cache.Find("c"), 3);
    EXPECT_EQ(cache.weight(), 8u);
}

TEST(RecentCache, KeepsTheNewestWhateverTheyWeigh) {
    RecentCache<int> cache(10, 2);
    cache.Put("huge", 1, 1000);
    cache.Put("larger", 2, 2000);
    EXPECT_EQ(cache.size(), 2u) << "the path to a huge project must stay";
    cache.Put("small", 3, 1);
    EXPECT_EQ(cache.Find("huge"), nullptr);
    EXPECT_NE(cache.Find("larger"), nullptr);
    EXPECT_NE(cache.Find("small"), nullptr);
}

TEST(RecentCache, PutReplacesValueAndWeight) {
    RecentCache<std::string> cache(100, 1);
    cache.Put("key", "old", 60);
    cache.Put("key", "new", 5);
    EXPECT_EQ(cache.size(), 1u);
    EXPECT_EQ(cache.weight(), 5u);
    EXPECT_EQ(*cache.Find("key"), "new");
}

TEST(DataFolder, FindsEveryFileIgnoringCaseWithItsSpellingOnDisk) {
    varnotte::test::TempDir temp;
    const fs::path data = temp / "DATA";
    fs::create_directories(data / "B");
    fs::create_directories(data / "c");
    vsstest::WriteWholeFile(data / "B" / "BAAAAAAA", "log");
    vsstest::WriteWholeFile(data / "B" / "baaaaaaa.b", "list");
    vsstest::WriteWholeFile(data / "c" / "CaAaAaAa", "log");
    vsstest::WriteWholeFile(data / "DAAAAAAA", "flat layout");
    vsstest::WriteWholeFile(data / "names.dat", "");
    // Many names in one folder, in mixed case, as a large database has.
    std::mt19937 random(7);
    std::vector<std::string> many;
    for (int i = 0; i < 2000; ++i) {
        std::string name = "E";
        for (int j = 0; j < 7; ++j) {
            const char letter = static_cast<char>('a' + random() % 26);
            name += random() % 2 == 0 ? letter : static_cast<char>(letter - 'a' + 'A');
        }
        fs::create_directories(data / "e");
        vsstest::WriteWholeFile(data / "e" / name, "");
        many.push_back(name);
    }

    const DataFolder folder(data.string());
    EXPECT_EQ(folder.FindLog("baaaaaaa"), (data / "B" / "BAAAAAAA").string());
    EXPECT_EQ(folder.FindData("BAAAAAAA", 'B'), (data / "B" / "baaaaaaa.b").string());
    EXPECT_EQ(folder.FindData("BAAAAAAA", 'A'), "");
    EXPECT_EQ(folder.FindLog("CAAAAAAA"), (data / "c" / "CaAaAaAa").string());
    EXPECT_EQ(folder.FindLog("DAAAAAAA"), (data / "DAAAAAAA").string());
    EXPECT_EQ(folder.FindFile("NAMES.DAT"), (data / "names.dat").string());
    EXPECT_EQ(folder.FindFile("um.dat"), "");
    EXPECT_EQ(folder.FindLog("FAAAAAAA"), "");
    EXPECT_EQ(folder.FindLog("B"), "") << "not a physical name";
    for (const std::string& name : many) {
        std::string asked = name;
        for (char& c : asked) {
            c = static_cast<char>(c ^ 0x20);  // the other case throughout
        }
        ASSERT_EQ(folder.FindLog(asked), (data / "e" / name).string()) << asked;
    }
}

TEST(DatabaseDecode, GivesWhatTheDecoderGivesWhateverWasDecodedBefore) {
    varnotte::test::TempDir temp;
    vsstest::DatabaseShape shape;
    shape.projects = 1;
    shape.filesPerProject = 1;
    vsstest::GenerateDatabase(temp / "db", shape);
    OpenOptions options;
    options.codePage = 932;
    const auto database = Database::Open((temp / "db" / "srcsafe.ini").string(), options);
    const codepage::TextDecoder decoder(932);

    // Far more texts than the database remembers, many of them twice, some past the size it
    // remembers at all, some with bytes Shift-JIS has no character for.
    std::mt19937 random(11);
    std::vector<std::string> texts;
    for (int i = 0; i < 3000; ++i) {
        std::string text = "x";
        const std::size_t length = 1 + random() % (i % 10 == 0 ? 300 : 12);
        for (std::size_t j = 0; j < length; ++j) {
            text += static_cast<char>(0x81 + random() % 0x7E);
        }
        texts.push_back(text);
        texts.push_back(texts[random() % texts.size()]);
    }
    for (const std::string& text : texts) {
        ASSERT_EQ(database->Decode(text), decoder.ToUtf8(text));
    }
}

// Whether the first page of `path` is in the page cache, found without reading it (which
// would bring it there).
bool StartIsInPageCache(const fs::path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    const long page = ::sysconf(_SC_PAGESIZE);
    void* mapped = ::mmap(nullptr, static_cast<std::size_t>(page), PROT_READ, MAP_SHARED, fd, 0);
    ::close(fd);
    if (mapped == MAP_FAILED) {
        return false;
    }
    unsigned char resident = 0;
    const bool cached =
        ::mincore(mapped, static_cast<std::size_t>(page), &resident) == 0 && (resident & 1) != 0;
    ::munmap(mapped, static_cast<std::size_t>(page));
    return cached;
}

// False where the file system keeps every file in memory (tmpfs).
bool DropFromPageCache(const fs::path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    const bool dropped =
        fd >= 0 && ::fdatasync(fd) == 0 && ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED) == 0;
    ::close(fd);
    return dropped && !StartIsInPageCache(path);
}

// Reading ahead is only a hint: paths that lead nowhere, to a folder, a FIFO or a file that
// is no log are passed over and the logs queued after them are read all the same; a reader
// dropped with a long queue returns.
TEST(LogPrefetcher, PassesOverWhatItCannotReadAndStopsWhenDropped) {
    varnotte::test::TempDir temp;
    vsstest::DatabaseWriter writer(temp / "db");
    const vsstest::ItemId file = writer.AddFile(writer.Root(), "long.txt");
    for (int i = 0; i < 400; ++i) {
        writer.CheckIn(file, {"Admin", 1136200000u + static_cast<unsigned>(i), "change"});
    }
    writer.Write();
    const fs::path log = writer.LogPath(file);
    ASSERT_GT(fs::file_size(log), kWholeLogReadLimit) << "read record by record by a thread";
    vsstest::WriteWholeFile(temp / "short", std::string(100, 'x'));
    ASSERT_EQ(::mkfifo((temp / "fifo").c_str(), 0600), 0);
    if (!DropFromPageCache(log)) {
        GTEST_SKIP() << "the page cache keeps " << log << " here";
    }

    LogPrefetcher prefetcher(2);
    prefetcher.Prefetch({(temp / "missing").string(), temp.path().string(),
                         (temp / "fifo").string(), (temp / "short").string(), log.string()});
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!StartIsInPageCache(log)) {
        ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "the log was never read";
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    prefetcher.Prefetch(std::vector<std::string>(10000, (temp / "short").string()));
    // Dropped here, with most of the queue unread.
}

}  // namespace
}  // namespace vssdb
