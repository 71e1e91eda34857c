// The 52-byte header of item log files: which format wrote them.
#pragma once

#include "vssdb/byte_view.h"

namespace vssdb {

// Throws Error(kIncompatible) for an older or unknown format version and Error(kCorrupt)
// for a file that is not an item file at all.
void CheckItemFileHeader(const ByteView& file);

// Whether the file starts with a format-6 item file header.
bool IsCurrentItemFile(const ByteView& file);

}  // namespace vssdb
