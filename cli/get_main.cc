// varnotte-get: files out of the database, into a folder.
#include <QCoreApplication>
#include <QStringList>

#include <unistd.h>

#include <cstdio>

#include "cli/arguments.h"
#include "cli/exit_codes.h"
#include "cli/get_command.h"
#include "cli/get_options.h"
#include "cli/login_options.h"

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("varnotte-get"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VARNOTTE_VERSION));

    // Not QCoreApplication::arguments(), which would rename paths that are not UTF-8.
    const varnotte::cli::GetParseResult parsed =
        varnotte::cli::ParseGetOptions(varnotte::cli::DecodeArguments(argc, argv));
    if (!parsed.options) {
        std::fputs(parsed.message.toLocal8Bit().constData(),
                   parsed.toStandardError ? stderr : stdout);
        return parsed.exitCode;
    }
    varnotte::cli::GetOptions options = *parsed.options;
    QString error;
    if (!varnotte::cli::CompleteLogin(options.login, error)) {
        std::fprintf(stderr, "varnotte-get: %s\n", error.toLocal8Bit().constData());
        return varnotte::cli::kExitUsage;
    }
    const bool showProgress = !options.quiet && ::isatty(STDERR_FILENO) == 1;
    return varnotte::cli::RunGet(options, stderr, showProgress);
}
