// varnotte-get over written databases: what lands in DIR, byte for byte and dated, and what
// it refuses; every case checks the exit status, the files in DIR and what was said.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>

#include "cli/exit_codes.h"
#include "cli/get_command.h"
#include "cli/get_options.h"
#include "cli/options.h"
#include "testing/database_writer.h"
#include "testing/file_io.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using namespace varnotte::cli;
using vsstest::DatabaseWriter;
using vsstest::ItemId;
using vsstest::Stamp;

// The database's zone is an hour ahead of UTC, so a stored time T is the instant T - 3600.
constexpr std::uint32_t kDay = 1136116800;
constexpr std::time_t kZoneOffset = 3600;

// What a case expects in DIR: each file's bytes and modification time (as stored); a
// folder is a path with an empty optional.
struct Expected {
    std::map<std::string, std::optional<std::pair<std::string, std::uint32_t>>> entries;
    void File(const std::string& path, std::string content, std::uint32_t stored) {
        entries[path] = std::make_pair(std::move(content), stored);
    }
    void Folder(const std::string& path) { entries[path] = std::nullopt; }
};

struct Scene {
    DatabaseWriter& writer;
    Expected& expected;
    fs::path& dir;  // a case may fill it before the run
};

struct Case {
    const char* name;
    std::function<void(Scene&)> build;  // after it the writer writes the database
    const char* spec;
    int version = 0;
    bool force = false;
    int exitCode = kExitSuccess;
    const char* said = "";  // in what it says on standard error
    const char* label = "";
    const char* date = "";  // as typed after --date
};

Stamp At(std::uint32_t time) {
    Stamp stamp;
    stamp.time = time;
    return stamp;
}

// $/ holds a.txt (3 versions), P with b.bin (binary) and c.txt pinned at its version 1,
// and an empty project P/Empty.
void Tree(Scene& scene, bool expectAll) {
    DatabaseWriter& w = scene.writer;
    const ItemId a = w.AddFile(w.Root(), "a.txt", At(kDay), false, "one\r\n");
    w.CheckIn(a, At(kDay + 60), {}, std::string("one\r\ntwo\r\n"));
    w.CheckIn(a, At(kDay + 120), {}, std::string("one\r\ntwo\r\nthree\r\n"));
    const ItemId p = w.AddProject(w.Root(), "P", At(kDay));
    w.AddFile(p, "b.bin", At(kDay + 5), true, std::string("\0\x01\xff\r\n", 5));
    const ItemId c = w.AddFile(p, "c.txt", At(kDay + 7), false, "first");
    w.CheckIn(c, At(kDay + 3000), {}, std::string("second"));
    w.Pin(p, c, 1, At(kDay + 4000));
    w.AddProject(p, "Empty", At(kDay + 4000));
    if (expectAll) {
        scene.expected.File("a.txt", "one\r\ntwo\r\nthree\r\n", kDay + 120);
        scene.expected.Folder("P");
        scene.expected.File("P/b.bin", std::string("\0\x01\xff\r\n", 5), kDay + 5);
        scene.expected.File("P/c.txt", "first", kDay + 7);
        scene.expected.Folder("P/Empty");
    }
}

// Projects two deep, each file checked in a few times with contents the writer makes up:
// each comes out as the writer kept its newest version.
void ManyVersions(Scene& scene) {
    DatabaseWriter& w = scene.writer;
    const ItemId q = w.AddProject(w.Root(), "Q", At(kDay));
    const ItemId r = w.AddProject(q, "R", At(kDay));
    scene.expected.Folder("R");
    for (int n = 0; n < 6; ++n) {
        const ItemId project = n % 2 == 0 ? q : r;
        const std::string name = "f" + std::to_string(n) + (n == 5 ? ".dll" : ".c");
        const ItemId file = w.AddFile(project, name, At(kDay + n), n == 5);
        for (int version = 2; version <= n + 1; ++version) {
            w.CheckIn(file, At(kDay + 100 * version + n));
        }
        const std::uint32_t last = n == 0 ? kDay : kDay + 100 * (n + 1) + n;
        scene.expected.File((n % 2 == 0 ? "" : "R/") + name,
                            *w.VersionContent(file, w.CurrentVersion(file)), last);
    }
}

// A history of $/P and $/Q, a second apart at most within each step (kDay is 12:00:00):
//   +0    P: a.txt "a1", b.txt "b1"; Q: s.txt "s1"
//   +100  a.txt "a2"; s.txt shared into P
//   +200  label L1 on P
//   +300  a.txt renamed A.txt, "a3"; b.txt deleted; s.txt pinned at 1 in P, "s2"
//   +400  P/Sub with c.txt "c1"; Q/gone.txt
//   +450  gone.txt destroyed; +480 s.txt unpinned in P
//   +500  Sub moved into Q; label R5 on $/
//   +600  s.txt branched in P, the branch "s3b", Q's "s3"
//   +700  Sub renamed Moved; c.txt "c2"
void History(Scene& scene) {
    DatabaseWriter& w = scene.writer;
    const ItemId p = w.AddProject(w.Root(), "P", At(kDay));
    const ItemId a = w.AddFile(p, "a.txt", At(kDay), false, "a1");
    const ItemId b = w.AddFile(p, "b.txt", At(kDay), false, "b1");
    const ItemId q = w.AddProject(w.Root(), "Q", At(kDay));
    const ItemId s = w.AddFile(q, "s.txt", At(kDay), false, "s1");
    w.CheckIn(a, At(kDay + 100), {}, std::string("a2"));
    w.Share(s, p, At(kDay + 100));
    w.Label(p, "L1", At(kDay + 200));
    w.Rename(p, a, "A.txt", At(kDay + 300));
    w.CheckIn(a, At(kDay + 300), {}, std::string("a3"));
    w.Delete(p, b, At(kDay + 300));
    w.Pin(p, s, 1, At(kDay + 300));
    w.CheckIn(s, At(kDay + 300), {}, std::string("s2"));
    const ItemId sub = w.AddProject(p, "Sub", At(kDay + 400));
    const ItemId c = w.AddFile(sub, "c.txt", At(kDay + 400), false, "c1");
    const ItemId gone = w.AddFile(q, "gone.txt", At(kDay + 400), false, "g1");
    w.Destroy(q, gone, At(kDay + 450));
    w.Unpin(p, s, At(kDay + 480));
    w.Move(sub, q, At(kDay + 500));
    w.Label(w.Root(), "R5", At(kDay + 500));
    const ItemId branch = w.Branch(p, s, At(kDay + 600));
    w.CheckIn(branch, At(kDay + 600), {}, std::string("s3b"));
    w.CheckIn(s, At(kDay + 600), {}, std::string("s3"));
    w.Rename(q, sub, "Moved", At(kDay + 700));
    w.CheckIn(c, At(kDay + 700), {}, std::string("c2"));
}

// What $/ held at `time`, as History built it, from +300 on (below `prefix`, "" or "P/"
// for $/P alone).
void HistoryAt(Scene& scene, std::uint32_t time, const std::string& prefix) {
    Expected& e = scene.expected;
    const bool whole = prefix.empty();
    const std::string p = whole ? "P/" : "";
    if (whole) {
        e.Folder("P");
        e.Folder("Q");
    }
    e.File(p + "A.txt", "a3", kDay + 300);
    if (time < kDay + 480) {
        e.File(p + "s.txt", "s1", kDay);
    } else if (time < kDay + 600) {
        e.File(p + "s.txt", "s2", kDay + 300);
    } else {
        e.File(p + "s.txt", "s3b", kDay + 600);
    }
    if (time >= kDay + 400 && time < kDay + 500) {
        e.Folder(p + "Sub");
        e.File(p + "Sub/c.txt", "c1", kDay + 400);
    }
    if (!whole) {
        return;
    }
    e.File("Q/s.txt", time < kDay + 600 ? "s2" : "s3", time < kDay + 600 ? kDay + 300 : kDay + 600);
    if (time >= kDay + 500) {
        const std::string sub = time < kDay + 700 ? "Q/Sub" : "Q/Moved";
        e.Folder(sub);
        e.File(sub + "/c.txt", time < kDay + 700 ? "c1" : "c2",
               time < kDay + 700 ? kDay + 400 : kDay + 700);
    }
}

const Case kCases[] = {
    {"EveryFileAtItsLatestByteForByte", ManyVersions, "$/Q"},
    {"WholeTreeLatestAndPinned", [](Scene& s) { Tree(s, true); }, "$/"},
    {"OneFileAtItsLatest",
     [](Scene& s) {
         Tree(s, false);
         s.expected.File("a.txt", "one\r\ntwo\r\nthree\r\n", kDay + 120);
     },
     "$/a.txt"},
    {"OneFileAtAnOlderVersion",
     [](Scene& s) {
         Tree(s, false);
         s.expected.File("a.txt", "one\r\ntwo\r\n", kDay + 60);
     },
     "$/a.txt", 2},
    {"VersionTheFileLacksIsAUsageError", [](Scene& s) { Tree(s, false); }, "$/a.txt", 4, false,
     kExitUsage, "no version 4"},
    {"VersionOfAProjectIsRefused", [](Scene& s) { Tree(s, false); }, "$/P", 2, false, kExitUsage,
     "is a project"},
    {"NotEmptyWithoutForce",
     [](Scene& s) {
         Tree(s, false);
         fs::create_directories(s.dir);
         std::ofstream(s.dir / "mine.txt") << "mine";
         s.expected.File("mine.txt", "mine", 0);
     },
     "$/", 0, false, kExitCannotWrite, "is not empty"},
    {"ForceWritesBesideAndOverExistingFiles",
     [](Scene& s) {
         Tree(s, true);
         fs::create_directories(s.dir);
         std::ofstream(s.dir / "a.txt") << "old";
         std::ofstream(s.dir / "mine.txt") << "mine";
         s.expected.File("mine.txt", "mine", 0);
     },
     "$/", 0, true},
    {"ForceDoesNotFollowALinkedFolderOutOfDir",
     [](Scene& s) {
         Tree(s, false);
         fs::create_directories(s.dir);
         fs::create_directory_symlink(s.dir.parent_path(), s.dir / "P");
         s.expected.File("a.txt", "one\r\ntwo\r\nthree\r\n", kDay + 120);
         s.expected.entries["P"] = std::nullopt;  // the link, left alone
     },
     "$/", 0, true, kExitItemsUnreadable, "cannot make the folder"},
    {"ForceReplacesALinkInsteadOfWritingThroughIt",
     [](Scene& s) {
         Tree(s, true);
         fs::create_directories(s.dir);
         fs::create_symlink(s.dir.parent_path() / "outside.txt", s.dir / "a.txt");
     },
     "$/", 0, true},
    {"ForceDoesNotReplaceALinkIntoTheDatabase",
     [](Scene& s) {
         Tree(s, true);
         fs::create_directories(s.dir / "P");
         fs::create_symlink(s.writer.IniPath(), s.dir / "P" / "c.txt");
         s.expected.entries["P/c.txt"] = std::nullopt;  // the link, left alone
     },
     "$/", 0, true, kExitItemsUnreadable, "is the database's srcsafe.ini"},
    {"NameLeadingOutOfDirIsRefusedTheRestWritten",
     [](Scene& s) {
         DatabaseWriter& w = s.writer;
         const ItemId p = w.AddProject(w.Root(), "P", At(kDay));
         w.AddFile(p, "..", At(kDay), false, "escape");
         w.AddFile(p, "ok.txt", At(kDay), false, "fine");
         s.expected.Folder("P");
         s.expected.File("P/ok.txt", "fine", kDay);
     },
     "$/", 0, false, kExitItemsUnreadable, "$/P/.."},
    {"DamagedDataFileIsReportedTheRestWritten",
     [](Scene& s) {
         DatabaseWriter& w = s.writer;
         const ItemId bad = w.AddFile(w.Root(), "bad.txt", At(kDay), false, "lost");
         w.AddFile(w.Root(), "good.txt", At(kDay + 9), false, "kept");
         w.Write();
         fs::remove(w.DataPath(bad));
         s.expected.File("good.txt", "kept", kDay + 9);
     },
     "$/", 0, false, kExitItemsUnreadable, "$/bad.txt"},
    {.name = "FilePinnedNowAtADateBeforeThePin",
     .build =
         [](Scene& s) {
             Tree(s, false);
             s.expected.File("c.txt", "second", kDay + 3000);
         },
     .spec = "$/P/c.txt",
     .date = "2006-01-01T12:58:20"},
    {.name = "LabelOnTheProjectGivesItsItemsThen",
     .build =
         [](Scene& s) {
             History(s);
             s.expected.File("a.txt", "a2", kDay + 100);
             s.expected.File("b.txt", "b1", kDay);
             s.expected.File("s.txt", "s1", kDay);
         },
     .spec = "$/P",
     .label = "L1"},
    {.name = "LabelOnTheProjectAboveAFile",
     .build =
         [](Scene& s) {
             History(s);
             s.expected.File("A.txt", "a2", kDay + 100);
         },
     .spec = "$/P/A.txt",
     .label = "L1"},
    {.name = "DateAfterRenameDeleteAndPin",
     .build = [](Scene& s) { History(s), HistoryAt(s, kDay + 350, ""); },
     .spec = "$/",
     .date = "2006-01-01T12:05:50"},
    {.name = "DateBeforeTheProjectMovedOut",
     .build = [](Scene& s) { History(s), HistoryAt(s, kDay + 460, "P/"); },
     .spec = "$/P",
     .date = "2006-01-01 12:07:40"},
    {.name = "ItemDestroyedSinceIsReportedTheRestWritten",
     .build = [](Scene& s) { History(s), HistoryAt(s, kDay + 419, ""); },
     .spec = "$/",
     .exitCode = kExitItemsUnreadable,
     .said = "$/Q/gone.txt: destroyed since",
     .date = "2006-01-01T12:06"},
    {.name = "LabelOnTheRootAfterUnpinAndMoveLetterCaseIgnored",
     .build = [](Scene& s) { History(s), HistoryAt(s, kDay + 500, ""); },
     .spec = "$/",
     .label = "r5"},
    {.name = "DateAfterABranch",
     .build = [](Scene& s) { History(s), HistoryAt(s, kDay + 650, ""); },
     .spec = "$/",
     .date = "2006-01-01T12:10:50"},
    {.name = "DayAloneMeansItsEnd",
     .build = [](Scene& s) { History(s), HistoryAt(s, kDay + 700, ""); },
     .spec = "$/",
     .date = "2006-01-01"},
    {.name = "LabelThatNamesNothingIsAUsageError",
     .build = History,
     .spec = "$/Q",
     .exitCode = kExitUsage,
     .said = "no label \"L1\" on $/Q or a project above it",
     .label = "L1"},
    {.name = "DateBeforeTheItemIsAUsageError",
     .build = History,
     .spec = "$/P",
     .exitCode = kExitUsage,
     .said = "$/P did not exist yet",
     .date = "2005-12-31"},
};

class Get : public testing::TestWithParam<Case> {};

TEST_P(Get, WritesWhatTheCaseExpects) {
    const Case& c = GetParam();
    varnotte::test::TempDir temp;
    vsstest::WriterOptions writerOptions;
    writerOptions.timeZoneText = "TZ_Bias = -60";
    writerOptions.keepVersionContents = true;
    DatabaseWriter writer(temp / "db", writerOptions);
    Expected expected;
    fs::path dir = temp / "out";
    Scene scene{writer, expected, dir};
    c.build(scene);
    if (!fs::exists(writer.IniPath())) {
        writer.Write();
    }

    GetOptions options;
    options.iniPath = QString::fromStdString(writer.IniPath().string());
    options.spec = QString::fromUtf8(c.spec);
    options.folder = QString::fromStdString(dir.string());
    options.login.user = QStringLiteral("Admin");
    options.version = c.version;
    options.force = c.force;
    options.label = QString::fromUtf8(c.label);
    if (*c.date != '\0') {
        options.date = ParseDateArgument(QString::fromUtf8(c.date), true);
        ASSERT_TRUE(options.date) << c.date;
    }
    std::FILE* errors = std::tmpfile();
    ASSERT_NE(errors, nullptr);
    const int status = RunGet(options, errors, false);
    std::string said;
    std::rewind(errors);
    for (int ch; (ch = std::fgetc(errors)) != EOF;) {
        said.push_back(static_cast<char>(ch));
    }
    std::fclose(errors);

    EXPECT_EQ(status, c.exitCode) << said;
    EXPECT_NE(said.find(c.said), std::string::npos) << said;
    std::map<std::string, bool> found;
    const auto start = fs::exists(dir) ? fs::recursive_directory_iterator(dir)
                                       : fs::recursive_directory_iterator();
    for (auto it = start; it != fs::recursive_directory_iterator(); ++it) {
        const std::string relative = it->path().lexically_relative(dir).string();
        found[relative] = true;
        if (it->is_symlink()) {
            it.disable_recursion_pending();
        }
        const auto wanted = expected.entries.find(relative);
        ASSERT_NE(wanted, expected.entries.end()) << "unexpected " << relative;
        if (!wanted->second) {
            continue;
        }
        EXPECT_EQ(vsstest::ReadWholeFile(it->path()), wanted->second->first) << relative;
        if (wanted->second->second != 0) {
            struct stat status {};
            ASSERT_EQ(::stat(it->path().c_str(), &status), 0);
            EXPECT_EQ(status.st_mtime, std::time_t{wanted->second->second} - kZoneOffset)
                << relative;
        }
    }
    for (const auto& [path, entry] : expected.entries) {
        EXPECT_TRUE(found.count(path)) << "missing " << path;
    }
    // Nothing was written beside DIR.
    for (const fs::directory_entry& entry : fs::directory_iterator(temp.path())) {
        EXPECT_TRUE(entry.path() == dir || entry.path() == temp / "db") << entry.path();
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, Get, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<Case>& info) { return info.param.name; });

TEST(GetOptions, RefusesWhichVersionsGivenTwiceOrUnreadable) {
    const struct {
        QStringList arguments;
        const char* said;
    } refusals[] = {
        {{"--label", "L1", "--date", "2006-01-01"}, "give one of them"},
        {{"--version", "2", "--label", "L1"}, "give one of them"},
        {{"--date", "yesterday"}, "Not a date: yesterday"},
        {{"--date", "2006-02-30"}, "Not a date: 2006-02-30"},
        {{"--label", ""}, "--label needs a label"},
    };
    for (const auto& refusal : refusals) {
        const GetParseResult result = ParseGetOptions(
            QStringList{"varnotte-get"} + refusal.arguments + QStringList{"db.ini", "$/", "out"});
        EXPECT_FALSE(result.options) << refusal.said;
        EXPECT_EQ(result.exitCode, kExitUsage) << refusal.said;
        EXPECT_TRUE(result.message.contains(QString::fromUtf8(refusal.said)))
            << result.message.toStdString();
    }
}

}  // namespace
