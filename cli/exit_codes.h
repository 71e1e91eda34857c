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

}  // namespace varnotte::cli
