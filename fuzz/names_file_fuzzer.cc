// names.dat. The input starts with kLookups name fields of 40 bytes as records store them
// (u16 flags, the 34-byte short name, the u32 offset of a name record); the rest is the
// file. Each field is looked up as the reader does, checked against its short name.
#include <cstddef>
#include <cstdint>
#include <string>

#include "vssdb/byte_view.h"
#include "vssdb/error.h"
#include "vssdb/name_field.h"
#include "vssdb/name_format.h"
#include "vssdb/names_file.h"
#include "vssdb/physical_file.h"

namespace {

constexpr std::size_t kLookups = 4;
constexpr std::size_t kFields = kLookups * vssdb::name_format::kSize;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < kFields) {
        return 0;
    }
    const std::string fields(reinterpret_cast<const char*>(data), kFields);
    const vssdb::NamesFile names(vssdb::PhysicalFile::FromBytes(
        "fuzz/names.dat",
        std::string(reinterpret_cast<const char*>(data) + kFields, size - kFields)));
    const vssdb::ByteView view(fields, nullptr);
    // Twice each, so that the second lookup comes from the cache.
    for (int round = 0; round < 2; ++round) {
        for (std::size_t i = 0; i < kLookups; ++i) {
            const vssdb::NameField field =
                vssdb::ReadNameField(view, i * vssdb::name_format::kSize);
            for (const bool project : {false, true}) {
                try {
                    names.LongNameOf(field, project);
                } catch (const vssdb::Error&) {
                }
            }
        }
    }
    std::size_t total = 0;
    names.ForEachText([&](std::string_view text) { total += text.size(); });
    return 0;
}
