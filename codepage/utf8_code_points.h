// Code points of UTF-8 text that iconv produced, so known to be well formed.
#pragma once

#include <string_view>
#include <vector>

namespace codepage {

inline void DecodeUtf8(std::string_view utf8, std::vector<char32_t>& out) {
    out.clear();
    for (std::size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        const int length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        char32_t c = length == 1 ? lead : lead & (0x7F >> length);
        for (int k = 1; k < length && i + k < utf8.size(); ++k) {
            c = (c << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        }
        out.push_back(c);
        i += length;
    }
}

}  // namespace codepage
