#include "vssdb/crc.h"

#include <zlib.h>

#include <algorithm>
#include <limits>

namespace vssdb {

std::uint32_t Crc32ZeroInit(const void* data, std::size_t size) {
    // zlib inverts the register before and after; starting it at ~0 and inverting the
    // result gives the plain register update from 0 that SourceSafe uses.
    uLong crc = 0xFFFFFFFFUL;
    const auto* bytes = static_cast<const Bytef*>(data);
    while (size > 0) {
        const auto chunk =
            static_cast<uInt>(std::min<std::size_t>(size, std::numeric_limits<uInt>::max()));
        crc = crc32(crc, bytes, chunk);
        bytes += chunk;
        size -= chunk;
    }
    return static_cast<std::uint32_t>(~crc);
}

std::uint16_t RecordCrc(const void* data, std::size_t size) {
    const std::uint32_t c = Crc32ZeroInit(data, size);
    return static_cast<std::uint16_t>(c ^ (c >> 16));
}

}  // namespace vssdb
