#include "codepage/cjk_character_sets.h"

#include <iconv.h>

#include <algorithm>
#include <initializer_list>
#include <iterator>
#include <string>
#include <string_view>

#include "codepage/common_characters.h"
#include "codepage/text_decoder.h"
#include "codepage/utf8_code_points.h"

namespace codepage {
namespace {

// Decodes two-byte codes of `codePage` one by one into `table`, flagging each character
// that exists. The national standards order their characters by frequency tier, so the
// code ranges tell how common a character is; iconv knows which character each code is.
void MarkCodes(int codePage, const std::vector<std::uint16_t>& codes, std::uint16_t flag,
               CjkTable& table) {
    const iconv_t cd = iconv_open("UTF-32LE", IconvNameForCodePage(codePage).c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        return;
    }
    std::string in;
    for (std::uint16_t code : codes) {
        in.push_back(static_cast<char>(code >> 8));
        in.push_back(static_cast<char>(code & 0xFF));
    }
    std::string out(codes.size() * 4, '\0');
    std::size_t next = 0;
    while (next < codes.size()) {
        char* const start = in.data() + 2 * next;
        char* inPtr = start;
        std::size_t inLeft = in.size() - 2 * next;
        char* outPtr = out.data();
        std::size_t outLeft = out.size();
        const std::size_t result = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
        const auto consumed = static_cast<std::size_t>(inPtr - start);
        const auto produced = static_cast<std::size_t>(outPtr - out.data()) / 4;
        if (consumed % 2 != 0 || consumed / 2 != produced) {
            break;  // not one character per code: leave the rest unflagged
        }
        for (std::size_t k = 0; k < produced; ++k) {
            const auto byte = [&](int n) {
                return static_cast<char32_t>(static_cast<unsigned char>(out[4 * k + n]));
            };
            const char32_t c = byte(0) | byte(1) << 8 | byte(2) << 16 | byte(3) << 24;
            if (c < table.size()) {
                table[c] |= flag;
            }
        }
        next += produced;
        if (result != static_cast<std::size_t>(-1)) {
            break;
        }
        ++next;  // an unassigned code
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    iconv_close(cd);
}

std::vector<std::uint16_t> CodeRange(int leadFirst, int leadLast,
                                     std::initializer_list<std::pair<int, int>> trails) {
    std::vector<std::uint16_t> codes;
    for (int lead = leadFirst; lead <= leadLast; ++lead) {
        for (auto [first, last] : trails) {
            for (int trail = first; trail <= last; ++trail) {
                codes.push_back(static_cast<std::uint16_t>(lead << 8 | trail));
            }
        }
    }
    return codes;
}

std::vector<std::uint16_t> CodesBetween(const std::vector<std::uint16_t>& codes, int first,
                                        int last) {
    std::vector<std::uint16_t> within;
    std::copy_if(codes.begin(), codes.end(), std::back_inserter(within),
                 [&](std::uint16_t code) { return code >= first && code <= last; });
    return within;
}

void MarkList(std::string_view utf8, std::uint16_t flag, CjkTable& table) {
    std::vector<char32_t> characters;
    DecodeUtf8(utf8, characters);
    for (char32_t c : characters) {
        if (c < table.size()) {
            table[c] |= flag;
        }
    }
}

CjkTable BuildCjkTable() {
    CjkTable table(0x10000, 0);
    const auto euc = std::initializer_list<std::pair<int, int>>{{0xA1, 0xFE}};
    const auto big5 = std::initializer_list<std::pair<int, int>>{{0x40, 0x7E}, {0xA1, 0xFE}};
    const auto sjis = std::initializer_list<std::pair<int, int>>{{0x40, 0x7E}, {0x80, 0xFC}};
    MarkCodes(936, CodeRange(0xB0, 0xD7, euc), kGbLevel1, table);
    MarkCodes(936, CodeRange(0xD8, 0xF7, euc), kGbLevel2, table);
    MarkCodes(949, CodeRange(0xB0, 0xC8, euc), kKsHangul, table);
    MarkCodes(949, CodeRange(0xCA, 0xFD, euc), kKsHanja, table);
    MarkCodes(950, CodesBetween(CodeRange(0xA4, 0xC6, big5), 0xA440, 0xC67E), kBig5Level1, table);
    MarkCodes(950, CodeRange(0xC9, 0xF9, big5), kBig5Level2, table);
    std::vector<std::uint16_t> jis = CodeRange(0x88, 0x9F, sjis);
    const std::vector<std::uint16_t> jisHigh = CodeRange(0xE0, 0xEA, sjis);
    jis.insert(jis.end(), jisHigh.begin(), jisHigh.end());
    MarkCodes(932, CodesBetween(jis, 0x889F, 0x9872), kJisLevel1, table);
    MarkCodes(932, CodesBetween(jis, 0x989F, 0xEAA4), kJisLevel2, table);

    MarkList(kCommonSimplifiedHanzi, kCommonSimplified, table);
    MarkList(kCommonTraditionalOnlyHanzi, kCommonTraditional, table);
    MarkList(kCommonHangulSyllables, kCommonHangul, table);
    // Characters written alike in both scripts are common in traditional text too.
    for (std::uint16_t& flags : table) {
        if ((flags & kCommonSimplified) && (flags & (kBig5Level1 | kBig5Level2))) {
            flags |= kCommonTraditional;
        }
    }
    return table;
}

}  // namespace

const CjkTable& CjkCharacterSets() {
    static const CjkTable table = BuildCjkTable();
    return table;
}

bool IsDoubleByteCodePage(int codePage) {
    return codePage == 932 || codePage == 936 || codePage == 949 || codePage == 950;
}

}  // namespace codepage
