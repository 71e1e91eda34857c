// What varnotte-csv does once its command line is parsed: open, log in, walk, write.
#pragma once

#include <cstdio>
#include <functional>

#include "cli/options.h"

namespace varnotte::cli {

// Runs the export and returns the exit status. Messages go to `errors`; progress and the
// code page the texts are read in too, when `showProgress` is set (the caller decides: a
// terminal, and not --quiet); the code page also with --verbose.
// `beforeEachItem` runs once per visited item, before it is read, where the desktop
// program processes its events (tests change the database there).
int RunExport(const Options& options, std::FILE* errors, bool showProgress,
              const std::function<void()>& beforeEachItem = {});

}  // namespace varnotte::cli
