// The checksums SourceSafe uses: a CRC-32 started at 0 with no final xor, and its fold to
// the 16 bits stored in every record header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace vssdb {

std::uint32_t Crc32ZeroInit(const void* data, std::size_t size);
std::uint16_t RecordCrc(const void* data, std::size_t size);

inline std::uint16_t RecordCrc(std::string_view bytes) {
    return RecordCrc(bytes.data(), bytes.size());
}

}  // namespace vssdb
