// varnotte-csv as a user runs it: output, exit statuses and messages.
#include <gtest/gtest.h>

#include <QStringList>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "testing/code_page_words.h"
#include "testing/damage.h"
#include "testing/database_writer.h"
#include "testing/file_io.h"
#include "tests/support/csv_parse.h"
#include "tests/support/csv_program.h"
#include "tests/support/fixtures.h"
#include "tests/support/qt_path.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using varnotte::test::TempDir;

using varnotte::test::CsvRun;
using varnotte::test::RunCsv;

QString Ini(const fs::path& fixture) {
    return QString::fromStdString((fixture / "srcsafe.ini").string());
}
using varnotte::test::Q;

TEST(VarnotteCsv, ExportsEveryProjectFileAndVersion) {
    VARNOTTE_REQUIRE_FIXTURE(fixture, "shares-deletes");
    const CsvRun run = RunCsv({QStringLiteral("--history"), Ini(fixture)}, {});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "") << "no progress when standard error is not a terminal";
    const auto records = varnotte::test::ParseCsv(run.out);
    int itemRows = 0;
    int versionRows = 0;
    for (const auto& record : records) {
        ASSERT_TRUE(record.size() == 2 || record.size() == 6);
        (record.size() == 2 ? itemRows : versionRows)++;
        EXPECT_EQ(record[0].rfind("$/", 0), 0u);
        EXPECT_EQ(record[0].find("~sak"), std::string::npos)
            << "deleted item exported: " << record[0];
    }
    EXPECT_EQ(itemRows, 60 + 375);
    EXPECT_EQ(versionRows, 588);
}

TEST(VarnotteCsv, OutputFileIsByteForByteWhatStandardOutputGets) {
    VARNOTTE_REQUIRE_FIXTURE(fixture, "edits-comments");
    TempDir dir;
    const CsvRun toStdout = RunCsv({QStringLiteral("--history"), Ini(fixture)});
    const CsvRun toFile = RunCsv({QStringLiteral("--history"), QStringLiteral("--output"),
                                  Q(dir / "out.csv"), Ini(fixture)});
    // Status 4: the database lacks the names.dat that most of its files' long names are in.
    ASSERT_EQ(toStdout.exitCode, 4);
    ASSERT_EQ(toFile.exitCode, 4);
    EXPECT_EQ(toFile.out, "");
    EXPECT_EQ(vsstest::ReadWholeFile(dir / "out.csv"), toStdout.out);
    // "-" is standard output; "./-" is a file of that name.
    const CsvRun dash = varnotte::test::RunCsvBytes(
        {"--history", "-o", "-", Ini(fixture).toStdString()}, dir.path().string());
    EXPECT_EQ(dash.exitCode, 4);
    EXPECT_EQ(dash.out, toStdout.out);
    EXPECT_FALSE(fs::exists(dir / "-"));
    const CsvRun dotDash = varnotte::test::RunCsvBytes(
        {"--history", "-o", "./-", Ini(fixture).toStdString()}, dir.path().string());
    EXPECT_EQ(dotDash.out, "");
    EXPECT_EQ(vsstest::ReadWholeFile(dir / "-"), toStdout.out);
    // Comments with line breaks: each break is one CR LF inside a quoted field.
    EXPECT_NE(toStdout.out.find("MDID Logins\r\n* full support"), std::string::npos);
}

// --output /dev/stdout writes into the stream the shell opened; a redirection that
// appends keeps what the file held.
TEST(VarnotteCsv, OutputToStandardOutputByNameAppendsWhereTheShellSays) {
    VARNOTTE_REQUIRE_FIXTURE(fixture, "small-edits");
    TempDir dir;
    const CsvRun expected = RunCsv({Ini(fixture)});
    std::ofstream(dir / "log.csv", std::ios::binary) << "earlier\r\n";
    EXPECT_EQ(varnotte::test::RunCsvAppendingTo(
                  {QStringLiteral("-o"), QStringLiteral("/dev/stdout"), Ini(fixture)},
                  Q(dir / "log.csv")),
              0);
    EXPECT_EQ(vsstest::ReadWholeFile(dir / "log.csv"), "earlier\r\n" + expected.out);
    // A device takes the rows without a word on standard error.
    const CsvRun toNull = RunCsv({QStringLiteral("-o"), QStringLiteral("/dev/null"), Ini(fixture)});
    EXPECT_EQ(toNull.exitCode, 0);
    EXPECT_EQ(toNull.err, "");
}

TEST(VarnotteCsv, ExportsOneProjectAndEmptyDatabasesGiveEmptyFiles) {
    VARNOTTE_REQUIRE_FIXTURE(small, "small-edits");
    VARNOTTE_REQUIRE_FIXTURE(empty, "empty-root");
    const CsvRun project = RunCsv({Ini(small), QStringLiteral("$/esign-java-authenticator/")});
    ASSERT_EQ(project.exitCode, 0) << project.err;
    EXPECT_EQ(project.out,
              "\"$/esign-java-authenticator/clingBling.txt\",\"3\"\r\n\"$/esign-java-authenticator/"
              "Le.txt\",\"2\"\r\n");
    TempDir dir;
    const CsvRun none = RunCsv({QStringLiteral("-o"), Q(dir / "empty.csv"), Ini(empty)});
    ASSERT_EQ(none.exitCode, 0) << none.err;
    ASSERT_TRUE(fs::exists(dir / "empty.csv"));
    EXPECT_EQ(fs::file_size(dir / "empty.csv"), 0u);
}

TEST(VarnotteCsv, LoginOptions) {
    VARNOTTE_REQUIRE_FIXTURE(fixture, "shares-deletes");
    EXPECT_EQ(RunCsv({QStringLiteral("--user"), QStringLiteral("Dhaval"),
                      QStringLiteral("--password"), QStringLiteral("dhaval"), Ini(fixture),
                      QStringLiteral("$/Invetory Shaili/64bitApp")})
                  .exitCode,
              0);
    EXPECT_EQ(RunCsv({QStringLiteral("--user"), QStringLiteral("Dhaval"),
                      QStringLiteral("--password-stdin"), Ini(fixture),
                      QStringLiteral("$/Invetory Shaili/64bitApp")},
                     "dhaval\r\n")
                  .exitCode,
              0);
    const CsvRun wrong = RunCsv({QStringLiteral("-u"), QStringLiteral("Dhaval"),
                                 QStringLiteral("-p"), QStringLiteral("x"), Ini(fixture)});
    EXPECT_EQ(wrong.exitCode, 2);
    EXPECT_NE(wrong.err.find("login refused"), std::string::npos) << wrong.err;
    EXPECT_EQ(wrong.out, "");
    EXPECT_EQ(RunCsv({QStringLiteral("-u"), QStringLiteral("Stranger"), Ini(fixture)}).exitCode, 2);
}

// Every C0 control but the line feed that ends a message, and DEL.
const std::string kControlCharacters = [] {
    std::string controls;
    for (char c = 0; c < 0x20; ++c) {
        if (c != '\n') {
            controls += c;
        }
    }
    return controls + "\x7F";
}();

struct Failure {
    QStringList arguments;
    int exitCode;
    const char* message;
};

TEST(VarnotteCsv, ExitStatusesAndMessages) {
    VARNOTTE_REQUIRE_FIXTURE(small, "small-edits");
    VARNOTTE_REQUIRE_FIXTURE(old, "version5-template");
    TempDir dir;
    const std::vector<Failure> failures = {
        {{}, 1, "srcsafe.ini is missing"},
        {{Ini(small), QStringLiteral("$/"), QStringLiteral("extra")}, 1, "Unexpected argument"},
        {{QStringLiteral("--encoding"), QStringLiteral("klingon"), Ini(small)},
         1,
         "Unknown code page"},
        {{QStringLiteral("--password"), QStringLiteral("x"), QStringLiteral("--password-stdin"),
          Ini(small)},
         1,
         "cannot be used together"},
        {{QStringLiteral("--no-such-option"), Ini(small)}, 1, "no-such-option"},
        {{Ini(small), QStringLiteral("$/nothing here")}, 1, "no such project"},
        {{Ini(small), QStringLiteral("$/esign-java-authenticator/Le.txt")}, 1, "is a file"},
        {{Q(dir / "missing" / "srcsafe.ini")}, 3, "missing/srcsafe.ini"},
        {{Ini(old)}, 3, "older SourceSafe format"},
        {{QStringLiteral("--output"), Q(dir / "no such folder" / "out.csv"), Ini(small)},
         5,
         "no such folder/out.csv"},
        // Whatever a message echoes, a terminal shown it must not act on it.
        {{Ini(small), QStringLiteral("$/\x1B[2J\u009B31m")},
         1,
         "no such project: \"$/\\x1B[2J\\u009B31m\""},
        {{QStringLiteral("--encoding"), QStringLiteral("\x1B]0;title\x07"), Ini(small)},
         1,
         "Unknown code page: \\x1B]0;title\\x07"},
        {{QStringLiteral("--\x1B[1m"), Ini(small)}, 1, "\\x1B[1m"},
        {{Ini(small), QStringLiteral("$/"), QStringLiteral("tab\there\r\nnext")},
         1,
         "Unexpected argument: tab\\there\\r\\nnext"},
        {{Q(dir / "\x1B[2J" / "srcsafe.ini")}, 3, "/\\x1B[2J/srcsafe.ini"},
        {{QStringLiteral("-o"), Q(dir / "\x1B[2J" / "out.csv"), Ini(small)},
         5,
         "/\\x1B[2J/out.csv"},
        {{"--errors", Q(dir / "no such folder" / "errors.csv"), "-o", Q(dir / "out.csv"),
          Ini(small)},
         5,
         "no such folder/errors.csv"},
        {{"--format", "xml", Ini(small)}, 1, "Unknown format: xml"},
        {{"--columns", "narrow", Ini(small)}, 1, "Unknown columns: narrow"},
        {{"--columns", "wide", "--format", "jsonl", Ini(small)}, 1, "--columns is for CSV"},
        {{"--users", "--columns", "wide", Ini(small)}, 1, "not for --users"},
        {{"--date-format", "us", Ini(small)}, 1, "Unknown date format: us"},
        {{"--since", "2007-02-30", Ini(small)}, 1, "Not a date: 2007-02-30"},
        {{"--until", "2007-03-05 24:00", Ini(small)}, 1, "Not a date"},
        {{"--since", "yesterday", Ini(small)}, 1, "Not a date: yesterday"},
        {{"--since", "2007-03-06", "--until", "2007-03-05", Ini(small)}, 1, "later than --until"},
        {{"--errors", Q(dir / "same.csv"), "-o", Q(dir / "same.csv"), Ini(small)},
         1,
         "name the same file"},
        // Filters choose versions: without any there is nothing to choose from.
        {{"--since", "2007-03-05", Ini(small)}, 1, "--since chooses versions, and without"},
        {{"--label", "v1", "--users", Ini(small)}, 1, "--label chooses versions"},
        {{"--author", "Admin", "--deleted", "--format", "jsonl", Ini(small)},
         1,
         "--author chooses versions"},
    };
    for (const Failure& failure : failures) {
        const CsvRun run = RunCsv(failure.arguments);
        EXPECT_EQ(run.exitCode, failure.exitCode)
            << failure.arguments.join(' ').toStdString() << "\n"
            << run.err;
        EXPECT_NE(run.err.find(failure.message), std::string::npos) << run.err;
        EXPECT_EQ(run.out, "");
        const std::size_t control = run.err.find_first_of(kControlCharacters);
        EXPECT_EQ(control, std::string::npos)
            << "raw control character " << int(run.err[control]) << " in " << run.err;
        EXPECT_EQ(run.err.find("\xC2\x9B"), std::string::npos) << "raw U+009B in " << run.err;
    }
}

TEST(VarnotteCsv, UnreadableItemsAreListedAndTheRestIsWritten) {
    TempDir dir;
    vsstest::DatabaseWriter writer(dir / "db");
    const vsstest::ItemId project = writer.AddProject(writer.Root(), "Project");
    const vsstest::ItemId broken = writer.AddFile(project, "broken.txt");
    writer.AddFile(project, "fine.txt");
    writer.AddFile(writer.Root(), "top.txt");
    writer.Write();
    vsstest::TruncateFile(writer.LogPath(broken), 100);
    const CsvRun run = RunCsv({QStringLiteral("--history"), Q(writer.IniPath())});
    EXPECT_EQ(run.exitCode, 4);
    EXPECT_NE(run.err.find("$/Project/broken.txt"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find(writer.LogPath(broken).string()), std::string::npos) << run.err;
    const auto records = varnotte::test::ParseCsv(run.out);
    std::vector<std::string> specs;
    for (const auto& record : records) {
        if (record.size() == 2) {
            specs.push_back(record[0]);
        }
    }
    EXPECT_EQ(specs, (std::vector<std::string>{"$/Project", "$/Project/fine.txt", "$/top.txt"}));
}

// Which code page the texts were read in, said on standard error with --verbose; the
// CSV shows the names as that page reads them.
TEST(VarnotteCsv, VerboseSaysWhichCodePageAndWhy) {
    TempDir dir;
    vsstest::DatabaseWriter hungarian(dir / "hu");
    hungarian.AddProject(hungarian.Root(),
                         vsstest::EncodeInCodePage("Árvíztűrő tükörfúrógép", 1250));
    hungarian.Write();
    vsstest::DatabaseWriter plain(dir / "plain");
    plain.AddProject(plain.Root(), "Plain");
    plain.Write();
    const QString verbose = QStringLiteral("--verbose");
    const struct {
        QStringList arguments;
        const char* message;  // the whole of standard error
        const char* spec;     // as the first column of the CSV shows it
    } rows[] = {
        {{verbose, Q(hungarian.IniPath())},
         "varnotte-csv: code page 1250, guessed from the database's texts (--encoding sets "
         "another)\n",
         "\"$/Árvíztűrő tükörfúrógép\","},
        {{verbose, QStringLiteral("--encoding"), QStringLiteral("cp1252"), Q(hungarian.IniPath())},
         "varnotte-csv: code page 1252, as --encoding says\n",
         "\"$/Árvíztûrõ tükörfúrógép\","},
        {{verbose, Q(plain.IniPath())},
         "varnotte-csv: no code page needed: every name, user name and comment is ASCII\n",
         "\"$/Plain\","},
        {{Q(hungarian.IniPath())}, "", "\"$/Árvíztűrő tükörfúrógép\","},
    };
    for (const auto& row : rows) {
        const CsvRun run = RunCsv(row.arguments);
        const std::string label = row.arguments.join(' ').toStdString();
        EXPECT_EQ(run.exitCode, 0) << label;
        EXPECT_EQ(run.err, row.message) << label;
        EXPECT_EQ(run.out.rfind(row.spec, 0), 0u) << label << "\n" << run.out;
    }
}

// A code page guessed from the first texts read ("été", CP1252) that the whole database
// overturns (CP932): the export into a file is written again in the answer, the one to
// standard output waits for the census; both are what the code page given gives.
TEST(VarnotteCsv, AnEarlyGuessOfTheCodePageNeverReachesTheExport) {
    TempDir dir;
    vsstest::DatabaseWriter db(dir / "db");
    db.CheckIn(db.AddFile(db.Root(), "a.txt"), vsstest::Stamp{.comment = "\xE9t\xE9"});
    db.CheckIn(db.AddFile(db.Root(), "b.txt"),
               vsstest::Stamp{.comment = vsstest::EncodeInCodePage(
                                  "日本語の説明です。変更の理由を書きました。", 932)});
    db.Write();
    const QString history = QStringLiteral("--history");
    const CsvRun given =
        RunCsv({history, QStringLiteral("--encoding"), QStringLiteral("932"), Q(db.IniPath())});
    ASSERT_NE(given.out.find("\u9A01"), std::string::npos);
    const CsvRun toFile = RunCsv({history, QStringLiteral("--verbose"), QStringLiteral("-o"),
                                  Q(dir / "out.csv"), Q(db.IniPath())});
    EXPECT_EQ(toFile.err,
              "varnotte-csv: code page 932, guessed from the database's texts (--encoding sets "
              "another)\n");
    EXPECT_EQ(vsstest::ReadWholeFile(dir / "out.csv"), given.out);
    EXPECT_EQ(RunCsv({history, Q(db.IniPath())}).out, given.out);
}

fs::path FromEnvironment(const char* variable) {
    const char* value = std::getenv(variable);
    return value != nullptr ? fs::path(value) : fs::path();
}

// The sample database the build writes holds what the README says, and exports to the rows
// the README shows.
TEST(VarnotteCsv, SampleDatabaseIsWhatTheReadmeShows) {
    const fs::path ini = FromEnvironment("VARNOTTE_BINARY_DIR") / "sample" / "srcsafe.ini";
    const CsvRun run = RunCsv({QStringLiteral("--history"), Q(ini)});
    ASSERT_EQ(run.exitCode, 0) << run.err;

    const std::string readme =
        vsstest::ReadWholeFile(FromEnvironment("VARNOTTE_SOURCE_DIR") / "README.md");
    const std::string command = "$ build/cli/varnotte-csv --history build/sample/srcsafe.ini\n";
    const std::size_t start = readme.find(command);
    ASSERT_NE(start, std::string::npos) << "the README no longer shows the sample's export";
    const std::size_t from = start + command.size();
    std::istringstream example(readme.substr(from, readme.find("```", from) - from));
    int quoted = 0;
    for (std::string line; std::getline(example, line);) {
        if (line != "...") {
            ++quoted;
            EXPECT_NE(run.out.find(line + "\r\n"), std::string::npos)
                << "the README shows a line the export does not have:\n"
                << line;
        }
    }
    EXPECT_GE(quoted, 5);

    std::map<std::string, std::string> itemVersions;
    std::set<std::string> users;
    std::set<std::string> years;
    int multiLineComments = 0;
    for (const auto& record : varnotte::test::ParseCsv(run.out)) {
        if (record.size() == 2) {
            itemVersions[record[0]] = record[1];
            continue;
        }
        users.insert(record[2]);
        years.insert(record[4].substr(0, 4));
        multiLineComments += record[5].find("\r\n") != std::string::npos;
    }
    EXPECT_EQ(users, (std::set<std::string>{"emily", "oliver", "鈴木", "田中"}));
    EXPECT_EQ(years, (std::set<std::string>{"2021", "2022", "2023"}));
    EXPECT_GE(multiLineComments, 3);
    EXPECT_EQ(itemVersions["$/Common/common.h"], "4");
    EXPECT_EQ(itemVersions["$/販売管理/ソース/common.h"], "3") << "pinned";
    EXPECT_EQ(itemVersions["$/Common/util.c"], "3");
    EXPECT_EQ(itemVersions["$/販売管理/ソース/util.c"], "4") << "branched, then checked in";
    EXPECT_EQ(itemVersions.count("$/販売管理/ソース/帳票出力.c"), 1u) << "recovered";
    EXPECT_EQ(itemVersions.count("$/販売管理/ソース/旧帳票.c"), 0u) << "deleted";
}

TEST(VarnotteCsv, HelpAndVersion) {
    const CsvRun help = RunCsv({QStringLiteral("--help")});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("--password-stdin"), std::string::npos);
    EXPECT_EQ(RunCsv({QStringLiteral("--version")}).exitCode, 0);
    const CsvRun helpAll = RunCsv({QStringLiteral("--help-all")});
    EXPECT_EQ(helpAll.exitCode, 0) << helpAll.err;
    EXPECT_EQ(helpAll.out, help.out) << "--help lists --help-all; it must not fail";
}

}  // namespace
