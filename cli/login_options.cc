#include "cli/login_options.h"

#include <QStringList>

#include <cstdio>
#include <string>

#include "cli/password_line.h"

namespace varnotte::cli {

LoginOptions AddLoginOptions(QCommandLineParser& parser) {
    LoginOptions options{
        QCommandLineOption(QStringList{QStringLiteral("u"), QStringLiteral("user")},
                           QStringLiteral("SourceSafe user name (default: $SSUSER, else Admin; an "
                                          "empty name stands for your login name)."),
                           QStringLiteral("NAME")),
        QCommandLineOption(QStringList{QStringLiteral("p"), QStringLiteral("password")},
                           QStringLiteral("Password (default: empty)."), QStringLiteral("PW")),
        QCommandLineOption(
            QStringLiteral("password-stdin"),
            QStringLiteral("Read the password from the first line of standard input.")),
    };
    parser.addOptions({options.user, options.password, options.passwordStdin});
    return options;
}

std::optional<QString> TakeLogin(const QCommandLineParser& parser, const LoginOptions& options,
                                 Login& login) {
    if (parser.isSet(options.password) && parser.isSet(options.passwordStdin)) {
        return QStringLiteral("--password and --password-stdin cannot be used together.");
    }
    // Databases come from Windows servers, where the login name of this machine is rarely a
    // SourceSafe user; every database has an Admin, so that is the default to try.
    login.user = parser.isSet(options.user)
                     ? parser.value(options.user)
                     : qEnvironmentVariable("SSUSER", QStringLiteral("Admin"));
    login.password = parser.value(options.password);
    login.passwordFromStdin = parser.isSet(options.passwordStdin);
    return std::nullopt;
}

bool CompleteLogin(Login& login, QString& error) {
    if (!login.passwordFromStdin) {
        return true;
    }
    std::string line;
    if (!ReadPasswordLine(stdin, line, error)) {
        return false;
    }
    login.password = QString::fromStdString(line);
    return true;
}

QString HelpWithExitStatuses(const QCommandLineParser& parser,
                             std::span<const ExitStatusText> statuses) {
    QString text = parser.helpText() + QStringLiteral("\nExit statuses:\n");
    for (const ExitStatusText& status : statuses) {
        text +=
            QStringLiteral("  %1  %2\n").arg(status.code).arg(QString::fromUtf8(status.meaning));
    }
    return text;
}

int ReportOpenFailure(const std::string& iniPath, const sourcesafe::VssError& error,
                      const std::function<void(const std::string&)>& report) {
    if (error.code() == sourcesafe::ESS_USER_NOT_FOUND ||
        error.code() == sourcesafe::ESS_BAD_PASSWORD) {
        report("login refused: " + std::string(error.what()));
        return kExitLoginRefused;
    }
    report("cannot open " + iniPath + ": " + error.what());
    return kExitCannotOpen;
}

}  // namespace varnotte::cli
