#include "vssdb/byte_view.h"

#include <cstring>

#include "vssdb/error.h"

namespace vssdb {

const std::string& ByteView::file() const {
    static const std::string kUnknown = "(memory)";
    return file_ != nullptr ? *file_ : kUnknown;
}

void ByteView::Require(std::size_t offset, std::size_t length) const {
    if (offset > bytes_.size() || length > bytes_.size() - offset) {
        ThrowCorruptAt(file(), fileOffset_ + offset,
                       "data ends early: " + std::to_string(length) + " bytes needed, " +
                           std::to_string(offset > bytes_.size() ? 0 : bytes_.size() - offset) +
                           " left");
    }
}

std::uint8_t ByteView::U8(std::size_t offset) const {
    Require(offset, 1);
    return static_cast<std::uint8_t>(bytes_[offset]);
}

std::uint16_t ByteView::U16(std::size_t offset) const {
    Require(offset, 2);
    const auto* p = reinterpret_cast<const unsigned char*>(bytes_.data() + offset);
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t ByteView::U32(std::size_t offset) const {
    Require(offset, 4);
    const auto* p = reinterpret_cast<const unsigned char*>(bytes_.data() + offset);
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

std::string_view ByteView::Bytes(std::size_t offset, std::size_t length) const {
    Require(offset, length);
    return bytes_.substr(offset, length);
}

std::string_view ByteView::CString(std::size_t offset, std::size_t fieldSize) const {
    const std::string_view field = Bytes(offset, fieldSize);
    const void* nul = std::memchr(field.data(), 0, field.size());
    return nul == nullptr ? field : field.substr(0, static_cast<const char*>(nul) - field.data());
}

ByteView ByteView::Sub(std::size_t offset, std::size_t length) const {
    Require(offset, length);
    return ByteView(bytes_.substr(offset, length), file_, fileOffset_ + offset);
}

}  // namespace vssdb
