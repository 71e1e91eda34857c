// Text that should be UTF-8 but may hold other bytes (file names, command lines, damaged
// names), taken one code point at a time, and made safe to show in a message.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace varnotte {

struct Utf8Step {
    char32_t codePoint = 0;  // the byte itself when !valid
    std::size_t length = 1;  // bytes taken; 1 when !valid
    bool valid = false;
};

// The first code point of `text` (not empty), as the C library's UTF-8 decoder reads it:
// an overlong form, a surrogate, a code point past U+10FFFF or a cut sequence is not
// valid, and then only its first byte is taken.
Utf8Step FirstCodePoint(std::string_view text);

// Whether all of `text` is valid UTF-8 (no overlong forms, surrogates or code points past
// U+10FFFF): text that a round trip through QString leaves exactly as it is.
bool IsUtf8(std::string_view text);

// `text` for a message: control characters and bytes that are not UTF-8 become escapes
// ("\n", "\t", "\x1B", "\u009B", "\xFF"), so that a terminal shown it moves no cursor,
// clears nothing and changes no setting; everything else stays as it is.
std::string PrintableText(std::string_view text);

}  // namespace varnotte
