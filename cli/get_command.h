// varnotte-get's work: a file, or a project's live tree, written out of the database.
#pragma once

#include <cstdio>

#include "cli/get_options.h"

namespace varnotte::cli {

// Writes what `options` ask for and returns the exit status; messages go to `errors`, and
// with `showProgress` a line there that says how far it is.
int RunGet(const GetOptions& options, std::FILE* errors, bool showProgress);

}  // namespace varnotte::cli
