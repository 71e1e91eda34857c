// names.dat. The input starts with kLookups little-endian u32 offsets to look up (as name
// fields would point there); the rest is the file.
#include <cstddef>
#include <cstdint>
#include <string>

#include "vssdb/error.h"
#include "vssdb/names_file.h"
#include "vssdb/physical_file.h"

namespace {

constexpr std::size_t kLookups = 4;

std::uint32_t OffsetAt(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < kLookups * 4) {
        return 0;
    }
    const vssdb::NamesFile names(vssdb::PhysicalFile::FromBytes(
        "fuzz/names.dat",
        std::string(reinterpret_cast<const char*>(data) + kLookups * 4, size - kLookups * 4)));
    // Twice each, so that the second lookup comes from the cache.
    for (int round = 0; round < 2; ++round) {
        for (std::size_t i = 0; i < kLookups; ++i) {
            for (const bool project : {false, true}) {
                try {
                    names.LongName(OffsetAt(data + i * 4), project);
                } catch (const vssdb::Error&) {
                }
            }
        }
    }
    std::size_t total = 0;
    names.ForEachText([&](std::string_view text) { total += text.size(); });
    return 0;
}
