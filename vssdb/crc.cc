#include "vssdb/crc.h"

#include <libdeflate.h>

namespace vssdb {

std::uint32_t Crc32ZeroInit(const void* data, std::size_t size) {
    // libdeflate inverts the register before and after, as zlib does; starting it at ~0
    // and inverting the result gives the plain register update from 0 that SourceSafe uses.
    return ~libdeflate_crc32(0xFFFFFFFFU, data, size);
}

std::uint16_t RecordCrc(const void* data, std::size_t size) {
    const std::uint32_t c = Crc32ZeroInit(data, size);
    return static_cast<std::uint16_t>(c ^ (c >> 16));
}

}  // namespace vssdb
