// Cases no real database shows, on databases written for the test: branches, pins,
// moves, renames, labels, long and non-ASCII names, and the action texts.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "sourcesafe/vss_database.h"
#include "sourcesafe/vss_error.h"
#include "testing/damage.h"
#include "testing/database_writer.h"
#include "tests/support/temp_dir.h"
#include "vssdb/name_format.h"
#include "vssdb/record_format.h"
#include "vssdb/revision_format.h"

namespace {

using namespace sourcesafe;
using vsstest::DatabaseWriter;
using vsstest::ItemId;
using vsstest::Stamp;

struct VersionLine {
    int number;
    std::string action;
    std::string comment;
    bool operator==(const VersionLine&) const = default;
};

std::ostream& operator<<(std::ostream& out, const VersionLine& line) {
    return out << line.number << " " << line.action << " [" << line.comment << "]";
}

// Every item below `project` (deleted ones too) whose log disagrees with its entry, with
// what it says.
void Disagreements(const IVSSItem& project, std::vector<std::string>& found) {
    const IVSSItems children = project.Items(true);
    for (int i = 1; i <= children.Count(); ++i) {
        const IVSSItem child = children.Item(i);
        if (const auto why = child.EntryDisagreement()) {
            found.push_back(child.Spec() + ": " + why->Text());
        }
        if (child.Type() == VSSITEM_PROJECT) {
            Disagreements(child, found);
        }
    }
}

std::vector<VersionLine> History(const IVSSItem& item) {
    std::vector<VersionLine> lines;
    auto versions = item.Versions().NewEnum();
    IVSSVersion version;
    while (versions.Next(version)) {
        lines.push_back({version.VersionNumber(), version.Action(), version.Comment()});
    }
    return lines;
}

Stamp At(std::uint32_t time, std::string comment = {}, std::string user = "Admin") {
    return Stamp{std::move(user), time, std::move(comment)};
}

class WrittenDatabase : public testing::Test {
  protected:
    IVSSDatabase Open(const std::string& user = "Admin", const std::string& password = "",
                      int codePage = 0) {
        return OpenWritten(writer, user, password, codePage);
    }
    static IVSSDatabase OpenWritten(DatabaseWriter& written, const std::string& user = "Admin",
                                    const std::string& password = "", int codePage = 0) {
        written.Write();
        IVSSDatabase db;
        EXPECT_EQ(CreateInstance(CLSID_VSSDatabase, CLSCTX_ALL_SERVERS, IID_IVSSDatabase6, db),
                  S_OK);
        OpenSettings settings;
        settings.codePage = codePage;
        db.Open(written.IniPath().string(), user, password, settings);
        return db;
    }

    varnotte::test::TempDir dir;
    DatabaseWriter writer{dir.path()};
};

TEST_F(WrittenDatabase, ProjectHistoryNamesWhatWasDone) {
    const ItemId a = writer.AddProject(writer.Root(), "A", At(1000));
    const ItemId b = writer.AddProject(writer.Root(), "B", At(1100));
    const ItemId sub = writer.AddProject(a, "Sub Project", At(1200));
    const ItemId file = writer.AddFile(a, "read me.txt", At(1300, "first"));
    const ItemId other = writer.AddFile(a, "other.txt", At(1400));
    writer.Delete(a, other, At(1500));
    writer.Recover(a, other, At(1600));
    writer.Rename(a, other, "renamed.txt", At(1700));
    writer.Delete(a, other, At(1800));
    writer.Destroy(a, other, At(1900));
    writer.Share(file, b, At(2000));
    writer.Label(a, "release 1", At(2100), "label note");
    writer.Move(sub, b, At(2200));
    // Subprojects are named with "$" in every action, files never.
    const ItemId c = writer.AddProject(writer.Root(), "C", At(3000));
    const ItemId old = writer.AddProject(c, "Old", At(3100));
    const ItemId brief = writer.AddProject(c, "Brief", At(3200));
    writer.Delete(c, old, At(3300));
    writer.Recover(c, old, At(3400));
    writer.Rename(c, old, "New Name", At(3500));
    writer.Destroy(c, brief, At(3600));
    writer.Delete(c, old, At(3700));
    writer.Destroy(c, old, At(3800));
    const IVSSDatabase db = Open();
    EXPECT_EQ(History(db.VSSItem("$/C")), (std::vector<VersionLine>{
                                              {9, "Purged $New Name", ""},
                                              {8, "Deleted $New Name", ""},
                                              {7, "Destroyed $Brief", ""},
                                              {6, "Renamed $Old to $New Name", ""},
                                              {5, "Recovered $Old", ""},
                                              {4, "Deleted $Old", ""},
                                              {3, "Added $Brief", ""},
                                              {2, "Added $Old", ""},
                                              {1, "Created", ""},
                                          }));

    EXPECT_EQ(History(db.VSSItem("$/A")), (std::vector<VersionLine>{
                                              {11, "Moved to $/B", ""},
                                              {10, "Labeled 'release 1'", "label note"},
                                              {9, "Purged renamed.txt", ""},
                                              {8, "Deleted renamed.txt", ""},
                                              {7, "Renamed other.txt to renamed.txt", ""},
                                              {6, "Recovered other.txt", ""},
                                              {5, "Deleted other.txt", ""},
                                              {4, "Added other.txt", ""},
                                              {3, "Added read me.txt", ""},
                                              {2, "Added $Sub Project", ""},
                                              {1, "Created", ""},
                                          }));
    const std::vector<VersionLine> bHistory = History(db.VSSItem("$/B"));
    ASSERT_EQ(bHistory.size(), 3u);
    EXPECT_EQ(bHistory[0].action, "Moved from $/A");
    EXPECT_EQ(bHistory[1].action, "Shared $/A/read me.txt");
    // The project moved: it lives below B now, and its spec says so.
    EXPECT_EQ(db.VSSItem("$/B/Sub Project").Spec(), "$/B/Sub Project");
    EXPECT_THROW(db.VSSItem("$/A/Sub Project"), VssError);
    // Project versions count the project's own actions only.
    EXPECT_EQ(db.VSSItem("$/A").VersionNumber(), 11);
    // Renames, moves, shares, deletes and recoveries leave every entry agreeing with its item.
    std::vector<std::string> disagreements;
    Disagreements(db.VSSItem("$/"), disagreements);
    EXPECT_EQ(disagreements, std::vector<std::string>{});
}

// An entry that names another item's files is told by the name that item's log gives it,
// or by its parent records where the names agree; the item is still read.
TEST_F(WrittenDatabase, EntryThatNamesAnotherItemDisagreesWithIt) {
    const ItemId a = writer.AddProject(writer.Root(), "A");
    const ItemId b = writer.AddProject(writer.Root(), "B");
    const ItemId one = writer.AddFile(a, "one.txt");
    const ItemId two = writer.AddFile(a, "two.txt");
    const ItemId alike = writer.AddFile(b, "two.txt");
    const ItemId branched = writer.Branch(a, writer.AddFile(a, "three.txt"));
    writer.Share(branched, b);
    writer.PointEntryAt(a, one, two);
    writer.PointEntryAt(a, two, alike);
    const IVSSDatabase db = Open();
    std::vector<std::string> disagreements;
    Disagreements(db.VSSItem("$/"), disagreements);
    ASSERT_EQ(disagreements.size(), 2u) << testing::PrintToString(disagreements);
    EXPECT_EQ(disagreements[0].rfind("$/A/one.txt: ", 0), 0u) << disagreements[0];
    EXPECT_NE(disagreements[0].find("its header names it \"two.txt\""), std::string::npos);
    EXPECT_EQ(disagreements[1].rfind("$/A/two.txt: ", 0), 0u) << disagreements[1];
    EXPECT_NE(disagreements[1].find("its parent records do not name " + writer.PhysicalName(a)),
              std::string::npos);
    EXPECT_EQ(db.VSSItem("$/A/one.txt").VersionNumber(), 1);
}

TEST_F(WrittenDatabase, SharedFileAppearsInEveryProjectThatHoldsIt) {
    const ItemId a = writer.AddProject(writer.Root(), "A");
    const ItemId b = writer.AddProject(writer.Root(), "B");
    const ItemId file = writer.AddFile(a, "common.h", At(100));
    writer.CheckIn(file, At(200, "two"));
    writer.Share(file, b, At(300));
    writer.CheckIn(file, At(400, "three"));
    const IVSSDatabase db = Open();
    for (const char* spec : {"$/A/common.h", "$/B/common.h"}) {
        const IVSSItem item = db.VSSItem(spec);
        EXPECT_EQ(item.Spec(), spec);
        EXPECT_EQ(item.VersionNumber(), 3);
        EXPECT_EQ(History(item).size(), 3u);
    }
    EXPECT_EQ(db.VSSItem("$/B").Items().Count(), 1);
}

TEST_F(WrittenDatabase, PinnedFileShowsThePinnedVersionThroughThePinningProject) {
    const ItemId a = writer.AddProject(writer.Root(), "A");
    const ItemId b = writer.AddProject(writer.Root(), "B");
    const ItemId file = writer.AddFile(a, "lib.c", At(100, "one"));
    writer.CheckIn(file, At(200, "two"));
    writer.Share(file, b, At(300));
    writer.Pin(b, file, 2, At(400));
    writer.CheckIn(file, At(500, "three"));
    writer.CheckIn(file, At(600, "four"));
    const IVSSDatabase db = Open();

    const IVSSItem pinned = db.VSSItem("$/B/lib.c");
    EXPECT_EQ(pinned.VersionNumber(), 2);
    const std::vector<VersionLine> pinnedHistory = History(pinned);
    ASSERT_EQ(pinnedHistory.size(), 2u);
    EXPECT_EQ(pinnedHistory[0].comment, "two");
    EXPECT_EQ(db.VSSItem("$/B").Items().Item(1).VersionNumber(), 2);

    const IVSSItem free = db.VSSItem("$/A/lib.c");
    EXPECT_EQ(free.VersionNumber(), 4);
    EXPECT_EQ(History(free).size(), 4u);
    EXPECT_EQ(History(db.VSSItem("$/B"))[0].action, "Pinned lib.c to version 2");

    // Getting the file gives the version each place shows, or the one asked for.
    EXPECT_EQ(pinned.Get(), "lib.c version 2\r\n");
    EXPECT_EQ(free.Get(), "lib.c version 4\r\n");
    EXPECT_EQ(free.Get(1), "lib.c version 1\r\n");
    EXPECT_EQ(free.CheckContent().versions, 4);
    for (const auto& get : std::vector<std::function<void()>>{
             [&] { free.Get(5); }, [&] { free.Get(-1); }, [&] { db.VSSItem("$/A").Get(); }}) {
        try {
            get();
            ADD_FAILURE() << "got content that is not there";
        } catch (const VssError& error) {
            EXPECT_EQ(error.code(), DISP_E_BADINDEX_RESULT) << error.what();
        }
    }
}

TEST_F(WrittenDatabase, UnpinLogsItsOwnVersion) {
    const ItemId a = writer.AddProject(writer.Root(), "A");
    const ItemId file = writer.AddFile(a, "lib.c", At(100));
    writer.CheckIn(file, At(200));
    writer.Pin(a, file, 1, At(300));
    writer.Unpin(a, file, At(400));
    const IVSSDatabase db = Open();
    EXPECT_EQ(History(db.VSSItem("$/A"))[0].action, "Unpinned lib.c");
    EXPECT_EQ(db.VSSItem("$/A/lib.c").VersionNumber(), 2);
}

TEST_F(WrittenDatabase, BranchedFileContinuesWithItsSourcesOlderVersions) {
    const ItemId a = writer.AddProject(writer.Root(), "A");
    const ItemId b = writer.AddProject(writer.Root(), "B");
    const ItemId file = writer.AddFile(a, "main.c", At(100, "v1"));
    writer.CheckIn(file, At(200, "v2"));
    writer.CheckIn(file, At(300, "v3"));
    writer.Share(file, b, At(400));
    const ItemId branch = writer.Branch(b, file, At(500, "branching"));
    writer.CheckIn(branch, At(600, "on the branch"));
    writer.CheckIn(file, At(700, "on the trunk"));
    // A branch of the branch: each entry carries its own number.
    const ItemId c = writer.AddProject(writer.Root(), "C");
    writer.Share(branch, c, At(800));
    writer.Branch(c, branch, At(900, "again"));
    const IVSSDatabase db = Open();

    EXPECT_EQ(History(db.VSSItem("$/B/main.c")), (std::vector<VersionLine>{
                                                     {5, "Checked in $/B", "on the branch"},
                                                     {4, "Branched at version 4", "branching"},
                                                     {3, "Checked in $/A", "v3"},
                                                     {2, "Checked in $/A", "v2"},
                                                     {1, "Created", "v1"},
                                                 }));
    EXPECT_EQ(db.VSSItem("$/B/main.c").VersionNumber(), 5);
    EXPECT_EQ(History(db.VSSItem("$/C/main.c")), (std::vector<VersionLine>{
                                                     {6, "Branched at version 6", "again"},
                                                     {5, "Checked in $/B", "on the branch"},
                                                     {4, "Branched at version 4", "branching"},
                                                     {3, "Checked in $/A", "v3"},
                                                     {2, "Checked in $/A", "v2"},
                                                     {1, "Created", "v1"},
                                                 }));
    const std::vector<VersionLine> trunk = History(db.VSSItem("$/A/main.c"));
    ASSERT_EQ(trunk.size(), 4u);
    EXPECT_EQ(trunk[0].comment, "on the trunk");
    EXPECT_EQ(History(db.VSSItem("$/B"))[0].action, "Branched main.c");
}

TEST_F(WrittenDatabase, LongNamesOfProjectsAndFiles) {
    const std::string longProject = "A project name far longer than thirty-three bytes";
    const ItemId p = writer.AddProject(writer.Root(), longProject);
    writer.AddFile(p, "file.name.without.spaces.but.too.long.cs");
    writer.AddProject(writer.Root(), ".idea");
    const IVSSDatabase db = Open();
    const IVSSItem project = db.VSSItem("$/" + longProject);
    EXPECT_EQ(project.Name(), longProject);
    const IVSSItems children = project.Items();
    ASSERT_EQ(children.Count(), 1);
    EXPECT_EQ(children.Item(1).Name(), "file.name.without.spaces.but.too.long.cs");
    EXPECT_EQ(db.VSSItem("$/.idea").Name(), ".idea");
}

// A version's name is looked up only where its wording shows it: a damaged name that
// "Created" never shows costs nothing.
TEST_F(WrittenDatabase, DamagedNameThatTheWordingDoesNotShowIsNeverLookedUp) {
    const ItemId file = writer.AddFile(writer.Root(), "a.txt", At(1));
    writer.CheckIn(file, At(2));
    writer.Write();
    const std::filesystem::path log = writer.LogPath(file);
    const std::vector<vsstest::RecordInfo> records = vsstest::ListRecords(log, true);
    const auto created = std::find_if(records.begin(), records.end(), [](const auto& record) {
        return record.signature == vssdb::record_format::kRevision;
    });
    ASSERT_NE(created, records.end());
    vsstest::PatchU32(log,
                      created->offset + vssdb::record_format::kHeaderSize +
                          vssdb::revision_format::kCommonName +
                          vssdb::name_format::kNamesOffsetOffset,
                      0x00FFFFF0);
    vsstest::FixRecordCrc(log, created->offset);
    IVSSDatabase db;
    ASSERT_EQ(CreateInstance(CLSID_VSSDatabase, CLSCTX_ALL_SERVERS, IID_IVSSDatabase6, db), S_OK);
    db.Open(writer.IniPath().string(), "Admin", "");
    EXPECT_EQ(History(db.VSSItem("$/a.txt")),
              (std::vector<VersionLine>{{2, "Checked in $/", ""}, {1, "Created", ""}}));
}

TEST_F(WrittenDatabase, CommentsKeepTheirLineBreaksAsLineFeeds) {
    const ItemId file =
        writer.AddFile(writer.Root(), "a.txt", At(100, "line one\r\nline \"two\"\r\n"));
    (void)file;
    const IVSSDatabase db = Open();
    EXPECT_EQ(History(db.VSSItem("$/a.txt"))[0].comment, "line one\nline \"two\"\n");
}

TEST_F(WrittenDatabase, ShiftJisNamesUsersAndCommentsAreFoundOutAndDecoded) {
    // 設計書 (design document), 田中 (a user), 修正しました (fixed) in Shift-JIS.
    const std::string design = "\x90\xDD\x8C\x76\x8F\x91";
    const std::string tanaka = "\x93\x63\x92\x86";
    const std::string fixed = "\x8F\x43\x90\xB3\x82\xB5\x82\xDC\x82\xB5\x82\xBD";
    writer.AddUser(tanaka, "pw");
    const ItemId project = writer.AddProject(writer.Root(), design, At(100, {}, tanaka));
    const ItemId file = writer.AddFile(project, design + ".doc", At(200, {}, tanaka));
    writer.CheckIn(file, At(300, fixed, tanaka));
    const IVSSDatabase db = Open("田中", "PW");
    EXPECT_EQ(db.CodePage(), 932);
    const IVSSItem item = db.VSSItem("$/設計書/設計書.doc");
    EXPECT_EQ(item.Name(), "設計書.doc");
    auto versions = item.Versions().NewEnum();
    IVSSVersion newest;
    ASSERT_TRUE(versions.Next(newest));
    EXPECT_EQ(newest.Username(), "田中");
    EXPECT_EQ(newest.Comment(), "修正しました");
    EXPECT_EQ(newest.Action(), "Checked in $/設計書");
}

TEST_F(WrittenDatabase, ExplicitCodePageOverridesTheGuess) {
    writer.AddProject(writer.Root(), "\xC4\xE5\xEB\xE0");  // "Дела" in 1251, "Äåëà" in 1252
    EXPECT_EQ(Open("Admin", "", 1252).VSSItem("$/").Items().Item(1).Name(), "Äåëà");
}

TEST_F(WrittenDatabase, UpperCaseFilesFromOldCopies) {
    vsstest::WriterOptions options;
    options.upperCaseFileNames = true;
    DatabaseWriter upper(dir / "upper", options);
    const ItemId a = upper.AddProject(upper.Root(), "Project");
    upper.AddFile(a, "File Name.txt");
    const IVSSDatabase db = OpenWritten(upper);
    EXPECT_EQ(db.VSSItem("$/Project/File Name.txt").VersionNumber(), 1);
}

}  // namespace
