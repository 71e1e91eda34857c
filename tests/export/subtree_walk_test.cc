// The shared walk: what it visits, in which order, and when it stops.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "export/subtree_walk.h"
#include "sourcesafe/vss_database.h"
#include "tests/support/csv_parse.h"
#include "tests/support/fixtures.h"

namespace {

namespace fs = std::filesystem;
using namespace sourcesafe;
using varnotte::SubtreeWalk;
using varnotte::WalkFlags;
using varnotte::WalkHost;

// Records nodes as "parent path/name" and keeps rows, statuses and failures.
class RecordingHost : public WalkHost {
  public:
    std::vector<std::string> nodes;
    std::vector<std::string> rows;
    std::vector<std::string> statuses;
    std::vector<std::string> failures;
    std::vector<std::string> damages;
    int eventRounds = 0;
    std::function<void()> onEvents;

    void ProcessEvents() override {
        ++eventRounds;
        if (onEvents) {
            onEvents();
        }
    }
    Node AddProjectNode(Node parent, const IVSSItem& project) override {
        return Add(parent, project.Name() + "/");
    }
    void AddFileNode(Node parent, const IVSSItem& file) override { Add(parent, file.Name()); }
    void ShowStatus(const std::string& spec) override { statuses.push_back(spec); }
    void AddRow(std::string row) override { rows.push_back(std::move(row)); }
    void ItemFailed(const std::string& spec, const VssError& error) override {
        failures.push_back(spec + ": " + error.what());
    }
    void ItemDamaged(const std::string& spec, const varnotte::ItemDamage& damage) override {
        damages.push_back(spec + ": " + damage.Message());
    }

  private:
    Node Add(Node parent, const std::string& name) {
        const std::string path =
            (parent == nullptr ? std::string("<top>/") : *static_cast<std::string*>(parent)) + name;
        nodes.push_back(path);
        storage_.push_back(std::make_unique<std::string>(path));
        return storage_.back().get();
    }
    std::vector<std::unique_ptr<std::string>> storage_;
};

struct Flags {
    int firstExpand = 0;
    int exportRunning = 1;
    int exportConfirmed = 1;
    int history = 0;
    WalkFlags view() const {
        return WalkFlags{firstExpand, exportRunning, exportConfirmed, history};
    }
};

class WalkOnFixture : public testing::Test {
  protected:
    // Tests start with VARNOTTE_REQUIRE_FIXTURE, which skips (or fails under CI) the whole
    // test when the folder is missing; a skip inside a helper would only leave the helper.
    void Open(const fs::path& fixture) {
        ASSERT_EQ(CreateInstance(CLSID_VSSDatabase, CLSCTX_ALL_SERVERS, IID_IVSSDatabase6, db),
                  S_OK);
        db.Open((fixture / "srcsafe.ini").string(), "Admin", "");
    }
    bool Expand(const std::string& nodePath) {
        const WalkFlags view = flags.view();
        return SubtreeWalk(db, view, host).ExpandProject(nullptr, nodePath);
    }

    IVSSDatabase db;
    Flags flags;
    RecordingHost host;
};

TEST_F(WalkOnFixture, ConfirmedExportVisitsEverythingInPreOrderWithoutTheStartingNode) {
    VARNOTTE_REQUIRE_FIXTURE(fixture, "small-edits");
    Open(fixture);
    flags.history = 1;
    EXPECT_TRUE(Expand("$/"));
    EXPECT_EQ(
        host.rows,
        (std::vector<std::string>{
            R"("$/esign-java-authenticator","3")",
            R"("$/esign-java-authenticator/clingBling.txt","3","Johnson","Checked in $/esign-java-authenticator","2023/05/09 19:46:16","I want to make changes")",
            R"("$/esign-java-authenticator/clingBling.txt","2","johns","Checked in $/esign-java-authenticator","2023/05/05 11:35:50","I am going to make changes to ClingBling")",
            R"("$/esign-java-authenticator/clingBling.txt","1","johns","Created","2023/05/05 11:35:17","Adding ClingBling")",
            R"("$/esign-java-authenticator/clingBling.txt","3")",
            R"("$/esign-java-authenticator/Le.txt","2","johns","Checked in $/esign-java-authenticator","2023/05/05 11:34:15","To make initial changes")",
            R"("$/esign-java-authenticator/Le.txt","1","johns","Created","2023/05/05 11:31:49","Addin text file")",
            R"("$/esign-java-authenticator/Le.txt","2")",
        }));
    EXPECT_EQ(host.nodes, (std::vector<std::string>{"<top>/esign-java-authenticator/",
                                                    "<top>/esign-java-authenticator/clingBling.txt",
                                                    "<top>/esign-java-authenticator/Le.txt"}));
    EXPECT_EQ(host.statuses.back(), "$/esign-java-authenticator/Le.txt");
    EXPECT_EQ(host.eventRounds, 3) << "events are processed once per visited item";
    EXPECT_TRUE(host.failures.empty());
}

TEST_F(WalkOnFixture, PlainExpansionLoadsOneLevelAndGathersNoRows) {
    VARNOTTE_REQUIRE_FIXTURE(fixture, "shares-deletes");
    Open(fixture);
    flags.exportConfirmed = 0;
    flags.history = 1;  // ticked, and still no file's history is read for a plain expansion
    EXPECT_TRUE(Expand("$/Invetory Shaili"));
    ASSERT_EQ(host.nodes.size(), 40u);
    for (const std::string& node : host.nodes) {
        const std::string name = node.substr(std::string("<top>/").size());
        const std::size_t slash = name.find('/');
        EXPECT_TRUE(slash == std::string::npos || slash + 1 == name.size())
            << node << " is not a direct child";
    }
    EXPECT_TRUE(host.rows.empty());
}

TEST_F(WalkOnFixture, FirstExpansionLoadsOneLevelEvenWhenNothingRuns) {
    VARNOTTE_REQUIRE_FIXTURE(fixture, "shares-deletes");
    Open(fixture);
    flags.firstExpand = 1;
    flags.exportRunning = 0;
    flags.exportConfirmed = 0;
    EXPECT_TRUE(Expand("$/"));
    EXPECT_EQ(host.nodes, std::vector<std::string>{"<top>/Invetory Shaili/"});
}

TEST_F(WalkOnFixture, ProjectOfFilesOnlyReportsNoSubprojects) {
    VARNOTTE_REQUIRE_FIXTURE(fixture, "small-edits");
    Open(fixture);
    flags.exportConfirmed = 0;
    EXPECT_FALSE(Expand("$/esign-java-authenticator"));
    EXPECT_EQ(host.nodes.size(), 2u);
}

TEST_F(WalkOnFixture, StopEndsTheWalkAndKeepsWhatWasCollected) {
    VARNOTTE_REQUIRE_FIXTURE(fixture, "shares-deletes");
    Open(fixture);
    host.onEvents = [&] {
        if (host.eventRounds == 25) {
            flags.exportRunning = 0;
        }
    };
    Expand("$/");
    // The item whose event round saw Stop is still finished; nothing after it is visited.
    EXPECT_EQ(host.rows.size(), 25u);
    EXPECT_EQ(host.nodes.size(), 25u);
    EXPECT_EQ(host.eventRounds, 25);
}

TEST_F(WalkOnFixture, HistoryGivesEachFilesVersionsBeforeItsOwnRow) {
    VARNOTTE_REQUIRE_FIXTURE(fixture, "edits-comments");
    Open(fixture);
    flags.history = 1;
    Expand("$/");
    std::string pendingSpec;
    int pendingVersions = 0;
    int files = 0;
    for (const std::string& row : host.rows) {
        const varnotte::test::CsvRecord fields = varnotte::test::ParseCsvRow(row);
        ASSERT_TRUE(fields.size() == 2 || fields.size() == 6) << row;
        if (fields.size() == 6) {
            EXPECT_TRUE(pendingVersions == 0 || fields[0] == pendingSpec) << row;
            pendingSpec = fields[0];
            ++pendingVersions;
            continue;
        }
        if (pendingVersions > 0) {
            // The file's own row closes exactly VersionNumber version rows of that file.
            EXPECT_EQ(fields[0], pendingSpec);
            EXPECT_EQ(std::stoi(fields[1]), pendingVersions) << row;
            ++files;
        }
        pendingVersions = 0;
    }
    // 52 of them need the names.dat this database lacks: exported under their short forms,
    // and reported.
    EXPECT_EQ(files, 84);
    EXPECT_TRUE(host.failures.empty()) << testing::PrintToString(host.failures);
    EXPECT_EQ(host.damages.size(), 52u);
}

}  // namespace
