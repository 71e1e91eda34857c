#include "testing/database_writer.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"
#include "tests/testing/written_database.h"
#include "vssdb/item_header_format.h"
#include "vssdb/name_format.h"
#include "vssdb/names_file_format.h"
#include "vssdb/project_entry_format.h"
#include "vssdb/revision_format.h"

namespace vsstest {
namespace {

namespace fs = std::filesystem;
namespace dh = vssdb::item_header_format;
namespace jp = vssdb::project_entry_format;
namespace rv = vssdb::revision_format;
using readback::Log;
using readback::ReadProjectList;
using readback::Revision;
using Action = rv::Action;

std::uint16_t Code(Action action) {
    return static_cast<std::uint16_t>(action);
}

Revision VersionOf(const Log& log, int version) {
    for (const Revision& revision : log.Revisions()) {
        if (revision.version == version) {
            return revision;
        }
    }
    ADD_FAILURE() << "no version " << version;
    return {};
}

std::string NameAt(const Revision& revision, std::size_t offset) {
    return std::string(revision.body.CString(offset + vssdb::name_format::kShortNameOffset,
                                             vssdb::name_format::kShortNameSize));
}

std::string TextAt(const Revision& revision, std::size_t offset, std::size_t size) {
    return std::string(revision.body.CString(offset, size));
}

class DatabaseWriterTest : public ::testing::Test {
  protected:
    fs::path Root() const { return temp_ / "db"; }

    varnotte::test::TempDir temp_;
};

// One database that goes through every action, checked against every rule of the format.
TEST_F(DatabaseWriterTest, EveryActionKeepsTheFormatRules) {
    DatabaseWriter writer(Root());
    const Stamp commented{"Dhaval", 1136200000, "line one\r\nline two"};
    const ItemId alpha = writer.AddProject(writer.Root(), "Alpha", commented);
    const ItemId beta = writer.AddProject(alpha, "Beta Project");
    const ItemId gamma = writer.AddProject(writer.Root(), "Gamma");
    const ItemId readme = writer.AddFile(alpha, "Readme.txt", commented);
    const ItemId first = writer.AddFile(alpha, "Readme First.txt");
    const ItemId binary = writer.AddFile(alpha, "ReadmeA.bin", {}, true);
    const ItemId deep = writer.AddFile(beta, "deep.c");
    for (int i = 0; i < 3; ++i) {
        writer.CheckIn(readme, {"Admin", 1136300000u + i, i == 1 ? "" : "change"});
    }
    writer.CheckIn(binary);
    writer.Share(readme, gamma);
    writer.Pin(gamma, readme, 2);
    writer.Unpin(gamma, readme);
    writer.Pin(gamma, readme, 3);
    writer.Label(alpha, "Release 1", {}, "first release");
    writer.Label(readme, "v1", commented);
    writer.Share(first, gamma);
    const ItemId branched = writer.Branch(gamma, first);
    writer.CheckIn(branched);
    writer.Delete(alpha, binary);
    writer.Recover(alpha, binary);
    writer.Delete(alpha, binary);
    writer.Destroy(alpha, binary);
    writer.Rename(alpha, first, "Readme Second.txt");
    writer.Rename(writer.Root(), gamma, "Gamma Ray");
    writer.Move(beta, gamma);
    writer.CheckIn(deep);
    const ItemId doomed = writer.AddProject(writer.Root(), "Doomed");
    writer.AddFile(doomed, "gone.txt");
    writer.Destroy(writer.Root(), doomed);
    writer.Write();

    EXPECT_EQ(JoinLines(readback::CheckDatabase(writer.DataFolderPath())), "");
}

// What a checked-out file of a real database holds (edits-comments): flags 0x41, the
// checkout record at 0x1A0 as the active one, the version checked out and the count of
// checkouts so far; once checked in, the record keeps who and where but not the version.
TEST_F(DatabaseWriterTest, CheckoutsFillTheCheckoutRecordAsSourceSafeDoes) {
    namespace cf = vssdb::checkout_format;
    DatabaseWriter writer(Root());
    const ItemId p = writer.AddProject(writer.Root(), "p");
    const ItemId never = writer.AddFile(p, "never.txt");
    const ItemId out = writer.AddFile(p, "out.txt");
    const ItemId back = writer.AddFile(p, "back.txt");
    const ItemId again = writer.AddFile(p, "again.txt");
    const Checkout raul{
        {"Raul", 1113494723, "fix the banner"}, "c:\\Projects\\Widgie", "DEV-0000001", {}};
    writer.CheckIn(out);
    writer.CheckOut(out, raul);
    writer.CheckOut(back, raul);
    writer.CheckIn(back);
    writer.CheckOut(again, raul);
    writer.UndoCheckOut(again);
    writer.CheckOut(again, {{std::string(40, 'u'), 7, std::string(70, 'c')},
                            std::string(300, 'f'),
                            std::string(40, 'm'),
                            "$/P"});
    writer.Write();

    struct Row {
        ItemId file;
        std::uint16_t fileFlags;
        std::uint32_t active, idle;
        std::string user, folder, machine, project, comment;
        std::uint32_t time;
        std::uint16_t version, flags;
        std::uint32_t thisOffset, count;
        std::size_t versions;  // checkouts log none
    };
    const std::vector<Row> rows = {
        {never, 0, 0, 0x1A0, "", "", "", "", "", 0, 0, 0, 0, 0, 1},
        {out, 0x41, 0x1A0, 0, "Raul", "c:\\Projects\\Widgie", "DEV-0000001", "$/p",
         "fix the banner", 1113494723, 2, 0x40, 0x1A0, 1, 2},
        {back, 0, 0, 0x1A0, "Raul", "c:\\Projects\\Widgie", "DEV-0000001", "$/p", "fix the banner",
         1113494723, 0, 0, 0x1A0, 1, 2},
        {again, 0x41, 0x1A0, 0, std::string(31, 'u'), std::string(259, 'f'), std::string(31, 'm'),
         "$/P", std::string(63, 'c'), 7, 1, 0x40, 0x1A0, 2, 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(writer.PhysicalName(row.file));
        const Log log(writer.LogPath(row.file));
        EXPECT_EQ(log.Header().U16(dh::kFileFlags), row.fileFlags);
        EXPECT_EQ(log.Header().U32(dh::kActiveCheckout), row.active);
        EXPECT_EQ(log.Header().U32(dh::kIdleCheckout), row.idle);
        const vssdb::ByteView record = log.Body(0x1A0);
        EXPECT_EQ(record.CString(cf::kUser, cf::kUserSize), row.user);
        EXPECT_EQ(record.U32(cf::kTime), row.time);
        EXPECT_EQ(record.CString(cf::kWorkingFolder, cf::kWorkingFolderSize), row.folder);
        EXPECT_EQ(record.CString(cf::kMachine, cf::kMachineSize), row.machine);
        EXPECT_EQ(record.CString(cf::kProjectSpec, cf::kProjectSpecSize), row.project);
        EXPECT_EQ(record.CString(cf::kComment, cf::kCommentSize), row.comment);
        EXPECT_EQ(record.U16(cf::kVersion), row.version);
        EXPECT_EQ(record.U16(cf::kFlags), row.flags);
        EXPECT_EQ(record.U32(cf::kThisCheckout), row.thisOffset);
        EXPECT_EQ(record.U32(cf::kCheckoutCount), row.count);
        EXPECT_EQ(log.Revisions().size(), row.versions);
    }
    EXPECT_EQ(JoinLines(readback::CheckDatabase(writer.DataFolderPath())), "");
}

TEST_F(DatabaseWriterTest, ChildListsAreSortedByShortFieldAndFlagged) {
    DatabaseWriter writer(Root());
    const ItemId home = writer.AddProject(writer.Root(), "home");
    const ItemId other = writer.AddProject(writer.Root(), "other");
    const ItemId readmeA = writer.AddFile(home, "ReadmeA.txt");
    writer.AddFile(home, "Readme First.txt");
    const ItemId readme = writer.AddFile(home, "Readme.txt");
    writer.AddProject(home, "res");
    const ItemId image = writer.AddFile(home, "Banner.png", {}, true);
    writer.AddFile(home, "apple.txt");
    writer.CheckIn(readme);
    writer.Share(readme, other);
    writer.Pin(other, readme, 2);
    writer.Delete(home, readmeA);
    writer.Delete(home, image);
    writer.Write();

    struct Expected {
        std::string shortName;
        std::uint16_t type;
        std::uint16_t flags;
        std::uint16_t pinned;
    };
    const std::vector<Expected> homeList = {
        {"apple.txt", dh::kFileType, 0, 0},
        {"Banner.png", dh::kFileType, jp::kBinary | jp::kDeleted, 0},
        {"Readme.txt", dh::kFileType, jp::kShared, 0},
        {"Readme_First.txt", dh::kFileType, 0, 0},
        {"ReadmeA.txt", dh::kFileType, jp::kDeleted, 0},
        {"res", dh::kProjectType, 0, 0},
    };
    const auto entries = ReadProjectList(writer.DataPath(home));
    ASSERT_EQ(entries.size(), homeList.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        SCOPED_TRACE(homeList[i].shortName);
        EXPECT_EQ(entries[i].shortName, homeList[i].shortName);
        EXPECT_EQ(entries[i].type, homeList[i].type);
        EXPECT_EQ(entries[i].flags, homeList[i].flags);
        EXPECT_EQ(entries[i].pinnedVersion, homeList[i].pinned);
    }
    EXPECT_EQ(entries[2].physical, writer.PhysicalName(readme));

    const auto shared = ReadProjectList(writer.DataPath(other));
    ASSERT_EQ(shared.size(), 1u);
    EXPECT_EQ(shared[0].physical, writer.PhysicalName(readme));
    EXPECT_EQ(shared[0].flags, jp::kShared);
    EXPECT_EQ(shared[0].pinnedVersion, 2);

    const Log log(writer.LogPath(readme));
    EXPECT_EQ(log.Header().U16(dh::kParentCount), 2);
    EXPECT_EQ(log.Header().U16(dh::kFileFlags), dh::kFileShared);
    EXPECT_EQ(JoinLines(readback::CheckDatabase(writer.DataFolderPath())), "");
}

// Each action's EL: in which log, with which code and action-specific fields.
TEST_F(DatabaseWriterTest, ActionsAreLoggedWithTheirLayout) {
    DatabaseWriter writer(Root());
    const ItemId src = writer.AddProject(writer.Root(), "src");
    const ItemId lib = writer.AddProject(writer.Root(), "lib");
    const ItemId sub = writer.AddProject(src, "sub");
    const ItemId main = writer.AddFile(src, "main.c");
    writer.CheckIn(main, {}, "$/SRC");
    writer.CheckIn(main);
    writer.Share(main, lib);
    writer.Pin(lib, main, 2);
    writer.Unpin(lib, main);
    writer.Delete(src, main);
    writer.Recover(src, main);
    writer.Rename(src, main, "main program.c");
    writer.Move(sub, lib);
    writer.Label(lib, "Beta 2", {"Guest", 1136116900, "why"}, "what");
    writer.Delete(lib, main);
    writer.Destroy(lib, main);
    writer.Destroy(lib, sub);
    writer.Write();

    const std::string mainPhysical = writer.PhysicalName(main);
    using Check = std::function<void(const Revision&)>;
    struct Row {
        ItemId log;
        int version;
        Action action;
        Check check;
    };
    const std::vector<Row> rows = {
        {writer.Root(), 2, Action::kAddProject,
         [&](const Revision& r) {
             EXPECT_EQ(NameAt(r, rv::kCommonName), "src");
             EXPECT_EQ(TextAt(r, rv::kCommonPhysical, rv::kPhysicalSize), writer.PhysicalName(src));
         }},
        {src, 1, Action::kCreateProject,
         [&](const Revision& r) {
             EXPECT_EQ(TextAt(r, rv::kCommonPhysical, rv::kPhysicalSize), writer.PhysicalName(src));
         }},
        {src, 2, Action::kAddProject,
         [&](const Revision& r) { EXPECT_EQ(NameAt(r, rv::kCommonName), "sub"); }},
        {src, 3, Action::kAddFile,
         [&](const Revision& r) { EXPECT_EQ(NameAt(r, rv::kCommonName), "main.c"); }},
        {main, 1, Action::kCreateFile,
         [&](const Revision& r) {
             EXPECT_EQ(TextAt(r, rv::kCommonPhysical, rv::kPhysicalSize), mainPhysical);
         }},
        {main, 2, Action::kCheckIn,
         [&](const Revision& r) {
             EXPECT_EQ(TextAt(r, rv::kCheckInSpec, rv::kSpecSize), "$/SRC");
         }},
        {main, 3, Action::kCheckIn,
         [&](const Revision& r) {
             EXPECT_EQ(TextAt(r, rv::kCheckInSpec, rv::kSpecSize), "$/src");
         }},
        {lib, 2, Action::kShareFile,
         [&](const Revision& r) {
             EXPECT_EQ(TextAt(r, rv::kShareSpec, rv::kSpecSize), "$/src");
             EXPECT_EQ(NameAt(r, rv::kShareName), "main.c");
             EXPECT_EQ(r.body.I16(rv::kShareKind), -1);
             EXPECT_EQ(TextAt(r, rv::kSharePhysical, rv::kPhysicalSize), mainPhysical);
         }},
        {lib, 3, Action::kShareFile,
         [&](const Revision& r) {
             EXPECT_EQ(r.body.I16(rv::kShareKind), 0);
             EXPECT_EQ(r.body.I16(rv::kSharePinnedVersion), 2);
         }},
        {lib, 4, Action::kShareFile,
         [&](const Revision& r) { EXPECT_EQ(r.body.I16(rv::kShareKind), 2); }},
        {src, 4, Action::kDeleteFile,
         [&](const Revision& r) {
             EXPECT_EQ(TextAt(r, rv::kCommonPhysical, rv::kPhysicalSize), mainPhysical);
         }},
        {src, 5, Action::kRecoverFile,
         [&](const Revision& r) { EXPECT_EQ(NameAt(r, rv::kCommonName), "main.c"); }},
        {src, 6, Action::kRenameFile,
         [&](const Revision& r) {
             EXPECT_EQ(NameAt(r, rv::kRenameNewName), "main_program.c");
             EXPECT_NE(r.body.U32(rv::kRenameNewName + vssdb::name_format::kNamesOffsetOffset), 0u);
             EXPECT_EQ(NameAt(r, rv::kRenameOldName), "main.c");
             EXPECT_EQ(TextAt(r, rv::kRenamePhysical, rv::kPhysicalSize), mainPhysical);
         }},
        {lib, 5, Action::kMoveFrom,
         [&](const Revision& r) {
             EXPECT_EQ(TextAt(r, rv::kMoveSpec, rv::kSpecSize), "$/src");
             EXPECT_EQ(NameAt(r, rv::kMoveName), "sub");
             EXPECT_EQ(TextAt(r, rv::kMovePhysical, rv::kPhysicalSize), writer.PhysicalName(sub));
         }},
        {src, 7, Action::kMoveTo,
         [&](const Revision& r) { EXPECT_EQ(TextAt(r, rv::kMoveSpec, rv::kSpecSize), "$/lib"); }},
        {lib, 6, Action::kLabel,
         [&](const Revision& r) {
             EXPECT_EQ(r.label, "Beta 2");
             EXPECT_EQ(r.user, "Guest");
             EXPECT_EQ(r.comment, "why");
             EXPECT_EQ(r.labelComment, "what");
         }},
        {lib, 7, Action::kDeleteFile, [](const Revision&) {}},
        {lib, 8, Action::kDestroyFile,
         [&](const Revision& r) {
             EXPECT_EQ(r.body.I16(rv::kDestroyPurged), 1);
             EXPECT_EQ(NameAt(r, rv::kDestroyName), "main_program.c");
             EXPECT_EQ(TextAt(r, rv::kDestroyPhysical, rv::kPhysicalSize), mainPhysical);
         }},
        {lib, 9, Action::kDestroyProject,
         [&](const Revision& r) { EXPECT_EQ(r.body.I16(rv::kDestroyPurged), 0); }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE("log of item " + std::to_string(row.log) + ", version " +
                     std::to_string(row.version));
        const Log log(writer.LogPath(row.log));
        const Revision revision = VersionOf(log, row.version);
        EXPECT_EQ(revision.action, Code(row.action));
        row.check(revision);
    }
    EXPECT_EQ(writer.CurrentVersion(lib), 9);
    EXPECT_EQ(writer.CurrentVersion(src), 7);
    EXPECT_EQ(writer.CurrentVersion(main), 3) << "labels and moves elsewhere do not count";
    EXPECT_EQ(JoinLines(readback::CheckDatabase(writer.DataFolderPath())), "");
}

TEST_F(DatabaseWriterTest, CheckInSpecDefaultsToAProjectStillListingTheFile) {
    DatabaseWriter writer(Root());
    const ItemId first = writer.AddProject(writer.Root(), "first");
    const ItemId second = writer.AddProject(first, "second");
    const ItemId file = writer.AddFile(first, "f.txt");
    writer.CheckIn(file);
    writer.Share(file, second);
    writer.Delete(first, file);
    writer.CheckIn(file);
    writer.Write();

    const Log log(writer.LogPath(file));
    const auto versions = log.Revisions();
    ASSERT_EQ(versions.size(), 3u);
    EXPECT_EQ(TextAt(versions[1], rv::kCheckInSpec, rv::kSpecSize), "$/first");
    EXPECT_EQ(TextAt(versions[0], rv::kCheckInSpec, rv::kSpecSize), "$/first/second");
}

TEST_F(DatabaseWriterTest, ProjectHeadersFollowMovesAndRenames) {
    DatabaseWriter writer(Root());
    const ItemId a = writer.AddProject(writer.Root(), "A");
    const ItemId b = writer.AddProject(a, "B");
    const ItemId c = writer.AddProject(b, "C");
    const ItemId d = writer.AddProject(writer.Root(), "D");
    writer.AddFile(c, "x.txt");
    writer.Move(b, d);
    writer.Rename(writer.Root(), d, "Dee Dee");
    writer.Write();

    const Log cLog(writer.LogPath(c));
    EXPECT_EQ(cLog.Header().CString(dh::kParentSpec, dh::kParentSpecSize), "$/Dee Dee/B");
    EXPECT_EQ(cLog.Header().CString(dh::kParentPhysical, dh::kPhysicalNameSize),
              writer.PhysicalName(b));
    const Log bLog(writer.LogPath(b));
    EXPECT_EQ(bLog.Header().CString(dh::kParentSpec, dh::kParentSpecSize), "$/Dee Dee");
    EXPECT_EQ(bLog.Header().CString(dh::kParentPhysical, dh::kPhysicalNameSize),
              writer.PhysicalName(d));
    EXPECT_EQ(Log(writer.LogPath(a)).Header().U16(dh::kChildCount), 0);
    EXPECT_EQ(Log(writer.LogPath(d)).Header().U16(dh::kSubprojectCount), 1);
    EXPECT_EQ(
        Log(writer.LogPath(writer.Root())).Header().CString(dh::kParentSpec, dh::kParentSpecSize),
        "");
    EXPECT_EQ(writer.ProjectSpec(c), "$/Dee Dee/B/C");
}

TEST_F(DatabaseWriterTest, BranchStartsANewLogAboveTheSourcesVersions) {
    DatabaseWriter writer(Root());
    const ItemId one = writer.AddProject(writer.Root(), "one");
    const ItemId two = writer.AddProject(writer.Root(), "two");
    const ItemId file = writer.AddFile(one, "f.c");
    writer.CheckIn(file);
    writer.CheckIn(file);
    writer.Share(file, two);
    const ItemId branch = writer.Branch(two, file, {"Admin", 1136117000, "own line"});
    writer.CheckIn(branch);
    writer.Write();

    const Log branchLog(writer.LogPath(branch));
    EXPECT_EQ(branchLog.Header().U16(dh::kFirstVersion), 4);
    EXPECT_EQ(branchLog.Header().CString(dh::kBranchSource, dh::kPhysicalNameSize),
              writer.PhysicalName(file));
    const auto versions = branchLog.Revisions();
    ASSERT_EQ(versions.size(), 2u);
    EXPECT_EQ(versions[1].action, Code(Action::kBranchStart));
    EXPECT_EQ(versions[1].version, 4);
    EXPECT_EQ(versions[1].comment, "own line");
    EXPECT_EQ(TextAt(versions[1], rv::kBranchSource, rv::kPhysicalSize), writer.PhysicalName(file));
    EXPECT_EQ(versions[0].version, 5);

    const Log sourceLog(writer.LogPath(file));
    EXPECT_EQ(sourceLog.Links(true), std::vector<std::string>{writer.PhysicalName(branch)});
    EXPECT_EQ(sourceLog.Links(false), (std::vector<std::string>{"", writer.PhysicalName(one)}))
        << "the PF of the project that branched is blanked";
    EXPECT_EQ(sourceLog.Header().U16(dh::kParentCount), 1);
    EXPECT_EQ(sourceLog.Header().U16(dh::kFileFlags) & dh::kFileShared, 0);

    const Log projectLog(writer.LogPath(two));
    const Revision logged = projectLog.Revisions().front();
    EXPECT_EQ(logged.action, Code(Action::kBranchFile));
    EXPECT_EQ(TextAt(logged, rv::kBranchPhysical, rv::kPhysicalSize), writer.PhysicalName(branch));
    EXPECT_EQ(ReadProjectList(writer.DataPath(two)).at(0).physical, writer.PhysicalName(branch));
    EXPECT_EQ(ReadProjectList(writer.DataPath(two)).at(0).flags, 0);
    EXPECT_EQ(JoinLines(readback::CheckDatabase(writer.DataFolderPath())), "");
}

TEST_F(DatabaseWriterTest, DestroyRemovesEntriesAndFilesNoProjectListsAnyMore) {
    DatabaseWriter writer(Root());
    const ItemId keep = writer.AddProject(writer.Root(), "keep");
    const ItemId drop = writer.AddProject(writer.Root(), "drop");
    const ItemId inner = writer.AddProject(drop, "inner");
    const ItemId sharedFile = writer.AddFile(inner, "shared.txt");
    const ItemId lonely = writer.AddFile(inner, "lonely.txt");
    writer.Share(sharedFile, keep);
    writer.Destroy(writer.Root(), drop);
    writer.Write();

    for (ItemId gone : {drop, inner, lonely}) {
        EXPECT_FALSE(fs::exists(writer.LogPath(gone))) << writer.PhysicalName(gone);
        EXPECT_FALSE(fs::exists(writer.DataPath(gone))) << writer.PhysicalName(gone);
    }
    EXPECT_TRUE(fs::exists(writer.LogPath(sharedFile)));
    const auto rootList = ReadProjectList(writer.DataPath(writer.Root()));
    ASSERT_EQ(rootList.size(), 1u);
    EXPECT_EQ(rootList[0].shortName, "keep");
    EXPECT_EQ(ReadProjectList(writer.DataPath(keep)).at(0).flags, 0) << "no longer shared";
    EXPECT_EQ(JoinLines(readback::CheckDatabase(writer.DataFolderPath())), "");
}

TEST_F(DatabaseWriterTest, CommentsAndLabelCommentsFollowTheirEl) {
    DatabaseWriter writer(Root());
    const ItemId project = writer.AddProject(writer.Root(), "p");
    const ItemId file = writer.AddFile(project, "f.txt",
                                       {"a-user-name-far-longer-than-31-bytes", 7, "two\r\nlines"});
    writer.Label(file, "both", {"Admin", 8, "comment"}, "label comment");
    writer.Label(file, "label only");
    writer.Delete(project, file, {"Admin", 9, "why it went"});
    writer.Write();

    const Log log(writer.LogPath(file));
    const auto versions = log.Revisions();
    ASSERT_EQ(versions.size(), 3u);
    EXPECT_EQ(versions[2].user, std::string("a-user-name-far-longer-than-31-bytes").substr(0, 31));
    EXPECT_EQ(versions[2].comment, "two\r\nlines");
    EXPECT_EQ(versions[1].comment, "comment");
    EXPECT_EQ(versions[1].labelComment, "label comment");
    EXPECT_EQ(versions[0].comment, "");
    EXPECT_EQ(versions[0].body.U16(rv::kLabelCommentLength), 1)
        << "an empty label comment is a lone NUL";
    const Revision deleted = Log(writer.LogPath(project)).Revisions().front();
    EXPECT_EQ(deleted.comment, "why it went");

    const Log rootLog(writer.LogPath(writer.Root()));
    const Revision rootCreated = rootLog.Revisions().back();
    EXPECT_EQ(rootCreated.body.U32(rv::kCommentOffset), 0u);
    EXPECT_EQ(JoinLines(readback::CheckDatabase(writer.DataFolderPath())), "");
}

TEST_F(DatabaseWriterTest, NamesFileHoldsEveryNameTheShortFieldCannot) {
    using Kind = vssdb::names_file_format::NameKind;
    struct Row {
        std::string name;
        bool project;
        std::map<std::uint16_t, std::string> expected;  // empty: no SN record
    };
    const std::string shiftJis = "\x83\x65\x83\x58\x83\x67 \x83\x74\x83\x40\x83\x43\x83\x8b.txt";
    const std::string longName = "a_name_without_spaces_longer_than_thirty_three.txt";
    const std::vector<Row> rows = {
        {"Le.txt", false, {}},
        {"clingBling.txt", false, {{static_cast<std::uint16_t>(Kind::kDos), "clingB~1.txt"}}},
        {"clingBlong.txt", false, {{static_cast<std::uint16_t>(Kind::kDos), "clingB~2.txt"}}},
        {"New Text Document.txt",
         false,
         {{static_cast<std::uint16_t>(Kind::kLong), "New Text Document.txt"},
          {static_cast<std::uint16_t>(Kind::kDos), "New_Te~1.txt"},
          {static_cast<std::uint16_t>(Kind::kMac), "New Text Document.txt"}}},
        {longName,
         false,
         {{static_cast<std::uint16_t>(Kind::kLong), longName},
          {static_cast<std::uint16_t>(Kind::kDos), "a_name~1.txt"},
          {static_cast<std::uint16_t>(Kind::kMac), longName.substr(0, 25) + "~1.txt"}}},
        {shiftJis,
         false,
         {{static_cast<std::uint16_t>(Kind::kLong), shiftJis},
          {static_cast<std::uint16_t>(Kind::kDos), "\x83\x65\x83\x58\x83\x67~1.txt"},
          {static_cast<std::uint16_t>(Kind::kMac), shiftJis}}},
        {"Release Notes",
         true,
         {{static_cast<std::uint16_t>(Kind::kProjectLong), "Release Notes"}}},
        {".idea", true, {{static_cast<std::uint16_t>(Kind::kProjectLong), ".idea"}}},
        {"esign-java-authenticator", true, {}},
    };
    DatabaseWriter writer(Root());
    const ItemId holder = writer.AddProject(writer.Root(), "holder");
    std::vector<ItemId> ids;
    for (const Row& row : rows) {
        ids.push_back(row.project ? writer.AddProject(holder, row.name)
                                  : writer.AddFile(holder, row.name));
    }
    writer.Write();

    for (std::size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(rows[i].name);
        const Log log(writer.LogPath(ids[i]));
        const vssdb::ByteView header = log.Header();
        const std::uint32_t offset = header.U32(dh::kName + vssdb::name_format::kNamesOffsetOffset);
        if (rows[i].expected.empty()) {
            EXPECT_EQ(offset, 0u);
            EXPECT_EQ(header.CString(dh::kName + vssdb::name_format::kShortNameOffset,
                                     vssdb::name_format::kShortNameSize),
                      rows[i].name);
            continue;
        }
        ASSERT_NE(offset, 0u);
        EXPECT_EQ(readback::ReadNameRecord(writer.NamesFilePath(), offset), rows[i].expected);
    }
    EXPECT_EQ(JoinLines(readback::CheckDatabase(writer.DataFolderPath())), "");
}

TEST_F(DatabaseWriterTest, UsersAreSortedAndHashed) {
    DatabaseWriter writer(Root());
    writer.AddUser("johns", "");
    writer.AddUser("Johnson", "pass");
    writer.AddUser("anu", "Anu");
    writer.AddUser("Guest", "");  // listed twice, as in a damaged user file
    writer.RemoveUser("ADMIN");
    writer.AddUserWithHash("zed", 0x1234);
    writer.Write();

    const auto users = readback::ReadUsers(writer.UserFilePath());
    std::vector<std::string> names;
    for (const auto& user : users) {
        names.push_back(user.name);
    }
    EXPECT_EQ(names,
              (std::vector<std::string>{"anu", "Guest", "Guest", "johns", "Johnson", "zed"}));
    // "ANU" padded to 15 bytes with "BrianDavidHa"; the sum of each byte XOR 0x96 times its
    // position (from 1), worked out apart from the reader.
    EXPECT_EQ(users[0].passwordHash, 0x6E92);
    EXPECT_EQ(users[1].passwordHash, 0x6E90);
    EXPECT_EQ(users[4].passwordHash, 0x6D3E) << "the hash of \"pass\" found in a real database";
    EXPECT_EQ(users[5].passwordHash, 0x1234);
    EXPECT_TRUE(fs::exists(Root() / "users" / "johnson" / "ss.ini"));
    EXPECT_FALSE(fs::exists(Root() / "users" / "admin"));
    EXPECT_EQ(JoinLines(readback::CheckDatabase(writer.DataFolderPath())), "");
}

TEST_F(DatabaseWriterTest, PhysicalNamesAreHandedOutInOrder) {
    DatabaseWriter writer(Root());
    std::vector<ItemId> ids;
    for (int i = 0; i < 30; ++i) {
        ids.push_back(writer.AddFile(writer.Root(), "f" + std::to_string(i)));
    }
    writer.Write();
    EXPECT_EQ(writer.PhysicalName(ids[0]), "BAAAAAAA");
    EXPECT_EQ(writer.PhysicalName(ids[24]), "ZAAAAAAA");
    EXPECT_EQ(writer.PhysicalName(ids[25]), "ABAAAAAA");
    EXPECT_EQ(writer.PhysicalName(ids[29]), "EBAAAAAA");
    EXPECT_EQ(writer.LogPath(ids[25]), writer.DataFolderPath() / "a" / "abaaaaaa");
    EXPECT_TRUE(fs::exists(writer.DataFolderPath() / "e" / "ebaaaaaa.a"));
    std::ifstream counter(writer.DataFolderPath() / "aaaaaaaa.cnt", std::ios::binary);
    std::string last((std::istreambuf_iterator<char>(counter)), std::istreambuf_iterator<char>());
    EXPECT_EQ(last, "EBAAAAAA");
}

TEST_F(DatabaseWriterTest, OptionsShapeTheFolder) {
    WriterOptions options;
    options.upperCaseFileNames = true;
    options.writeNamesFile = false;
    options.dataPathSetting = "\\\\server\\vss\\data";
    options.extraIniText = "Shadow = ";
    options.timeZoneText = "TZ_Bias = -60";
    DatabaseWriter writer(Root(), options);
    const ItemId project = writer.AddProject(writer.Root(), "With Space");
    writer.CheckIn(writer.AddFile(project, "x.txt"));
    writer.Write();

    EXPECT_TRUE(fs::exists(Root() / "DATA" / "A" / "AAAAAAAA"));
    EXPECT_TRUE(fs::exists(Root() / "DATA" / "A" / "AAAAAAAA.B"));
    EXPECT_TRUE(fs::exists(Root() / "DATA" / "UM.DAT"));
    EXPECT_TRUE(fs::exists(Root() / "DATA" / "VERSION.DAT"));
    EXPECT_FALSE(fs::exists(Root() / "DATA" / "NAMES.DAT"));
    EXPECT_EQ(writer.DataPath(project), Root() / "DATA" / "B" / "BAAAAAAA.B");
    EXPECT_NE(Log(writer.LogPath(project))
                  .Header()
                  .U32(dh::kName + vssdb::name_format::kNamesOffsetOffset),
              0u)
        << "name fields still point into the missing names.dat";

    std::ifstream in(writer.IniPath(), std::ios::binary);
    const std::string ini((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(ini.find("\r\nData_Path = \\\\server\\vss\\data\r\n"), std::string::npos);
    EXPECT_NE(ini.find("\r\nUsers_Txt = users.txt\r\n"), std::string::npos);
    EXPECT_LT(ini.find("Shadow = \r\n"), ini.find("[TimeZone]\r\nTZ_Bias = -60\r\n"))
        << "extra keys stay global";
    EXPECT_EQ(JoinLines(readback::CheckDatabase(writer.DataFolderPath())), "");
}

TEST_F(DatabaseWriterTest, MisuseIsRefused) {
    DatabaseWriter writer(Root());
    const ItemId project = writer.AddProject(writer.Root(), "p");
    const ItemId child = writer.AddProject(project, "c");
    const ItemId file = writer.AddFile(project, "f.txt");
    const std::vector<std::pair<std::string, std::function<void()>>> cases = {
        {"unknown item", [&] { writer.CheckIn(99); }},
        {"check in a project", [&] { writer.CheckIn(project); }},
        {"add into a file", [&] { writer.AddFile(file, "x"); }},
        {"empty name", [&] { writer.AddFile(project, ""); }},
        {"pin a version not there", [&] { writer.Pin(project, file, 2); }},
        {"unpin what is not pinned", [&] { writer.Unpin(project, file); }},
        {"share twice into one project", [&] { writer.Share(file, project); }},
        {"recover what is not deleted", [&] { writer.Recover(project, file); }},
        {"delete from the wrong project", [&] { writer.Delete(writer.Root(), file); }},
        {"move into its own child", [&] { writer.Move(project, child); }},
        {"move the root", [&] { writer.Move(writer.Root(), project); }},
        {"check out a project", [&] { writer.CheckOut(project); }},
        {"undo a checkout that is not there", [&] { writer.UndoCheckOut(file); }},
        {"check out twice",
         [&] {
             writer.CheckOut(file);
             writer.CheckOut(file);
         }},
    };
    for (const auto& [what, action] : cases) {
        EXPECT_THROW(action(), std::invalid_argument) << what;
    }
    writer.Write();
    EXPECT_THROW(writer.Write(), std::logic_error);
    EXPECT_THROW(writer.AddFile(project, "late.txt"), std::logic_error);
    EXPECT_EQ(JoinLines(readback::CheckDatabase(writer.DataFolderPath())), "")
        << "refused actions leave no trace";
}

}  // namespace
}  // namespace vsstest
