// The manual page of varnotte-csv says what `varnotte-csv --help` says: the same options
// with the same values, the same exit statuses, the same version. When an option is added
// to the program, the failure says what to add to the page.
#include <gtest/gtest.h>

#include <QStringList>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "tests/support/csv_program.h"

namespace {

namespace fs = std::filesystem;

const char kPageSource[] = "packaging/varnotte-csv.1.in";

fs::path FromEnvironment(const char* variable) {
    const char* value = std::getenv(variable);
    return value != nullptr ? fs::path(value) : fs::path();
}

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// "-o, --output FILE", "--history": how an option is spelt, with the name of its value.
using Spellings = std::set<std::string>;
using ExitStatuses = std::map<std::string, std::string>;  // "4" -> what it means

const std::regex kOption(R"(^(-[a-zA-Z?], )?--[a-z-]+( [A-Z]+)?$)");

struct Help {
    Spellings options;
    ExitStatuses statuses;
    std::string version;
};

Help ReadHelp(const std::string& text) {
    Help help;
    std::istringstream lines(text);
    std::getline(lines, help.version);
    const std::regex option(R"(^  ((-[a-zA-Z?], )?--[a-z-]+)( <([A-Z]+)>)?(  |$))");
    const std::regex status(R"(^  ([0-9]+)  (.*)$)");
    bool inStatuses = false;
    std::smatch m;
    for (std::string line; std::getline(lines, line);) {
        inStatuses = inStatuses || line == "Exit statuses:";
        if (inStatuses && std::regex_match(line, m, status)) {
            help.statuses[m[1]] = m[2];
        } else if (!inStatuses && std::regex_search(line, m, option)) {
            help.options.insert(m[1].str() + (m[4].matched ? " " + m[4].str() : ""));
        }
    }
    return help;
}

// The text of a line of troff as the reader sees it: no font changes, no escaped hyphens.
std::string Plain(std::string line) {
    line = std::regex_replace(line, std::regex(R"(\\f[BIRP])"), "");
    line = std::regex_replace(line, std::regex(R"(\\-)"), "-");
    line = std::regex_replace(line, std::regex(R"(^\.B )"), "");
    return line;
}

struct Page {
    Spellings options;
    ExitStatuses statuses;
    std::string title;  // the .TH line
};

// Options are the tagged paragraphs of OPTIONS, exit statuses those of EXIT STATUS.
Page ReadPage(const std::string& text) {
    Page page;
    std::istringstream lines(text);
    std::string section;
    std::string tag;
    bool tagNext = false;
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind(".TH ", 0) == 0) {
            page.title = line;
        } else if (line.rfind(".SH ", 0) == 0) {
            section = line.substr(4);
        } else if (line == ".TP") {
            tagNext = true;
        } else if (tagNext) {
            tagNext = false;
            tag = Plain(line);
            if (section == "OPTIONS") {
                page.options.insert(tag);
            }
        } else if (section == "EXIT STATUS" && !tag.empty() && !page.statuses.count(tag)) {
            page.statuses[tag] = Plain(line);
        }
    }
    return page;
}

std::string TroffTag(const std::string& spelling) {
    std::string tag;
    std::smatch m;
    std::regex_match(spelling, m, std::regex(R"(^(-., )?(--[a-z-]+)( ([A-Z]+))?$)"));
    const auto bold = [](std::string text) {
        return "\\fB" + std::regex_replace(text, std::regex("-"), "\\-") + "\\fR";
    };
    if (m[1].matched) {
        tag = bold(m[1].str().substr(0, 2)) + ", ";
    }
    tag += bold(m[2]);
    if (m[4].matched) {
        tag += " \\fI" + m[4].str() + "\\fR";
    }
    return tag;
}

class ManualPage : public testing::Test {
  protected:
    void SetUp() override {
        const varnotte::test::CsvRun run = varnotte::test::RunCsv({QStringLiteral("--help")});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        help_ = ReadHelp(run.out);
        const fs::path built =
            FromEnvironment("VARNOTTE_BINARY_DIR") / "packaging" / "varnotte-csv.1";
        ASSERT_TRUE(fs::exists(built)) << built;
        page_ = ReadPage(ReadAll(built));
    }

    Help help_;
    Page page_;
};

TEST_F(ManualPage, ListsTheOptionsOfHelp) {
    ASSERT_GE(help_.options.size(), 8u) << "--help changed its layout; fix ReadHelp";
    for (const std::string& option : help_.options) {
        ASSERT_TRUE(std::regex_match(option, kOption)) << option;
        EXPECT_TRUE(page_.options.count(option))
            << "varnotte-csv --help has \"" << option << "\" but " << kPageSource
            << " does not; add to its OPTIONS:\n.TP\n"
            << TroffTag(option) << "\nWhat it does.";
    }
    for (const std::string& option : page_.options) {
        EXPECT_TRUE(help_.options.count(option))
            << kPageSource << " lists \"" << option << "\" under OPTIONS, but varnotte-csv --help"
            << " does not have it (as spelt there, with its value)";
    }
}

TEST_F(ManualPage, ListsTheExitStatusesOfHelp) {
    EXPECT_EQ(help_.statuses.size(), 6u) << "--help changed its layout; fix ReadHelp";
    for (const auto& [status, meaning] : help_.statuses) {
        EXPECT_EQ(page_.statuses[status], meaning)
            << "exit status " << status << " in " << kPageSource << "'s EXIT STATUS";
    }
    for (const auto& [status, meaning] : page_.statuses) {
        EXPECT_TRUE(help_.statuses.count(status))
            << kPageSource << " has exit status " << status << ", --help does not";
    }
}

TEST_F(ManualPage, ShowsTheProgramsVersion) {
    const varnotte::test::CsvRun version = varnotte::test::RunCsv({QStringLiteral("--version")});
    EXPECT_EQ(version.out, help_.version + "\n");
    const std::string number = help_.version.substr(help_.version.rfind(' ') + 1);
    EXPECT_TRUE(std::regex_match(number, std::regex(R"([0-9]+\.[0-9]+\.[0-9]+)"))) << number;
    EXPECT_NE(page_.title.find("\"Varnotte " + number + "\""), std::string::npos) << page_.title;
}

}  // namespace
