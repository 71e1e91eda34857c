#include "vssdb/log_window.h"

#include <algorithm>
#include <utility>

#include "vssdb/error.h"

namespace vssdb {
namespace {

// Bytes read at once, at least and at most. An EL record with its comments is about half a
// kilobyte. Where records lie close together (versions of a few bytes each) the window
// grows, and one read takes several versions; where deltas lie between them it stays
// small, and what is read is little more than the records themselves.
constexpr std::size_t kMinReach = 1024;
constexpr std::size_t kMaxReach = 16 * 1024;

}  // namespace

LogWindow::LogWindow(PositionedFile file, std::size_t dataEnd, ReadDirection direction,
                     std::string head)
    : file_(std::move(file)), dataEnd_(dataEnd), direction_(direction), window_(std::move(head)) {
    if (window_.size() > dataEnd_) {
        window_.resize(dataEnd_);
    }
}

ByteView LogWindow::Bytes(std::size_t offset, std::size_t length) {
    // Callers check records against the end of the data first.
    if (offset > dataEnd_ || length > dataEnd_ - offset) {
        ThrowCorruptAt(path(), offset, "read past the end of the data");
    }
    const std::size_t windowEnd = windowStart_ + window_.size();
    if (offset < windowStart_ || offset + length > windowEnd) {
        // Records next to the last window: the next ones are likely as close.
        const bool close =
            direction_ == ReadDirection::kForward
                ? offset >= windowEnd && offset - windowEnd < reach_
                : offset + length <= windowStart_ && windowStart_ - (offset + length) < reach_;
        reach_ = close ? std::min(reach_ * 2, kMaxReach) : kMinReach;
        std::size_t start = offset;
        std::size_t end = std::min(dataEnd_, offset + std::max(length, reach_));
        if (direction_ == ReadDirection::kBackward) {
            // The record's own comments follow it; older versions lie before it.
            end = std::min(dataEnd_, offset + std::max(length, kMinReach));
            start = std::min(offset, end > reach_ ? end - reach_ : 0);
        }
        windowStart_ = start;
        const std::size_t got = file_.ReadAt(start, end - start, window_);
        if (got < end - start) {
            window_.clear();
            ThrowCorrupt(path(), "cut short while being read: the file ends at byte " +
                                     std::to_string(start + got) +
                                     ", before the end of the data (" + std::to_string(dataEnd_) +
                                     " bytes) that its item header records");
        }
    }
    return ByteView(std::string_view(window_).substr(offset - windowStart_, length), &file_.path(),
                    offset);
}

}  // namespace vssdb
