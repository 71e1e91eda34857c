// Reverse deltas. The input is a u16 length L, the L bytes of the newer version (fewer when
// the input ends first), then the body of an FD record. The delta is applied as the reader
// applies it, within a size limit; then the same bytes go the other way: the writer's
// encoder turns them into a delta from the newer version, which must give them back.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "testing/delta_encoder.h"
#include "vssdb/byte_view.h"
#include "vssdb/error.h"
#include "vssdb/reverse_delta.h"

namespace {

// Small enough that a delta of copies of the whole newer version stays cheap.
constexpr std::size_t kMaxOlderSize = std::size_t{1} << 20;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t length = std::min<std::size_t>(data[0] | (data[1] << 8), size - 2);
    const std::string newer(input.substr(2, length));
    const std::string delta(input.substr(2 + length));
    const std::string file = "fuzz/delta";

    std::string older;
    try {
        const vssdb::ByteView view(delta, &file);
        const std::size_t expected = vssdb::OlderVersionSize(view, newer.size(), kMaxOlderSize);
        vssdb::ApplyReverseDelta(view, newer, older, kMaxOlderSize);
        if (older.size() != expected) {
            __builtin_trap();
        }
    } catch (const vssdb::Error&) {
    }

    const std::string encoded = vsstest::EncodeReverseDelta(delta, newer);
    vssdb::ApplyReverseDelta(vssdb::ByteView(encoded, &file), newer, older);
    if (older != delta) {
        __builtin_trap();
    }
    return 0;
}
