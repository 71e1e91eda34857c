// What bash offers on Tab after varnotte-csv, with the installed completion loaded: the
// options of --help, code pages after --encoding, any file after --output, folders and
// .ini files for the database.
#include <gtest/gtest.h>

#include <QFileInfo>
#include <QProcess>
#include <QStringList>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "codepage/code_page.h"
#include "tests/support/case_names.h"
#include "tests/support/csv_program.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using Words = std::set<std::string>;

// Runs the completion for the words typed so far (the last one being completed) in a
// folder holding a.ini, B.INI, notes.txt and the folder sub.
Words Complete(const std::string& typed) {
    varnotte::test::TempDir dir;
    for (const char* file : {"a.ini", "B.INI", "notes.txt"}) {
        std::ofstream(dir / file) << "x";
    }
    fs::create_directory(dir / "sub");
    const char* source = std::getenv("VARNOTTE_SOURCE_DIR");
    const std::string script =
        std::string(source != nullptr ? source : "") + "/packaging/varnotte-csv.bash-completion";
    const std::string program =
        QFileInfo(varnotte::test::CsvProgramPath()).absolutePath().toStdString();
    QProcess bash;
    bash.setWorkingDirectory(QString::fromStdString(dir.path().string()));
    bash.start(QStringLiteral("bash"),
               {QStringLiteral("-c"),
                QString::fromStdString("PATH='" + program + "':$PATH; source '" + script +
                                       "'; COMP_WORDS=(varnotte-csv " + typed +
                                       "); COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); "
                                       "_varnotte_csv; printf '%s\\n' \"${COMPREPLY[@]}\"")});
    EXPECT_TRUE(bash.waitForFinished(20000));
    EXPECT_EQ(bash.readAllStandardError().toStdString(), "");
    Words words;
    std::istringstream out(bash.readAllStandardOutput().toStdString());
    for (std::string word; std::getline(out, word);) {
        if (!word.empty()) {
            words.insert(word);
        }
    }
    return words;
}

Words LongOptionsOfHelp() {
    Words options;
    std::istringstream help(varnotte::test::RunCsv({QStringLiteral("--help")}).out);
    for (std::string line; std::getline(help, line);) {
        const std::size_t at = line.find("--");
        if (line.rfind("  -", 0) == 0 && at != std::string::npos) {
            options.insert(line.substr(at, line.find_first_of(" <", at) - at));
        }
    }
    return options;
}

Words CodePages() {
    Words pages;
    for (const int page : codepage::CandidateCodePages()) {
        pages.insert(std::to_string(page));
    }
    return pages;
}

struct CompletionCase {
    std::string name;
    std::string typed;  // a trailing "" is the empty word being completed
    Words (*expected)();
};

class BashCompletion : public testing::TestWithParam<CompletionCase> {};

TEST_P(BashCompletion, OffersWhatFitsThere) {
    EXPECT_EQ(Complete(GetParam().typed), GetParam().expected())
        << "varnotte-csv " << GetParam().typed
        << "<Tab> with packaging/varnotte-csv.bash-completion";
}

const Words kDatabaseChoices = {"a.ini", "B.INI", "sub"};

INSTANTIATE_TEST_SUITE_P(
    Typed, BashCompletion,
    testing::Values(
        CompletionCase{"EveryOptionOfHelp", "--", LongOptionsOfHelp},
        CompletionCase{"OptionsByPrefix", "--pa",
                       [] {
                           return Words{"--password", "--password-stdin"};
                       }},
        CompletionCase{"EveryCodePageTheProgramTakes", "--encoding ''", CodePages},
        CompletionCase{"CodePagesByPrefix", "--encoding 95", [] { return Words{"950"}; }},
        CompletionCase{"AnyFileForTheOutput", "-o ''",
                       [] {
                           return Words{"a.ini", "B.INI", "notes.txt", "sub"};
                       }},
        CompletionCase{"AnyFileForTheErrors", "--errors ''",
                       [] {
                           return Words{"a.ini", "B.INI", "notes.txt", "sub"};
                       }},
        CompletionCase{"AnyFileForTheReport", "--report ''",
                       [] {
                           return Words{"a.ini", "B.INI", "notes.txt", "sub"};
                       }},
        CompletionCase{"EveryReportLanguage", "--report-language ''",
                       [] {
                           return Words{"en", "ja"};
                       }},
        CompletionCase{"FormatsByPrefix", "--format j", [] { return Words{"jsonl"}; }},
        CompletionCase{"EveryColumnLayout", "--columns ''",
                       [] {
                           return Words{"default", "wide"};
                       }},
        CompletionCase{"EveryDateFormat", "--date-format ''",
                       [] {
                           return Words{"default", "iso"};
                       }},
        CompletionCase{"FoldersAndIniFilesForTheDatabase", "''", [] { return kDatabaseChoices; }},
        CompletionCase{"NothingForAUserName", "--user ''", [] { return Words{}; }},
        CompletionCase{"DatabaseAfterOptionsAndValues", "-u Admin --history -o out.csv ''",
                       [] { return kDatabaseChoices; }},
        CompletionCase{"NothingForTheProject", "a.ini ''", [] { return Words{}; }}),
    varnotte::test::CaseName());

}  // namespace
