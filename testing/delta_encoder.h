// Reverse deltas as SourceSafe writes them (see vssdb/delta_format.h): the operations that
// build the older content out of the newer one, copying what the two share and inserting
// the rest.
#pragma once

#include <string>
#include <string_view>

namespace vsstest {

// The body of an FD record that turns `newer` into `older`. Blocks of `older` found in
// `newer` (anywhere: moved text is copied too) become copies, the bytes between them
// inserts; as in real deltas, an insert's offset is its place in `older`, the u16 after
// each command is junk, and the stop repeats the offset and length of the operation before.
std::string EncodeReverseDelta(std::string_view older, std::string_view newer);

}  // namespace vsstest
