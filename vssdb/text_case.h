// Letter case of UTF-8 text, for SourceSafe's case-insensitive user names, passwords and
// item names. Uses the C library's Unicode tables (C.UTF-8); invalid UTF-8 is kept as is.
#pragma once

#include <string>
#include <string_view>

namespace vssdb {

// Whether every byte is below 0x80: text that reads alike in every code page.
bool IsAscii(std::string_view bytes);

std::string UpperCase(std::string_view utf8);
std::string FoldCase(std::string_view utf8);
bool EqualsIgnoringCase(std::string_view a, std::string_view b);

}  // namespace vssdb
