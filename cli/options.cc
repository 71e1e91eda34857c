#include "cli/options.h"

#include <QCommandLineParser>
#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTime>

#include <filesystem>
#include <string>
#include <system_error>

#include "cli/arguments.h"
#include "cli/exit_codes.h"
#include "cli/login_options.h"
#include "codepage/code_page.h"
#include "export/utf8_text.h"
#include "sourcesafe/automation_date.h"

namespace varnotte::cli {
namespace {

// An argument as a message may show it: its own bytes, control characters escaped.
QString Shown(const QString& argument) {
    return QString::fromStdString(PrintableText(ArgumentBytes(argument)));
}

// The language LC_ALL, LC_MESSAGES or LANG asks for, the first of them that is set.
ReportLanguage LanguageOfEnvironment() {
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const QString value = qEnvironmentVariable(variable);
        if (!value.isEmpty()) {
            return ReportLanguageOfLocale(value);
        }
    }
    return ReportLanguage::kEnglish;
}

// Why `path`, given to `option`, cannot name a file written: Qt spells file names in UTF-8
// only, and any other name would be written as another one. Nothing when it can.
std::optional<QString> UnusableName(const char* option, const QString& path) {
    if (!IsText(path)) {
        return QStringLiteral(
                   "%1 %2: this name is not UTF-8 text, and varnotte-csv writes only to names "
                   "in UTF-8; choose another name.")
            .arg(QLatin1String(option), Shown(path));
    }
    std::error_code noFolder;
    const std::string folder = std::filesystem::current_path(noFolder).native();
    if (!path.isEmpty() && QDir::isRelativePath(path) && !IsUtf8(folder)) {
        return QStringLiteral(
                   "%1 %2: the current folder %3 is not named in UTF-8 text, and varnotte-csv "
                   "writes only to names in UTF-8; give a full path.")
            .arg(QLatin1String(option), Shown(path), QString::fromStdString(PrintableText(folder)));
    }
    return std::nullopt;
}

// The name of a file to write, which `option` needs.
std::optional<QString> TakeFileName(const char* option, const QString& path, QString& taken) {
    if (path.isEmpty()) {
        return QStringLiteral("%1 needs a file name.").arg(QLatin1String(option));
    }
    taken = path;
    return UnusableName(option, path);
}

std::optional<QString> TakeDate(const QString& text, bool endOfSpan, std::optional<double>& bound) {
    bound = ParseDateArgument(text, endOfSpan);
    if (!bound) {
        return QStringLiteral("Not a date: %1 (write it as 2007-03-05 or 2007-03-05 14:07:09)")
            .arg(Shown(text));
    }
    return std::nullopt;
}

// What an option's value does to the options: nothing more, or the usage error.
using Take = std::optional<QString> (*)(const QString& value, Options& options);

// One option of varnotte-csv, as --help lists it and as the command line sets it.
struct OptionRow {
    enum Trait : unsigned {
        kRepeatable = 1,       // take is called with every value, not only the last
        kExportOnly = 2,       // shapes an export, so it has no place beside --report
        kChoosesVersions = 4,  // a filter of version rows
    };
    const char* shortName;  // null when it has none
    const char* name;
    const char* valueName;  // null for a switch
    const char* help;
    unsigned traits;
    Take take;                      // called with its last value when it is given
    bool Options::*flag = nullptr;  // instead, for a switch: set when it is given
};

// In the order --help lists them, after the login options.
const OptionRow kOptionRows[] = {
    {nullptr, "history", nullptr, "Also write one row for every version of every file.",
     OptionRow::kExportOnly, nullptr, &Options::history},
    {"o", "output", "FILE", "Write the export to FILE (default, and with -, standard output).",
     OptionRow::kExportOnly,
     [](const QString& path, Options& o) -> std::optional<QString> {
         // "-" is standard output, as everywhere on the command line; ./- names a file "-".
         if (path == QLatin1String("-")) {
             o.outputPath.clear();
             return std::nullopt;
         }
         return TakeFileName("--output", path, o.outputPath);
     }},
    {nullptr, "encoding", "CODEPAGE",
     "The database's ANSI code page (874, 932, 936, 949, 950, 1250-1258), instead of finding it "
     "out.",
     0,
     [](const QString& page, Options& o) -> std::optional<QString> {
         o.codePage = codepage::ParseCodePage(page.toStdString());
         if (o.codePage == 0) {
             return QStringLiteral("Unknown code page: %1").arg(Shown(page));
         }
         return std::nullopt;
     }},
    {"q", "quiet", nullptr, "Show no progress.", 0, nullptr, &Options::quiet},
    {nullptr, "verbose", nullptr,
     "Say which code page the texts were read in, and how it was chosen (said anyway when "
     "standard error is a terminal).",
     0, nullptr, &Options::verbose},
    {nullptr, "format", "FORMAT",
     "csv (the default) or jsonl: one JSON object per item and per version, with every fact the "
     "database has.",
     OptionRow::kExportOnly,
     [](const QString& name, Options& o) -> std::optional<QString> {
         if (name == QLatin1String("jsonl")) {
             o.format = OutputFormat::kJsonLines;
         } else if (name != QLatin1String("csv")) {
             return QStringLiteral("Unknown format: %1 (csv or jsonl)").arg(Shown(name));
         }
         return std::nullopt;
     }},
    {nullptr, "columns", "COLUMNS",
     "default, or wide: a header row and every fact as a column of its own.",
     OptionRow::kExportOnly,
     [](const QString& name, Options& o) -> std::optional<QString> {
         o.wideColumns = name == QLatin1String("wide");
         if (!o.wideColumns && name != QLatin1String("default")) {
             return QStringLiteral("Unknown columns: %1 (default or wide)").arg(Shown(name));
         }
         return std::nullopt;
     }},
    {nullptr, "date-format", "FORMAT",
     "CSV dates: default (2007/03/05 14:07:09) or iso (2007-03-05T14:07:09).",
     OptionRow::kExportOnly,
     [](const QString& name, Options& o) -> std::optional<QString> {
         if (name == QLatin1String("iso")) {
             o.dates = DateStyle::kIso;
         } else if (name != QLatin1String("default")) {
             return QStringLiteral("Unknown date format: %1 (default or iso)").arg(Shown(name));
         }
         return std::nullopt;
     }},
    {nullptr, "deleted", nullptr,
     "Also deleted items and their history, marked as deleted (the default CSV gets a last "
     "column for that).",
     OptionRow::kExportOnly, nullptr, &Options::deleted},
    {nullptr, "project-history", nullptr,
     "Also each project's own versions (adds, deletes, renames, shares, pins, labels), after the "
     "project's row.",
     OptionRow::kExportOnly, nullptr, &Options::projectHistory},
    {nullptr, "since", "DATE", "Only versions from DATE on (2007-03-05, 2007-03-05 14:07[:09]).",
     OptionRow::kExportOnly | OptionRow::kChoosesVersions,
     [](const QString& date, Options& o) { return TakeDate(date, false, o.filter.since); }},
    {nullptr, "until", "DATE", "Only versions up to DATE, that day included.",
     OptionRow::kExportOnly | OptionRow::kChoosesVersions,
     [](const QString& date, Options& o) { return TakeDate(date, true, o.filter.until); }},
    {nullptr, "author", "NAME", "Only versions by user NAME (repeatable; letter case ignored).",
     OptionRow::kRepeatable | OptionRow::kExportOnly | OptionRow::kChoosesVersions,
     [](const QString& name, Options& o) -> std::optional<QString> {
         o.filter.users.push_back(name.toStdString());
         return std::nullopt;
     }},
    {nullptr, "label", "TEXT",
     "Only the versions labelled TEXT and the versions those labels mark.",
     OptionRow::kExportOnly | OptionRow::kChoosesVersions,
     [](const QString& text, Options& o) -> std::optional<QString> {
         o.filter.label = text.toStdString();
         return std::nullopt;
     }},
    {nullptr, "errors", "FILE",
     "Also list the items that could not be read or are damaged in FILE, as CSV.", 0,
     [](const QString& path, Options& o) { return TakeFileName("--errors", path, o.errorsPath); }},
    {nullptr, "users", nullptr,
     "List the database's users instead; with --history also how many versions each wrote, and "
     "when the first and the last.",
     OptionRow::kExportOnly, nullptr, &Options::users},
    {nullptr, "report", "FILE",
     "Write a stock-taking report of the project to FILE instead: one HTML file with the "
     "database's size, activity over time, projects, people, checkouts, labels and damage.",
     0,
     [](const QString& path, Options& o) {
         o.report = true;
         return TakeFileName("--report", path, o.outputPath);
     }},
    {nullptr, "report-language", "LANG",
     "The report's language: en or ja (default: ja when LC_ALL, LC_MESSAGES or LANG says "
     "Japanese, else en).",
     0,
     [](const QString& name, Options& o) -> std::optional<QString> {
         if (!o.report) {  // --report comes first in this table
             return QStringLiteral("--report-language is for --report.");
         }
         if (name != QLatin1String("en") && name != QLatin1String("ja")) {
             return QStringLiteral("Unknown report language: %1 (en or ja)").arg(Shown(name));
         }
         o.reportLanguage =
             name == QLatin1String("ja") ? ReportLanguage::kJapanese : ReportLanguage::kEnglish;
         return std::nullopt;
     }},
    {nullptr, "check-content", nullptr,
     "Also rebuild every version of every file the export reaches, and report each file whose "
     "content cannot be rebuilt whole as an unreadable item (the export itself stays the same).",
     0, nullptr, &Options::checkContent},
};

bool SameFile(const QString& one, const QString& other) {
    return QFileInfo(one).absoluteFilePath() == QFileInfo(other).absoluteFilePath();
}

// The checks that relate options to each other, once each has been taken on its own.
std::optional<QString> CheckTogether(const QCommandLineParser& parser, Options& options) {
    if (options.wideColumns && options.format == OutputFormat::kJsonLines) {
        return QStringLiteral("--columns is for CSV; JSON Lines has every field.");
    }
    if (options.filter.since && options.filter.until &&
        *options.filter.since > *options.filter.until) {
        return QStringLiteral("--since is later than --until.");
    }
    // Filters choose version rows; an export without them has none, and the user would
    // get every item row as if the filter had matched.
    if (!options.history && !options.projectHistory && !options.report) {
        for (const OptionRow& row : kOptionRows) {
            if ((row.traits & OptionRow::kChoosesVersions) != 0 &&
                parser.isSet(QLatin1String(row.name))) {
                return QStringLiteral(
                           "--%1 chooses versions, and without --history (or "
                           "--project-history) there are none to choose.")
                    .arg(QLatin1String(row.name));
            }
        }
    }
    if (!options.report && !options.errorsPath.isEmpty() && !options.outputPath.isEmpty() &&
        SameFile(options.errorsPath, options.outputPath)) {
        return QStringLiteral("--errors and --output name the same file.");
    }
    if (options.users && options.wideColumns) {
        return QStringLiteral("--columns is for the export, not for --users.");
    }
    if (!options.report) {
        return std::nullopt;
    }
    // The report takes in everything the walk can give, so the options that shape an
    // export have no place beside it.
    for (const OptionRow& row : kOptionRows) {
        if ((row.traits & OptionRow::kExportOnly) != 0 && parser.isSet(QLatin1String(row.name))) {
            return QStringLiteral("--%1 is for the export, not for --report.")
                .arg(QLatin1String(row.name));
        }
    }
    if (!options.errorsPath.isEmpty() && SameFile(options.errorsPath, options.outputPath)) {
        return QStringLiteral("--errors and --report name the same file.");
    }
    options.history = options.projectHistory = options.deleted = true;
    return std::nullopt;
}

}  // namespace

ParseResult ParseOptions(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Exports the projects and files of a SourceSafe database (and with --history every version "
        "of every file) as CSV, exactly as Varnotte's export of that project writes them; or, with "
        "the options below, with every fact a migration needs, as a wide CSV or as JSON Lines."));
    const LoginOptions login = AddLoginOptions(parser);
    for (const OptionRow& row : kOptionRows) {
        QStringList names{QLatin1String(row.name)};
        if (row.shortName != nullptr) {
            names.prepend(QLatin1String(row.shortName));
        }
        parser.addOption(
            QCommandLineOption(names, QString::fromUtf8(row.help),
                               row.valueName ? QString(QLatin1String(row.valueName)) : QString()));
    }
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("INI"),
                                 QStringLiteral("The database's srcsafe.ini."));
    parser.addPositionalArgument(QStringLiteral("SPEC"),
                                 QStringLiteral("The project to export (default: $/)."),
                                 QStringLiteral("[SPEC]"));

    ParseResult result;
    const auto usageError = [&](const QString& message) {
        result.exitCode = kExitUsage;
        result.toStandardError = true;
        result.message =
            message + QStringLiteral("\nTry 'varnotte-csv --help' for more information.\n");
        return result;
    };
    if (!parser.parse(arguments)) {
        return usageError(Shown(parser.errorText()));
    }
    const QString versionLine =
        QStringLiteral("varnotte-csv %1\n").arg(QStringLiteral(VARNOTTE_VERSION));
    // --help-all is listed by Qt beside --help; a QCoreApplication has no options of its own
    // to add, so both print the same.
    if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all"))) {
        result.message = versionLine + HelpWithExitStatuses(parser, kExitStatusTexts);
        return result;
    }
    if (parser.isSet(version)) {
        result.message = versionLine;
        return result;
    }
    const QStringList positional = parser.positionalArguments();
    if (positional.isEmpty()) {
        return usageError(QStringLiteral("The path of the database's srcsafe.ini is missing."));
    }
    if (positional.size() > 2) {
        return usageError(QStringLiteral("Unexpected argument: %1").arg(Shown(positional.at(2))));
    }
    Options options;
    options.iniPath = positional.at(0);
    if (positional.size() == 2) {
        options.spec = positional.at(1);
    }
    Login taken;
    if (const std::optional<QString> error = TakeLogin(parser, login, taken)) {
        return usageError(*error);
    }
    options.user = taken.user;
    options.password = taken.password;
    options.passwordFromStdin = taken.passwordFromStdin;
    options.reportLanguage = LanguageOfEnvironment();  // unless --report-language says
    for (const OptionRow& row : kOptionRows) {
        const QString name = QLatin1String(row.name);
        if (!parser.isSet(name)) {
            continue;
        }
        if (row.flag != nullptr) {
            options.*row.flag = true;
            continue;
        }
        for (const QString& value : (row.traits & OptionRow::kRepeatable) != 0
                                        ? parser.values(name)
                                        : QStringList{parser.value(name)}) {
            if (const std::optional<QString> error = row.take(value, options)) {
                return usageError(*error);
            }
        }
    }
    if (const std::optional<QString> error = CheckTogether(parser, options)) {
        return usageError(*error);
    }
    result.options = options;
    return result;
}

std::optional<double> ParseDateArgument(const QString& text, bool endOfSpan) {
    static const QRegularExpression pattern(QStringLiteral(
        R"(^(\d{4})[-/](\d{1,2})[-/](\d{1,2})(?:[ T](\d{1,2}):(\d{2})(?::(\d{2}))?)?$)"));
    const QRegularExpressionMatch match = pattern.match(text.trimmed());
    if (!match.hasMatch()) {
        return std::nullopt;
    }
    const QDate date(match.captured(1).toInt(), match.captured(2).toInt(),
                     match.captured(3).toInt());
    const bool hasTime = match.hasCaptured(4);
    const bool hasSeconds = match.hasCaptured(6);
    const int lastSecond = endOfSpan ? 59 : 0;
    const QTime time(hasTime     ? match.captured(4).toInt()
                     : endOfSpan ? 23
                                 : 0,
                     hasTime ? match.captured(5).toInt() : lastSecond,
                     hasSeconds ? match.captured(6).toInt() : lastSecond);
    if (!date.isValid() || !time.isValid()) {
        return std::nullopt;
    }
    sourcesafe::CivilTime civil;
    civil.year = date.year();
    civil.month = date.month();
    civil.day = date.day();
    civil.hour = time.hour();
    civil.minute = time.minute();
    civil.second = time.second();
    return sourcesafe::AutomationDateFromCivilTime(civil);
}

}  // namespace varnotte::cli
