// Writing one file whole or not at all, into a folder held open.
#pragma once

#include <ctime>
#include <string>
#include <string_view>

namespace varnotte {

// How the file is kept out of sight until it is whole.
enum class AtomicWriteMethod {
    // A file without a name (O_TMPFILE) given its name once written, or, where the file
    // system cannot make one, a temporary file beside it renamed into place.
    kBest,
    // Always the temporary file beside it.
    kTemporaryName,
};

// Writes `content` as `name` in the folder open as `folder`, with the modification time
// `modified`. An entry already of that name (a file, or a link, which is replaced, not
// followed) is replaced only with `replace`, at once, never left half written. On failure
// nothing is left behind, `error` says why and `errorCode`, when given, is the errno
// (EEXIST for a file in the way).
bool WriteFileAtomically(int folder, const std::string& name, std::string_view content,
                         std::time_t modified, bool replace, std::string& error,
                         int* errorCode = nullptr,
                         AtomicWriteMethod method = AtomicWriteMethod::kBest);

}  // namespace varnotte
