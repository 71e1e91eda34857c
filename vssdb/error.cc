#include "vssdb/error.h"

#include <cstdio>

namespace vssdb {
namespace {

std::string ReasonAt(const std::string& what, std::optional<std::size_t> offset) {
    if (!offset) {
        return what;
    }
    char where[32];
    std::snprintf(where, sizeof where, " (at offset 0x%zx)", *offset);
    return what + where;
}

}  // namespace

Error::Error(ErrorKind kind, const std::string& file, const std::string& what,
             std::optional<std::size_t> offset)
    : std::runtime_error(file + ": " + ReasonAt(what, offset)),
      kind_(kind),
      file_(file),
      offset_(offset),
      reason_(ReasonAt(what, offset)) {}

void ThrowCorrupt(const std::string& file, const std::string& what) {
    throw Error(ErrorKind::kCorrupt, file, what);
}

void ThrowCorruptAt(const std::string& file, std::size_t offset, const std::string& what) {
    throw Error(ErrorKind::kCorrupt, file, what, offset);
}

}  // namespace vssdb
