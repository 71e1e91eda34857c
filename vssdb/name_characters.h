// Characters that SourceSafe does not allow in an item's name: / \ : * ? " < > | and the
// control characters. A stored name that holds one is damage. A "/" would even make the
// item's spec lead to another item ("64bitApp/64bitApp.vbproj" in $/P is the spec of the
// file 64bitApp.vbproj in $/P/64bitApp), so such a name is never used as it stands.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vssdb {

// The first forbidden character of a name in UTF-8, if any.
std::optional<char> ForbiddenNameCharacter(std::string_view name);

// The name with every forbidden character written as \xNN ("a/b" becomes "a\x2Fb"). As a
// backslash is forbidden too, no allowed name looks like that, so the result names the
// item without leading to another one.
std::string EscapeForbiddenNameCharacters(std::string_view name);

// `c` for a message: "/" in quotes (a double quote in single ones), or "control character
// 0x1B".
std::string DescribeNameCharacter(char c);

}  // namespace vssdb
