// varnotte-csv: the headless exporter.
#include <QCoreApplication>
#include <QStringList>

#include <unistd.h>

#include <cstdio>

#include "cli/arguments.h"
#include "cli/exit_codes.h"
#include "cli/export_command.h"
#include "cli/login_options.h"
#include "cli/options.h"

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("varnotte-csv"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VARNOTTE_VERSION));

    // Not QCoreApplication::arguments(), which would rename paths that are not UTF-8.
    const varnotte::cli::ParseResult parsed =
        varnotte::cli::ParseOptions(varnotte::cli::DecodeArguments(argc, argv));
    if (!parsed.options) {
        std::fputs(parsed.message.toLocal8Bit().constData(),
                   parsed.toStandardError ? stderr : stdout);
        return parsed.exitCode;
    }
    varnotte::cli::Options options = *parsed.options;
    varnotte::cli::Login login{options.user, options.password, options.passwordFromStdin};
    QString error;
    if (!varnotte::cli::CompleteLogin(login, error)) {
        std::fprintf(stderr, "varnotte-csv: %s\n", error.toLocal8Bit().constData());
        return varnotte::cli::kExitUsage;
    }
    options.password = login.password;
    const bool showProgress = !options.quiet && ::isatty(STDERR_FILENO) == 1;
    return varnotte::cli::RunExport(options, stderr, showProgress);
}
