// Exit statuses of varnotte-csv.
#pragma once

namespace varnotte::cli {

enum ExitCode : int {
    kExitSuccess = 0,
    kExitUsage = 1,
    kExitLoginRefused = 2,
    kExitCannotOpen = 3,
    kExitItemsUnreadable = 4,
    kExitCannotWrite = 5,
};

// What each status means, as --help and the manual page say it.
struct ExitStatusText {
    ExitCode code;
    const char* meaning;
};
inline constexpr ExitStatusText kExitStatusTexts[] = {
    {kExitSuccess, "success"},
    {kExitUsage, "usage error"},
    {kExitLoginRefused, "login refused"},
    {kExitCannotOpen, "the database cannot be opened"},
    {kExitItemsUnreadable,
     "the export finished but some items could not be read, or are damaged (listed on "
     "standard error)"},
    {kExitCannotWrite, "the output cannot be written (or would be a file of the database)"},
};

}  // namespace varnotte::cli
