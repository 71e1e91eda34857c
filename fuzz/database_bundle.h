// A small database packed into one fuzz input: the files of a database of at most four
// items, one after another, each preceded by a file break.
//
//   bundle := (kFileBreak file-bytes)*      the n-th file fills the n-th slot
//
// A break-separated format survives mutation better than length prefixes: a changed byte
// damages one file, not the framing of all the ones after it.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace varnotte::fuzz {

inline constexpr std::string_view kFileBreak = "<@VNF@>";

// Where each slot lives below the database folder. A project's child list is written as
// both .a and .b, so whichever the item header names is there.
struct BundleSlot {
    const char* path;         // relative to the data folder
    const char* alternative;  // a second copy of the same bytes, or null
};
inline constexpr std::array<BundleSlot, 10> kBundleSlots = {{
    {"names.dat", nullptr},
    {"um.dat", nullptr},
    {"a/aaaaaaaa", nullptr},
    {"a/aaaaaaaa.a", "a/aaaaaaaa.b"},
    {"b/baaaaaaa", nullptr},
    {"b/baaaaaaa.a", "b/baaaaaaa.b"},
    {"c/caaaaaaa", nullptr},
    {"c/caaaaaaa.a", "c/caaaaaaa.b"},
    {"d/daaaaaaa", nullptr},
    {"d/daaaaaaa.a", "d/daaaaaaa.b"},
}};

// One optional file per slot: an empty or missing part means the file is absent.
using BundleFiles = std::array<std::optional<std::string_view>, kBundleSlots.size()>;

// Bytes before the first break are ignored; parts after the last slot too.
BundleFiles SplitBundle(std::string_view bytes);
std::string JoinBundle(const BundleFiles& files);

}  // namespace varnotte::fuzz
