#include "cli/options.h"

#include <QCommandLineParser>
#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTime>

#include <initializer_list>
#include <tuple>

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

// The report takes in everything the walk can give, so the options that shape an export
// have no place beside it. Returns the usage error, if any.
std::optional<QString> TakeReportOptions(
    const QCommandLineParser& parser, const QCommandLineOption& report,
    const QCommandLineOption& language, std::initializer_list<const QCommandLineOption*> exportOnly,
    Options& options) {
    if (!parser.isSet(report)) {
        return QStringLiteral("--report-language is for --report.");
    }
    for (const QCommandLineOption* option : exportOnly) {
        if (parser.isSet(*option)) {
            return QStringLiteral("--%1 is for the export, not for --report.")
                .arg(option->names().constLast());
        }
    }
    options.report = true;
    options.outputPath = parser.value(report);
    if (options.outputPath.isEmpty()) {
        return QStringLiteral("--report needs a file name.");
    }
    if (!options.errorsPath.isEmpty() && QFileInfo(options.errorsPath).absoluteFilePath() ==
                                             QFileInfo(options.outputPath).absoluteFilePath()) {
        return QStringLiteral("--errors and --report name the same file.");
    }
    options.history = options.projectHistory = options.deleted = true;
    options.reportLanguage = LanguageOfEnvironment();
    if (parser.isSet(language)) {
        const QString name = parser.value(language);
        if (name != QLatin1String("en") && name != QLatin1String("ja")) {
            return QStringLiteral("Unknown report language: %1 (en or ja)").arg(Shown(name));
        }
        options.reportLanguage =
            name == QLatin1String("ja") ? ReportLanguage::kJapanese : ReportLanguage::kEnglish;
    }
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
    const QCommandLineOption history(
        QStringLiteral("history"),
        QStringLiteral("Also write one row for every version of every file."));
    const QCommandLineOption output(
        QStringList{QStringLiteral("o"), QStringLiteral("output")},
        QStringLiteral("Write the export to FILE (default, and with -, standard output)."),
        QStringLiteral("FILE"));
    const QCommandLineOption encoding(
        QStringLiteral("encoding"),
        QStringLiteral(
            "The database's ANSI code page (874, 932, 936, 949, 950, 1250-1258), instead "
            "of finding it out."),
        QStringLiteral("CODEPAGE"));
    const QCommandLineOption quiet(QStringList{QStringLiteral("q"), QStringLiteral("quiet")},
                                   QStringLiteral("Show no progress."));
    const QCommandLineOption verbose(
        QStringLiteral("verbose"),
        QStringLiteral("Say which code page the texts were read in, and how it was chosen (said "
                       "anyway when standard error is a terminal)."));
    const QCommandLineOption format(
        QStringLiteral("format"),
        QStringLiteral("csv (the default) or jsonl: one JSON object per item and per version, "
                       "with every fact the database has."),
        QStringLiteral("FORMAT"));
    const QCommandLineOption columns(
        QStringLiteral("columns"),
        QStringLiteral("default, or wide: a header row and every fact as a column of its own."),
        QStringLiteral("COLUMNS"));
    const QCommandLineOption dateFormat(
        QStringLiteral("date-format"),
        QStringLiteral("CSV dates: default (2007/03/05 14:07:09) or iso (2007-03-05T14:07:09)."),
        QStringLiteral("FORMAT"));
    const QCommandLineOption deleted(
        QStringLiteral("deleted"),
        QStringLiteral("Also deleted items and their history, marked as deleted (the default CSV "
                       "gets a last column for that)."));
    const QCommandLineOption projectHistory(
        QStringLiteral("project-history"),
        QStringLiteral("Also each project's own versions (adds, deletes, renames, shares, pins, "
                       "labels), after the project's row."));
    const QCommandLineOption since(
        QStringLiteral("since"),
        QStringLiteral("Only versions from DATE on (2007-03-05, 2007-03-05 14:07[:09])."),
        QStringLiteral("DATE"));
    const QCommandLineOption until(QStringLiteral("until"),
                                   QStringLiteral("Only versions up to DATE, that day included."),
                                   QStringLiteral("DATE"));
    const QCommandLineOption author(
        QStringLiteral("author"),
        QStringLiteral("Only versions by user NAME (repeatable; letter case ignored)."),
        QStringLiteral("NAME"));
    const QCommandLineOption label(
        QStringLiteral("label"),
        QStringLiteral("Only the versions labelled TEXT and the versions those labels mark."),
        QStringLiteral("TEXT"));
    const QCommandLineOption errorsFile(
        QStringLiteral("errors"),
        QStringLiteral(
            "Also list the items that could not be read or are damaged in FILE, as CSV."),
        QStringLiteral("FILE"));
    const QCommandLineOption checkContent(
        QStringLiteral("check-content"),
        QStringLiteral("Also rebuild every version of every file the export reaches, and report "
                       "each file whose content cannot be rebuilt whole as an unreadable item "
                       "(the export itself stays the same)."));
    const QCommandLineOption users(
        QStringLiteral("users"),
        QStringLiteral("List the database's users instead; with --history also how many versions "
                       "each wrote, and when the first and the last."));
    const QCommandLineOption report(
        QStringLiteral("report"),
        QStringLiteral("Write a stock-taking report of the project to FILE instead: one HTML "
                       "file with the database's size, activity over time, projects, people, "
                       "checkouts, labels and damage."),
        QStringLiteral("FILE"));
    const QCommandLineOption reportLanguage(
        QStringLiteral("report-language"),
        QStringLiteral("The report's language: en or ja (default: ja when LC_ALL, LC_MESSAGES "
                       "or LANG says Japanese, else en)."),
        QStringLiteral("LANG"));
    parser.addOptions({history, output, encoding, quiet, verbose, format, columns, dateFormat,
                       deleted, projectHistory, since, until, author, label, errorsFile, users,
                       report, reportLanguage, checkContent});
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
    options.history = parser.isSet(history);
    options.outputPath = parser.value(output);
    options.quiet = parser.isSet(quiet);
    options.verbose = parser.isSet(verbose);
    options.checkContent = parser.isSet(checkContent);
    if (parser.isSet(encoding)) {
        options.codePage = codepage::ParseCodePage(parser.value(encoding).toStdString());
        if (options.codePage == 0) {
            return usageError(
                QStringLiteral("Unknown code page: %1").arg(Shown(parser.value(encoding))));
        }
    }
    if (parser.isSet(output) && options.outputPath.isEmpty()) {
        return usageError(QStringLiteral("--output needs a file name."));
    }
    // "-" is standard output, as everywhere on the command line; ./- names a file "-".
    if (options.outputPath == QLatin1String("-")) {
        options.outputPath.clear();
    }
    // Qt spells file names in UTF-8 only: any other name would be written as another one.
    std::error_code noFolder;
    const std::string folder = std::filesystem::current_path(noFolder).native();
    const auto unusableName = [&](const QString& option, const QString& path) -> QString {
        if (!IsText(path)) {
            return QStringLiteral(
                       "%1 %2: this name is not UTF-8 text, and varnotte-csv writes "
                       "only to names in UTF-8; choose another name.")
                .arg(option, Shown(path));
        }
        if (!path.isEmpty() && QDir::isRelativePath(path) && !IsUtf8(folder)) {
            return QStringLiteral(
                       "%1 %2: the current folder %3 is not named in UTF-8 text, and "
                       "varnotte-csv writes only to names in UTF-8; give a full path.")
                .arg(option, Shown(path), QString::fromStdString(PrintableText(folder)));
        }
        return {};
    };
    if (const QString problem = unusableName(QStringLiteral("--output"), options.outputPath);
        !problem.isEmpty()) {
        return usageError(problem);
    }

    const QString formatName = parser.value(format);
    if (formatName == QLatin1String("jsonl")) {
        options.format = OutputFormat::kJsonLines;
    } else if (parser.isSet(format) && formatName != QLatin1String("csv")) {
        return usageError(
            QStringLiteral("Unknown format: %1 (csv or jsonl)").arg(Shown(formatName)));
    }
    const QString columnsName = parser.value(columns);
    options.wideColumns = columnsName == QLatin1String("wide");
    if (parser.isSet(columns) && !options.wideColumns && columnsName != QLatin1String("default")) {
        return usageError(
            QStringLiteral("Unknown columns: %1 (default or wide)").arg(Shown(columnsName)));
    }
    if (options.wideColumns && options.format == OutputFormat::kJsonLines) {
        return usageError(QStringLiteral("--columns is for CSV; JSON Lines has every field."));
    }
    const QString dateName = parser.value(dateFormat);
    if (dateName == QLatin1String("iso")) {
        options.dates = DateStyle::kIso;
    } else if (parser.isSet(dateFormat) && dateName != QLatin1String("default")) {
        return usageError(
            QStringLiteral("Unknown date format: %1 (default or iso)").arg(Shown(dateName)));
    }
    options.deleted = parser.isSet(deleted);
    options.projectHistory = parser.isSet(projectHistory);

    for (const auto& [option, endOfSpan, bound] :
         {std::tuple{&since, false, &options.filter.since},
          std::tuple{&until, true, &options.filter.until}}) {
        if (parser.isSet(*option)) {
            *bound = ParseDateArgument(parser.value(*option), endOfSpan);
            if (!*bound) {
                return usageError(QStringLiteral("Not a date: %1 (write it as 2007-03-05 or "
                                                 "2007-03-05 14:07:09)")
                                      .arg(Shown(parser.value(*option))));
            }
        }
    }
    if (options.filter.since && options.filter.until &&
        *options.filter.since > *options.filter.until) {
        return usageError(QStringLiteral("--since is later than --until."));
    }
    for (const QString& name : parser.values(author)) {
        options.filter.users.push_back(name.toStdString());
    }
    if (parser.isSet(label)) {
        options.filter.label = parser.value(label).toStdString();
    }
    // Filters choose version rows; an export without them has none, and the user would
    // get every item row as if the filter had matched.
    if (!options.history && !options.projectHistory) {
        for (const QCommandLineOption* filterOption : {&since, &until, &author, &label}) {
            if (parser.isSet(*filterOption) && !parser.isSet(report)) {
                return usageError(QStringLiteral("--%1 chooses versions, and without --history (or "
                                                 "--project-history) there are none to choose.")
                                      .arg(filterOption->names().constLast()));
            }
        }
    }

    options.errorsPath = parser.value(errorsFile);
    if (parser.isSet(errorsFile) && options.errorsPath.isEmpty()) {
        return usageError(QStringLiteral("--errors needs a file name."));
    }
    if (const QString problem = unusableName(QStringLiteral("--errors"), options.errorsPath);
        !problem.isEmpty()) {
        return usageError(problem);
    }
    if (!options.errorsPath.isEmpty() && !options.outputPath.isEmpty() &&
        QFileInfo(options.errorsPath).absoluteFilePath() ==
            QFileInfo(options.outputPath).absoluteFilePath()) {
        return usageError(QStringLiteral("--errors and --output name the same file."));
    }
    options.users = parser.isSet(users);
    if (options.users && options.wideColumns) {
        return usageError(QStringLiteral("--columns is for the export, not for --users."));
    }
    if (parser.isSet(report) || parser.isSet(reportLanguage)) {
        const std::optional<QString> error =
            TakeReportOptions(parser, report, reportLanguage,
                              {&output, &format, &columns, &dateFormat, &deleted, &projectHistory,
                               &history, &since, &until, &author, &label, &users},
                              options);
        if (error) {
            return usageError(*error);
        }
        if (const QString problem = unusableName(QStringLiteral("--report"), options.outputPath);
            !problem.isEmpty()) {
            return usageError(problem);
        }
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
