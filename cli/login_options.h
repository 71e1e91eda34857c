// What every command-line program of Varnotte shares: the login options, the password read
// from standard input, and --help's list of exit statuses.
#pragma once

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QString>

#include <functional>
#include <optional>
#include <span>
#include <string>

#include "cli/exit_codes.h"
#include "sourcesafe/vss_error.h"

namespace varnotte::cli {

struct LoginOptions {
    QCommandLineOption user;
    QCommandLineOption password;
    QCommandLineOption passwordStdin;
};

// --user, --password and --password-stdin, added to `parser`.
LoginOptions AddLoginOptions(QCommandLineParser& parser);

struct Login {
    QString user;
    QString password;
    bool passwordFromStdin = false;
};

// The login the parsed options ask for, or the usage error.
std::optional<QString> TakeLogin(const QCommandLineParser& parser, const LoginOptions& options,
                                 Login& login);

// With --password-stdin, reads the password from standard input. Returns false with
// `error` set when it cannot.
bool CompleteLogin(Login& login, QString& error);

// Says why the database at `iniPath` could not be opened (through `report`) and gives the
// exit status: kExitLoginRefused for an unknown user or a wrong password, else
// kExitCannotOpen.
int ReportOpenFailure(const std::string& iniPath, const sourcesafe::VssError& error,
                      const std::function<void(const std::string&)>& report);

// The help text followed by what each exit status means.
QString HelpWithExitStatuses(const QCommandLineParser& parser,
                             std::span<const ExitStatusText> statuses);

}  // namespace varnotte::cli
