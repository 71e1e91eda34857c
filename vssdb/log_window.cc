#include "vssdb/log_window.h"

#include <algorithm>
#include <utility>

#include "vssdb/error.h"

namespace vssdb {
namespace {

// Bytes read at once: an EL record and its comments are about half a kilobyte; records of
// small versions sit close together, and one window then holds several versions.
constexpr std::size_t kWindowSize = 16 * 1024;
// Of a backward window, what lies past the record asked for: its own comments follow it.
constexpr std::size_t kBackwardReach = 4 * 1024;

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
    if (offset < windowStart_ || offset + length > windowStart_ + window_.size()) {
        std::size_t start = offset;
        std::size_t end = std::min(dataEnd_, offset + std::max(length, kWindowSize));
        if (direction_ == ReadDirection::kBackward) {
            end = std::min(dataEnd_, offset + std::max(length, kBackwardReach));
            start =
                end - offset >= kWindowSize ? offset : (end > kWindowSize ? end - kWindowSize : 0);
        }
        windowStart_ = start;
        const std::size_t got = file_.ReadAt(start, end - start, window_);
        bytesRead_ += got;
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
