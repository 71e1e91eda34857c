// Bounds-checked little-endian reads over bytes that came from a database file.
//
// A view knows which file it came from and where it starts in that file, so that a read
// past its end throws a corrupt-file error naming the file and the absolute offset.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vssdb {

class ByteView {
  public:
    ByteView() = default;
    // `file` must outlive the view; it is only used in error messages.
    ByteView(std::string_view bytes, const std::string* file, std::size_t fileOffset = 0)
        : bytes_(bytes), file_(file), fileOffset_(fileOffset) {}

    std::size_t size() const { return bytes_.size(); }
    std::string_view bytes() const { return bytes_; }
    std::size_t fileOffset() const { return fileOffset_; }
    const std::string& file() const;

    std::uint8_t U8(std::size_t offset) const;
    std::uint16_t U16(std::size_t offset) const;
    std::int16_t I16(std::size_t offset) const { return static_cast<std::int16_t>(U16(offset)); }
    std::uint32_t U32(std::size_t offset) const;

    // The raw bytes [offset, offset + length).
    std::string_view Bytes(std::size_t offset, std::size_t length) const;
    // A fixed-size text field: its bytes up to the first NUL (or the whole field).
    std::string_view CString(std::size_t offset, std::size_t fieldSize) const;
    ByteView Sub(std::size_t offset, std::size_t length) const;

  private:
    void Require(std::size_t offset, std::size_t length) const;

    std::string_view bytes_;
    const std::string* file_ = nullptr;
    std::size_t fileOffset_ = 0;
};

}  // namespace vssdb
