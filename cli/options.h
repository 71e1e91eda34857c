// The command line of varnotte-csv.
#pragma once

#include <QString>
#include <QStringList>

#include <optional>

#include "export/row_format.h"
#include "export/version_filter.h"
#include "report/report_texts.h"

namespace varnotte::cli {

enum class OutputFormat { kCsv, kJsonLines };

struct Options {
    QString iniPath;
    QString spec = QStringLiteral("$/");
    QString user;  // empty: the login name
    QString password;
    bool passwordFromStdin = false;
    bool history = false;
    QString outputPath;  // empty: standard output
    int codePage = 0;    // 0: find it out
    bool quiet = false;
    bool verbose = false;  // say which code page the texts were read in, even off a terminal

    OutputFormat format = OutputFormat::kCsv;
    bool wideColumns = false;  // CSV: the wide layout with a header row
    DateStyle dates = DateStyle::kClassic;
    bool deleted = false;         // deleted items too
    bool projectHistory = false;  // each project's own versions
    VersionFilterSettings filter;
    QString errorsPath;  // empty: unreadable items go to standard error only
    bool users = false;  // list the users instead of the items
    // Rebuild every version of every file the walk reaches; damaged content is reported as
    // unreadable items are. The rows stay as they are.
    bool checkContent = false;

    // The stock-taking report instead of the export: outputPath names it, and the walk
    // takes in every version and deleted item.
    bool report = false;
    ReportLanguage reportLanguage = ReportLanguage::kEnglish;
};

struct ParseResult {
    std::optional<Options> options;  // empty when the program should exit
    int exitCode = 0;
    QString message;  // help, version or the usage error, for the caller to print
    bool toStandardError = false;
};

ParseResult ParseOptions(const QStringList& arguments);

// The automation date of "2007-03-05", "2007-03-05 14:07", "2007-03-05T14:07:09" (or with
// "/" in the date). `endOfSpan` gives the last second of what the text names (the day, or
// the minute) instead of its first. Empty when the text is no such date.
std::optional<double> ParseDateArgument(const QString& text, bool endOfSpan);

}  // namespace varnotte::cli
