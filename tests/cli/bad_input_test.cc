// varnotte-csv given what it should refuse, and a database that changes while it exports:
// every case ends with the documented exit status and a message that names the thing,
// and the database is never written.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QStringList>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "cli/exit_codes.h"
#include "cli/export_command.h"
#include "cli/password_line.h"
#include "testing/damage.h"
#include "testing/database_writer.h"
#include "testing/file_io.h"
#include "testing/record_builder.h"
#include "tests/support/bytes_read.h"
#include "tests/support/case_names.h"
#include "tests/support/csv_parse.h"
#include "tests/support/csv_program.h"
#include "tests/support/qt_path.h"
#include "tests/support/temp_dir.h"
#include "tests/support/tree_snapshot.h"
#include "vssdb/code_page_memory.h"
#include "vssdb/name_format.h"
#include "vssdb/names_file_format.h"
#include "vssdb/project_entry_format.h"
#include "vssdb/revision_format.h"

namespace {

namespace fs = std::filesystem;
using namespace varnotte::cli;

using varnotte::test::CsvRun;
using varnotte::test::RunCsv;

using varnotte::test::Q;

std::string Text(std::FILE* file) {
    std::rewind(file);
    std::string text;
    for (int c; (c = std::fgetc(file)) != EOF;) {
        text.push_back(static_cast<char>(c));
    }
    return text;
}

// root: P (b.txt), z.txt; users Admin and Tanaka, whose password is "?".
class BadInput : public testing::Test {
  protected:
    void SetUp() override {
        fs::permissions(dir.path(), fs::perms::all, fs::perm_options::add);
        writer = std::make_unique<vsstest::DatabaseWriter>(dir / "db");
        const vsstest::ItemId p = writer->AddProject(writer->Root(), "P");
        writer->AddFile(p, "b.txt");
        z = writer->AddFile(writer->Root(), "z.txt");
        writer->AddUser("Tanaka", "?");
        writer->Write();
        ini = Q(writer->IniPath());
    }

    varnotte::test::TempDir dir;
    std::unique_ptr<vsstest::DatabaseWriter> writer;
    vsstest::ItemId z = 0;
    QString ini;
};

TEST_F(BadInput, ItemChangedDuringTheExportIsListedAndTheRestWritten) {
    Options options;
    options.iniPath = ini;
    options.user = QStringLiteral("Admin");
    options.history = true;
    options.outputPath = Q(dir / "out.csv");
    std::FILE* errors = std::tmpfile();
    ASSERT_NE(errors, nullptr);
    bool changed = false;
    const int status = RunExport(options, errors, false, [&] {
        if (!changed) {  // before the first item: z.txt is read last
            vsstest::TruncateFile(writer->LogPath(z), 60);
            changed = true;
        }
    });
    const std::string messages = Text(errors);
    std::fclose(errors);
    EXPECT_EQ(status, kExitItemsUnreadable) << messages;
    EXPECT_NE(messages.find("cannot read $/z.txt: " + writer->LogPath(z).string()),
              std::string::npos)
        << messages;
    std::vector<std::string> specs;
    for (const auto& record : varnotte::test::ParseCsv(vsstest::ReadWholeFile(dir / "out.csv"))) {
        if (record.size() == 2) {
            specs.push_back(record[0]);
        }
    }
    EXPECT_EQ(specs, (std::vector<std::string>{"$/P", "$/P/b.txt"}));
}

// A failure no step of the export expects still ends with a documented status and a
// message, and the file the export would have replaced stays as it was.
TEST_F(BadInput, UnexpectedFailureEndsWithStatus3AndLeavesTheOutput) {
    vsstest::WriteWholeFile(dir / "out.csv", "earlier export\n");
    Options options;
    options.iniPath = ini;
    options.user = QStringLiteral("Admin");
    options.outputPath = Q(dir / "out.csv");
    std::FILE* errors = std::tmpfile();
    ASSERT_NE(errors, nullptr);
    int status = -1;
    EXPECT_NO_THROW(status = RunExport(options, errors, true,
                                       [] { throw std::length_error("vector too long"); }));
    const std::string messages = Text(errors);
    std::fclose(errors);
    EXPECT_EQ(status, kExitCannotOpen);
    EXPECT_TRUE(messages.ends_with("\r\x1B[Kvarnotte-csv: export stopped: vector too long\n"))
        << messages;
    EXPECT_EQ(vsstest::ReadWholeFile(dir / "out.csv"), "earlier export\n");
}

// A stored name is shown as it is stored, but a terminal must not act on it: in the
// progress line and in the list of items that could not be read, its control characters
// are escapes.
TEST_F(BadInput, NamesInMessagesCannotSteerTheTerminal) {
    vsstest::DatabaseWriter db(dir / "names");
    const vsstest::ItemId file = db.AddFile(db.Root(), "a\x1B[2Jb.txt");
    db.AddFile(db.Root(), "fine.txt");
    db.Write();
    vsstest::TruncateFile(db.LogPath(file), 60);
    Options options;
    options.iniPath = Q(db.IniPath());
    options.user = QStringLiteral("Admin");
    options.outputPath = Q(dir / "out.csv");
    std::FILE* errors = std::tmpfile();
    ASSERT_NE(errors, nullptr);
    EXPECT_EQ(RunExport(options, errors, true), kExitItemsUnreadable);
    std::string messages = Text(errors);
    std::fclose(errors);
    EXPECT_NE(messages.find("cannot read $/a\\x1B[2Jb.txt: "), std::string::npos) << messages;
    // The progress line's own "go to the start and clear the line" is all there is.
    for (std::size_t at; (at = messages.find("\r\x1B[K")) != std::string::npos;) {
        messages.erase(at, 4);
    }
    EXPECT_EQ(messages.find('\x1B'), std::string::npos) << messages;
}

// QString makes "?" of an unpaired surrogate; such a password must not log in as a user
// whose password is "?".
TEST_F(BadInput, PasswordThatIsNoValidTextIsRefused) {
    Options options;
    options.iniPath = ini;
    options.user = QStringLiteral("Tanaka");
    options.password = QString(QChar(0xD800));
    options.outputPath = Q(dir / "out.csv");
    std::FILE* errors = std::tmpfile();
    ASSERT_NE(errors, nullptr);
    EXPECT_EQ(RunExport(options, errors, false), kExitLoginRefused);
    EXPECT_NE(Text(errors).find("login refused"), std::string::npos);
    std::fclose(errors);
    EXPECT_FALSE(fs::exists(dir / "out.csv"));

    // Bytes that are no UTF-8 on the command line become U+FFFD, which no code page has.
    const CsvRun run = RunCsv({QStringLiteral("-u"), QStringLiteral("Tanaka"), QStringLiteral("-p"),
                               QString::fromLocal8Bit("\xED\xA0\x80"), ini});
    EXPECT_EQ(run.exitCode, kExitLoginRefused) << run.err;
    EXPECT_EQ(RunCsv({QStringLiteral("-u"), QStringLiteral("Tanaka"), QStringLiteral("-p"),
                      QStringLiteral("?"), ini})
                  .exitCode,
              kExitSuccess);
}

struct IniCase {
    std::string name;
    std::function<QString(const fs::path& dir)> make;
    std::string message;
};

class IniInput : public BadInput, public testing::WithParamInterface<IniCase> {};

TEST_P(IniInput, IsRefusedAtOnceWithStatus3) {
    const QString path = GetParam().make(dir.path());
    const CsvRun run = RunCsv({path}, "Data_Path = data\n");
    EXPECT_EQ(run.exitCode, kExitCannotOpen) << run.err;
    EXPECT_NE(run.err.find(GetParam().message), std::string::npos) << run.err;
    EXPECT_NE(run.err.find(path.toStdString()), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "");
}

INSTANTIATE_TEST_SUITE_P(
    Paths, IniInput,
    testing::Values(
        IniCase{"Fifo",
                [](const fs::path& dir) {
                    EXPECT_EQ(mkfifo((dir / "fifo.ini").c_str(), 0644), 0);
                    return Q(dir / "fifo.ini");
                },
                "not a regular file"},
        IniCase{"StandardInput", [](const fs::path&) { return QStringLiteral("/dev/stdin"); },
                "not a regular file"},
        IniCase{"DevZero", [](const fs::path&) { return QStringLiteral("/dev/zero"); },
                "not a regular file"},
        IniCase{"Folder", [](const fs::path& dir) { return Q(dir / "db"); }, "not a regular file"}),
    [](const testing::TestParamInfo<IniCase>& info) { return info.param.name; });

TEST_F(BadInput, PasswordFromStandardInput) {
    const QStringList arguments{QStringLiteral("--password-stdin"), ini};
    const CsvRun none = RunCsv(arguments, {});
    EXPECT_EQ(none.exitCode, kExitUsage);
    EXPECT_NE(none.err.find("standard input is empty"), std::string::npos) << none.err;
    EXPECT_EQ(none.out, "");

    const CsvRun huge = RunCsv(arguments, QByteArray(8 << 20, 'x'));
    EXPECT_EQ(huge.exitCode, kExitUsage);
    EXPECT_NE(huge.err.find("longer than 65536 bytes"), std::string::npos) << huge.err;

    EXPECT_EQ(RunCsv(arguments, "\n").exitCode, kExitSuccess) << "an empty line is no password";
    EXPECT_EQ(RunCsv(arguments, "").exitCode, kExitUsage);
    const QStringList tanaka{QStringLiteral("-u"), QStringLiteral("Tanaka"),
                             QStringLiteral("--password-stdin"), ini};
    EXPECT_EQ(RunCsv(tanaka, "?").exitCode, kExitSuccess) << "a last line without its end";
    EXPECT_EQ(RunCsv(tanaka, "?\r\nmore\n").exitCode, kExitSuccess);
}

TEST(PasswordLine, LongestLineIsTakenAndOneByteMoreIsNot) {
    for (const std::size_t size : {kMaxPasswordLine, kMaxPasswordLine + 1}) {
        std::FILE* in = std::tmpfile();
        ASSERT_NE(in, nullptr);
        const std::string line(size, 'p');
        std::fputs((line + "\r\n").c_str(), in);
        std::rewind(in);
        std::string password;
        QString error;
        EXPECT_EQ(ReadPasswordLine(in, password, error), size == kMaxPasswordLine) << size;
        if (size == kMaxPasswordLine) {
            EXPECT_EQ(password, line);
        }
        std::fclose(in);
    }
}

TEST_F(BadInput, SpecsThatNameNoProjectAreUsageErrors) {
    for (const QString& spec :
         {QString(), QStringLiteral("P"), QStringLiteral("$/P/../P"), QStringLiteral("$\\P"),
          QStringLiteral("$/./P"), QStringLiteral("$/P/b.txt/.."),
          QStringLiteral("$/") + QString(100000, QLatin1Char('x'))}) {
        const CsvRun run = RunCsv({ini, spec});
        EXPECT_EQ(run.exitCode, kExitUsage) << spec.left(40).toStdString() << "\n" << run.err;
        EXPECT_NE(run.err.find("no such project"), std::string::npos) << run.err.substr(0, 200);
        EXPECT_EQ(run.out, "");
    }
    const CsvRun slashes = RunCsv({ini, QStringLiteral("$//P///")});
    EXPECT_EQ(slashes.exitCode, kExitSuccess) << slashes.err;
    EXPECT_EQ(slashes.out, "\"$/P/b.txt\",\"1\"\r\n");
}

// Save paths that cannot be written, and paths into the database itself: status 5, the
// path and the reason on standard error, and not a byte of the database changed.
struct TargetCase {
    std::string name;
    // Returns the --output path, given the database's writer.
    std::function<fs::path(const fs::path& dir, const vsstest::DatabaseWriter& db)> make;
    std::string reason;
    bool asOrdinaryUser = false;
};

class OutputTarget : public BadInput, public testing::WithParamInterface<TargetCase> {};

TEST_P(OutputTarget, IsRefusedAndDatabaseUnchanged) {
    const fs::path target = GetParam().make(dir.path(), *writer);
    const varnotte::test::TreeSnapshot before = varnotte::test::SnapshotTree(dir / "db");
    const CsvRun run = RunCsv({QStringLiteral("--history"), QStringLiteral("-o"), Q(target), ini},
                              {}, GetParam().asOrdinaryUser);
    EXPECT_EQ(run.exitCode, kExitCannotWrite) << run.err;
    EXPECT_NE(run.err.find("cannot write " + target.string()), std::string::npos) << run.err;
    EXPECT_NE(run.err.find(GetParam().reason), std::string::npos) << run.err;
    const auto changes =
        varnotte::test::CompareSnapshots(before, varnotte::test::SnapshotTree(dir / "db"), false);
    EXPECT_TRUE(changes.empty()) << testing::PrintToString(changes);
}

const char kIntoDatabase[] = "an export never writes into the SourceSafe database it reads";

INSTANTIATE_TEST_SUITE_P(
    Paths, OutputTarget,
    testing::Values(
        TargetCase{"MissingFolder",
                   [](const fs::path& dir, const auto&) { return dir / "missing" / "out.csv"; },
                   "No such file or directory"},
        TargetCase{"ReadOnlyFolder",
                   [](const fs::path& dir, const auto&) {
                       fs::create_directory(dir / "locked");
                       fs::permissions(dir / "locked",
                                       fs::perms::owner_read | fs::perms::owner_exec |
                                           fs::perms::others_read | fs::perms::others_exec);
                       return dir / "locked" / "out.csv";
                   },
                   "Permission denied", true},
        TargetCase{"AFolder", [](const fs::path& dir, const auto&) { return dir; },
                   "Is a directory"},
        TargetCase{"TheIni",
                   [](const fs::path&, const vsstest::DatabaseWriter& db) { return db.IniPath(); },
                   "is the database's srcsafe.ini"},
        TargetCase{"TheRootLog",
                   [](const fs::path&, const vsstest::DatabaseWriter& db) {
                       return db.LogPath(db.Root());
                   },
                   "is in the database's data folder"},
        TargetCase{"TheNamesFileWithDotsInThePath",
                   [](const fs::path&, const vsstest::DatabaseWriter& db) {
                       return db.DataFolderPath() / ".." / "data" / "." / "names.dat";
                   },
                   kIntoDatabase},
        TargetCase{"ANewFileInTheDataFolder",
                   [](const fs::path&, const vsstest::DatabaseWriter& db) {
                       return db.DataFolderPath() / "export.csv";
                   },
                   kIntoDatabase},
        TargetCase{"ALinkToALog",
                   [](const fs::path& dir, const vsstest::DatabaseWriter& db) {
                       fs::create_symlink(db.LogPath(db.Root()), dir / "link.csv");
                       return dir / "link.csv";
                   },
                   kIntoDatabase},
        TargetCase{"ADanglingLinkIntoTheDataFolder",
                   [](const fs::path& dir, const vsstest::DatabaseWriter& db) {
                       fs::create_symlink(db.DataFolderPath() / "new.csv", dir / "dangling.csv");
                       return dir / "dangling.csv";
                   },
                   kIntoDatabase},
        TargetCase{"UsersTxt",
                   [](const fs::path& dir, const auto&) { return dir / "db" / "users.txt"; },
                   "is the database's list of users"},
        TargetCase{
            "ANewFileInTheUsersFolder",
            [](const fs::path& dir, const auto&) { return dir / "db" / "users" / "Admin.csv"; },
            "is in the database's users folder"},
        // Refused at once: waiting for a reader would hang the export.
        TargetCase{"AFifoWithoutReader",
                   [](const fs::path& dir, const auto&) {
                       mkfifo((dir / "pipe").c_str(), 0600);
                       return dir / "pipe";
                   },
                   "no program reads from this FIFO"}),
    [](const testing::TestParamInfo<TargetCase>& info) { return info.param.name; });

// Paths that are no UTF-8 (a folder named in an old server's code page): an output path
// is refused before anything is written, never replaced by another name; a database is
// opened by its own bytes and still kept from being written into; messages show the bytes.
struct BytesCase {
    std::string name;
    // Returns the arguments; may move the database (dir/db, ini dir/db/srcsafe.ini).
    std::function<std::vector<std::string>(const fs::path& dir)> make;
    int exitCode;
    std::string message;
    std::vector<std::string> specs;  // the item rows of a successful export
    std::string folder;              // to run in, below the test's folder; empty: here
};

class BytesInPaths : public BadInput, public testing::WithParamInterface<BytesCase> {};

const char kCyrillic1251[] = "\xC4\xE5\xEB\xE0";  // "Дела" in code page 1251

TEST_P(BytesInPaths, AreUsedAsGivenOrRefused) {
    const std::vector<std::string> arguments = GetParam().make(dir.path());
    const varnotte::test::TreeSnapshot before = varnotte::test::SnapshotTree(dir.path());
    const CsvRun run = varnotte::test::RunCsvBytes(
        arguments, GetParam().folder.empty() ? std::string() : (dir / GetParam().folder).string());
    EXPECT_EQ(run.exitCode, GetParam().exitCode) << run.err;
    EXPECT_NE(run.err.find(GetParam().message), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("\xEF\xBF\xBD"), std::string::npos) << "bytes shown as U+FFFD";
    std::vector<std::string> specs;
    for (const auto& record : varnotte::test::ParseCsv(run.out)) {
        specs.push_back(record[0]);
    }
    EXPECT_EQ(specs, GetParam().specs);
    const auto changes =
        varnotte::test::CompareSnapshots(before, varnotte::test::SnapshotTree(dir.path()), false);
    EXPECT_TRUE(changes.empty()) << testing::PrintToString(changes);
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, BytesInPaths,
    testing::Values(BytesCase{"OutputPath",
                              [](const fs::path& dir) {
                                  return std::vector<std::string>{
                                      "-o", (dir / "\xFF.csv").string(),
                                      (dir / "db" / "srcsafe.ini").string()};
                              },
                              kExitUsage,
                              "\\xFF.csv: this name is not UTF-8 text",
                              {},
                              {}},
                    BytesCase{"OutputFolder",
                              [](const fs::path& dir) {
                                  fs::create_directory(dir / kCyrillic1251);
                                  return std::vector<std::string>{
                                      "--output=" + (dir / kCyrillic1251 / "out.csv").string(),
                                      (dir / "db" / "srcsafe.ini").string()};
                              },
                              kExitUsage,
                              "\\xC4\\xE5\\xEB\\xE0/out.csv: this name is not UTF-8 text",
                              {},
                              {}},
                    BytesCase{"DatabaseFolder",
                              [](const fs::path& dir) {
                                  fs::rename(dir / "db", dir / kCyrillic1251);
                                  return std::vector<std::string>{
                                      (dir / kCyrillic1251 / "srcsafe.ini").string()};
                              },
                              kExitSuccess,
                              "",
                              {"$/P", "$/P/b.txt", "$/z.txt"},
                              {}},
                    BytesCase{"MissingDatabaseFolder",
                              [](const fs::path& dir) {
                                  return std::vector<std::string>{
                                      (dir / "\xFF" / "srcsafe.ini").string()};
                              },
                              kExitCannotOpen,
                              "\\xFF/srcsafe.ini",
                              {},
                              {}},
                    BytesCase{"IntoADatabaseFolderThroughALink",
                              [](const fs::path& dir) {
                                  fs::rename(dir / "db", dir / kCyrillic1251);
                                  fs::create_directory_symlink(dir / kCyrillic1251, dir / "link");
                                  return std::vector<std::string>{
                                      "-o", (dir / "link" / "data" / "new.csv").string(),
                                      (dir / kCyrillic1251 / "srcsafe.ini").string()};
                              },
                              kExitCannotWrite,
                              kIntoDatabase,
                              {},
                              {}},
                    // Qt would make a relative path absolute through the folder's mangled name.
                    BytesCase{"RelativeOutputInSuchAFolder",
                              [](const fs::path& dir) {
                                  fs::rename(dir / "db", dir / kCyrillic1251);
                                  return std::vector<std::string>{"-o", "out.csv", "srcsafe.ini"};
                              },
                              kExitUsage,
                              "\\xC4\\xE5\\xEB\\xE0 is not named in UTF-8 text",
                              {},
                              kCyrillic1251},
                    BytesCase{"RelativeDatabaseInSuchAFolder",
                              [](const fs::path& dir) {
                                  fs::rename(dir / "db", dir / kCyrillic1251);
                                  return std::vector<std::string>{"srcsafe.ini", "$/P"};
                              },
                              kExitSuccess,
                              "",
                              {"$/P/b.txt"},
                              kCyrillic1251}),
    [](const testing::TestParamInfo<BytesCase>& info) { return info.param.name; });

// A hard link is another name for a log: the export replaces that name, never the file.
TEST_F(BadInput, HardLinkToALogIsReplacedWithoutTouchingTheLog) {
    fs::create_hard_link(writer->LogPath(z), dir / "linked.csv");
    const varnotte::test::TreeSnapshot before = varnotte::test::SnapshotTree(dir / "db");
    const CsvRun run = RunCsv({QStringLiteral("-o"), Q(dir / "linked.csv"), ini});
    EXPECT_EQ(run.exitCode, kExitSuccess) << run.err;
    const auto changes =
        varnotte::test::CompareSnapshots(before, varnotte::test::SnapshotTree(dir / "db"), false);
    EXPECT_TRUE(changes.empty()) << testing::PrintToString(changes);
    EXPECT_EQ(varnotte::test::ParseCsv(vsstest::ReadWholeFile(dir / "linked.csv")).size(), 3u);
}

// Files beside srcsafe.ini that are not the database's are the user's: a new file, an
// earlier export, a report of any name.
TEST_F(BadInput, ExportsBesideTheIniAreAllowed) {
    std::ofstream(dir / "db" / "notes.txt") << "old notes";
    for (const char* name : {"export.csv", "export.csv", "notes.txt"}) {
        const CsvRun result = RunCsv({QStringLiteral("-o"), Q(dir / "db" / name), ini});
        EXPECT_EQ(result.exitCode, kExitSuccess) << name << ": " << result.err;
        EXPECT_EQ(varnotte::test::ParseCsv(vsstest::ReadWholeFile(dir / "db" / name)).size(), 3u);
    }
}

// One damage at a time to a database written for the table: exit status 4 and every item
// that cannot be read named on standard error with the file and what is wrong, everything
// else exported exactly as from the undamaged database. Damage of the sizes alone costs
// nothing: the files are read as far as their headers say.
//
// root: P (6 children: two long names, a name with a DOS alias only, b.txt with three
// versions, e.txt, Sub (d.txt)), Q (f.txt), top.txt
struct DamagedFiles {
    const vsstest::DatabaseWriter& writer;
    vsstest::ItemId p, longCut, longWhole, dosOnly, b, e, sub, q;

    fs::path Names() const { return writer.NamesFilePath(); }
    // The offset of the names.dat record that holds `name`.
    std::size_t NameRecord(const std::string& name) const {
        const std::string bytes = vsstest::ReadWholeFile(Names());
        for (const vsstest::RecordInfo& record : vsstest::ListRecordsInBytes(bytes, false)) {
            if (std::string_view(bytes).substr(record.offset, 8 + record.length).find(name) !=
                std::string_view::npos) {
                return record.offset;
            }
        }
        ADD_FAILURE() << "no name record holds " << name;
        return 0;
    }
    // The offset of the version record of `version` in `item`'s log.
    std::size_t VersionRecord(vsstest::ItemId item, int version) const {
        const fs::path log = writer.LogPath(item);
        const std::string bytes = vsstest::ReadWholeFile(log);
        for (const vsstest::RecordInfo& record : vsstest::ListRecordsInBytes(bytes, true)) {
            if (record.signature == "EL" &&
                vsstest::GetU16(bytes, record.offset + 8 + vssdb::revision_format::kVersion) ==
                    version) {
                return record.offset;
            }
        }
        ADD_FAILURE() << "no version " << version << " in " << log;
        return 0;
    }
    void PatchName(vsstest::ItemId item, std::string_view name) const {
        vsstest::PatchChildEntry(
            writer.DataPath(p), writer.PhysicalName(item),
            vssdb::project_entry_format::kName + vssdb::name_format::kShortNameOffset,
            std::string(name) + std::string(1, '\0'));
    }
    // names.dat's header brought in line with the file's size.
    void UpdateNamesHeader() const {
        vsstest::PatchU32(Names(), 8 + vssdb::names_file_format::kHeaderEndOffset,
                          static_cast<std::uint32_t>(fs::file_size(Names())));
        vsstest::FixRecordCrc(Names(), 0);
    }
};

struct Unreadable {
    std::string spec;
    std::string what;  // part of the message after the spec
};
// In what a damaged item's listing says, "cause…end": the cause anywhere, then the end.
const std::string kGap = "\u2026";

struct DatabaseDamage {
    std::string name;
    std::function<void(const DamagedFiles&)> apply;
    int status;
    std::vector<Unreadable> unreadable;  // every item named on standard error
    // The items missing from the export, with what is below them: those named, unless an
    // item is named by a stand-in for a name that cannot be used.
    std::vector<std::string> missing = {};
    // Items whose own log disagrees with their entry: named as damaged, and still exported
    // (as their logs say, so their rows are not compared).
    std::vector<Unreadable> damaged = {};
    // Items exported damaged whose rows are all there: listed in the errors file.
    std::vector<Unreadable> listed = {};
    // Items exported under another spec than the sound database gives them (the short form
    // of a lost long name): the sound spec and the one exported.
    std::vector<std::pair<std::string, std::string>> respelt = {};
};

class DamagedDatabaseExport : public testing::TestWithParam<DatabaseDamage> {
  protected:
    // Exports the whole database with history in this process; returns the status.
    int Export(std::string& messages, std::vector<std::string>& rows) {
        Options options;
        options.iniPath = Q(writer.IniPath());
        options.user = QStringLiteral("Admin");
        options.history = true;
        options.outputPath = Q(dir / "out.csv");
        options.errorsPath = Q(dir / "errors.csv");
        std::FILE* errors = std::tmpfile();
        EXPECT_NE(errors, nullptr);
        const int status = RunExport(options, errors, false);
        messages = Text(errors);
        std::fclose(errors);
        rows.clear();
        if (fs::exists(dir / "out.csv")) {
            for (const auto& record :
                 varnotte::test::ParseCsv(vsstest::ReadWholeFile(dir / "out.csv"))) {
                std::string row;
                for (const std::string& field : record) {
                    row += field + "|";
                }
                rows.push_back(row);
            }
        }
        return status;
    }

    varnotte::test::TempDir dir;
    vsstest::DatabaseWriter writer{dir / "db"};
};

bool IsAtOrBelow(const std::string& spec, const std::string& item) {
    return spec == item || spec.rfind(item + "/", 0) == 0;
}

TEST_P(DamagedDatabaseExport, ItemsThatCannotBeReadAreNamedAndTheRestExported) {
    using vsstest::Stamp;
    const vsstest::ItemId p = writer.AddProject(writer.Root(), "P");
    const vsstest::ItemId longCut = writer.AddFile(p, "A long file name for the first item.txt");
    const vsstest::ItemId longWhole = writer.AddFile(p, "Another long name.txt");
    const vsstest::ItemId dosOnly = writer.AddFile(p, "readme_first.txt");
    const vsstest::ItemId b = writer.AddFile(p, "b.txt", Stamp{"Admin", 100, "first"});
    writer.CheckIn(b, Stamp{"Admin", 200, "second"});
    writer.CheckIn(b, Stamp{"Admin", 300, "third"});
    const vsstest::ItemId e = writer.AddFile(p, "e.txt");
    const vsstest::ItemId sub = writer.AddProject(p, "Sub");
    writer.AddFile(sub, "d.txt");
    const vsstest::ItemId q = writer.AddProject(writer.Root(), "Q");
    writer.AddFile(q, "f.txt");
    writer.AddFile(writer.Root(), "top.txt");
    writer.Write();

    std::string messages;
    std::vector<std::string> baseline;
    ASSERT_EQ(Export(messages, baseline), kExitSuccess) << messages;

    GetParam().apply(DamagedFiles{writer, p, longCut, longWhole, dosOnly, b, e, sub, q});
    std::vector<std::string> rows;
    vssdb::ForgetCodePages();  // as in a new process: the census at open runs again
    const long long before = varnotte::test::BytesRead();
    const int status = Export(messages, rows);
    EXPECT_LT(varnotte::test::BytesRead() - before, 16 << 20)
        << "read far more than the database holds";
    EXPECT_EQ(status, GetParam().status) << messages;

    std::vector<std::string> missing = GetParam().missing;
    if (missing.empty()) {
        for (const Unreadable& item : GetParam().unreadable) {
            missing.push_back(item.spec);
        }
    }
    const auto damagedSpec = [&](const std::string& row) {
        const std::string spec = row.substr(0, row.find('|'));
        return std::any_of(GetParam().damaged.begin(), GetParam().damaged.end(),
                           [&](const Unreadable& item) { return spec == item.spec; });
    };
    std::vector<std::string> expected;
    for (const std::string& row : baseline) {
        const std::string spec = row.substr(0, row.find('|'));
        if (!damagedSpec(row) &&
            std::none_of(missing.begin(), missing.end(),
                         [&](const std::string& item) { return IsAtOrBelow(spec, item); })) {
            expected.push_back(row);
            for (const auto& [sound, shown] : GetParam().respelt) {
                if (IsAtOrBelow(spec, sound)) {
                    expected.back().replace(0, sound.size(), shown);
                }
            }
        }
    }
    std::vector<std::string> shown;
    std::copy_if(rows.begin(), rows.end(), std::back_inserter(shown),
                 [&](const std::string& row) { return !damagedSpec(row); });
    // A list is in stored order, which the short names of the respelt decide.
    if (!GetParam().respelt.empty()) {
        std::sort(shown.begin(), shown.end());
        std::sort(expected.begin(), expected.end());
    }
    EXPECT_EQ(shown, expected);
    for (const Unreadable& item : GetParam().damaged) {
        EXPECT_TRUE(
            std::any_of(rows.begin(), rows.end(),
                        [&](const std::string& row) { return row.rfind(item.spec + "|", 0) == 0; }))
            << item.spec << " is not exported";
        const std::string named = "varnotte-csv: damaged: " + item.spec + ": ";
        const std::size_t line = messages.find(named);
        ASSERT_NE(line, std::string::npos) << messages;
        const std::string text = messages.substr(line, messages.find('\n', line) - line);
        EXPECT_NE(text.find(item.what), std::string::npos) << text;
        EXPECT_NE(text.find(writer.DataFolderPath().string() + "/"), std::string::npos)
            << "names the file: " << text;
    }

    // The errors file lists the unreadable and the damaged items, each with its file and,
    // at the end of what is wrong, what of it is exported.
    const auto listed = varnotte::test::ParseCsv(vsstest::ReadWholeFile(dir / "errors.csv"));
    ASSERT_EQ(listed.size(), 1 + GetParam().unreadable.size() + GetParam().damaged.size() +
                                 GetParam().listed.size())
        << vsstest::ReadWholeFile(dir / "errors.csv");
    for (const Unreadable& item : GetParam().listed) {
        const auto row = std::find_if(listed.begin(), listed.end(),
                                      [&](const auto& fields) { return fields[0] == item.spec; });
        ASSERT_NE(row, listed.end()) << item.spec << " is not in the errors file";
        EXPECT_EQ((*row)[1].rfind(writer.DataFolderPath().string() + "/", 0), 0u) << (*row)[1];
        // "cause…what is exported": the cause anywhere, the rest at the end.
        const std::string text = (*row)[1] + ": " + (*row)[2];
        const std::size_t gap = item.what.find(kGap);
        const std::string cause = gap == std::string::npos ? "" : item.what.substr(0, gap);
        const std::string end =
            gap == std::string::npos ? item.what : item.what.substr(gap + kGap.size());
        EXPECT_NE(text.find(cause), std::string::npos) << text << "\n does not hold\n" << cause;
        EXPECT_TRUE(text.size() >= end.size() &&
                    text.compare(text.size() - end.size(), end.size(), end) == 0)
            << text << "\n does not end with\n"
            << end;
    }

    std::vector<std::string> lines;
    for (std::size_t at = 0, end; (end = messages.find('\n', at)) != std::string::npos;
         at = end + 1) {
        if (messages.compare(at, 26, "varnotte-csv: cannot read ") == 0) {
            lines.push_back(messages.substr(at + 26, end - at - 26));
        }
    }
    ASSERT_EQ(lines.size(), GetParam().unreadable.size()) << messages;
    for (const Unreadable& item : GetParam().unreadable) {
        const auto line = std::find_if(lines.begin(), lines.end(), [&](const std::string& text) {
            return text.rfind(item.spec + ": ", 0) == 0;
        });
        ASSERT_NE(line, lines.end()) << item.spec << " is not named in\n" << messages;
        EXPECT_NE(line->find(item.what), std::string::npos) << *line;
        EXPECT_NE(line->find(writer.DataFolderPath().string() + "/"), std::string::npos)
            << "names the file: " << *line;
    }
    // The errors file lists each of them with that file in a column of its own.
    const auto records = varnotte::test::ParseCsv(vsstest::ReadWholeFile(dir / "errors.csv"));
    for (const std::string& line : lines) {
        const auto record = std::find_if(records.begin(), records.end(), [&](const auto& r) {
            return r.size() == 3 && line == r[0] + ": " + r[1] + ": " + r[2];
        });
        ASSERT_NE(record, records.end()) << line;
        EXPECT_EQ((*record)[1].rfind(writer.DataFolderPath().string() + "/", 0), 0u) << line;
    }
}

const char kLongCutSpec[] = "$/P/A_long_file_name_for_the_first_it";
const char kLongWholeSpec[] = "$/P/Another_long_name.txt";
const char kDosOnlySpec[] = "$/P/readme_first.txt";
const std::string kNotThisItems =
    "the name record here is not this item's: its name does not fit the item's short name (a "
    "name record added to or lost from names.dat moves the records after it)";
const std::string kCannotBeChecked = "cannot be checked against the item's short name";
const std::string kMayHaveHadSpaces =
    "; the name is shown as stored in its short form, and it may have lost a leading dot, may "
    "have had spaces (shown as _)";
const std::string kMayBeCut = kMayHaveHadSpaces + ", may be cut";
// The specs of the sound database, and those of its short forms.
const std::vector<std::pair<std::string, std::string>> kShortForms = {
    {"$/P/A long file name for the first item.txt", kLongCutSpec},
    {"$/P/Another long name.txt", kLongWholeSpec}};

INSTANTIATE_TEST_SUITE_P(
    Damages, DamagedDatabaseExport,
    testing::Values(
        // Child lists shorter or longer than their project's header counts.
        DatabaseDamage{
            "ListCutToThreeEntries",
            [](const DamagedFiles& d) { vsstest::TruncateFile(d.writer.DataPath(d.p), 3 * 64); },
            kExitItemsUnreadable,
            {{"$/P", "child list holds 3 entries; its project counts 6"}}},
        DatabaseDamage{"ListCutInsideAnEntry",
                       [](const DamagedFiles& d) {
                           vsstest::TruncateFile(d.writer.DataPath(d.p), 6 * 64 - 10);
                       },
                       kExitItemsUnreadable,
                       {{"$/P",
                         "child list is 374 bytes long; the 6 entries its project "
                         "counts take 384"}}},
        DatabaseDamage{
            "ListEmptied",
            [](const DamagedFiles& d) { vsstest::TruncateFile(d.writer.DataPath(d.p), 0); },
            kExitItemsUnreadable,
            {{"$/P", "child list holds 0 entries; its project counts 6"}}},
        DatabaseDamage{"ListReplacedByAnOlderCopy",
                       [](const DamagedFiles& d) {
                           // The list as it was before e.txt came, left as the other of
                           // .a and .b: the header's data file letter turned to it.
                           const fs::path list = d.writer.DataPath(d.p);
                           std::string older = vsstest::ReadWholeFile(list);
                           const std::string e = d.writer.PhysicalName(d.e);
                           for (const auto& record : vsstest::ListRecordsInBytes(older, false)) {
                               if (older.compare(record.offset + 8 + 46, 8, e) == 0) {
                                   older.erase(record.offset, 64);
                                   break;
                               }
                           }
                           fs::path other = list;
                           other.replace_extension(list.extension() == ".a" ? ".b" : ".a");
                           vsstest::WriteWholeFile(other, older);
                           fs::remove(list);
                           const fs::path log = d.writer.LogPath(d.p);
                           vsstest::PatchBytes(log, 52 + 8 + 46,
                                               other.extension() == ".a" ? ".A" : ".B");
                           vsstest::FixRecordCrc(log, 52);
                       },
                       kExitItemsUnreadable,
                       {{"$/P", "child list holds 5 entries; its project counts 6"}}},
        DatabaseDamage{"ListExtendedTo4GiB",
                       [](const DamagedFiles& d) {
                           vsstest::ExtendFile(d.writer.DataPath(d.p), std::uintmax_t{1} << 32);
                       },
                       kExitItemsUnreadable,
                       {{"$/P", "child list holds 67108864 entries; its project counts 6"}}},
        // A project whose children cannot be read: what its header counts below it.
        DatabaseDamage{"ChildListMissing",
                       [](const DamagedFiles& d) { fs::remove(d.writer.DataPath(d.p)); },
                       kExitItemsUnreadable,
                       {{"$/P",
                         "child list missing (the project counts 6 children); nothing below it "
                         "is exported: its header counts 6 entries (1 of them a project; "
                         "deleted ones included), and what lies below those is unknown"}}},
        DatabaseDamage{"ProjectLogMissing",
                       [](const DamagedFiles& d) { fs::remove(d.writer.LogPath(d.sub)); },
                       kExitItemsUnreadable,
                       {{"$/P/Sub",
                         "item file missing; nothing below it is exported, and how much lies "
                         "below it is unknown"}}},
        // A file without its data file: its content is lost, its history is all there.
        DatabaseDamage{"DataFileMissing",
                       [](const DamagedFiles& d) { fs::remove(d.writer.DataPath(d.b)); },
                       kExitItemsUnreadable,
                       {},
                       {},
                       {},
                       {{"$/P/b.txt",
                         "data file missing: the current content is lost; the history is "
                         "exported"}}},
        // names.dat that cannot be read: every item whose name is kept there is exported
        // under its short form, and listed.
        DatabaseDamage{"NamesFileMissing",
                       [](const DamagedFiles& d) { fs::remove(d.Names()); },
                       kExitItemsUnreadable,
                       {},
                       {},
                       {},
                       {{kLongCutSpec, "names.dat: file not found" + kMayBeCut},
                        {kLongWholeSpec, "names.dat: file not found" + kMayHaveHadSpaces},
                        {kDosOnlySpec, "names.dat: file not found" + kMayHaveHadSpaces}},
                       kShortForms},
        DatabaseDamage{"NamesFileADanglingLink",
                       [](const DamagedFiles& d) {
                           fs::remove(d.Names());
                           fs::create_symlink(d.Names().parent_path() / "gone.dat", d.Names());
                       },
                       kExitItemsUnreadable,
                       {},
                       {},
                       {},
                       {{kLongCutSpec, "names.dat: file not found" + kMayBeCut},
                        {kLongWholeSpec, "names.dat: file not found" + kMayHaveHadSpaces},
                        {kDosOnlySpec, "names.dat: file not found" + kMayHaveHadSpaces}},
                       kShortForms},
        DatabaseDamage{"NamesFileALinkLoop",
                       [](const DamagedFiles& d) {
                           fs::remove(d.Names());
                           fs::create_symlink("names.dat", d.Names());
                       },
                       kExitItemsUnreadable,
                       {},
                       {},
                       {},
                       {{kLongCutSpec, "Too many levels of symbolic links" + kMayBeCut},
                        {kLongWholeSpec, "Too many levels of symbolic links" + kMayHaveHadSpaces},
                        {kDosOnlySpec, "Too many levels of symbolic links" + kMayHaveHadSpaces}},
                       kShortForms},
        DatabaseDamage{"NamesFileHeaderDamaged",
                       [](const DamagedFiles& d) { vsstest::PatchBytes(d.Names(), 8, "x"); },
                       kExitItemsUnreadable,
                       {},
                       {},
                       {},
                       {{kLongCutSpec, "HN record fails its checksum" + kGap + kMayBeCut},
                        {kLongWholeSpec, "HN record fails its checksum" + kGap + kMayHaveHadSpaces},
                        {kDosOnlySpec, "HN record fails its checksum" + kGap + kMayHaveHadSpaces}},
                       kShortForms},
        // A names.dat record duplicated or lost: the records after it move, and items
        // would take each other's names.
        DatabaseDamage{"NameRecordDuplicated",
                       [](const DamagedFiles& d) {
                           vsstest::DuplicateRecord(
                               d.Names(), d.NameRecord("A long file name for the first item"));
                       },
                       kExitItemsUnreadable,
                       {},
                       {},
                       {},
                       {{kLongCutSpec, kCannotBeChecked + kGap + kMayBeCut},
                        {kLongWholeSpec, kNotThisItems + kGap + kMayHaveHadSpaces},
                        {kDosOnlySpec, kMayHaveHadSpaces}},
                       kShortForms},
        DatabaseDamage{"NameRecordDuplicatedAndTheHeaderUpdated",
                       [](const DamagedFiles& d) {
                           vsstest::DuplicateRecord(
                               d.Names(), d.NameRecord("A long file name for the first item"));
                           d.UpdateNamesHeader();
                       },
                       kExitItemsUnreadable,
                       {},
                       {},
                       {},
                       {{kLongWholeSpec, kNotThisItems + kGap + kMayHaveHadSpaces},
                        {kDosOnlySpec, kMayHaveHadSpaces}},
                       {kShortForms[1]}},
        DatabaseDamage{"NameRecordLost",
                       [](const DamagedFiles& d) {
                           vsstest::RemoveRecord(
                               d.Names(), d.NameRecord("A long file name for the first item"));
                       },
                       kExitItemsUnreadable,
                       {},
                       {},
                       {},
                       {{kLongCutSpec, kNotThisItems + kGap + kMayBeCut},
                        {kLongWholeSpec, kMayHaveHadSpaces},
                        {kDosOnlySpec, kMayHaveHadSpaces}},
                       kShortForms},
        DatabaseDamage{
            "NamesFileExtendedTo1_5GiB",
            [](const DamagedFiles& d) { vsstest::ExtendFile(d.Names(), std::uintmax_t{3} << 29); },
            kExitSuccess,
            {}},
        // Names SourceSafe does not allow: the entry is named by a stand-in that leads
        // nowhere else, and nothing of it is exported.
        DatabaseDamage{"SlashInAName",
                       [](const DamagedFiles& d) { d.PatchName(d.b, "Sub/d.txt"); },
                       kExitItemsUnreadable,
                       {{R"($/P/Sub\x2Fd.txt)",
                         R"(is named "Sub\x2Fd.txt", and "/" is not allowed in names)"}},
                       {"$/P/b.txt"}},
        DatabaseDamage{"BackslashInAName",
                       [](const DamagedFiles& d) { d.PatchName(d.e, R"(e\f.txt)"); },
                       kExitItemsUnreadable,
                       {{R"($/P/e\x5Cf.txt)", R"(and "\" is not allowed)"}},
                       {"$/P/e.txt"}},
        DatabaseDamage{"QuoteInAName",
                       [](const DamagedFiles& d) { d.PatchName(d.e, R"(e"f.txt)"); },
                       kExitItemsUnreadable,
                       {{R"($/P/e\x22f.txt)", R"(and '"' is not allowed in names)"}},
                       {"$/P/e.txt"}},
        DatabaseDamage{"ControlCharacterInAName",
                       [](const DamagedFiles& d) { d.PatchName(d.e, "e\x1B[2J.txt"); },
                       kExitItemsUnreadable,
                       {{R"($/P/e\x1B[2J.txt)", "control character 0x1B is not allowed"}},
                       {"$/P/e.txt"}},
        // A version record duplicated inside a log: the records after it move.
        DatabaseDamage{"VersionDuplicatedInAProjectLog",
                       [](const DamagedFiles& d) {
                           vsstest::DuplicateRecord(d.writer.LogPath(d.p), d.VersionRecord(d.p, 3));
                       },
                       kExitItemsUnreadable,
                       {{"$/P",
                         "the newest version is 6, but the item header counts 7 "
                         "versions from version 1"}}},
        DatabaseDamage{"VersionDuplicatedInAFileLog",
                       [](const DamagedFiles& d) {
                           vsstest::DuplicateRecord(d.writer.LogPath(d.b), d.VersionRecord(d.b, 2));
                       },
                       kExitItemsUnreadable,
                       {{"$/P/b.txt", "expected a EL record"}}},
        DatabaseDamage{"LogExtendedTo4GiB",
                       [](const DamagedFiles& d) {
                           vsstest::ExtendFile(d.writer.LogPath(d.b), std::uintmax_t{1} << 32);
                       },
                       kExitSuccess,
                       {}},
        // An entry and the item it leads to must agree: a redirected entry or a log
        // replaced by another item's shows as another name or another parent.
        DatabaseDamage{"EntryRedirectedToAnotherFile",
                       [](const DamagedFiles& d) {
                           vsstest::PatchChildEntry(
                               d.writer.DataPath(d.p), d.writer.PhysicalName(d.b),
                               vssdb::project_entry_format::kPhysical, d.writer.PhysicalName(d.e));
                       },
                       kExitItemsUnreadable,
                       {},
                       {},
                       {{"$/P/b.txt", "its header names it \"e.txt\", the entry in the list"}}},
        DatabaseDamage{"FileLogReplacedByAnotherFilesLog",
                       [](const DamagedFiles& d) {
                           fs::copy_file(d.writer.LogPath(d.e), d.writer.LogPath(d.b),
                                         fs::copy_options::overwrite_existing);
                       },
                       kExitItemsUnreadable,
                       {},
                       {},
                       {{"$/P/b.txt", "its header names it \"e.txt\""}}},
        DatabaseDamage{"EntryRedirectedToAFileOfAnotherProject",
                       [](const DamagedFiles& d) {
                           // Named alike, so that only the parent records tell. f.txt
                           // was added right after Q.
                           d.PatchName(d.e, "f.txt");
                           vsstest::PatchChildEntry(d.writer.DataPath(d.p),
                                                    d.writer.PhysicalName(d.e),
                                                    vssdb::project_entry_format::kPhysical,
                                                    d.writer.PhysicalName(d.q + 1));
                       },
                       kExitItemsUnreadable,
                       {},
                       {"$/P/e.txt"},
                       {{"$/P/f.txt", "its parent records do not name"}}},
        DatabaseDamage{"ProjectHeaderNamesAnotherParent",
                       [](const DamagedFiles& d) {
                           const fs::path log = d.writer.LogPath(d.sub);
                           vsstest::PatchBytes(log, 52 + 8 + 340, d.writer.PhysicalName(d.q));
                           vsstest::FixRecordCrc(log, 52);
                       },
                       kExitItemsUnreadable,
                       {},
                       {},
                       {{"$/P/Sub", "its header names the parent project"}}},
        DatabaseDamage{"UnreferencedFileOf2GiB",
                       [](const DamagedFiles& d) {
                           const fs::path file = d.writer.DataFolderPath() / "z" / "zzzzzzzz";
                           fs::create_directories(file.parent_path());
                           // A log whose header says so, which the reader must not read.
                           fs::copy_file(d.writer.LogPath(d.b), file);
                           vsstest::PatchU32(file, 52 + 8 + 56, 0x7FFFFFFFu);
                           vsstest::FixRecordCrc(file, 52);
                           vsstest::ExtendFile(file, std::uintmax_t{1} << 31);
                       },
                       kExitSuccess,
                       {}}),
    [](const testing::TestParamInfo<DatabaseDamage>& info) { return info.param.name; });

}  // namespace
