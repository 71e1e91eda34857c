// Applying one reverse delta (an FD record, see delta_format.h) to a version's content.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "vssdb/byte_view.h"
#include "vssdb/physical_file.h"

namespace vssdb {

// The largest content a rebuilt version may have: the format counts in 32 bits, and no
// data file of a database the reader accepts is larger.
inline constexpr std::size_t kMaxContentSize = kMaxPhysicalFileSize;

// Checks every operation of `delta` (an FD record's body, which names the log it came from)
// against the record and against `newerSize`, the size of the content it applies to, and
// returns the size of the older version it builds. Throws Error(kCorrupt) naming the log
// and the operation's offset for an unknown command, a copy that reaches past the newer
// version, an insert whose bytes the record does not hold, a delta without its stop, or an
// older version that would be larger than `maxSize`.
std::size_t OlderVersionSize(const ByteView& delta, std::size_t newerSize,
                             std::size_t maxSize = kMaxContentSize);

// Builds the older version into `older` (its previous bytes are dropped; its capacity is
// reused), after the checks of OlderVersionSize: nothing is allocated or copied before
// every operation has passed them. `newer` and `older` must not overlap.
void ApplyReverseDelta(const ByteView& delta, std::string_view newer, std::string& older,
                       std::size_t maxSize = kMaxContentSize);

}  // namespace vssdb
