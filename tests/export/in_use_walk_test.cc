// A database in use: another SourceSafe client changes files while a walk reads them. The
// item whose file changed is read as it is now or reported as unreadable; everything else
// is exported as it was, and nothing mixes two states of one item.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "export/subtree_walk.h"
#include "sourcesafe/vss_database.h"
#include "testing/damage.h"
#include "testing/database_writer.h"
#include "testing/file_io.h"
#include "tests/support/csv_parse.h"
#include "tests/support/file_access.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using namespace sourcesafe;
using vsstest::DatabaseWriter;
using vsstest::ItemId;

// A name too long for the short name field: it lives in names.dat.
const std::string kLongName = "a file added by another client, with a long name.txt";

// What another client may have done by the time a walk reaches an item.
enum class Later { kNothing, kCheckIn, kAddFile, kCheckInAndAddFile, kDestroyFile };

struct Items {
    ItemId p, b, q, z;
};

// root: A (f0..f29), P (a.txt, b.txt, Q (q1.txt, q2.txt)), z.txt. The thirty files of A
// make later items share letter folders with earlier ones, so a folder listed early is
// asked again for a file added since.
Items Build(DatabaseWriter& w, Later later) {
    Items items{};
    const ItemId a = w.AddProject(w.Root(), "A");
    for (int i = 0; i < 30; ++i) {
        w.AddFile(a, "f" + std::to_string(i));
    }
    items.p = w.AddProject(w.Root(), "P");
    w.CheckIn(w.AddFile(items.p, "a.txt"));
    items.b = w.AddFile(items.p, "b.txt", vsstest::Stamp{"Admin", 1136116900, "first"});
    w.CheckIn(items.b, vsstest::Stamp{"Admin", 1136117000, "second"});
    items.q = w.AddProject(items.p, "Q");
    w.AddFile(items.q, "q1.txt");
    w.AddFile(items.q, "q2.txt");
    items.z = w.AddFile(w.Root(), "z.txt");
    switch (later) {
        case Later::kNothing:
            break;
        case Later::kCheckIn:
            w.CheckIn(items.b, vsstest::Stamp{"Other", 1136118000, "checked in meanwhile"});
            break;
        case Later::kAddFile:
            w.AddFile(items.q, kLongName);
            break;
        case Later::kCheckInAndAddFile:
            w.CheckIn(items.b, vsstest::Stamp{"Other", 1136118000, "checked in meanwhile"});
            w.AddFile(items.q, kLongName);
            break;
        case Later::kDestroyFile:
            w.Destroy(items.p, items.b);
            break;
    }
    w.Write();
    return items;
}

// Makes `to` what `from` is, file by file, as another client's writes leave it: changed
// and new files replaced whole (written beside, then renamed in), vanished ones removed.
void Become(const fs::path& to, const fs::path& from) {
    for (const auto& entry : fs::recursive_directory_iterator(from)) {
        const fs::path target = to / fs::relative(entry.path(), from);
        if (entry.is_directory()) {
            fs::create_directories(target);
            continue;
        }
        const std::string bytes = vsstest::ReadWholeFile(entry.path());
        if (fs::exists(target) && vsstest::ReadWholeFile(target) == bytes) {
            continue;
        }
        const fs::path staged = to.parent_path() / "staged";
        vsstest::WriteWholeFile(staged, bytes);
        fs::rename(staged, target);
    }
    std::vector<fs::path> gone;
    for (const auto& entry : fs::recursive_directory_iterator(to)) {
        if (!entry.is_directory() && !fs::exists(from / fs::relative(entry.path(), to))) {
            gone.push_back(entry.path());
        }
    }
    for (const fs::path& path : gone) {
        fs::remove(path);
    }
}

class Host : public varnotte::WalkHost {
  public:
    std::vector<std::string> rows;
    std::vector<std::string> visited;  // specs in visit order, from the status line
    std::map<std::string, std::string> failures;
    int rounds = 0;
    std::function<void(int round)> beforeItem;

    void ProcessEvents() override {
        ++rounds;
        if (beforeItem) {
            beforeItem(rounds);
        }
    }
    Node AddProjectNode(Node, const IVSSItem&) override { return nullptr; }
    void AddFileNode(Node, const IVSSItem&) override {}
    void ShowStatus(const std::string& spec) override { visited.push_back(spec); }
    void AddRow(std::string row) override { rows.push_back(std::move(row)); }
    void ItemFailed(const std::string& spec, const VssError& error) override {
        failures[spec] = error.what();
    }
};

std::string SpecOf(const std::string& row) {
    return varnotte::test::ParseCsvRow(row).at(0);
}

bool IsAtOrBelow(const std::string& spec, const std::string& top) {
    return spec == top || spec.rfind(top + "/", 0) == 0;
}

// `rows` with those of `top` and below replaced by the ones `replacement` has for them.
std::vector<std::string> Replaced(const std::vector<std::string>& rows, const std::string& top,
                                  const std::vector<std::string>& replacement) {
    std::vector<std::string> out;
    bool inserted = false;
    for (const std::string& row : rows) {
        if (!IsAtOrBelow(SpecOf(row), top)) {
            out.push_back(row);
            continue;
        }
        if (!inserted) {
            for (const std::string& other : replacement) {
                if (IsAtOrBelow(SpecOf(other), top)) {
                    out.push_back(other);
                }
            }
            inserted = true;
        }
    }
    return out;
}

class InUse : public testing::Test {
  protected:
    void SetUp() override {
        // Readable by an ordinary user, for the cases that walk as one.
        fs::permissions(dir.path(), fs::perms::all, fs::perm_options::add);
        writer = std::make_unique<DatabaseWriter>(dir / "db");
        items = Build(*writer, Later::kNothing);
        const Host host = Walk();
        ASSERT_TRUE(host.failures.empty()) << testing::PrintToString(host.failures);
        baseline = host.rows;
        order = host.visited;
    }

    // The database as another client leaves it after `later`.
    fs::path WriteLater(Later later) {
        const fs::path root = dir / ("later" + std::to_string(static_cast<int>(later)));
        DatabaseWriter w(root);
        Build(w, later);
        return root;
    }

    // A confirmed export of the whole database with history, as varnotte-csv runs it.
    Host Walk(const fs::path& root = {}, std::function<void(int)> beforeItem = {}) {
        IVSSDatabase db;
        EXPECT_EQ(CreateInstance(CLSID_VSSDatabase, CLSCTX_ALL_SERVERS, IID_IVSSDatabase6, db),
                  S_OK);
        db.Open(((root.empty() ? dir / "db" : root) / "srcsafe.ini").string(), "Admin", "");
        Host host;
        host.beforeItem = std::move(beforeItem);
        const int firstExpand = 0, running = 1, confirmed = 1, history = 1;
        const varnotte::WalkFlags flags{firstExpand, running, confirmed, history};
        varnotte::SubtreeWalk(db, flags, host).ExpandProject(nullptr, "$/");
        return host;
    }

    // The round of the walk that reads `spec`: changes made then come before its reading.
    int RoundOf(const std::string& spec) const {
        for (std::size_t i = 0; i < order.size(); ++i) {
            if (order[i] == spec) {
                return static_cast<int>(i) + 1;
            }
        }
        ADD_FAILURE() << spec << " is never visited";
        return -1;
    }

    // Walks with `change` made just before `spec` is read.
    Host WalkChanging(const std::string& spec, const std::function<void()>& change) {
        const int round = RoundOf(spec);
        return Walk({}, [&](int now) {
            if (now == round) {
                change();
            }
        });
    }

    std::vector<std::string> Without(const std::vector<std::string>& specs) {
        std::vector<std::string> out;
        for (const std::string& row : baseline) {
            bool dropped = false;
            for (const std::string& spec : specs) {
                dropped = dropped || IsAtOrBelow(SpecOf(row), spec);
            }
            if (!dropped) {
                out.push_back(row);
            }
        }
        return out;
    }

    void ExpectOnlyFailures(const Host& host, const std::map<std::string, std::string>& expected) {
        EXPECT_EQ(host.failures.size(), expected.size()) << testing::PrintToString(host.failures);
        for (const auto& [spec, message] : expected) {
            const auto it = host.failures.find(spec);
            ASSERT_NE(it, host.failures.end()) << spec << " not reported";
            EXPECT_NE(it->second.find(message), std::string::npos) << it->second;
        }
    }

    varnotte::test::TempDir dir;
    std::unique_ptr<DatabaseWriter> writer;
    Items items{};
    std::vector<std::string> baseline;
    std::vector<std::string> order;  // of the visits
};

// Changes to the log of b.txt just before the walk reads it.
struct LogChange {
    std::string name;
    std::function<void(const fs::path& log)> apply;
    std::string message;  // empty: b.txt reads as before
};

std::ostream& operator<<(std::ostream& out, const LogChange& change) {
    return out << change.name;
}

class LogChangedDuringWalk : public InUse, public testing::WithParamInterface<LogChange> {};

TEST_P(LogChangedDuringWalk, OnlyThatFileIsAffected) {
    const fs::path log = writer->LogPath(items.b);
    const Host host = WalkChanging("$/P/b.txt", [&] { GetParam().apply(log); });
    if (GetParam().message.empty()) {
        ExpectOnlyFailures(host, {});
        EXPECT_EQ(host.rows, baseline);
        return;
    }
    ExpectOnlyFailures(host, {{"$/P/b.txt", GetParam().message}});
    EXPECT_NE(host.failures.at("$/P/b.txt").find(log.string()), std::string::npos)
        << "the message names the file";
    EXPECT_EQ(host.rows, Without({"$/P/b.txt"}));
}

INSTANTIATE_TEST_SUITE_P(
    Changes, LogChangedDuringWalk,
    testing::Values(
        LogChange{"Truncated", [](const fs::path& log) { vsstest::TruncateFile(log, 100); },
                  "runs past the end of the file"},
        LogChange{"Emptied", [](const fs::path& log) { vsstest::TruncateFile(log, 0); },
                  "too short for an item file"},
        LogChange{"CutInsideTheNewestVersion",
                  [](const fs::path& log) { vsstest::TruncateFile(log, fs::file_size(log) - 20); },
                  "cut short"},
        LogChange{"GrownWithGarbage",
                  [](const fs::path& log) {
                      std::string bytes = vsstest::ReadWholeFile(log);
                      bytes.append(4000, '\xA5');
                      vsstest::WriteWholeFile(log, bytes);
                  },
                  ""},
        LogChange{"ReplacedByGarbage",
                  [](const fs::path& log) {
                      vsstest::WriteWholeFile(log, std::string(fs::file_size(log), 'x'));
                  },
                  "not a SourceSafe item file"},
        LogChange{"Deleted", [](const fs::path& log) { fs::remove(log); }, "file not found"},
        LogChange{"ReplacedByAFolder",
                  [](const fs::path& log) {
                      fs::remove(log);
                      fs::create_directory(log);
                  },
                  "not a regular file"},
        LogChange{"ReplacedByAFifo",
                  [](const fs::path& log) {
                      fs::remove(log);
                      ASSERT_EQ(mkfifo(log.c_str(), 0644), 0);
                  },
                  "not a regular file"},
        LogChange{"LetterFolderVanished",
                  [](const fs::path& log) {
                      fs::rename(log.parent_path(), log.parent_path() += "-gone");
                  },
                  "not found"}),
    [](const testing::TestParamInfo<LogChange>& info) { return info.param.name; });

// Changes to the child list of Q just before the walk reads it: Q is reported, with what
// is below it; its siblings and everything after are exported.
struct ListChange {
    std::string name;
    std::function<void(const fs::path& list)> apply;
    std::string message;
};

std::ostream& operator<<(std::ostream& out, const ListChange& change) {
    return out << change.name;
}

class ChildListChangedDuringWalk : public InUse, public testing::WithParamInterface<ListChange> {};

TEST_P(ChildListChangedDuringWalk, OnlyThatProjectIsAffected) {
    const fs::path list = writer->DataPath(items.q);
    const Host host = WalkChanging("$/P/Q", [&] { GetParam().apply(list); });
    ExpectOnlyFailures(host, {{"$/P/Q", GetParam().message}});
    EXPECT_EQ(host.rows, Without({"$/P/Q"}));
}

INSTANTIATE_TEST_SUITE_P(
    Changes, ChildListChangedDuringWalk,
    testing::Values(ListChange{"CutInsideAnEntry",
                               [](const fs::path& list) {
                                   vsstest::TruncateFile(list, fs::file_size(list) - 7);
                               },
                               "its project counts"},
                    ListChange{"GrownWithGarbage",
                               [](const fs::path& list) {
                                   std::string bytes = vsstest::ReadWholeFile(list);
                                   bytes.append(100, '\x5A');
                                   vsstest::WriteWholeFile(list, bytes);
                               },
                               "its project counts"},
                    ListChange{"ReplacedByGarbage",
                               [](const fs::path& list) {
                                   vsstest::WriteWholeFile(
                                       list, std::string(fs::file_size(list), '\x01'));
                               },
                               "runs past the end of the file"},
                    ListChange{"Deleted", [](const fs::path& list) { fs::remove(list); },
                               "file not found"}),
    [](const testing::TestParamInfo<ListChange>& info) { return info.param.name; });

TEST_F(InUse, LogThatBecomesUnreadableIsReported) {
    const fs::path log = writer->LogPath(items.b);
    std::optional<varnotte::test::AsOrdinaryUser> user;
    user.emplace();
    const Host host = WalkChanging("$/P/b.txt", [&] {
        user.reset();  // the other client may change permissions; the walk may not
        fs::permissions(log, fs::perms::none);
        user.emplace();
    });
    ExpectOnlyFailures(host, {{"$/P/b.txt", "Permission denied"}});
    EXPECT_EQ(host.rows, Without({"$/P/b.txt"}));
}

// Read before its folder was ever listed, a project whose list is gone is no empty
// project when its header counts children.
TEST_F(InUse, MissingChildListOfAProjectWithChildrenIsAnError) {
    fs::remove(writer->DataPath(items.q));
    IVSSDatabase db;
    ASSERT_EQ(CreateInstance(CLSID_VSSDatabase, CLSCTX_ALL_SERVERS, IID_IVSSDatabase6, db), S_OK);
    db.Open(writer->IniPath().string(), "Admin", "");
    try {
        db.VSSItem("$/P/Q").Items();
        FAIL() << "the missing list went unnoticed";
    } catch (const VssError& error) {
        EXPECT_EQ(error.code(), ESS_FILE_CORRUPT);
        EXPECT_NE(std::string(error.what()).find(writer->DataPath(items.q).string()),
                  std::string::npos)
            << error.what();
        EXPECT_NE(std::string(error.what()).find("child list missing"), std::string::npos);
    }
}

TEST_F(InUse, DataFolderThatVanishesFailsWhatIsLeftAndTheWalkEnds) {
    const fs::path data = writer->DataFolderPath();
    const Host host = WalkChanging("$/P/Q", [&] { fs::rename(data, data.string() + "-gone"); });
    ExpectOnlyFailures(host, {{"$/P/Q", "not found"}, {"$/z.txt", "not found"}});
    EXPECT_EQ(host.rows, Without({"$/P/Q", "$/z.txt"}));
}

// Another client's complete changes, file by file as it writes them, made just before
// the walk reaches the item concerned: that item is read in its new state.
TEST_F(InUse, FileCheckedInMeanwhileGivesItsNewVersions) {
    const fs::path later = WriteLater(Later::kCheckIn);
    const Host expected = Walk(later);
    const Host host = WalkChanging("$/P/b.txt", [&] { Become(dir / "db", later); });
    ExpectOnlyFailures(host, {});
    EXPECT_EQ(host.rows, Replaced(baseline, "$/P/b.txt", expected.rows));
    EXPECT_NE(host.rows, baseline);
}

TEST_F(InUse, FileAddedMeanwhileWithALongNameIsExported) {
    const fs::path later = WriteLater(Later::kAddFile);
    const Host expected = Walk(later);
    const Host host = WalkChanging("$/P/Q", [&] { Become(dir / "db", later); });
    ExpectOnlyFailures(host, {});
    EXPECT_EQ(host.rows, Replaced(baseline, "$/P/Q", expected.rows));
    EXPECT_NE(std::find(host.visited.begin(), host.visited.end(), "$/P/Q/" + kLongName),
              host.visited.end());
}

// The walk already holds P's list, which still names b.txt: b.txt is reported as gone,
// not exported from a mix of states.
TEST_F(InUse, FileDestroyedMeanwhileIsReported) {
    const fs::path later = WriteLater(Later::kDestroyFile);
    const Host host = WalkChanging("$/P/b.txt", [&] { Become(dir / "db", later); });
    ExpectOnlyFailures(host, {{"$/P/b.txt", "file not found"}});
    EXPECT_EQ(host.rows, Without({"$/P/b.txt"}));
}

// A client writes a new version record first and points the log's header at it last; a
// walk in between sees the file as it was.
TEST_F(InUse, NewVersionNotYetInTheHeaderIsNotSeen) {
    const fs::path later = WriteLater(Later::kCheckIn);
    const std::string now = vsstest::ReadWholeFile(writer->LogPath(items.b));
    const fs::path laterLog = later / fs::relative(writer->LogPath(items.b), dir / "db");
    const std::string grown = vsstest::ReadWholeFile(laterLog);
    ASSERT_GT(grown.size(), now.size());
    const Host host = WalkChanging("$/P/b.txt", [&] {
        vsstest::WriteWholeFile(writer->LogPath(items.b), now + grown.substr(now.size()));
    });
    ExpectOnlyFailures(host, {});
    EXPECT_EQ(host.rows, baseline);
}

// What the reader remembers lasts one walk: the next one reads the files as they are.
TEST_F(InUse, NextWalkSeesWhatChangedSinceTheLast) {
    IVSSDatabase db;
    ASSERT_EQ(CreateInstance(CLSID_VSSDatabase, CLSCTX_ALL_SERVERS, IID_IVSSDatabase6, db), S_OK);
    db.Open(writer->IniPath().string(), "Admin", "");
    // Exports, as they read the version numbers too.
    const int firstExpand = 0, running = 1, confirmed = 1, history = 0;
    const varnotte::WalkFlags flags{firstExpand, running, confirmed, history};
    Host before;
    varnotte::SubtreeWalk(db, flags, before).ExpandProject(nullptr, "$/P");
    varnotte::SubtreeWalk(db, flags, before).ExpandProject(nullptr, "$/P/Q");
    ASSERT_TRUE(before.failures.empty());

    Become(dir / "db", WriteLater(Later::kCheckInAndAddFile));
    Host host;
    varnotte::SubtreeWalk(db, flags, host).ExpandProject(nullptr, "$/P");
    ExpectOnlyFailures(host, {});
    EXPECT_EQ(host.rows, (std::vector<std::string>{
                             R"("$/P/a.txt","2")",
                             R"("$/P/b.txt","3")",
                             R"("$/P/Q","4")",
                             "\"$/P/Q/" + kLongName + "\",\"1\"",
                             R"("$/P/Q/q1.txt","1")",
                             R"("$/P/Q/q2.txt","1")",
                         }));
}

}  // namespace
