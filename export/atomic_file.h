// Writing one file whole or not at all, by the bytes of its path.
#pragma once

#include <sys/types.h>

#include <ctime>
#include <string>
#include <string_view>

namespace varnotte {

// The permissions a new file gets from this process's umask (which mkstemp ignores).
mode_t NewFileMode();

// Writes `content` into a temporary file beside `path`, gives it the modification time
// `modified`, and then puts it in place: over an existing file (or link, which is replaced,
// not followed) only with `replace`. On failure nothing is left behind, `error` says why
// and `errorCode`, when given, is the errno (EEXIST for a file in the way).
bool WriteFileAtomically(const std::string& path, std::string_view content, std::time_t modified,
                         bool replace, std::string& error, int* errorCode = nullptr);

}  // namespace varnotte
