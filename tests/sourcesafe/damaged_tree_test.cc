// Child lists damaged so that the project tree is no tree any more: a project listed below
// itself, the root listed as a subproject, one project in two places, two projects of one
// name, two entries that lead to one spec. An export must end, visit each item once and
// report the damage; its content check, rebuilding files ahead of such a walk on threads,
// must find what a check of one file at a time finds, in the same order.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "export/content_facts.h"
#include "export/subtree_walk.h"
#include "sourcesafe/vss_database.h"
#include "testing/damage.h"
#include "testing/database_writer.h"
#include "testing/file_io.h"
#include "tests/support/temp_dir.h"
#include "vssdb/name_format.h"
#include "vssdb/project_entry_format.h"
#include "vssdb/record_format.h"

namespace {

namespace fs = std::filesystem;
namespace pe = vssdb::project_entry_format;
namespace rf = vssdb::record_format;
using vsstest::DatabaseWriter;
using vsstest::ItemId;

class CollectingHost : public varnotte::WalkHost {
  public:
    explicit CollectingHost(varnotte::ContentFactsCache* content = nullptr) : content_(content) {}

    void ChildrenRead(const sourcesafe::IVSSItem& project,
                      const sourcesafe::IVSSItems& children) override {
        if (content_ != nullptr) {
            content_->Ahead(project, children);
        }
    }
    Node AddProjectNode(Node, const sourcesafe::IVSSItem&) override { return nullptr; }
    // With a content check, what it finds of each file: its versions' sizes and kinds of
    // content, the data files restored, and the damage.
    void AddFileNode(Node, const sourcesafe::IVSSItem& file) override {
        if (content_ == nullptr) {
            return;
        }
        const varnotte::ContentFacts& facts = content_->Of(file);
        std::string found = file.Spec() + ":";
        for (const auto& [version, content] : facts.versions) {
            found += " " + std::to_string(version) + "=" + std::to_string(content.size) + " " +
                     std::string(content.contentType);
        }
        for (const std::string& data : facts.restoredDataFiles) {
            found += " restored " + fs::path(data).filename().string();
        }
        if (facts.error) {
            found += std::string(" damaged: ") + facts.error->what();
        }
        content.push_back(found);
        content_->Forget(file.Physical());
    }
    void ShowStatus(const std::string&) override {}
    void AddRow(std::string row) override { rows.push_back(std::move(row)); }
    void ItemFailed(const std::string& spec, const sourcesafe::VssError& error) override {
        failures.push_back(spec + ": " + error.what());
    }
    void ItemDamaged(const std::string& spec, const varnotte::ItemDamage& damage) override {
        damages.push_back(spec + ": " + damage.Message());
    }

    // The spec of every row, in order.
    std::vector<std::string> Specs() const {
        std::vector<std::string> specs;
        for (const std::string& row : rows) {
            specs.push_back(row.substr(1, row.find('"', 1) - 1));
        }
        return specs;
    }

    std::vector<std::string> rows;
    std::vector<std::string> failures;
    std::vector<std::string> damages;
    std::vector<std::string> content;

  private:
    varnotte::ContentFactsCache* content_;
};

// The rows and failures of a confirmed export of the whole database, and with `content`
// what checking the content finds.
CollectingHost ExportWhole(const DatabaseWriter& writer,
                           varnotte::ContentFactsCache* content = nullptr) {
    sourcesafe::IVSSDatabase db;
    EXPECT_EQ(
        sourcesafe::CreateInstance(sourcesafe::CLSID_VSSDatabase, sourcesafe::CLSCTX_ALL_SERVERS,
                                   sourcesafe::IID_IVSSDatabase6, db),
        sourcesafe::S_OK);
    db.Open(writer.IniPath().string(), "Admin", "");
    const int firstExpand = 0, running = 1, confirmed = 1, history = 0;
    const varnotte::WalkFlags flags{firstExpand, running, confirmed, history};
    CollectingHost host(content);
    varnotte::SubtreeWalk(db, flags, host).ExpandProject(nullptr, "$/");
    return host;
}

// root: P (Sub1, Sub2 (Deep)), R (Other)
struct Tree {
    ItemId p, sub1, sub2, deep, r, other;
};

// Overwrites `bytes` at `field` of the entry for `child` in `project`'s child list.
void PatchEntry(const DatabaseWriter& writer, ItemId project, ItemId child, std::size_t field,
                std::string_view bytes) {
    vsstest::PatchChildEntry(writer.DataPath(project), writer.PhysicalName(child), field, bytes);
}

struct Damage {
    std::string name;
    std::function<void(const DatabaseWriter&, const Tree&)> apply;
    std::string failedSpec;
    std::string message;
    std::vector<std::string> projectRows;  // in walk order; the files' rows left out
};

std::ostream& operator<<(std::ostream& out, const Damage& damage) {
    return out << damage.name;
}

class DamagedTree : public testing::TestWithParam<Damage> {};

TEST_P(DamagedTree, ExportEndsAndReportsTheDamage) {
    varnotte::test::TempDir dir;
    DatabaseWriter writer(dir.path());
    Tree tree;
    tree.p = writer.AddProject(writer.Root(), "P");
    tree.sub1 = writer.AddProject(tree.p, "Sub1");
    tree.sub2 = writer.AddProject(tree.p, "Sub2");
    tree.deep = writer.AddProject(tree.sub2, "Deep");
    tree.r = writer.AddProject(writer.Root(), "R");
    tree.other = writer.AddProject(tree.r, "Other");
    // Files before and after the subprojects of every list, of two versions each; the first
    // of each list is large, so that the threads mostly start on the others while the walk
    // rebuilds it.
    std::vector<ItemId> files;
    for (const ItemId project : {tree.p, tree.sub1, tree.sub2, tree.deep, tree.r, tree.other}) {
        for (const std::string name : {"a.txt", "m.txt", "t.txt"}) {
            const std::string text = name + " of " + std::to_string(project) +
                                     std::string(name == "a.txt" ? 300000 : 0, 'x');
            files.push_back(writer.AddFile(project, name, {}, false, text + "\r\n"));
            writer.CheckIn(files.back(), {}, {}, text + "\r\nchanged\r\n");
        }
    }
    writer.Write();
    vsstest::PatchBytes(writer.DataPath(files[5]), 0, "#");  // $/P/Sub1/t.txt
    const std::string copied = vsstest::ReadWholeFile(writer.DataPath(files[9]));
    vsstest::WriteWholeFile(writer.DataPath(files[9]),  // $/P/Sub2/Deep/a.txt, in text mode
                            copied.substr(0, copied.find('\r')) + "\nchanged\n");
    GetParam().apply(writer, tree);

    const CollectingHost host = ExportWhole(writer);
    const std::vector<std::string> specs = host.Specs();
    std::vector<std::string> projectRows;
    std::copy_if(specs.begin(), specs.end(), std::back_inserter(projectRows),
                 [](const std::string& spec) { return !spec.ends_with(".txt"); });
    EXPECT_EQ(projectRows, GetParam().projectRows);
    ASSERT_EQ(host.failures.size(), 1u) << testing::PrintToString(host.failures);
    EXPECT_EQ(host.failures[0].rfind(GetParam().failedSpec + ": ", 0), 0u) << host.failures[0];
    EXPECT_NE(host.failures[0].find(GetParam().message), std::string::npos) << host.failures[0];

    varnotte::ContentFactsCache oneByOne(varnotte::ContentFactsCache::Types::kEveryVersion, 0);
    const std::vector<std::string> found = ExportWhole(writer, &oneByOne).content;
    EXPECT_EQ(std::count_if(found.begin(), found.end(),
                            [](const std::string& file) {
                                return file.starts_with("$/P/Sub1/t.txt: damaged: ") &&
                                       file.find("does not match the checksum") !=
                                           std::string::npos;
                            }),
              1)
        << testing::PrintToString(found);
    EXPECT_EQ(std::count_if(found.begin(), found.end(),
                            [](const std::string& file) {
                                return file.find(" restored ") != std::string::npos;
                            }),
              std::count(projectRows.begin(), projectRows.end(), "$/P/Sub2/Deep"))
        << testing::PrintToString(found);
    for (const unsigned threads : {1U, 3U}) {
        varnotte::ContentFactsCache ahead(varnotte::ContentFactsCache::Types::kEveryVersion,
                                          threads);
        EXPECT_EQ(ExportWhole(writer, &ahead).content, found) << threads << " thread(s)";
    }
}

std::string Physical(const DatabaseWriter& writer, ItemId item) {
    return writer.PhysicalName(item);
}

INSTANTIATE_TEST_SUITE_P(
    Lists, DamagedTree,
    testing::Values(Damage{"ProjectBelowItself",
                           [](const DatabaseWriter& w, const Tree& t) {
                               PatchEntry(w, t.sub2, t.deep, pe::kPhysical, Physical(w, t.p));
                           },
                           "$/P/Sub2/Deep",
                           "listed in two places, $/P and $/P/Sub2/Deep",
                           {"$/P", "$/P/Sub1", "$/P/Sub2", "$/R", "$/R/Other"}},
                    Damage{"RootAsASubproject",
                           [](const DatabaseWriter& w, const Tree& t) {
                               PatchEntry(w, t.r, t.other, pe::kPhysical, "AAAAAAAA");
                           },
                           "$/R/Other",
                           "listed in two places, $/ and $/R/Other",
                           {"$/P", "$/P/Sub1", "$/P/Sub2", "$/P/Sub2/Deep", "$/R"}},
                    Damage{"OneProjectInTwoPlaces",
                           [](const DatabaseWriter& w, const Tree& t) {
                               PatchEntry(w, t.r, t.other, pe::kPhysical, Physical(w, t.sub2));
                           },
                           "$/R/Other",
                           "listed in two places, $/P/Sub2 and $/R/Other",
                           {"$/P", "$/P/Sub1", "$/P/Sub2", "$/P/Sub2/Deep", "$/R"}},
                    Damage{"TwoProjectsOfOneName",
                           [](const DatabaseWriter& w, const Tree& t) {
                               PatchEntry(w, t.p, t.sub2,
                                          pe::kName + vssdb::name_format::kShortNameOffset,
                                          std::string_view("Sub1\0", 5));
                           },
                           "$/P/Sub1",
                           "listed more than once",
                           {"$/P", "$/P/Sub1", "$/R", "$/R/Other"}}),
    [](const testing::TestParamInfo<Damage>& info) { return info.param.name; });

// Entries that a spec cannot tell apart: a second file of one name, and a name left empty,
// which makes the entry's spec its project's. Each is reported once; nothing is written
// twice and the rest is exported.
TEST(DamagedList, EntriesThatLeadToTheSameSpecAreReportedOnce) {
    varnotte::test::TempDir dir;
    DatabaseWriter writer(dir.path());
    const ItemId p = writer.AddProject(writer.Root(), "P");
    writer.AddFile(p, "a.txt");
    const ItemId b = writer.AddFile(p, "b.txt");
    const ItemId sub = writer.AddProject(p, "Sub");
    writer.AddFile(sub, "c.txt");
    const ItemId q = writer.AddProject(writer.Root(), "Q");
    writer.Write();
    const std::size_t shortName = pe::kName + vssdb::name_format::kShortNameOffset;
    PatchEntry(writer, p, b, shortName, std::string_view("a.txt\0", 6));
    PatchEntry(writer, writer.Root(), q, shortName, std::string_view("\0", 1));

    const CollectingHost host = ExportWhole(writer);
    EXPECT_EQ(host.Specs(),
              (std::vector<std::string>{"$/P", "$/P/a.txt", "$/P/Sub", "$/P/Sub/c.txt"}));
    ASSERT_EQ(host.failures.size(), 2u) << testing::PrintToString(host.failures);
    EXPECT_EQ(host.failures[0].rfind("$/P/a.txt: ", 0), 0u) << host.failures[0];
    EXPECT_NE(host.failures[0].find("listed more than once"), std::string::npos);
    EXPECT_NE(host.failures[1].find("listed more than once"), std::string::npos)
        << host.failures[1];
}

// A damaged names.dat record spoils the name of the item that points at it, and nothing
// else: that item is exported under the short form its entry stores, and reported.
TEST(DamagedList, DamagedNameRecordSpoilsOnlyItsItem) {
    varnotte::test::TempDir dir;
    DatabaseWriter writer(dir.path());
    const ItemId p = writer.AddProject(writer.Root(), "P");
    const std::string longName = "a name far too long for the short name field.txt";
    writer.AddFile(p, "before.txt");
    writer.AddFile(p, longName);
    writer.AddFile(p, "after.txt");
    writer.Write();
    const fs::path names = writer.DataFolderPath() / "names.dat";
    const std::string bytes = vsstest::ReadWholeFile(names);
    const std::size_t at = bytes.find(longName);
    ASSERT_NE(at, std::string::npos);
    vsstest::PatchBytes(names, at, "A");  // the record's checksum no longer holds

    const CollectingHost host = ExportWhole(writer);
    // The short field: spaces as '_', cut to 33 bytes.
    const std::string shortSpec = "$/P/a_name_far_too_long_for_the_short";
    EXPECT_EQ(host.Specs(),
              (std::vector<std::string>{"$/P", shortSpec, "$/P/after.txt", "$/P/before.txt"}));
    EXPECT_TRUE(host.failures.empty()) << testing::PrintToString(host.failures);
    ASSERT_EQ(host.damages.size(), 1u) << testing::PrintToString(host.damages);
    EXPECT_EQ(host.damages[0].rfind(shortSpec + ": ", 0), 0u) << host.damages[0];
    EXPECT_NE(host.damages[0].find("names.dat"), std::string::npos) << host.damages[0];
    EXPECT_NE(host.damages[0].find("may have had spaces (shown as _), may be cut"),
              std::string::npos)
        << host.damages[0];
}

}  // namespace
