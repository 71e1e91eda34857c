#include "export/utf8_text.h"

#include <wctype.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cwchar>

#include "codepage/utf8_locale.h"

namespace varnotte {
namespace {

bool IsControl(char32_t c) {
    if (c < 0x80) {
        return c < 0x20 || c == 0x7F;
    }
    const locale_t locale = codepage::Utf8Locale();
    // Without the locale, the C1 range is what a terminal would act on.
    return locale == static_cast<locale_t>(nullptr) ? c < 0xA0
                                                    : iswcntrl_l(static_cast<wint_t>(c), locale);
}

void AppendEscape(std::string& out, char32_t c, bool byte) {
    switch (c) {
        case '\n':
            out += "\\n";
            return;
        case '\r':
            out += "\\r";
            return;
        case '\t':
            out += "\\t";
            return;
        default:
            break;
    }
    char escape[12];
    std::snprintf(escape, sizeof escape, byte || c < 0x80 ? "\\x%02X" : "\\u%04X",
                  static_cast<unsigned>(c));
    out += escape;
}

}  // namespace

Utf8Step FirstCodePoint(std::string_view text) {
    const auto lead = static_cast<unsigned char>(text.front());
    if (lead < 0x80) {
        return Utf8Step{lead, 1, true};
    }
    if (codepage::Utf8Locale() != static_cast<locale_t>(nullptr)) {
        const codepage::ScopedUtf8Locale scope;
        std::mbstate_t state{};
        wchar_t c = 0;
        const std::size_t length = std::mbrtowc(&c, text.data(), text.size(), &state);
        if (length != 0 && length <= text.size()) {
            return Utf8Step{static_cast<char32_t>(c), length, true};
        }
    }
    return Utf8Step{lead, 1, false};
}

bool IsUtf8(std::string_view text) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto* end = p + text.size();
    while (p < end) {
        // Rows are mostly ASCII: skip it eight bytes at a time.
        std::uint64_t word = 0;
        if (end - p >= 8 && (std::memcpy(&word, p, 8), (word & 0x8080808080808080ULL) == 0)) {
            p += 8;
            continue;
        }
        if (*p < 0x80) {
            ++p;
            continue;
        }
        int length = 0;
        unsigned char low = 0x80;
        unsigned char high = 0xBF;
        if (*p >= 0xC2 && *p <= 0xDF) {
            length = 2;
        } else if (*p >= 0xE0 && *p <= 0xEF) {
            length = 3;
            low = *p == 0xE0 ? 0xA0 : 0x80;
            high = *p == 0xED ? 0x9F : 0xBF;
        } else if (*p >= 0xF0 && *p <= 0xF4) {
            length = 4;
            low = *p == 0xF0 ? 0x90 : 0x80;
            high = *p == 0xF4 ? 0x8F : 0xBF;
        } else {
            return false;
        }
        if (end - p < length || p[1] < low || p[1] > high) {
            return false;
        }
        for (int i = 2; i < length; ++i) {
            if (p[i] < 0x80 || p[i] > 0xBF) {
                return false;
            }
        }
        p += length;
    }
    return true;
}

std::string PrintableText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    while (!text.empty()) {
        const Utf8Step step = FirstCodePoint(text);
        if (!step.valid || IsControl(step.codePoint)) {
            AppendEscape(out, step.codePoint, !step.valid);
        } else {
            out.append(text.substr(0, step.length));
        }
        text.remove_prefix(step.length);
    }
    return out;
}

}  // namespace varnotte
