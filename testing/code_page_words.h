// Words in the ANSI code pages SourceSafe databases are written in, for generated names,
// user names and comments that only that code page can hold.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vsstest {

// The code pages NonAsciiWords() knows: 932, 936, 949, 950 and 1250 to 1257.
const std::vector<int>& WordCodePages();

// A few everyday words of the code page's language, each with at least one non-ASCII
// character, encoded in that code page with iconv. Throws std::invalid_argument for a
// code page it has no words for, std::runtime_error when iconv cannot encode them.
std::vector<std::string> NonAsciiWords(int codePage);

// `utf8` in code page `codePage`, through iconv. Throws std::runtime_error when a character
// has no encoding there or iconv does not know the code page.
std::string EncodeInCodePage(std::string_view utf8, int codePage);

}  // namespace vsstest
