// varnotte-csv's inventory for migrations: JSON Lines, the wide CSV, deleted items,
// project histories, filters, the errors file and the users list, read back as a script
// reads them (QJsonDocument for JSON, the CSV reader for CSV).
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "testing/damage.h"
#include "testing/database_writer.h"
#include "testing/file_io.h"
#include "testing/record_builder.h"
#include "tests/support/csv_parse.h"
#include "tests/support/csv_program.h"
#include "tests/support/fixtures.h"
#include "tests/support/qt_path.h"
#include "tests/support/temp_dir.h"
#include "vssdb/record_format.h"
#include "vssdb/user_file_format.h"

namespace {

namespace fs = std::filesystem;
using varnotte::test::CsvRun;
using varnotte::test::RunCsv;
using vsstest::ItemId;
using vsstest::Stamp;

using varnotte::test::Q;

// Noon of 1 January 2006 on the writer's clock, and the days after it.
constexpr std::uint32_t kDay0 = 1136116800;
Stamp Day(int day, std::string user = "Admin", std::string comment = {}) {
    return Stamp{std::move(user), kDay0 + static_cast<std::uint32_t>(day) * 86400,
                 std::move(comment)};
}

std::vector<QJsonObject> ParseJsonLines(const std::string& text) {
    std::vector<QJsonObject> objects;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        QJsonParseError error{};
        const QJsonDocument document =
            QJsonDocument::fromJson(QByteArray::fromStdString(line), &error);
        EXPECT_EQ(error.error, QJsonParseError::NoError) << line;
        EXPECT_TRUE(document.isObject()) << line;
        objects.push_back(document.object());
    }
    EXPECT_TRUE(text.empty() || text.back() == '\n') << "the last line ends with LF too";
    return objects;
}

std::string Str(const QJsonValue& value) {
    return value.toString().toStdString();
}

// Lib and App; shared.c shared into App, pinned.h shared and pinned there at version 2,
// base.c shared and then branched in App; tool.exe (binary, of VSS 2005's type UTF-8, as
// that version stores UTF-8 text) checked out twice; old.txt
// deleted and added again; App labelled v1.0, shared.c labelled file-label; in Lib a
// rename and a destroyed file, and a label "withdrawn" its users removed; the project Old,
// with x.txt in it, deleted. Users Admin, Guest and
// Tanaka; Ghost wrote a version but is no user.
class Inventory : public testing::Test {
  protected:
    static vsstest::WriterOptions KeepingContents() {
        vsstest::WriterOptions options;
        options.keepVersionContents = true;
        return options;
    }

    void SetUp() override {
        writer.AddUser("Tanaka", "");
        lib = writer.AddProject(writer.Root(), "Lib", Day(0));
        app = writer.AddProject(writer.Root(), "App", Day(0));
        const ItemId old = writer.AddProject(writer.Root(), "Old", Day(0));
        writer.AddFile(old, "x.txt", Day(0));
        writer.Delete(writer.Root(), old, Day(0));
        shared = writer.AddFile(lib, "shared.c", Day(1, "Admin", "first"));
        writer.CheckIn(shared, Day(2, "Tanaka", "fix \"quotes\"\r\nline two"));
        pinned = writer.AddFile(lib, "pinned.h", Day(3));
        writer.CheckIn(pinned, Day(4));
        writer.CheckIn(pinned, Day(5));
        const ItemId base = writer.AddFile(lib, "base.c", Day(6));
        writer.CheckIn(base, Day(7));
        writer.Share(shared, app, Day(8));
        writer.Share(pinned, app, Day(8));
        writer.Share(base, app, Day(8));
        writer.Pin(app, pinned, 2, Day(9));
        branched = writer.Branch(app, base, Day(10, "Tanaka"));
        tool = writer.AddFile(app, "tool.exe", Day(11), /*binary=*/true);
        writer.SetFileType(tool, 3);
        writer.CheckOut(tool, {{"Tanaka", Day(12).time, "editing"}, "C:\\work\\App", "PC-7", ""});
        writer.CheckOutAgain(tool, {{"Admin", Day(13).time, ""}, "D:\\src", "BUILD", ""});
        oldFile = writer.AddFile(app, "old.txt", Day(12));
        writer.Delete(app, oldFile, Day(13));
        writer.AddFile(app, "old.txt", Day(14));
        writer.Label(app, "v1.0", Day(15), "first release");
        writer.CheckIn(shared, Day(16));
        const ItemId renamed = writer.AddFile(lib, "a.txt", Day(17));
        writer.Rename(lib, renamed, "b.txt", Day(18));
        const ItemId gone = writer.AddFile(lib, "gone.txt", Day(19));
        writer.Destroy(lib, gone, Day(20));
        writer.Label(lib, "withdrawn", Day(20), "never mind");
        writer.RemoveLabel(lib, "withdrawn");
        writer.Label(shared, "file-label", Day(21));
        writer.CheckIn(pinned, Day(22, "Ghost"));  // no user of the database
        writer.Write();
        ini = Q(writer.IniPath());
    }

    CsvRun Run(QStringList arguments, const QString& spec = {}) {
        arguments << ini;
        if (!spec.isEmpty()) {
            arguments << spec;
        }
        return RunCsv(arguments);
    }

    // The object of the item row for `spec` (the live one).
    static QJsonObject ItemNamed(const std::vector<QJsonObject>& objects, const std::string& spec) {
        for (const QJsonObject& object : objects) {
            if (Str(object["record"]) == "item" && Str(object["spec"]) == spec &&
                !object["deleted"].toBool()) {
                return object;
            }
        }
        ADD_FAILURE() << "no item row for " << spec;
        return {};
    }

    // "spec#version" of every version row, in order.
    static std::vector<std::string> VersionRows(const std::string& csv) {
        std::vector<std::string> rows;
        for (const auto& record : varnotte::test::ParseCsv(csv)) {
            if (record.size() >= 6) {
                rows.push_back(record[0] + "#" + record[1]);
            }
        }
        return rows;
    }

    varnotte::test::TempDir dir;
    vsstest::DatabaseWriter writer{dir / "db", KeepingContents()};
    QString ini;
    ItemId lib = 0, app = 0, shared = 0, pinned = 0, branched = 0, tool = 0, oldFile = 0;
};

TEST_F(Inventory, JsonLinesCarryEveryFactOfItems) {
    const CsvRun run = Run({"--format", "jsonl", "--deleted"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::vector<QJsonObject> objects = ParseJsonLines(run.out);

    const QJsonObject tool = ItemNamed(objects, "$/App/tool.exe");
    EXPECT_EQ(Str(tool["type"]), "file");
    EXPECT_TRUE(tool["binary"].toBool());
    EXPECT_EQ(Str(tool["fileType"]), "utf-8") << "the stored type, beside the stored flag";
    EXPECT_FALSE(ItemNamed(objects, "$/App/shared.c").contains("fileType"))
        << "a file whose entry stores no type has none";
    EXPECT_TRUE(tool["checkedOut"].toBool());
    EXPECT_EQ(Str(tool["physical"]), writer.PhysicalName(this->tool));
    EXPECT_EQ(tool["size"].toInteger(),
              static_cast<qint64>(fs::file_size(writer.DataPath(this->tool))));
    const QJsonArray checkouts = tool["checkouts"].toArray();
    ASSERT_EQ(checkouts.size(), 2);
    // The newest checkout first, as the file's header names it.
    EXPECT_EQ(Str(checkouts[0].toObject()["user"]), "Admin");
    const QJsonObject tanaka = checkouts[1].toObject();
    EXPECT_EQ(Str(tanaka["user"]), "Tanaka");
    EXPECT_EQ(Str(tanaka["date"]), "2006-01-13T12:00:00");
    EXPECT_EQ(Str(tanaka["folder"]), "C:\\work\\App");
    EXPECT_EQ(Str(tanaka["machine"]), "PC-7");
    EXPECT_EQ(Str(tanaka["project"]), "$/App");
    EXPECT_EQ(Str(tanaka["comment"]), "editing");
    EXPECT_EQ(tanaka["version"].toInt(), 1);

    const QJsonObject sharedInApp = ItemNamed(objects, "$/App/shared.c");
    EXPECT_FALSE(sharedInApp["checkedOut"].toBool());
    EXPECT_EQ(sharedInApp["links"].toArray(),
              (QJsonArray{QStringLiteral("$/Lib/shared.c"), QStringLiteral("$/App/shared.c")}));
    EXPECT_FALSE(sharedInApp.contains("pinnedVersion"));
    EXPECT_EQ(sharedInApp["version"].toInt(), 4) << "two check-ins after the creation, a label";

    const QJsonObject pinnedInApp = ItemNamed(objects, "$/App/pinned.h");
    EXPECT_EQ(pinnedInApp["pinnedVersion"].toInt(), 2);
    EXPECT_EQ(pinnedInApp["version"].toInt(), 2);
    EXPECT_EQ(ItemNamed(objects, "$/Lib/pinned.h")["version"].toInt(), 4);

    const QJsonObject branch = ItemNamed(objects, "$/App/base.c")["branch"].toObject();
    EXPECT_EQ(Str(branch["source"]), "$/Lib/base.c");
    EXPECT_EQ(branch["version"].toInt(), 2);
    EXPECT_FALSE(ItemNamed(objects, "$/Lib/base.c").contains("branch"));

    // The deleted old.txt and the live one of the same name both come out, told apart.
    int oldRows = 0;
    for (const QJsonObject& object : objects) {
        if (Str(object["record"]) == "item" && Str(object["spec"]) == "$/App/old.txt") {
            ++oldRows;
            EXPECT_EQ(object["deleted"].toBool(),
                      Str(object["physical"]) == writer.PhysicalName(oldFile));
            EXPECT_EQ(object["links"].toArray().isEmpty(), object["deleted"].toBool());
        }
    }
    EXPECT_EQ(oldRows, 2);
    // What lies in a deleted project is deleted with it.
    std::vector<std::string> deletedItems;
    for (const QJsonObject& object : objects) {
        if (Str(object["record"]) == "item" && object["deleted"].toBool()) {
            deletedItems.push_back(Str(object["spec"]));
        }
    }
    EXPECT_EQ(deletedItems, (std::vector<std::string>{"$/App/old.txt", "$/Old", "$/Old/x.txt"}));
    const QJsonObject project = ItemNamed(objects, "$/App");
    EXPECT_EQ(Str(project["type"]), "project");
    EXPECT_FALSE(project.contains("checkouts")) << "projects carry no file facts";
    EXPECT_NE(run.out.find("\"deleted\":false"), std::string::npos);
    EXPECT_EQ(Run({"--format", "jsonl"}).out.find("\"deleted\""), std::string::npos)
        << "the deleted field comes only with --deleted";
}

TEST_F(Inventory, JsonLinesCarryEveryFactOfVersions) {
    const CsvRun run = Run({"--format", "jsonl", "--history", "--project-history", "--deleted"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::vector<QJsonObject> objects = ParseJsonLines(run.out);
    // The action code of every version of a spec, newest first.
    std::map<std::string, std::vector<std::string>> codes;
    std::map<std::string, QJsonObject> byAction;
    for (const QJsonObject& object : objects) {
        if (Str(object["record"]) == "version") {
            codes[Str(object["spec"])].push_back(Str(object["actionCode"]));
            byAction[Str(object["spec"]) + " " + Str(object["actionCode"])] = object;
        }
    }
    EXPECT_EQ(codes["$/"],
              (std::vector<std::string>{"deleted", "added", "added", "added", "created"}));
    EXPECT_EQ(codes["$/Old/x.txt"], (std::vector<std::string>{"created"}));
    EXPECT_EQ(codes["$/Lib"],
              (std::vector<std::string>{"label_removed", "destroyed", "added", "renamed", "added",
                                        "added", "added", "added", "created"}));
    EXPECT_EQ(codes["$/App"],
              (std::vector<std::string>{"labeled", "added", "deleted", "added", "added", "branched",
                                        "pinned", "shared", "shared", "shared", "created"}));
    EXPECT_EQ(codes["$/App/base.c"],
              (std::vector<std::string>{"branched_at", "checked_in", "created"}));

    const QJsonObject label = byAction["$/App labeled"];
    EXPECT_EQ(Str(label["type"]), "project");
    EXPECT_EQ(Str(label["label"]), "v1.0");
    EXPECT_EQ(Str(label["labelComment"]), "first release");
    EXPECT_EQ(Str(label["date"]), "2006-01-16T12:00:00");
    const QJsonObject pin = byAction["$/App pinned"];
    EXPECT_EQ(Str(pin["name"]), "pinned.h");
    EXPECT_EQ(pin["pinnedVersion"].toInt(), 2);
    EXPECT_EQ(Str(byAction["$/App shared"]["sourceSpec"]), "$/Lib/shared.c");
    EXPECT_EQ(Str(byAction["$/App deleted"]["name"]), "old.txt");
    const QJsonObject rename = byAction["$/Lib renamed"];
    EXPECT_EQ(Str(rename["oldName"]), "a.txt");
    EXPECT_EQ(Str(rename["newName"]), "b.txt");
    EXPECT_EQ(Str(rename["action"]), "Renamed a.txt to b.txt");
    EXPECT_EQ(Str(byAction["$/Lib destroyed"]["name"]), "gone.txt");
    // A removed label keeps its version, with what is left of its name.
    const QJsonObject removed = byAction["$/Lib label_removed"];
    EXPECT_EQ(removed["version"].toInt(), 9);
    EXPECT_EQ(Str(removed["label"]), "withdrawn");
    EXPECT_EQ(Str(removed["labelComment"]), "never mind");
    EXPECT_EQ(Str(removed["action"]), "Labeled 'withdrawn' (removed)");
    EXPECT_EQ(byAction["$/App/base.c branched_at"]["fromVersion"].toInt(), 2);
    const QJsonObject checkIn = byAction["$/Lib/shared.c checked_in"];  // the last one seen
    EXPECT_EQ(Str(checkIn["user"]), "Tanaka");
    EXPECT_EQ(Str(checkIn["comment"]), "fix \"quotes\"\nline two");
    EXPECT_EQ(Str(checkIn["projectSpec"]), "$/Lib");
    EXPECT_EQ(Str(checkIn["date"]), "2006-01-03T12:00:00");

    // A project's versions follow its row; the expanded project's come first of all.
    EXPECT_EQ(Str(objects.front()["spec"]), "$/");
    const auto rowOf = [&](const std::string& record, const std::string& spec) {
        for (std::size_t i = 0; i < objects.size(); ++i) {
            if (Str(objects[i]["record"]) == record && Str(objects[i]["spec"]) == spec) {
                return i;
            }
        }
        return objects.size();
    };
    EXPECT_EQ(rowOf("version", "$/App"), rowOf("item", "$/App") + 1);
}

TEST_F(Inventory, WideCsvHasAHeaderAndAColumnPerFact) {
    const CsvRun run =
        Run({"--columns", "wide", "--history", "--project-history", "--date-format", "iso"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const auto records = varnotte::test::ParseCsv(run.out);
    ASSERT_FALSE(records.empty());
    const varnotte::test::CsvRecord& header = records.front();
    std::map<std::string, std::size_t> column;
    for (std::size_t i = 0; i < header.size(); ++i) {
        column[header[i]] = i;
    }
    const auto row = [&](const std::string& record, const std::string& spec,
                         const std::string& version) -> varnotte::test::CsvRecord {
        for (const auto& r : records) {
            EXPECT_EQ(r.size(), header.size());
            if (r[column["record"]] == record && r[column["spec"]] == spec &&
                (version.empty() || r[column["version"]] == version)) {
                return r;
            }
        }
        ADD_FAILURE() << "no " << record << " row for " << spec;
        return varnotte::test::CsvRecord(header.size());
    };
    const auto tool = row("item", "$/App/tool.exe", "");
    EXPECT_EQ(tool[column["binary"]], "true");
    EXPECT_EQ(tool[column["file_type"]], "utf-8");
    EXPECT_EQ(row("item", "$/App/shared.c", "")[column["file_type"]], "");
    EXPECT_EQ(tool[column["checked_out"]], "true");
    EXPECT_EQ(tool[column["checkout_user"]], "Admin\r\nTanaka");
    EXPECT_EQ(tool[column["checkout_date"]], "2006-01-14T12:00:00\r\n2006-01-13T12:00:00");
    EXPECT_EQ(row("item", "$/App/shared.c", "")[column["links"]],
              "$/Lib/shared.c\r\n$/App/shared.c");
    EXPECT_EQ(row("item", "$/App/pinned.h", "")[column["pinned_version"]], "2");
    const auto base = row("item", "$/App/base.c", "");
    EXPECT_EQ(base[column["branch_source"]], "$/Lib/base.c");
    EXPECT_EQ(base[column["branch_version"]], "2");
    const auto checkIn = row("version", "$/Lib/shared.c", "2");
    EXPECT_EQ(checkIn[column["user"]], "Tanaka");
    EXPECT_EQ(checkIn[column["date"]], "2006-01-03T12:00:00");
    EXPECT_EQ(checkIn[column["action_code"]], "checked_in");
    const auto removedLabel = row("version", "$/Lib", "9");
    EXPECT_EQ(removedLabel[column["action_code"]], "label_removed");
    EXPECT_EQ(removedLabel[column["label"]], "withdrawn");
    EXPECT_EQ(checkIn[column["comment"]], "fix \"quotes\"\r\nline two");
    EXPECT_EQ(checkIn[column["binary"]], "") << "item columns stay empty on version rows";
    const auto label = row("version", "$/Lib/shared.c", "4");
    EXPECT_EQ(label[column["label"]], "file-label");
}

TEST_F(Inventory, DeletedItemsInTheDefaultCsvGetALastColumn) {
    const CsvRun plain = Run({"--history"});
    const CsvRun deleted = Run({"--history", "--deleted"});
    ASSERT_EQ(deleted.exitCode, 0) << deleted.err;
    std::vector<std::string> marked;
    std::size_t liveRows = 0;
    for (const auto& record : varnotte::test::ParseCsv(deleted.out)) {
        ASSERT_TRUE(record.size() == 3 || record.size() == 7);
        if (record.back() == "deleted") {
            marked.push_back(record[0] + "#" + record[1]);
        } else {
            ASSERT_EQ(record.back(), "");
            ++liveRows;
        }
    }
    EXPECT_EQ(marked, (std::vector<std::string>{"$/App/old.txt#1", "$/App/old.txt#1", "$/Old#2",
                                                "$/Old/x.txt#1", "$/Old/x.txt#1"}));
    EXPECT_EQ(liveRows, varnotte::test::ParseCsv(plain.out).size());
}

struct FilterCase {
    QStringList arguments;
    std::vector<std::string> versionRows;  // "spec#version", in the walk's order
};

TEST_F(Inventory, FiltersChooseVersionRowsAndKeepEveryItemRow) {
    const std::size_t itemRows = varnotte::test::ParseCsv(Run({}).out).size();
    const std::vector<FilterCase> cases = {
        {{"--author", "tanaka"}, {"$/App/base.c#3", "$/App/shared.c#2", "$/Lib/shared.c#2"}},
        {{"--author", "Tanaka", "--author", "Nobody", "--until", "2006-01-03"},
         {"$/App/shared.c#2", "$/Lib/shared.c#2"}},
        {{"--since", "2006-01-17", "--until", "2006-01-17 11:59"}, {}},
        {{"--since", "2006-01-17 12:00", "--until", "2006-01-22"},
         {"$/App/shared.c#4", "$/App/shared.c#3", "$/Lib/b.txt#1", "$/Lib/shared.c#4",
          "$/Lib/shared.c#3"}},
        // The project label marks each file's newest version at its time; through App the
        // pinned file stops at its pin.
        {{"--label", "V1.0"},
         {"$/App/base.c#3", "$/App/old.txt#1", "$/App/pinned.h#2", "$/App/shared.c#2",
          "$/App/tool.exe#1"}},
        // A file's own label: the label and the version below it.
        {{"--label", "file-label"},
         {"$/App/shared.c#4", "$/App/shared.c#3", "$/Lib/shared.c#4", "$/Lib/shared.c#3"}},
        {{"--label", "file-label", "--author", "Nobody"}, {}},
        // A removed label is no label: it marks nothing.
        {{"--label", "withdrawn"}, {}},
    };
    for (const FilterCase& filter : cases) {
        const CsvRun run = Run(QStringList{"--history"} + filter.arguments);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(VersionRows(run.out), filter.versionRows)
            << filter.arguments.join(' ').toStdString();
        EXPECT_EQ(varnotte::test::ParseCsv(run.out).size() - VersionRows(run.out).size(), itemRows)
            << filter.arguments.join(' ').toStdString();
    }
    // With the project's own history the label comes too, and the project's version it marks.
    const CsvRun project = Run({"--project-history", "--label", "v1.0"});
    EXPECT_EQ(VersionRows(project.out), (std::vector<std::string>{"$/App#11", "$/App#10"}));
}

TEST_F(Inventory, UsersWithTheirVersions) {
    // Tanaka becomes a read-only user. Ghost, who is none, still counts.
    const auto records = vsstest::ListRecords(writer.UserFilePath(), true);
    for (const auto& record : records) {
        if (record.signature == "UU") {
            std::ifstream in(writer.UserFilePath(), std::ios::binary);
            in.seekg(
                static_cast<std::streamoff>(record.offset + vssdb::record_format::kHeaderSize));
            char name[7] = {};
            in.read(name, 6);
            if (std::string(name) == "Tanaka") {
                vsstest::PatchU16(writer.UserFilePath(),
                                  record.offset + vssdb::record_format::kHeaderSize +
                                      vssdb::user_file_format::kUserFlags,
                                  vssdb::user_file_format::kReadOnly);
                vsstest::FixRecordCrc(writer.UserFilePath(), record.offset);
            }
        }
    }
    const CsvRun list = Run({"--users"});
    ASSERT_EQ(list.exitCode, 0) << list.err;
    EXPECT_EQ(list.out,
              "\"user\",\"read_only\"\r\n\"Admin\",\"false\"\r\n\"Guest\",\"false\"\r\n"
              "\"Tanaka\",\"true\"\r\n");
    const CsvRun counted = Run({"--users", "--history", "--format", "jsonl"});
    ASSERT_EQ(counted.exitCode, 0) << counted.err;
    const std::vector<QJsonObject> users = ParseJsonLines(counted.out);
    ASSERT_EQ(users.size(), 4u);
    // Each stored version once: shared.c's version 2 however many projects show it, and
    // base.c's branch.
    EXPECT_EQ(Str(users[2]["user"]), "Tanaka");
    EXPECT_EQ(users[2]["versions"].toInt(), 2);
    EXPECT_EQ(Str(users[2]["firstDate"]), "2006-01-03T12:00:00");
    EXPECT_EQ(Str(users[2]["lastDate"]), "2006-01-11T12:00:00");
    EXPECT_EQ(users[1]["versions"].toInt(), 0);
    EXPECT_TRUE(users[1]["firstDate"].isNull());
    EXPECT_EQ(Str(users[3]["user"]), "Ghost");
    EXPECT_FALSE(users[3]["listed"].toBool());
    EXPECT_TRUE(users[3]["readOnly"].isNull());
    EXPECT_EQ(users[3]["versions"].toInt(), 1);
    const auto csv = varnotte::test::ParseCsv(Run({"--users", "--history"}).out);
    ASSERT_EQ(csv.size(), 5u);
    EXPECT_EQ(csv[4], (varnotte::test::CsvRecord{"Ghost", "", "1", "2006/01/23 12:00:00",
                                                 "2006/01/23 12:00:00"}));
}

// srcsafe.ini's [TimeZone] gives ISO and JSON dates their UTC offset, daylight saving time
// applied; the default CSV keeps the wall clock as stored. A user listed twice is a warning.
TEST(InventoryTimeZone, DatesCarryTheOffsetOfTheZoneTheIniNames) {
    varnotte::test::TempDir dir;
    vsstest::WriterOptions options;
    options.timeZoneText =
        "Name = (UTC-05:00) Eastern Time (US & Canada)\r\nTZ_Bias = 300\r\n"
        "TZ_DaylightBias = -60\r\nTZ_DaylightDate = 0000/03/02 02:00:00.000\r\n"
        "TZ_StandardBias = 0\r\nTZ_StandardDate = 0000/11/01 02:00:00.000\r\n"
        "TZ_UseDaylightSavingTime = Yes\r\n";
    vsstest::DatabaseWriter writer(dir / "db", options);
    writer.AddUser("Tanaka", "");
    writer.AddUser("Tanaka", "");
    const ItemId file = writer.AddFile(writer.Root(), "a.txt", Day(0, "Tanaka"));  // January
    writer.CheckIn(file, Day(200, "Tanaka"));                                      // July
    writer.Write();
    const QString ini = Q(writer.IniPath());
    struct DateCase {
        QStringList arguments;
        std::vector<std::string> dates;  // as written, newest first
    };
    const std::vector<DateCase> cases = {
        {{"--history"}, {"2006/07/20 12:00:00", "2006/01/01 12:00:00"}},
        {{"--history", "--date-format", "iso"},
         {"2006-07-20T12:00:00-04:00", "2006-01-01T12:00:00-05:00"}},
        {{"--history", "--columns", "wide", "--date-format", "iso"},
         {"2006-07-20T12:00:00-04:00", "2006-01-01T12:00:00-05:00"}},
        {{"--history", "--format", "jsonl"},
         {"\"2006-07-20T12:00:00-04:00\"", "\"2006-01-01T12:00:00-05:00\""}},
        {{"--users", "--history", "--format", "jsonl"},
         {"\"2006-01-01T12:00:00-05:00\"", "\"2006-07-20T12:00:00-04:00\""}},
    };
    for (const DateCase& dates : cases) {
        const CsvRun run = RunCsv(dates.arguments + QStringList{ini});
        const std::string shown = dates.arguments.join(' ').toStdString();
        ASSERT_EQ(run.exitCode, 0) << shown << ": " << run.err;
        std::size_t at = 0;
        for (const std::string& date : dates.dates) {
            at = run.out.find(date, at);
            EXPECT_NE(at, std::string::npos) << shown << ": " << date << " in\n" << run.out;
        }
        EXPECT_NE(run.err.find("um.dat lists Tanaka twice; it counts as one user"),
                  std::string::npos)
            << shown << ": " << run.err;
    }
    varnotte::test::TempDir out;
    const CsvRun report = RunCsv({"--report", Q(out / "report.html"), ini});
    ASSERT_EQ(report.exitCode, 0) << report.err;
    const std::string html = vsstest::ReadWholeFile(out / "report.html");
    EXPECT_NE(html.find("(UTC-05:00) Eastern Time (US &amp; Canada) (UTC-05:00, UTC-04:00)"),
              std::string::npos);
    EXPECT_NE(html.find("the user file lists Tanaka twice"), std::string::npos);
}

TEST_F(Inventory, ErrorsFileListsUnreadableItemsWithTheirFiles) {
    vsstest::TruncateFile(writer.LogPath(tool), 100);
    const CsvRun run =
        Run({"--errors", Q(dir / "errors.csv"), "--format", "jsonl", "-o", Q(dir / "out.jsonl")});
    EXPECT_EQ(run.exitCode, 4) << run.err;
    std::ifstream in(dir / "errors.csv", std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    const auto records = varnotte::test::ParseCsv(text.str());
    ASSERT_EQ(records.size(), 2u) << text.str();
    EXPECT_EQ(records[0], (varnotte::test::CsvRecord{"spec", "file", "reason"}));
    EXPECT_EQ(records[1][0], "$/App/tool.exe");
    EXPECT_TRUE(fs::equivalent(records[1][1], writer.LogPath(tool))) << records[1][1];
    EXPECT_NE(records[1][2].find("runs past the end"), std::string::npos) << records[1][2];

    const CsvRun sound = Run({"--errors", Q(dir / "none.csv")}, "$/Lib");
    EXPECT_EQ(sound.exitCode, 0) << sound.err;
    EXPECT_EQ(fs::file_size(dir / "none.csv"),
              std::string("\"spec\",\"file\",\"reason\"\r\n").size());
}

TEST_F(Inventory, ContentCheckNamesDamagedAndRestoredFilesAndLeavesTheExport) {
    const CsvRun plain = Run({"--history", "-o", Q(dir / "plain.csv")});
    ASSERT_EQ(plain.exitCode, 0) << plain.err;
    const CsvRun intact = Run({"--check-content", "--history", "-o", Q(dir / "intact.csv")});
    EXPECT_EQ(intact.exitCode, 0) << intact.err;

    // JSON Lines: each version's size as checked in, its kind of content (tool.exe's from the
    // type VSS 2005 stores, the others' from their bytes), and what each history occupies.
    const CsvRun facts = Run({"--check-content", "--history", "--format", "jsonl"}, "$/Lib");
    ASSERT_EQ(facts.exitCode, 0) << facts.err;
    const std::map<std::string, ItemId> files{
        {"$/Lib/shared.c", shared}, {"$/Lib/pinned.h", pinned}, {"$/App/tool.exe", tool}};
    const CsvRun toolFacts = Run({"--check-content", "--history", "--format", "jsonl"}, "$/App");
    std::vector<QJsonObject> objects = ParseJsonLines(facts.out);
    for (const QJsonObject& object : ParseJsonLines(toolFacts.out)) {
        objects.push_back(object);
    }
    std::set<std::string> seen;
    for (const QJsonObject& object : objects) {
        const auto file = files.find(Str(object["spec"]));
        if (file == files.end() || Str(object["type"]) != "file") {
            continue;
        }
        const std::string type = file->second == tool ? "utf-8" : "text";
        if (Str(object["record"]) == "version") {
            const int version = object["version"].toInt();
            const std::optional<std::string> bytes = writer.VersionContent(file->second, version);
            ASSERT_TRUE(bytes) << file->first << " " << version;
            EXPECT_EQ(object["size"].toInteger(), static_cast<qint64>(bytes->size()))
                << file->first << " " << version;
            EXPECT_EQ(Str(object["contentType"]), type) << file->first << " " << version;
        } else {
            seen.insert(file->first);
            EXPECT_EQ(Str(object["contentType"]), type) << file->first;
            EXPECT_EQ(object["historyBytes"].toInteger(),
                      static_cast<qint64>(fs::file_size(writer.LogPath(file->second)) +
                                          fs::file_size(writer.DataPath(file->second))))
                << file->first;
        }
    }
    EXPECT_EQ(seen.size(), files.size());

    // tool.exe's content changed; pinned.h went through a text-mode copy; shared.c lost its
    // data file, which the walk names anyway: once is enough.
    vsstest::PatchBytes(writer.DataPath(tool), 0, "#");
    std::string text = vsstest::ReadWholeFile(writer.DataPath(pinned));
    ASSERT_NE(text.find("\r\n"), std::string::npos);
    std::erase(text, '\r');
    vsstest::WriteWholeFile(writer.DataPath(pinned), text);
    fs::remove(writer.DataPath(shared));
    const CsvRun damaged = Run({"--check-content", "--history", "--errors", Q(dir / "errors.csv"),
                                "-o", Q(dir / "damaged.csv")});
    EXPECT_EQ(damaged.exitCode, 4) << damaged.err;
    // The report's content section names what cannot be rebuilt, and counts what was restored.
    EXPECT_EQ(Run({"--check-content", "--report", Q(dir / "report.html")}).exitCode, 4);
    const std::string html = vsstest::ReadWholeFile(dir / "report.html");
    const std::size_t section = html.find("<section id=\"content\">");
    ASSERT_NE(section, std::string::npos);
    const std::string content = html.substr(section, html.find("</section>", section) - section);
    EXPECT_NE(content.find("$/App/tool.exe</td><td>"), std::string::npos) << content;
    EXPECT_NE(content.find("1 data file had its CR LF line endings"), std::string::npos) << content;
    ASSERT_EQ(Run({"--history", "-o", Q(dir / "plain-damaged.csv")}).exitCode, 4);
    EXPECT_EQ(vsstest::ReadWholeFile(dir / "intact.csv"),
              vsstest::ReadWholeFile(dir / "plain.csv"));
    EXPECT_EQ(vsstest::ReadWholeFile(dir / "damaged.csv"),
              vsstest::ReadWholeFile(dir / "plain-damaged.csv"));
    EXPECT_NE(damaged.err.find("cannot rebuild the content of $/App/tool.exe"), std::string::npos)
        << damaged.err;
    EXPECT_NE(damaged.err.find("1 file(s) have content that cannot be rebuilt whole"),
              std::string::npos)
        << damaged.err;
    EXPECT_NE(damaged.err.find("1 data file(s) had their CR LF line endings restored"),
              std::string::npos)
        << damaged.err;

    std::map<std::string, varnotte::test::CsvRecord> rows;  // by spec and reason's start
    for (const auto& record :
         varnotte::test::ParseCsv(vsstest::ReadWholeFile(dir / "errors.csv"))) {
        EXPECT_EQ(record[2].find("(the file's current content)"), std::string::npos) << record[2];
        rows[record[0] + " " + record[2].substr(0, 7)] = record;
    }
    const auto& tool = rows["$/App/tool.exe content"];
    ASSERT_EQ(tool.size(), 3u) << damaged.err;
    EXPECT_TRUE(fs::equivalent(tool[1], writer.DataPath(this->tool))) << tool[1];
    EXPECT_NE(tool[2].find("does not match the checksum"), std::string::npos) << tool[2];
    // Named once, where the walk reaches it first (App comes before Lib).
    const auto& restored = rows["$/App/pinned.h line en"];
    ASSERT_EQ(restored.size(), 3u) << damaged.err;
    EXPECT_TRUE(fs::equivalent(restored[1], writer.DataPath(pinned))) << restored[1];
    EXPECT_NE(restored[2].find("and restored"), std::string::npos) << restored[2];
}

// Where `got` first differs from `wanted`: the line's number and both versions of it.
std::string FirstDifference(const std::string& got, const std::string& wanted) {
    std::istringstream gotLines(got);
    std::istringstream wantedLines(wanted);
    std::string a;
    std::string b;
    for (int line = 1;; ++line) {
        const bool moreGot = static_cast<bool>(std::getline(gotLines, a));
        const bool moreWanted = static_cast<bool>(std::getline(wantedLines, b));
        if (!moreGot && !moreWanted) {
            return "the same lines";
        }
        if (moreGot != moreWanted || a != b) {
            return "line " + std::to_string(line) + "\n  got:      " + (moreGot ? a : "(end)") +
                   "\n  expected: " + (moreWanted ? b : "(end)");
        }
    }
}

// The default export of every real database, byte for byte as it was before the formats
// above were added (tests/cli/expected/), with its exit status: edits-comments has no
// names.dat, so the files with long names go by their stored short names (status 4).
TEST(DefaultExport, EveryFixtureUnchanged) {
    const struct {
        std::string fixture;
        int exitCode;
    } expected[] = {
        {"client-clutter", 0}, {"edits-comments", 4}, {"empty-root", 0},  {"label-big5-ini", 0},
        {"one-subproject", 0}, {"shares-deletes", 0}, {"small-edits", 0},
    };
    const char* source = std::getenv("VARNOTTE_SOURCE_DIR");
    ASSERT_NE(source, nullptr) << "run it through ctest";
    for (const auto& [name, exitCode] : expected) {
        VARNOTTE_REQUIRE_FIXTURE(fixture, name);
        const QString user = name == "label-big5-ini" ? "Guest" : "Admin";
        const fs::path ini = fixture / "srcsafe.ini";
        const fs::path wantedFile =
            fs::path(source) / "tests" / "cli" / "expected" / (name + ".csv");
        const CsvRun run = RunCsv({"--history", "--user", user, Q(ini)});
        EXPECT_EQ(run.exitCode, exitCode) << name << ": " << run.err;
        const std::string wanted = vsstest::ReadWholeFile(wantedFile);
        EXPECT_TRUE(run.out == wanted)
            << name << ": " << FirstDifference(run.out, wanted) << "\n  all of it: diff <("
            << varnotte::test::CsvProgramPath().toStdString() << " --history --user "
            << user.toStdString() << " " << ini.string() << ") " << wantedFile.string();
    }
}

// What the issue asks of a real database: deleted files and every project's adds and
// deletes. The counts are those of the fixture's own records: 67 child entries flagged
// deleted, and in its project logs 67 "file deleted" and 489 "added" records (429 files,
// 60 projects).
TEST(InventoryOnFixture, DeletedFilesAndProjectAddsAndDeletes) {
    VARNOTTE_REQUIRE_FIXTURE(fixture, "shares-deletes");
    const CsvRun run =
        RunCsv({"--deleted", "--project-history", "--format", "jsonl", Q(fixture / "srcsafe.ini")});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    std::map<std::string, int> counts;
    for (const QJsonObject& object : ParseJsonLines(run.out)) {
        const std::string record = Str(object["record"]);
        if (record == "item" && object["deleted"].toBool()) {
            ++counts["deleted item"];
        } else if (record == "version") {
            EXPECT_EQ(Str(object["type"]), "project");
            ++counts[Str(object["actionCode"])];
        }
    }
    EXPECT_EQ(counts["deleted item"], 67);
    EXPECT_EQ(counts["deleted"], 67);
    EXPECT_EQ(counts["added"], 489);
}

// What the child lists of a database store for each entry, read from their bytes: the
// short name field and whether it points into names.dat.
struct StoredEntry {
    std::string shortName;
    bool pointsIntoNames = false;
};
// The logs of the projects in a data folder: item type 1 after the file's signature.
std::vector<fs::path> ProjectLogs(const fs::path& data) {
    std::vector<fs::path> logs;
    for (const auto& letter : fs::directory_iterator(data)) {
        if (!letter.is_directory()) {
            continue;
        }
        for (const auto& file : fs::directory_iterator(letter)) {
            if (file.path().has_extension()) {
                continue;
            }
            const std::string log = vsstest::ReadWholeFile(file.path());
            if (log.size() >= 34 && vsstest::GetU16(log, 32) == 1) {
                logs.push_back(file.path());
            }
        }
    }
    return logs;
}

std::map<std::string, StoredEntry> StoredEntries(const fs::path& data) {
    std::map<std::string, StoredEntry> entries;  // by physical name
    for (const fs::path& log : ProjectLogs(data)) {
        for (const char* extension : {".a", ".b"}) {
            const fs::path list = log.string() + extension;
            if (!fs::exists(list)) {
                continue;
            }
            const std::string bytes = vsstest::ReadWholeFile(list);
            for (const vsstest::RecordInfo& record : vsstest::ListRecordsInBytes(bytes, false)) {
                // JP body: type, flags, name field (flags, 34-byte short name, names.dat
                // offset), pinned version, physical name.
                const std::size_t body = record.offset + 8;
                std::string shortName = bytes.substr(body + 6, 34);
                shortName.resize(shortName.find('\0'));
                entries[bytes.substr(body + 46, 8)] = {shortName,
                                                       vsstest::GetU32(bytes, body + 40) != 0};
            }
        }
    }
    return entries;
}

// edits-comments has lost its names.dat. Every item whose entry points into it is exported
// under the short name that entry stores, flagged with what that form may hide, and listed in
// the errors file; the loss is told once. Nothing else is lost: 84 files, 270 file versions and
// 81 checkouts (counted by an independent reader), and every project log's versions.
TEST(InventoryOnFixture, ItemsWhoseNamesAreLostGoByTheShortNamesTheirEntriesStore) {
    VARNOTTE_REQUIRE_FIXTURE(fixture, "edits-comments");
    varnotte::test::TempDir dir;
    const CsvRun run =
        RunCsv({"--history", "--project-history", "--deleted", "--format", "jsonl", "--errors",
                Q(dir.path() / "errors.csv"), Q(fixture / "srcsafe.ini")});
    EXPECT_EQ(run.exitCode, 4) << run.err;
    EXPECT_EQ(run.err, "varnotte-csv: " + (fixture / "data" / "names.dat").string() +
                           ": file not found; 52 names are shown as stored in their short form\n");

    std::set<std::string> listed;
    for (const auto& record :
         varnotte::test::ParseCsv(vsstest::ReadWholeFile(dir.path() / "errors.csv"))) {
        if (record[0] != "spec") {
            listed.insert(record[0]);
            EXPECT_EQ(record[1], (fixture / "data" / "names.dat").string());
        }
    }

    const std::map<std::string, StoredEntry> stored = StoredEntries(fixture / "data");
    int projectVersionsStored = 0;
    for (const fs::path& log : ProjectLogs(fixture / "data")) {
        for (const auto& record : vsstest::ListRecords(log, true)) {
            projectVersionsStored += record.signature == "EL" ? 1 : 0;
        }
    }

    std::map<std::string, int> counts;
    for (const QJsonObject& object : ParseJsonLines(run.out)) {
        const std::string record = Str(object["record"]) + " " + Str(object["type"]);
        ++counts[record];
        if (Str(object["record"]) != "item") {
            continue;
        }
        counts["checkout"] += static_cast<int>(object["checkouts"].toArray().size());
        const std::string spec = Str(object["spec"]);
        const auto entry = stored.find(Str(object["physical"]));
        ASSERT_NE(entry, stored.end()) << spec;
        if (!object.contains("nameUncertain")) {
            EXPECT_FALSE(entry->second.pointsIntoNames) << spec;
            continue;
        }
        ++counts["uncertain"];
        const std::string& shortName = entry->second.shortName;
        EXPECT_TRUE(entry->second.pointsIntoNames) << spec;
        EXPECT_EQ(Str(object["name"]), shortName);
        EXPECT_TRUE(listed.count(spec)) << spec << " is not in the errors file";
        const QJsonObject doubt = object["nameUncertain"].toObject();
        EXPECT_EQ(Str(doubt["reason"]),
                  (fixture / "data" / "names.dat").string() + ": file not found");
        EXPECT_TRUE(doubt["mayHaveLostLeadingDot"].toBool()) << spec;
        EXPECT_EQ(doubt["mayHaveHadSpaces"].toBool(), shortName.find('_') != std::string::npos)
            << spec;
        EXPECT_EQ(doubt["mayBeCut"].toBool(), shortName.size() >= 32) << spec;
    }
    EXPECT_EQ(counts["uncertain"], 52);
    EXPECT_EQ(listed.size(), 52u);
    EXPECT_EQ(counts["item file"], 84);
    EXPECT_EQ(counts["version file"], 270);
    EXPECT_EQ(counts["checkout"], 81);
    EXPECT_EQ(counts["version project"], projectVersionsStored);
}

}  // namespace
