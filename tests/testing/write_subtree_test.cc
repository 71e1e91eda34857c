// DatabaseWriter::WriteSubtree: writing a database a project at a time must give the bytes
// that writing it at once gives, and must refuse whatever would change what is written.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "testing/database_writer.h"
#include "testing/file_io.h"
#include "tests/support/case_names.h"
#include "tests/support/temp_dir.h"
#include "tests/testing/written_database.h"

namespace vsstest {
namespace {

namespace fs = std::filesystem;

std::map<std::string, std::string> FilesUnder(const fs::path& root) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (entry.is_regular_file()) {
            files[fs::relative(entry.path(), root).string()] = ReadWholeFile(entry.path());
        }
    }
    return files;
}

// A database with shares across projects, labels, pins, deletions and long names, built the
// same way whether `writeEarly` writes subtrees as soon as they are done or not.
void BuildScript(DatabaseWriter& writer, bool writeEarly) {
    const Stamp stamp{"Dhaval", 1136200000, "first line\r\nsecond line"};
    const ItemId alpha = writer.AddProject(writer.Root(), "Alpha", stamp);
    const ItemId beta = writer.AddProject(alpha, "Beta with a name longer than the short field");
    const ItemId gamma = writer.AddProject(writer.Root(), "Gamma");
    const ItemId report = writer.AddFile(beta, "Report.txt", stamp);
    const ItemId notes = writer.AddFile(beta, "Release notes for the customer.doc");
    const ItemId tool = writer.AddFile(alpha, "tool.exe", {}, true);
    writer.CheckIn(report, stamp);
    writer.Label(report, "Build 1", {}, "label comment");
    writer.Share(report, alpha);
    writer.Share(notes, gamma);
    writer.Pin(gamma, notes, 1);
    writer.Delete(beta, notes);
    writer.CheckIn(tool);
    if (writeEarly) {
        writer.WriteSubtree(beta);  // report and notes with it, though alpha and gamma list them
    }
    writer.Delete(gamma, notes);  // entries of an unwritten project: still allowed
    writer.Recover(gamma, notes);
    writer.Delete(alpha, report);
    writer.Label(alpha, "Alpha done");
    if (writeEarly) {
        writer.WriteSubtree(alpha);
    }
    writer.AddFile(gamma, "late.txt");
    writer.Write();
}

TEST(WriteSubtree, WritesTheSameBytesAsWritingAtOnce) {
    varnotte::test::TempDir temp;
    DatabaseWriter atOnce(temp / "once");
    BuildScript(atOnce, false);
    DatabaseWriter inParts(temp / "parts");
    BuildScript(inParts, true);

    const auto expected = FilesUnder(temp / "once");
    const auto actual = FilesUnder(temp / "parts");
    ASSERT_EQ(actual.size(), expected.size());
    for (const auto& [name, bytes] : expected) {
        ASSERT_TRUE(actual.count(name)) << name;
        EXPECT_TRUE(actual.at(name) == bytes) << name << " differs";
    }
    EXPECT_EQ(JoinLines(readback::CheckDatabase(inParts.DataFolderPath())), "");
}

struct RefusedAction {
    std::string name;
    std::function<void(DatabaseWriter&)> run;
};

// Items of the refusal cases: `written` (a project) and its file `file` are written; `open`
// is another project, not written, that lists `file` too.
constexpr ItemId kWritten = 1;
constexpr ItemId kFile = 2;
constexpr ItemId kOpen = 3;
constexpr ItemId kChildOfWritten = 4;

// Every change to an item WriteSubtree() wrote throws, and the writer stays usable.
class WrittenItem : public testing::TestWithParam<RefusedAction> {};

TEST_P(WrittenItem, RefusesChange) {
    varnotte::test::TempDir temp;
    DatabaseWriter writer(temp / "db");
    ASSERT_EQ(writer.AddProject(writer.Root(), "written"), kWritten);
    ASSERT_EQ(writer.AddFile(kWritten, "file.txt"), kFile);
    ASSERT_EQ(writer.AddProject(writer.Root(), "open"), kOpen);
    ASSERT_EQ(writer.AddProject(kWritten, "child"), kChildOfWritten);
    writer.Share(kFile, kOpen);
    writer.WriteSubtree(kWritten);

    EXPECT_THROW(GetParam().run(writer), std::logic_error);

    writer.CheckIn(writer.AddFile(kOpen, "after.txt"));
    writer.Write();
    EXPECT_EQ(JoinLines(readback::CheckDatabase(writer.DataFolderPath())), "");
}

INSTANTIATE_TEST_SUITE_P(
    Changes, WrittenItem,
    testing::Values(
        RefusedAction{"AddFileToProject", [](DatabaseWriter& w) { w.AddFile(kWritten, "x"); }},
        RefusedAction{"AddProjectToChild",
                      [](DatabaseWriter& w) { w.AddProject(kChildOfWritten, "x"); }},
        RefusedAction{"CheckInFile", [](DatabaseWriter& w) { w.CheckIn(kFile); }},
        RefusedAction{"LabelProject", [](DatabaseWriter& w) { w.Label(kWritten, "L"); }},
        RefusedAction{"ShareFileElsewhere",
                      [](DatabaseWriter& w) { w.Share(kFile, w.AddProject(w.Root(), "third")); }},
        RefusedAction{"PinInProject", [](DatabaseWriter& w) { w.Pin(kWritten, kFile, 1); }},
        RefusedAction{"BranchFile", [](DatabaseWriter& w) { w.Branch(kOpen, kFile); }},
        RefusedAction{"RenameProject",
                      [](DatabaseWriter& w) { w.Rename(w.Root(), kWritten, "renamed"); }},
        RefusedAction{"DestroyFileFromOpenProject",
                      [](DatabaseWriter& w) { w.Destroy(kOpen, kFile); }},
        RefusedAction{"DestroyProject", [](DatabaseWriter& w) { w.Destroy(w.Root(), kWritten); }},
        RefusedAction{"MoveProject", [](DatabaseWriter& w) { w.Move(kChildOfWritten, kOpen); }},
        RefusedAction{
            "MoveIntoProject",
            [](DatabaseWriter& w) { w.Move(w.AddProject(w.Root(), "fresh"), kWritten); }}),
    [](const testing::TestParamInfo<RefusedAction>& info) { return info.param.name; });

TEST(WriteSubtree, EntriesOfWrittenFilesInOpenProjectsCanStillBeDeleted) {
    varnotte::test::TempDir temp;
    DatabaseWriter writer(temp / "db");
    const ItemId written = writer.AddProject(writer.Root(), "written");
    const ItemId open = writer.AddProject(writer.Root(), "open");
    const ItemId file = writer.AddFile(written, "file.txt");
    writer.Share(file, open);
    writer.WriteSubtree(written);
    writer.Delete(open, file);
    writer.Recover(open, file);
    writer.Delete(open, file);
    EXPECT_EQ(writer.CurrentVersion(file), 1) << "a written item still answers questions";
    writer.Write();
    EXPECT_EQ(JoinLines(readback::CheckDatabase(writer.DataFolderPath())), "");
    EXPECT_THROW(writer.WriteSubtree(open), std::logic_error) << "after Write() nothing more";
}

}  // namespace
}  // namespace vsstest
