// The manual page of each command-line program says what its --help says: the same options
// with the same values, the same exit statuses, the same version. When an option is added
// to the program, the failure says what to add to the page.
#include <gtest/gtest.h>

#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>

namespace {

struct Program {
    const char* name;
    const char* path;
    const char* versionOption;
    const char* testName;
};

const Program kPrograms[] = {
    {"varnotte-csv", VARNOTTE_CSV_PATH, "--version", "Csv"},
    {"varnotte-get", VARNOTTE_GET_PATH, "--program-version", "Get"},
};

// What the program writes on standard output.
std::string Output(const Program& program, const QString& option) {
    QProcess process;
    process.start(QString::fromUtf8(program.path), {option});
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        return {};
    }
    return process.readAllStandardOutput().toStdString();
}

// Options as spelt with the name of their value ("-o, --output FILE", "--history"), and
// exit statuses with what they mean.
struct Described {
    std::set<std::string> options;
    std::map<std::string, std::string> statuses;
    std::string version;  // --help's first line; the page's .TH line
};

Described ReadHelp(const std::string& text) {
    static const QRegularExpression option(
        QStringLiteral(R"(^  ((-., )?--[a-z-]+)( <([A-Z]+)>)?(  |$))"));
    static const QRegularExpression status(QStringLiteral(R"(^  ([0-9]+)  (.*)$)"));
    Described help;
    std::istringstream lines(text);
    std::getline(lines, help.version);
    bool statuses = false;
    for (std::string line; std::getline(lines, line);) {
        statuses = statuses || line == "Exit statuses:";
        const QString q = QString::fromStdString(line);
        if (const auto m = status.match(q); statuses && m.hasMatch()) {
            help.statuses[m.captured(1).toStdString()] = m.captured(2).toStdString();
        } else if (const auto o = option.match(q); !statuses && o.hasMatch()) {
            const QString value = o.captured(4);
            help.options.insert(
                (o.captured(1) + (value.isEmpty() ? QString() : u' ' + value)).toStdString());
        }
    }
    return help;
}

// The tags of the tagged paragraphs (.TP) of OPTIONS and EXIT STATUS, as the reader sees
// them: without font changes and escaped hyphens.
Described ReadPage(const std::string& text) {
    const auto plain = [](const std::string& troff) {
        static const QRegularExpression markup(QStringLiteral(R"(\\f[BIRP]|^\.B )"));
        return QString::fromStdString(troff)
            .remove(markup)
            .replace(QStringLiteral("\\-"), QStringLiteral("-"))
            .toStdString();
    };
    Described page;
    std::istringstream lines(text);
    std::string section;
    std::string previous;
    std::string tag;
    for (std::string line; std::getline(lines, line); previous = line) {
        if (line.rfind(".TH ", 0) == 0) {
            page.version = line;
        } else if (line.rfind(".SH ", 0) == 0) {
            section = line.substr(4);
            tag.clear();
        } else if (previous == ".TP") {
            tag = plain(line);
            if (section == "OPTIONS") {
                page.options.insert(tag);
            }
        } else if (section == "EXIT STATUS" && !tag.empty() && line[0] != '.' &&
                   !page.statuses.count(tag)) {
            page.statuses[tag] = plain(line);
        }
    }
    return page;
}

// "-o, --output FILE" as a tag of the page.
std::string Troff(const std::string& option) {
    QString tag = QString::fromStdString(option);
    tag.replace(QRegularExpression(QStringLiteral("(-?-[a-z-]+)")), QStringLiteral("\\fB\\1\\fR"));
    tag.replace(QRegularExpression(QStringLiteral(" ([A-Z]+)$")), QStringLiteral(" \\fI\\1\\fR"));
    return tag.replace(u'-', QStringLiteral("\\-")).toStdString();
}

class ManualPage : public testing::TestWithParam<Program> {
  protected:
    void SetUp() override {
        const std::string out = Output(GetParam(), QStringLiteral("--help"));
        ASSERT_FALSE(out.empty()) << GetParam().name << " --help failed";
        help_ = ReadHelp(out);
        pagePath_ = "packaging/" + std::string(GetParam().name) + ".1.in";
        ASSERT_GE(help_.options.size(), 8u) << "--help changed its layout; mend ReadHelp";
        const char* build = std::getenv("VARNOTTE_BINARY_DIR");
        std::ifstream in(std::filesystem::path(build != nullptr ? build : "") / "packaging" /
                         (std::string(GetParam().name) + ".1"));
        ASSERT_TRUE(in) << "the manual page was not made";
        std::stringstream text;
        text << in.rdbuf();
        page_ = ReadPage(text.str());
    }

    Described help_;
    Described page_;
    std::string pagePath_;  // as messages name it
};

TEST_P(ManualPage, ListsTheOptionsOfHelp) {
    for (const std::string& option : help_.options) {
        EXPECT_TRUE(page_.options.count(option))
            << GetParam().name << " --help has \"" << option << "\" but " << pagePath_
            << " does not; add to its OPTIONS:\n.TP\n"
            << Troff(option) << "\nWhat it does.";
    }
    for (const std::string& option : page_.options) {
        EXPECT_TRUE(help_.options.count(option))
            << pagePath_ << " lists \"" << option << "\" under OPTIONS, but " << GetParam().name
            << " --help"
            << " does not have it (as spelt there, with its value)";
    }
}

TEST_P(ManualPage, ListsTheExitStatusesOfHelp) {
    EXPECT_EQ(help_.statuses.size(), 6u) << "--help changed its layout; mend ReadHelp";
    for (const auto& [status, meaning] : help_.statuses) {
        EXPECT_EQ(page_.statuses[status], meaning)
            << "exit status " << status << " in " << pagePath_;
    }
    EXPECT_EQ(page_.statuses.size(), help_.statuses.size()) << pagePath_ << " has more statuses";
}

TEST_P(ManualPage, ShowsTheProgramsVersion) {
    EXPECT_EQ(Output(GetParam(), QString::fromUtf8(GetParam().versionOption)),
              help_.version + "\n");
    const auto m = QRegularExpression(QStringLiteral(R"(^%1 ([0-9]+\.[0-9]+\.[0-9]+)$)")
                                          .arg(QString::fromUtf8(GetParam().name)))
                       .match(QString::fromStdString(help_.version));
    ASSERT_TRUE(m.hasMatch()) << help_.version;
    EXPECT_NE(page_.version.find("\"Varnotte " + m.captured(1).toStdString() + "\""),
              std::string::npos)
        << page_.version;
}

INSTANTIATE_TEST_SUITE_P(Programs, ManualPage, testing::ValuesIn(kPrograms),
                         [](const testing::TestParamInfo<Program>& info) {
                             return info.param.testName;
                         });

}  // namespace
