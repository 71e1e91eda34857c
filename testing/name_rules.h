// How SourceSafe derives the names it stores from an item's real name, and the order and
// physical names it gives items. Names are raw bytes; only ASCII letters change case.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vsstest {

// The text of the 34-byte short name field: spaces become '_', leading dots are dropped,
// and the result is cut to 33 bytes.
std::string ShortNameField(std::string_view name);

// Whether `name` is already a DOS 8.3 name, so that a file needs no alias.
bool IsDosName(std::string_view name);

// A file's 8.3 alias is "<stem>~<n>.<extension>", n counting up among the names of one
// project that share stem and extension (compared ignoring case).
struct DosAliasParts {
    std::string stem;       // up to 6 bytes
    std::string extension;  // up to 3 bytes, empty when the name has none
};
DosAliasParts DosAliasPartsOf(std::string_view name);
std::string DosAlias(const DosAliasParts& parts, int number);

// The Mac name SourceSafe stores beside a file's long name: the name itself when it has at
// most 31 bytes, else shortened to 31 with "~1" before the extension.
std::string MacName(std::string_view name);

std::string AsciiLower(std::string_view text);
std::string AsciiUpper(std::string_view text);
// The order of child lists and user lists: bytewise after folding ASCII letters to lower
// case (so '_' sorts before letters, as in SourceSafe's lists).
bool LessIgnoringCase(std::string_view a, std::string_view b);

// The physical name handed out as number `index` (0 is AAAAAAAA, the root): eight letters
// counting in base 26 with the first letter varying fastest.
std::string PhysicalNameAt(std::uint32_t index);

}  // namespace vsstest
