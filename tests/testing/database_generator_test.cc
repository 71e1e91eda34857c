// The generated databases of the benchmarks and varnotte-mkdb: sound on disk, and read back
// through the automation objects with the counts the generator reports.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "sourcesafe/vss_database.h"
#include "testing/code_page_words.h"
#include "testing/database_generator.h"
#include "testing/file_io.h"
#include "testing/mkdb_options.h"
#include "tests/support/case_names.h"
#include "tests/support/temp_dir.h"
#include "tests/testing/written_database.h"

namespace vsstest {
namespace {

namespace fs = std::filesystem;

struct Tally {
    long long projects = 0;
    long long files = 0;
    long long versions = 0;
    long long deletedEntries = 0;
    long long checkedOut = 0;
    std::vector<std::string> names;
};

void Walk(const sourcesafe::IVSSItem& project, Tally& tally) {
    const sourcesafe::IVSSItems children = project.Items(false);
    for (int i = 1; i <= children.Count(); ++i) {
        const sourcesafe::IVSSItem child = children.Item(i);
        tally.names.push_back(child.Name());
        if (child.Type() == sourcesafe::VSSITEM_PROJECT) {
            ++tally.projects;
            Walk(child, tally);
            continue;
        }
        ++tally.files;
        tally.checkedOut += child.IsCheckedOut() != sourcesafe::VSSFILE_NOTCHECKEDOUT ? 1 : 0;
        auto versions = child.Versions().NewEnum();
        for (sourcesafe::IVSSVersion version; versions.Next(version);) {
            ++tally.versions;
        }
    }
    tally.deletedEntries += project.Items(true).Count() - children.Count();
}

sourcesafe::IVSSDatabase Open(const fs::path& root, int codePage) {
    sourcesafe::IVSSDatabase database;
    EXPECT_EQ(
        sourcesafe::CreateInstance(sourcesafe::CLSID_VSSDatabase, sourcesafe::CLSCTX_ALL_SERVERS,
                                   sourcesafe::IID_IVSSDatabase6, database),
        sourcesafe::S_OK);
    sourcesafe::OpenSettings settings;
    settings.codePage = codePage;
    database.Open((root / "srcsafe.ini").string(), "Admin", "", settings);
    return database;
}

struct ShapeCase {
    std::string name;
    DatabaseShape shape;
};

DatabaseShape Shape(int projects, int depth, int files, int versions, int codePage) {
    DatabaseShape shape;
    shape.projects = projects;
    shape.depth = depth;
    shape.filesPerProject = files;
    shape.versionsPerFile = versions;
    shape.codePage = codePage;
    shape.labelPercent = 20;
    shape.sharePercent = 10;
    shape.deletedFilesPercent = 10;
    shape.deletedProjectsPercent = 30;
    shape.nonAsciiPercent = 40;
    shape.multiLinePercent = 50;
    shape.checkedOutPercent = 20;
    return shape;
}

class GeneratedDatabase : public testing::TestWithParam<ShapeCase> {};

TEST_P(GeneratedDatabase, IsSoundAndReadsBackWithItsCounts) {
    const DatabaseShape& shape = GetParam().shape;
    varnotte::test::TempDir temp;
    const GeneratedCounts counts = GenerateDatabase(temp / "db", shape);

    EXPECT_EQ(counts.projects, shape.projects);
    EXPECT_EQ(counts.files, static_cast<long long>(shape.projects) * shape.filesPerProject);
    EXPECT_EQ(counts.fileVersions, counts.files * shape.versionsPerFile);
    EXPECT_EQ(JoinLines(readback::CheckDatabase(temp / "db" / "data")), "")
        << "every CRC and rule holds";

    const sourcesafe::IVSSDatabase database = Open(temp / "db", shape.codePage);
    Tally tally;
    Walk(database.VSSItem("$/"), tally);
    EXPECT_EQ(tally.projects, counts.exportedProjects);
    EXPECT_EQ(tally.files, counts.exportedFiles);
    EXPECT_EQ(tally.versions, counts.exportedVersions);
    if (shape.projects * shape.filesPerProject >= 100) {
        EXPECT_GT(tally.deletedEntries, 0) << "deleted items are still listed";
        EXPECT_GT(tally.checkedOut, 0);
        EXPECT_LT(tally.checkedOut, tally.files);
        std::map<std::string, int> seen;
        int listedTwice = 0;
        for (const std::string& name : tally.names) {
            listedTwice += ++seen[name] == 2 ? 1 : 0;
        }
        EXPECT_GT(listedTwice, 0) << "some files are shared into a second project";
    }

    // Names come back decoded: none still holds a word in its code page's bytes.
    for (const std::string& name : tally.names) {
        for (const std::string& word : NonAsciiWords(shape.codePage)) {
            EXPECT_EQ(name.find(word), std::string::npos) << name;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Shapes, GeneratedDatabase,
                         testing::Values(ShapeCase{"Japanese", Shape(12, 3, 15, 4, 932)},
                                         ShapeCase{"Western", Shape(9, 2, 20, 6, 1252)},
                                         ShapeCase{"Cyrillic", Shape(7, 1, 10, 2, 1251)},
                                         ShapeCase{"OneVersionFlat", Shape(3, 1, 5, 1, 1252)},
                                         ShapeCase{"DeepChain", Shape(6, 6, 3, 3, 936)},
                                         ShapeCase{"NoProjects", Shape(0, 1, 10, 3, 1252)}),
                         [](const testing::TestParamInfo<ShapeCase>& info) {
                             return info.param.name;
                         });

TEST(GeneratedDatabaseNames, DecodeToTheWordsTheyWereMadeOf) {
    varnotte::test::TempDir temp;
    DatabaseShape shape = Shape(4, 1, 25, 2, 932);
    shape.nonAsciiPercent = 100;
    GenerateDatabase(temp / "db", shape);
    const sourcesafe::IVSSDatabase database = Open(temp / "db", 932);
    Tally tally;
    Walk(database.VSSItem("$/"), tally);
    const std::array<std::string, 7> japanese = {"設計", "仕様書", "テスト", "修正",
                                                 "資料", "画面",   "帳票"};
    for (const std::string& name : tally.names) {
        bool found = false;
        for (const std::string& word : japanese) {
            found = found || name.find(word) != std::string::npos;
        }
        EXPECT_TRUE(found) << name;
    }
}

TEST(GeneratedDatabaseSeed, SameSeedSameBytesOtherSeedOtherBytes) {
    varnotte::test::TempDir temp;
    DatabaseShape shape = Shape(5, 2, 6, 3, 1252);
    GenerateDatabase(temp / "a", shape);
    GenerateDatabase(temp / "b", shape);
    shape.seed = 2;
    GenerateDatabase(temp / "c", shape);
    const fs::path log = fs::path("data") / "b" / "baaaaaaa";
    EXPECT_EQ(ReadWholeFile(temp / "a" / log), ReadWholeFile(temp / "b" / log));
    EXPECT_EQ(ReadWholeFile(temp / "a" / "data" / "names.dat"),
              ReadWholeFile(temp / "b" / "data" / "names.dat"));
    EXPECT_NE(ReadWholeFile(temp / "a" / log), ReadWholeFile(temp / "c" / log));
}

// Content sizes make the file logs heavy and leave everything else as it was: every log
// holds the same versions, with the same users, labels and comments.
TEST(GeneratedDatabaseContent, SizesChangeTheDeltasAndNothingElse) {
    varnotte::test::TempDir temp;
    DatabaseShape thin = Shape(4, 2, 8, 4, 1252);
    thin.textBytes = thin.binaryBytes = 8;
    thin.sizeSpreadPercent = 0;
    DatabaseShape heavy = thin;
    heavy.textBytes = 3000;
    heavy.binaryBytes = 70000;
    heavy.sizeSpreadPercent = 50;
    EXPECT_EQ(GenerateDatabase(temp / "thin", thin).exportedVersions,
              GenerateDatabase(temp / "heavy", heavy).exportedVersions);
    EXPECT_EQ(JoinLines(readback::CheckDatabase(temp / "heavy" / "data")), "");
    EXPECT_EQ(ReadWholeFile(temp / "thin" / "data" / "names.dat"),
              ReadWholeFile(temp / "heavy" / "data" / "names.dat"));

    std::uintmax_t thinBytes = 0;
    std::uintmax_t heavyBytes = 0;
    int logs = 0;
    for (const auto& entry : fs::recursive_directory_iterator(temp / "thin" / "data")) {
        const fs::path relative = fs::relative(entry.path(), temp / "thin");
        if (!entry.is_regular_file() || relative.filename().string().size() != 8 ||
            relative.parent_path().filename().string().size() != 1) {
            continue;
        }
        ++logs;
        const readback::Log a(entry.path());
        const readback::Log b(temp / "heavy" / relative);
        thinBytes += a.bytes().size();
        heavyBytes += b.bytes().size();
        const auto summary = [](const readback::Log& log) {
            std::vector<std::string> lines;
            for (const readback::Revision& revision : log.Revisions()) {
                lines.push_back(std::to_string(revision.version) + " " +
                                std::to_string(revision.action) + " " + revision.user + " " +
                                revision.label + " " + revision.comment + " " +
                                revision.labelComment);
            }
            return JoinLines(lines);
        };
        EXPECT_EQ(summary(a), summary(b)) << relative;
    }
    EXPECT_GT(logs, 30);
    // 32 files of three check-ins, of which the last stays out of the log: two deltas each
    // of about 3,000 bytes, or of about 70,000 for the binary tenth.
    EXPECT_GT(heavyBytes, thinBytes + 32 * 2 * 1500);
}

struct BadShape {
    std::string name;
    std::function<void(DatabaseShape&)> spoil;
};

class GeneratorRefuses : public testing::TestWithParam<BadShape> {};

TEST_P(GeneratorRefuses, ShapesThatMakeNoSense) {
    DatabaseShape shape;
    GetParam().spoil(shape);
    EXPECT_THROW(CheckShape(shape), std::invalid_argument);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GeneratorRefuses,
    testing::Values(
        BadShape{"NegativeProjects", [](DatabaseShape& s) { s.projects = -1; }},
        BadShape{"ZeroDepth", [](DatabaseShape& s) { s.depth = 0; }},
        BadShape{"NoVersions", [](DatabaseShape& s) { s.versionsPerFile = 0; }},
        BadShape{"TooManyVersions", [](DatabaseShape& s) { s.versionsPerFile = 65536; }},
        BadShape{"PercentOver100", [](DatabaseShape& s) { s.sharePercent = 101; }},
        BadShape{"NegativePercent", [](DatabaseShape& s) { s.labelPercent = -5; }},
        BadShape{"UnknownCodePage", [](DatabaseShape& s) { s.codePage = 437; }},
        BadShape{"ContentOver200MiB", [](DatabaseShape& s) { s.binaryBytes = (200 << 20) + 1; }},
        BadShape{"NegativeContent", [](DatabaseShape& s) { s.textBytes = -1; }},
        BadShape{"SpreadOver100", [](DatabaseShape& s) { s.sizeSpreadPercent = 101; }},
        BadShape{"ProjectLogOverflows",
                 [](DatabaseShape& s) {
                     s.projects = 3000;
                     s.depth = 1;
                     s.filesPerProject = 20000;
                 }}),
    [](const testing::TestParamInfo<BadShape>& info) { return info.param.name; });

TEST(MkdbCommand, ParsesEveryOptionIntoTheShape) {
    const MkdbCommand command = ParseMkdbCommand({"--projects",
                                                  "40",
                                                  "--depth",
                                                  "3",
                                                  "--files-per-project",
                                                  "7",
                                                  "--versions-per-file",
                                                  "9",
                                                  "--comment-bytes",
                                                  "200",
                                                  "--multiline-percent",
                                                  "50",
                                                  "--label-percent",
                                                  "2",
                                                  "--share-percent",
                                                  "3",
                                                  "--deleted-files-percent",
                                                  "4",
                                                  "--deleted-projects-percent",
                                                  "5",
                                                  "--non-ascii-percent",
                                                  "6",
                                                  "--code-page",
                                                  "932",
                                                  "--checked-out-percent",
                                                  "7",
                                                  "--text-bytes",
                                                  "4096",
                                                  "--binary-bytes",
                                                  "1048576",
                                                  "--size-spread-percent",
                                                  "30",
                                                  "--seed",
                                                  "4000000000",
                                                  "out"});
    ASSERT_EQ(command.error, "");
    EXPECT_EQ(command.folder, "out");
    const DatabaseShape& s = command.shape;
    EXPECT_EQ(
        std::vector<int>({s.projects, s.depth, s.filesPerProject, s.versionsPerFile, s.commentBytes,
                          s.multiLinePercent, s.labelPercent, s.sharePercent, s.deletedFilesPercent,
                          s.deletedProjectsPercent, s.nonAsciiPercent, s.codePage,
                          s.checkedOutPercent, s.textBytes, s.binaryBytes, s.sizeSpreadPercent}),
        std::vector<int>({40, 3, 7, 9, 200, 50, 2, 3, 4, 5, 6, 932, 7, 4096, 1048576, 30}));
    EXPECT_EQ(s.seed, 4000000000u);
}

TEST(MkdbCommand, ExplainsWhatIsWrong) {
    const std::map<std::vector<std::string>, std::string> cases = {
        {{}, "no folder given"},
        {{"a", "b"}, "only one folder"},
        {{"--projects"}, "--projects needs a value"},
        {{"--projects", "ten", "out"}, "--projects needs a whole number"},
        {{"--projects", "99999999999", "out"}, "--projects needs a whole number"},
        {{"--seed", "-1", "out"}, "--seed needs a number"},
        {{"--colour", "red", "out"}, "unknown option --colour"},
        {{"--code-page", "437", "out"}, "no words for code page 437"},
        {{"--nested", "0", "out"}, "the levels must be from 1"},
        {{"--nested", "9", "--name-length", "201", "out"}, "the name length must be from 1"},
        {{"--flat", "out"}, "go with --nested"},
        {{"--nested", "9", "--flat", "--name-length", "2", "out"}, "give no name length"},
    };
    for (const auto& [arguments, message] : cases) {
        const MkdbCommand command = ParseMkdbCommand(arguments);
        EXPECT_NE(command.error.find(message), std::string::npos) << command.error;
    }
    EXPECT_TRUE(ParseMkdbCommand({"--help"}).help);
}

TEST(MkdbCommand, NestedTakesItsOwnShape) {
    const MkdbCommand command =
        ParseMkdbCommand({"--name-length", "33", "--nested", "16000", "--depth", "0", "out"});
    ASSERT_EQ(command.error, "") << "the tree's shape does not apply";
    EXPECT_TRUE(command.nested);
    EXPECT_EQ(command.nestedShape.levels, 16000);
    EXPECT_EQ(command.nestedShape.nameLength, 33);
    EXPECT_FALSE(command.nestedShape.flat);
    EXPECT_TRUE(ParseMkdbCommand({"--nested", "3", "--flat", "out"}).nestedShape.flat);
    EXPECT_FALSE(ParseMkdbCommand({"out"}).nested);
}

struct Completed {
    int exitCode = -1;
    std::string output;
};

Completed RunMkdb(const std::string& arguments) {
    Completed completed;
    FILE* pipe =
        ::popen((std::string(VARNOTTE_MKDB_PATH) + " " + arguments + " 2>&1").c_str(), "r");
    if (pipe == nullptr) {
        return completed;
    }
    std::array<char, 4096> buffer{};
    for (std::size_t n; (n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0;) {
        completed.output.append(buffer.data(), n);
    }
    const int status = ::pclose(pipe);
    completed.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return completed;
}

TEST(VarnotteMkdb, WritesADatabaseThatReadsBackWithTheCountsItPrints) {
    varnotte::test::TempDir temp;
    const Completed run = RunMkdb(
        "--projects 8 --depth 2 --files-per-project 6 --versions-per-file 3 "
        "--share-percent 20 --deleted-files-percent 20 --non-ascii-percent 50 "
        "--code-page 932 " +
        (temp / "db").string());
    ASSERT_EQ(run.exitCode, 0) << run.output;
    std::map<std::string, long long> printed;
    std::size_t start = 0;
    for (std::size_t end; (end = run.output.find('\n', start)) != std::string::npos;
         start = end + 1) {
        const std::string line = run.output.substr(start, end - start);
        const std::size_t equals = line.find('=');
        if (equals != std::string::npos && line.substr(0, equals) != "ini") {
            printed[line.substr(0, equals)] = std::stoll(line.substr(equals + 1));
        }
    }
    EXPECT_EQ(printed["projects"], 8);
    EXPECT_EQ(printed["files"], 48);
    EXPECT_EQ(printed["file_versions"], 144);

    const sourcesafe::IVSSDatabase database = Open(temp / "db", 0);
    EXPECT_EQ(database.CodePage(), 932) << "found out from the Japanese texts";
    Tally tally;
    Walk(database.VSSItem("$/"), tally);
    EXPECT_EQ(tally.projects, printed["exported_projects"]);
    EXPECT_EQ(tally.files, printed["exported_files"]);
    EXPECT_EQ(tally.versions, printed["exported_versions"]);
}

TEST(VarnotteMkdb, RefusesAFolderThatIsNotEmptyAndBadOptions) {
    varnotte::test::TempDir temp;
    WriteWholeFile(temp / "keep.txt", "precious");
    const Completed full = RunMkdb(temp.path().string());
    EXPECT_EQ(full.exitCode, 1);
    EXPECT_NE(full.output.find("is not empty"), std::string::npos) << full.output;
    EXPECT_EQ(ReadWholeFile(temp / "keep.txt"), "precious");

    const Completed bad = RunMkdb("--depth 0 " + (temp / "new").string());
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_NE(bad.output.find("the depth must be from 1"), std::string::npos) << bad.output;
    EXPECT_FALSE(fs::exists(temp / "new"));
}

}  // namespace
}  // namespace vsstest
