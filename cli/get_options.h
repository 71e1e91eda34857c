// The command line of varnotte-get.
#pragma once

#include <QString>
#include <QStringList>

#include <optional>

#include "cli/exit_codes.h"
#include "cli/login_options.h"

namespace varnotte::cli {

struct GetOptions {
    QString iniPath;
    QString spec;
    QString folder;  // DIR: where the files go
    Login login;
    int version = 0;  // 0: the latest, or the pinned one
    // The project or file as it was at a label, or at a date (an automation date on the
    // database's wall clock); at most one of these and `version` is set.
    QString label;
    std::optional<double> date;
    bool force = false;  // write into a folder that is not empty, over files already there
    bool quiet = false;
};

struct GetParseResult {
    std::optional<GetOptions> options;  // empty when the program should exit
    int exitCode = 0;
    QString message;  // help, version or the usage error, for the caller to print
    bool toStandardError = false;
};

GetParseResult ParseGetOptions(const QStringList& arguments);

// What each exit status of varnotte-get means, as --help and the manual page say it.
inline constexpr ExitStatusText kGetExitStatusTexts[] = {
    {kExitSuccess, "success"},
    {kExitUsage, "usage error"},
    {kExitLoginRefused, "login refused"},
    {kExitCannotOpen, "the database cannot be opened"},
    {kExitItemsUnreadable,
     "some files could not be rebuilt or written (listed on standard error); the rest were "
     "written"},
    {kExitCannotWrite, "DIR cannot be made, or is not empty and --force was not given"},
};

}  // namespace varnotte::cli
