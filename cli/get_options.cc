#include "cli/get_options.h"

#include <QCommandLineParser>

#include "cli/arguments.h"
#include "cli/options.h"
#include "export/utf8_text.h"

namespace varnotte::cli {
namespace {

QString Shown(const QString& argument) {
    return QString::fromStdString(PrintableText(ArgumentBytes(argument)));
}

}  // namespace

GetParseResult ParseGetOptions(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Writes a file of a SourceSafe database, or a project with every live file below it, "
        "into DIR: the latest version of each file, or the version its project pins it at; with "
        "--label or --date, as it was then."));
    const LoginOptions login = AddLoginOptions(parser);
    const QCommandLineOption version(
        QStringLiteral("version"),
        QStringLiteral("Write version N of the file SPEC instead of the latest."),
        QStringLiteral("N"));
    const QCommandLineOption label(
        QStringLiteral("label"),
        QStringLiteral("Write SPEC as it was when label L was applied to it or to a project "
                       "above it: the items it held then, under their names then, each file "
                       "at its version then."),
        QStringLiteral("L"));
    const QCommandLineOption date(
        QStringLiteral("date"),
        QStringLiteral("Write SPEC as it was at D, each file at its newest version not after "
                       "D. D is 2004-05-06 (the end of that day), 2004-05-06T12:30 or "
                       "2004-05-06T12:30:15 (a space may stand for the T), in the database's "
                       "time zone."),
        QStringLiteral("D"));
    const QCommandLineOption force(
        QStringLiteral("force"),
        QStringLiteral("Write into DIR even when it is not empty, replacing files of the same "
                       "name."));
    const QCommandLineOption quiet(QStringList{QStringLiteral("q"), QStringLiteral("quiet")},
                                   QStringLiteral("Show no progress."));
    parser.addOptions({version, label, date, force, quiet});
    const QCommandLineOption help = parser.addHelpOption();
    // Not addVersionOption(): --version takes a version number here.
    const QCommandLineOption programVersion(QStringLiteral("program-version"),
                                            QStringLiteral("Displays version information."));
    parser.addOption(programVersion);
    parser.addPositionalArgument(QStringLiteral("INI"),
                                 QStringLiteral("The database's srcsafe.ini."));
    parser.addPositionalArgument(QStringLiteral("SPEC"),
                                 QStringLiteral("The file or project to get, such as $/A/b.txt."));
    parser.addPositionalArgument(
        QStringLiteral("DIR"),
        QStringLiteral("The folder to write into (made when missing; must be empty)."));

    GetParseResult result;
    const auto usageError = [&](const QString& message) {
        result.exitCode = kExitUsage;
        result.toStandardError = true;
        result.message =
            message + QStringLiteral("\nTry 'varnotte-get --help' for more information.\n");
        return result;
    };
    if (!parser.parse(arguments)) {
        return usageError(Shown(parser.errorText()));
    }
    const QString versionLine =
        QStringLiteral("varnotte-get %1\n").arg(QStringLiteral(VARNOTTE_VERSION));
    if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all"))) {
        result.message = versionLine + HelpWithExitStatuses(parser, kGetExitStatusTexts);
        return result;
    }
    if (parser.isSet(programVersion)) {
        result.message = versionLine;
        return result;
    }
    if (int(parser.isSet(version)) + int(parser.isSet(label)) + int(parser.isSet(date)) > 1) {
        return usageError(
            QStringLiteral("--version, --label and --date each say which "
                           "versions to write: give one of them."));
    }
    const QStringList positional = parser.positionalArguments();
    if (positional.size() < 3) {
        return usageError(QStringLiteral("INI, SPEC and DIR are all needed."));
    }
    if (positional.size() > 3) {
        return usageError(QStringLiteral("Unexpected argument: %1").arg(Shown(positional.at(3))));
    }
    GetOptions options;
    options.iniPath = positional.at(0);
    options.spec = positional.at(1);
    options.folder = positional.at(2);
    if (options.folder.isEmpty()) {
        return usageError(QStringLiteral("DIR is empty."));
    }
    if (const std::optional<QString> error = TakeLogin(parser, login, options.login)) {
        return usageError(*error);
    }
    if (parser.isSet(version)) {
        bool ok = false;
        options.version = parser.value(version).toInt(&ok);
        if (!ok || options.version < 1) {
            return usageError(
                QStringLiteral("Not a version number: %1").arg(Shown(parser.value(version))));
        }
    }
    if (parser.isSet(label)) {
        options.label = parser.value(label);
        if (options.label.isEmpty()) {
            return usageError(QStringLiteral("--label needs a label."));
        }
    }
    if (parser.isSet(date)) {
        options.date = ParseDateArgument(parser.value(date), true);
        if (!options.date) {
            return usageError(QStringLiteral("Not a date: %1 (write it as 2004-05-06 or "
                                             "2004-05-06T12:30:15)")
                                  .arg(Shown(parser.value(date))));
        }
    }
    options.force = parser.isSet(force);
    options.quiet = parser.isSet(quiet);
    result.options = options;
    return result;
}

}  // namespace varnotte::cli
