#include "vssdb/error.h"

#include <cstdio>

namespace vssdb {

void ThrowCorrupt(const std::string& file, const std::string& what) {
    throw Error(ErrorKind::kCorrupt, file + ": " + what);
}

void ThrowCorruptAt(const std::string& file, std::size_t offset, const std::string& what) {
    char where[32];
    std::snprintf(where, sizeof where, " (at offset 0x%zx)", offset);
    throw Error(ErrorKind::kCorrupt, file + ": " + what + where);
}

}  // namespace vssdb
