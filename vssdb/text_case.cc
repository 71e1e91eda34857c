#include "vssdb/text_case.h"

#include <locale.h>
#include <wctype.h>
#include <climits>
#include <cwchar>

#include <algorithm>
#include <cctype>

#include "codepage/utf8_locale.h"

namespace vssdb {

bool IsAscii(std::string_view bytes) {
    unsigned char all = 0;  // a plain reduction, which the compiler vectorises
    for (const char c : bytes) {
        all |= static_cast<unsigned char>(c);
    }
    return all < 0x80;
}

namespace {

std::string MapCase(std::string_view utf8, wint_t (*map)(wint_t, locale_t), int (*ascii)(int)) {
    std::string out;
    out.reserve(utf8.size());
    const locale_t locale = codepage::Utf8Locale();
    if (IsAscii(utf8) || locale == static_cast<locale_t>(nullptr)) {
        for (const char c : utf8) {
            const auto b = static_cast<unsigned char>(c);
            out += b < 0x80 ? static_cast<char>(ascii(b)) : c;
        }
        return out;
    }
    const codepage::ScopedUtf8Locale scope;
    std::mbstate_t in{};
    std::mbstate_t outState{};
    char buffer[MB_LEN_MAX];
    for (std::size_t pos = 0; pos < utf8.size();) {
        wchar_t c = 0;
        const std::size_t length = std::mbrtowc(&c, utf8.data() + pos, utf8.size() - pos, &in);
        if (length == static_cast<std::size_t>(-1) || length == static_cast<std::size_t>(-2) ||
            length == 0) {
            out += utf8[pos++];  // keep bytes that are not UTF-8 as they are
            in = std::mbstate_t{};
            continue;
        }
        const std::size_t written = std::wcrtomb(
            buffer, static_cast<wchar_t>(map(static_cast<wint_t>(c), locale)), &outState);
        if (written == static_cast<std::size_t>(-1)) {
            out.append(utf8.data() + pos, length);
        } else {
            out.append(buffer, written);
        }
        pos += length;
    }
    return out;
}

}  // namespace

std::string UpperCase(std::string_view utf8) {
    return MapCase(utf8, towupper_l, ::toupper);
}

std::string FoldCase(std::string_view utf8) {
    return MapCase(utf8, towlower_l, ::tolower);
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (IsAscii(a) && IsAscii(b)) {
        return a.size() == b.size() &&
               std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
                   return std::tolower(static_cast<unsigned char>(x)) ==
                          std::tolower(static_cast<unsigned char>(y));
               });
    }
    return FoldCase(a) == FoldCase(b);
}

}  // namespace vssdb
