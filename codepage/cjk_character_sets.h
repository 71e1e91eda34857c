// The East Asian character sets as flags per BMP code point: which national standard has a
// character, in which frequency tier, and whether it is among the most common ones.
#pragma once

#include <cstdint>
#include <vector>

namespace codepage {

enum CjkFlag : std::uint16_t {
    kGbLevel1 = 1 << 0,  // GB 2312: level 1 holds the common hanzi, level 2 the rarer
    kGbLevel2 = 1 << 1,
    kBig5Level1 = 1 << 2,
    kBig5Level2 = 1 << 3,
    kJisLevel1 = 1 << 4,
    kJisLevel2 = 1 << 5,
    kKsHangul = 1 << 6,  // the 2,350 syllables of KS X 1001; CP949 adds 8,822 rare ones
    kKsHanja = 1 << 7,
    kCommonSimplified = 1 << 8,
    kCommonTraditional = 1 << 9,
    kCommonHangul = 1 << 10,
};

using CjkTable = std::vector<std::uint16_t>;

// Built once, on first use, from iconv's own tables (about a millisecond).
const CjkTable& CjkCharacterSets();

bool IsDoubleByteCodePage(int codePage);

}  // namespace codepage
