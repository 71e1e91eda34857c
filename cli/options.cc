#include "cli/options.h"

#include <QCommandLineParser>
#include <QDir>

#include <filesystem>
#include <string>
#include <system_error>

#include "cli/arguments.h"
#include "cli/exit_codes.h"
#include "codepage/code_page.h"
#include "export/utf8_text.h"

namespace varnotte::cli {
namespace {

// An argument as a message may show it: its own bytes, control characters escaped.
QString Shown(const QString& argument) {
    return QString::fromStdString(PrintableText(ArgumentBytes(argument)));
}

}  // namespace

ParseResult ParseOptions(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Exports the projects and files of a SourceSafe database (and with --history every version "
        "of every file) as CSV, exactly as Varnotte's export of that project writes them."));
    const QCommandLineOption user(
        QStringList{QStringLiteral("u"), QStringLiteral("user")},
        QStringLiteral("SourceSafe user name (default: $SSUSER, else Admin; an empty "
                       "name stands for your login name)."),
        QStringLiteral("NAME"));
    const QCommandLineOption password(QStringList{QStringLiteral("p"), QStringLiteral("password")},
                                      QStringLiteral("Password (default: empty)."),
                                      QStringLiteral("PW"));
    const QCommandLineOption passwordStdin(
        QStringLiteral("password-stdin"),
        QStringLiteral("Read the password from the first line of standard input."));
    const QCommandLineOption history(
        QStringLiteral("history"),
        QStringLiteral("Also write one row for every version of every file."));
    const QCommandLineOption output(
        QStringList{QStringLiteral("o"), QStringLiteral("output")},
        QStringLiteral("Write the CSV to FILE (default: standard output)."),
        QStringLiteral("FILE"));
    const QCommandLineOption encoding(
        QStringLiteral("encoding"),
        QStringLiteral("The database's ANSI code page (874, 932, 936, 949, 950, 1250-1258), instead "
                       "of finding it out."),
        QStringLiteral("CODEPAGE"));
    const QCommandLineOption quiet(QStringList{QStringLiteral("q"), QStringLiteral("quiet")},
                                   QStringLiteral("Show no progress."));
    const QCommandLineOption verbose(
        QStringLiteral("verbose"),
        QStringLiteral("Say which code page the texts were read in, and how it was chosen (said "
                       "anyway when standard error is a terminal)."));
    parser.addOptions({user, password, passwordStdin, history, output, encoding, quiet, verbose});
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
        result.message = versionLine + parser.helpText() + QStringLiteral("\nExit statuses:\n");
        for (const ExitStatusText& status : kExitStatusTexts) {
            result.message += QStringLiteral("  %1  %2\n")
                                  .arg(status.code)
                                  .arg(QString::fromUtf8(status.meaning));
        }
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
    if (parser.isSet(password) && parser.isSet(passwordStdin)) {
        return usageError(
            QStringLiteral("--password and --password-stdin cannot be used together."));
    }
    Options options;
    options.iniPath = positional.at(0);
    if (positional.size() == 2) {
        options.spec = positional.at(1);
    }
    // Databases come from Windows servers, where the login name of this machine is rarely a
    // SourceSafe user; every database has an Admin, so that is the default to try.
    options.user = parser.isSet(user) ? parser.value(user)
                                      : qEnvironmentVariable("SSUSER", QStringLiteral("Admin"));
    options.password = parser.value(password);
    options.passwordFromStdin = parser.isSet(passwordStdin);
    options.history = parser.isSet(history);
    options.outputPath = parser.value(output);
    options.quiet = parser.isSet(quiet);
    options.verbose = parser.isSet(verbose);
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
    // Qt spells file names in UTF-8 only: any other name would be written as another one.
    if (!IsText(options.outputPath)) {
        return usageError(QStringLiteral("--output %1: this name is not UTF-8 text, and "
                                         "varnotte-csv writes only to names in UTF-8; choose "
                                         "another name.")
                              .arg(Shown(options.outputPath)));
    }
    std::error_code noFolder;
    const std::string folder = std::filesystem::current_path(noFolder).native();
    if (!options.outputPath.isEmpty() && QDir::isRelativePath(options.outputPath) &&
        !IsUtf8(folder)) {
        return usageError(
            QStringLiteral("--output %1: the current folder %2 is not named in "
                           "UTF-8 text, and varnotte-csv writes only to names in "
                           "UTF-8; give a full path.")
                .arg(Shown(options.outputPath), QString::fromStdString(PrintableText(folder))));
    }
    result.options = options;
    return result;
}

}  // namespace varnotte::cli
