// varnotte-csv --report: its numbers, read back from the report's data block, against the
// same numbers worked out from the JSON Lines export of the same database; and what a
// reader of the HTML gets (language, escaping, nothing fetched from elsewhere, damage).
#include <gtest/gtest.h>

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "testing/damage.h"
#include "testing/database_writer.h"
#include "testing/file_io.h"
#include "tests/support/csv_program.h"
#include "tests/support/fixtures.h"
#include "tests/support/qt_path.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using varnotte::test::CsvRun;
using varnotte::test::RunCsv;
using vsstest::ItemId;
using vsstest::Stamp;

using varnotte::test::Q;

QJsonObject ParseObject(const std::string& text) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(text), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << text.substr(0, 200);
    return document.object();
}

// The report's data block, as a script reads it.
QJsonObject ReportData(const std::string& html) {
    const std::string open = "<script type=\"application/json\" id=\"report-data\">";
    const std::size_t begin = html.find(open);
    const std::size_t end = html.find("</script>", begin);
    if (begin == std::string::npos || end == std::string::npos) {
        ADD_FAILURE() << "no data block";
        return {};
    }
    return ParseObject(html.substr(begin + open.size(), end - begin - open.size()));
}

std::string Folded(const QString& name) {
    return name.toCaseFolded().toStdString();
}

// The report's numbers as the JSON Lines export of every version and deleted item gives
// them: each stored version once (by the physical name of the file it is stored in, and
// its number), so that a file in several places, and the versions a branch shows of its
// source, count once; a removed label is a version but no label; a stored time of zero
// is no date; each unreadable item is one message.
QJsonObject CountsFromExport(const QString& ini, const QString& user, int status = 0) {
    const CsvRun run = RunCsv(
        {"--format", "jsonl", "--history", "--project-history", "--deleted", "--user", user, ini});
    EXPECT_EQ(run.exitCode, status) << run.err;
    std::map<std::string, long long> n;
    std::set<std::pair<std::string, int>> seen;
    std::map<std::string, long long> months;
    std::map<std::string, long long> users;
    std::string first;
    std::string last;
    std::istringstream lines(run.out);
    for (std::string line; std::getline(lines, line);) {
        const QJsonObject object = ParseObject(line);
        const bool project = object["type"].toString() == "project";
        if (object["record"].toString() == "item") {
            if (object["deleted"].toBool()) {
                ++n["deletedItems"];
            } else if (project) {
                ++n["projects"];
            } else {
                ++n["files"];
                n["contentBytes"] += object["size"].toInteger();
                const auto checkouts = object["checkouts"].toArray().size();
                n["checkedOutFiles"] += checkouts > 0 ? 1 : 0;
                n["checkouts"] += checkouts;
                n["pinnedFiles"] += object.contains("pinnedVersion") ? 1 : 0;
                n["branchedFiles"] += object.contains("branch") ? 1 : 0;
                n["sharedFiles"] += object["links"].toArray().size() > 1 ? 1 : 0;
            }
            continue;
        }
        const QString storedIn = object.contains("storedIn") ? object["storedIn"].toString()
                                                             : object["physical"].toString();
        if (!seen.emplace(storedIn.toStdString(), object["version"].toInt()).second) {
            continue;
        }
        ++n["versions"];
        ++n[project ? "projectVersions" : "fileVersions"];
        if (object["actionCode"].toString() == "labeled") {
            ++n["labels"];
            ++n[project ? "projectLabels" : "fileLabels"];
        }
        ++users[Folded(object["user"].toString())];
        const std::string date = object["date"].toString().toStdString();
        if (date <= "1970-01-01T00:00:00") {
            continue;
        }
        ++months[date.substr(0, 7)];
        first = first.empty() ? date : std::min(first, date);
        last = std::max(last, date);
    }
    QJsonObject counts;
    long long unreadable = 0;
    std::istringstream messages(run.err);
    for (std::string line; std::getline(messages, line);) {
        unreadable += line.rfind("varnotte-csv: cannot read ", 0) == 0 ? 1 : 0;
    }
    counts["unreadable"] = unreadable;
    for (const auto& [key, value] : n) {
        counts[QString::fromStdString(key)] = value;
    }
    QJsonObject perMonth;
    for (const auto& [month, count] : months) {
        perMonth[QString::fromStdString(month)] = count;
    }
    QJsonObject perUser;
    for (const auto& [name, count] : users) {
        perUser[QString::fromStdString(name)] = count;
    }
    counts["versionsPerMonth"] = perMonth;
    counts["versionsPerUser"] = perUser;
    counts["firstDate"] = first.empty() ? QJsonValue() : QJsonValue(QString::fromStdString(first));
    counts["lastDate"] = last.empty() ? QJsonValue() : QJsonValue(QString::fromStdString(last));

    const CsvRun listed = RunCsv({"--users", "--format", "jsonl", "--user", user, ini});
    EXPECT_EQ(listed.exitCode, 0) << listed.err;
    long long listedUsers = 0;
    std::istringstream userLines(listed.out);
    for (std::string line; std::getline(userLines, line);) {
        listedUsers += ParseObject(line)["listed"].toBool() ? 1 : 0;
    }
    counts["users"] = listedUsers;
    return counts;
}

void ExpectSameCounts(const QJsonObject& report, const QJsonObject& expected,
                      const std::string& name) {
    for (const char* key :
         {"projects", "files", "deletedItems", "versions", "fileVersions", "projectVersions",
          "labels", "projectLabels", "fileLabels", "checkedOutFiles", "checkouts", "pinnedFiles",
          "branchedFiles", "sharedFiles", "contentBytes", "users"}) {
        EXPECT_EQ(report[key].toInteger(), expected[key].toInteger()) << name << ": " << key;
    }
    EXPECT_EQ(report["firstDate"], expected["firstDate"]) << name;
    EXPECT_EQ(report["lastDate"], expected["lastDate"]) << name;
    EXPECT_EQ(report["versionsPerMonth"].toObject(), expected["versionsPerMonth"].toObject())
        << name;
    QJsonObject folded;
    const QJsonObject perUser = report["versionsPerUser"].toObject();
    for (auto user = perUser.begin(); user != perUser.end(); ++user) {
        folded[QString::fromStdString(Folded(user.key()))] = user.value();
    }
    EXPECT_EQ(folded, expected["versionsPerUser"].toObject()) << name;
    EXPECT_EQ(report["unreadable"].toInteger(), expected["unreadable"].toInteger()) << name;
}

// Sets environment variables for the runs of one test, and puts them back.
class Environment {
  public:
    void Set(const char* name, const char* value) {
        saved_.emplace_back(name, qEnvironmentVariableIsSet(name)
                                      ? std::optional<QByteArray>(qgetenv(name))
                                      : std::nullopt);
        if (value == nullptr) {
            qunsetenv(name);
        } else {
            qputenv(name, value);
        }
    }
    ~Environment() {
        for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
            if (it->second) {
                qputenv(it->first, *it->second);
            } else {
                qunsetenv(it->first);
            }
        }
    }

  private:
    std::vector<std::pair<const char*, std::optional<QByteArray>>> saved_;
};

constexpr std::uint32_t kDay0 = 1136116800;  // noon of 1 January 2006
Stamp Day(int day, std::string user = "Admin") {
    return Stamp{std::move(user), kDay0 + static_cast<std::uint32_t>(day) * 86400, {}};
}

// Lib and App over two years; a file shared, one pinned, one branched, one checked out
// twice, one deleted; a project label whose text would end a script block, and a file
// label; Ghost wrote a version but is no user. Sub, below App, has been quiet since 2006.
class Report : public testing::Test {
  protected:
    void SetUp() override {
        writer.AddUser("Tanaka", "");
        const ItemId lib = writer.AddProject(writer.Root(), "Lib", Day(0));
        app = writer.AddProject(writer.Root(), "App", Day(0));
        const ItemId sub = writer.AddProject(app, "Sub", Day(1));
        quiet = writer.AddFile(sub, "quiet.txt", Day(2));
        const ItemId shared = writer.AddFile(lib, "shared.c", Day(3));
        writer.CheckIn(shared, Day(40, "Tanaka"));
        const ItemId pinned = writer.AddFile(lib, "pinned.h", Day(41));
        writer.CheckIn(pinned, Day(70));
        writer.CheckIn(pinned, Day(100, "tanaka"));
        const ItemId base = writer.AddFile(lib, "base.c", Day(101));
        writer.Share(shared, app, Day(102));
        writer.Share(pinned, app, Day(103));
        writer.Share(base, app, Day(104));
        writer.Pin(app, pinned, 2, Day(105));
        writer.Branch(app, base, Day(106, "Tanaka"));
        tool = writer.AddFile(app, "tool.exe", Day(400), /*binary=*/true);
        writer.CheckOut(tool, {{"Tanaka", Day(401).time, "editing"}, "C:\\work\\App", "PC-7", ""});
        writer.CheckOutAgain(tool, {{"Admin", Day(402).time, ""}, "D:\\src", "BUILD", ""});
        const ItemId old = writer.AddFile(app, "old.txt", Day(500));
        writer.Delete(app, old, Day(501));
        writer.Label(app, "v1.0</script><b>&", Day(600));
        writer.Label(lib, "withdrawn", Day(650));
        writer.RemoveLabel(lib, "withdrawn");
        writer.Label(shared, "file-label", Day(700));
        writer.CheckIn(pinned, Day(800, "Ghost"));
        writer.Write();
        ini = Q(writer.IniPath());
        html = temp.path() / "report.html";
    }

    CsvRun RunReport(QStringList options = {}) {
        return RunCsv(QStringList{"--report", Q(html)} + options + QStringList{ini});
    }

    varnotte::test::TempDir temp;
    vsstest::DatabaseWriter writer{temp / "db"};
    ItemId app = 0;
    ItemId tool = 0;
    ItemId quiet = 0;
    QString ini;
    fs::path html;
};

TEST_F(Report, CountsAgreeWithTheJsonExport) {
    const CsvRun run = RunReport();
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const QJsonObject report = ReportData(vsstest::ReadWholeFile(html));
    ExpectSameCounts(report, CountsFromExport(ini, "Admin"), "written database");
    // By hand: shared.c (2 versions + label), pinned.h (4) and base.c (1) count once
    // though App lists them too; the branch of base.c is a file of its own.
    EXPECT_EQ(report["files"].toInteger(), 8);
    EXPECT_EQ(report["sharedFiles"].toInteger(), 4);  // shared.c and pinned.h, in both places
    EXPECT_EQ(report["pinnedFiles"].toInteger(), 1);
    EXPECT_EQ(report["branchedFiles"].toInteger(), 1);
    EXPECT_EQ(report["checkouts"].toInteger(), 2);
    EXPECT_EQ(report["deletedItems"].toInteger(), 1);
    EXPECT_EQ(report["users"].toInteger(), 3);
    // quiet.txt 1, shared.c 3 (its label too), pinned.h 4, base.c 1, its branch 1 of its
    // own (the version below the branch is base.c's), tool.exe 1, old.txt 1.
    EXPECT_EQ(report["fileVersions"].toInteger(), 12);
    // App's label and shared.c's; Lib's removed label is none.
    EXPECT_EQ(report["projectLabels"].toInteger(), 1);
    EXPECT_EQ(report["fileLabels"].toInteger(), 1);
    EXPECT_EQ(report["versionsPerUser"].toObject()["Ghost"].toInteger(), 1);
}

TEST(ReportOnFixtures, CountsAgreeWithTheJsonExport) {
    for (const char* name : {"shares-deletes", "edits-comments", "small-edits", "label-big5-ini",
                             "client-clutter", "empty-root"}) {
        VARNOTTE_REQUIRE_FIXTURE(fixture, name);
        const QString user = std::string(name) == "label-big5-ini" ? "Guest" : "Admin";
        varnotte::test::TempDir temp;
        const fs::path html = temp.path() / "report.html";
        const QString ini = Q(fixture / "srcsafe.ini");
        const CsvRun run = RunCsv({"--report", Q(html), "--user", user, ini});
        // edits-comments has no names.dat: the items named in it are counted under their short
        // names, and reported.
        const int status = std::string(name) == "edits-comments" ? 4 : 0;
        ASSERT_EQ(run.exitCode, status) << name << ": " << run.err;
        const std::string text = vsstest::ReadWholeFile(html);
        ExpectSameCounts(ReportData(text), CountsFromExport(ini, user, status), name);
        // Its ini names the zone in Big5, though every text of the database is ASCII.
        if (std::string(name) == "label-big5-ini") {
            EXPECT_NE(text.find("(UTC+08:00) 台北 (UTC+08:00)"), std::string::npos);
        }
    }
}

TEST_F(Report, ShowsWhatIsCheckedOutPinnedBranchedAndQuiet) {
    ASSERT_EQ(RunReport().exitCode, 0);
    const std::string text = vsstest::ReadWholeFile(html);
    for (const char* expected :
         {"<h2>At a glance</h2>", "<td class=\"path\">$/App/tool.exe</td><td>Tanaka</td>",
          "2007-02-06 12:00",
          "Files checked out: 1; checkouts in all: 2. By user: Admin 1, Tanaka 1.", "C:\\work\\App",
          "PC-7", "pinned at version 2", "from $/Lib/base.c, version 1",
          "<td class=\"path\">$/App/shared.c</td><td>also in $/Lib/shared.c</td>",
          // Sub's last change was day 2, two years and more before the last one, day 800.
          "<td class=\"path\">$/App/Sub</td>", "2006-01-03<span class=\"quiet\">quiet 2 years",
          "Ghost <span class=\"muted\">(no user of the database (any more))"}) {
        EXPECT_NE(text.find(expected), std::string::npos) << expected;
    }
}

// One file to carry on a stick: nothing fetched, nothing run, and a label's text stays text.
TEST_F(Report, SelfContainedAndEscaped) {
    ASSERT_EQ(RunReport().exitCode, 0);
    const std::string text = vsstest::ReadWholeFile(html);
    for (const char* absent : {"http:", "https:", "src=", "<link", "url(", "<b>&"}) {
        EXPECT_EQ(text.find(absent), std::string::npos) << absent;
    }
    EXPECT_NE(text.find("<b>v1.0&lt;/script&gt;&lt;b&gt;&amp;</b>"), std::string::npos);
    const std::string dataBlock = "<script type=\"application/json\"";
    std::size_t scripts = 0;
    for (std::size_t at = text.find("<script"); at != std::string::npos;
         at = text.find("<script", at + 1)) {
        ++scripts;
        EXPECT_EQ(text.compare(at, dataBlock.size(), dataBlock), 0);
    }
    EXPECT_EQ(scripts, 1u);
    EXPECT_EQ(text.find("</script>"), text.rfind("</script>"));
}

TEST_F(Report, LanguageFollowsTheLocaleUnlessGiven) {
    struct Case {
        const char* lcAll;
        const char* lang;
        QStringList options;
        const char* heading;
    };
    const Case cases[] = {
        {nullptr, "ja_JP.UTF-8", {}, "<h2>概要</h2>"},
        {nullptr, "en_GB.UTF-8", {}, "<h2>At a glance</h2>"},
        {"ja_JP.UTF-8", "C", {}, "<h2>概要</h2>"},
        {nullptr, "ja_JP.UTF-8", {"--report-language", "en"}, "<h2>At a glance</h2>"},
        {nullptr, "C", {"--report-language", "ja"}, "<h2>概要</h2>"},
    };
    for (const Case& c : cases) {
        Environment environment;
        environment.Set("LC_ALL", c.lcAll);
        environment.Set("LC_MESSAGES", nullptr);
        environment.Set("LANG", c.lang);
        ASSERT_EQ(RunReport(c.options).exitCode, 0);
        EXPECT_NE(vsstest::ReadWholeFile(html).find(c.heading), std::string::npos)
            << c.heading << " with LANG=" << c.lang;
    }
}

// An item that cannot be read and one exported without its content are both damage.
TEST_F(Report, UnreadableAndDamagedItemsAreListedWithTheirReason) {
    vsstest::TruncateFile(writer.LogPath(tool), 60);
    const fs::path content = writer.DataPath(quiet);
    fs::remove(content);
    const CsvRun run = RunReport();
    EXPECT_EQ(run.exitCode, 4) << run.err;
    const std::string text = vsstest::ReadWholeFile(html);
    EXPECT_EQ(ReportData(text)["unreadable"].toInteger(), 1);
    EXPECT_EQ(ReportData(text)["damagedExported"].toInteger(), 1);
    EXPECT_NE(text.find("1 item could not be read (see the last section); 1 damaged item is "
                        "exported as far as it can be read"),
              std::string::npos);
    const std::size_t section = text.find("<h2>What could not be read, and what is damaged</h2>");
    ASSERT_NE(section, std::string::npos);
    EXPECT_NE(
        text.find("<td class=\"path\">$/App/tool.exe</td><td>" + writer.LogPath(tool).string(),
                  section),
        std::string::npos);
    EXPECT_NE(text.find("<td class=\"path\">$/App/Sub/quiet.txt</td><td>" + content.string() +
                            ": data file missing",
                        section),
              std::string::npos);
}

// The damage found counts files whose content cannot be rebuilt only when it was checked,
// and says so when it was not.
TEST_F(Report, DamageFoundSaysWhetherTheContentWasChecked) {
    struct Case {
        bool contentChanged;
        QStringList options;
        int exitCode;
        std::string damageFound;
    };
    const std::string unchecked =
        "none in the records: every item could be read; the files' content was not checked";
    const std::vector<Case> cases = {
        {false, {}, 0, unchecked},
        {false, {"--check-content"}, 0, "none: every item could be read</"},
        {true, {}, 0, unchecked},
        {true,
         {"--check-content"},
         4,
         "1 damaged item is exported as far as it can be read (see the last section)</"},
        {true, {"--report-language", "ja"}, 0, "ファイルの内容は検査していません"},
    };
    for (const Case& c : cases) {
        if (c.contentChanged) {
            vsstest::PatchBytes(writer.DataPath(quiet), 0, "#");
        }
        const CsvRun run = RunReport(c.options);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
        const std::string text = vsstest::ReadWholeFile(html);
        EXPECT_NE(text.find(c.damageFound), std::string::npos)
            << c.options.join(' ').toStdString() << ": " << c.damageFound;
        const std::size_t section =
            text.find("<h2>What could not be read, and what is damaged</h2>");
        EXPECT_EQ(section != std::string::npos &&
                      text.find("$/App/Sub/quiet.txt", section) != std::string::npos,
                  c.exitCode != 0)
            << "a file whose content cannot be rebuilt is listed with the damaged items";
    }
}

TEST_F(Report, OptionsOfTheExportAreRefused) {
    const std::vector<std::pair<QStringList, std::string>> cases = {
        {{"--report", "r.html", "--format", "jsonl"}, "--format is for the export"},
        {{"--report", "r.html", "--history"}, "--history is for the export"},
        {{"--report", "r.html", "-o", "x.csv"}, "--output is for the export"},
        {{"--report", "r.html", "--report-language", "de"}, "Unknown report language: de"},
        {{"--report-language", "ja"}, "--report-language is for --report"},
        {{"--report", "r.html", "--errors", "r.html"}, "--errors and --report name the same"},
    };
    for (const auto& [options, message] : cases) {
        const CsvRun run = RunCsv(options + QStringList{ini});
        EXPECT_EQ(run.exitCode, 1) << message;
        EXPECT_NE(run.err.find(message), std::string::npos) << run.err;
    }
    EXPECT_FALSE(fs::exists("r.html"));
    const CsvRun help = RunCsv({"--help"});
    EXPECT_NE(help.out.find("--report <FILE>"), std::string::npos) << help.out;
    EXPECT_NE(help.out.find("--report-language <LANG>"), std::string::npos) << help.out;
}

}  // namespace
