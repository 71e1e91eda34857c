#include "codepage/text_plausibility.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "codepage/utf8_code_points.h"

namespace codepage {
namespace {

// What a decoded character is.

enum class Script : std::uint8_t {
    kNone,
    kLatin,
    kCyrillic,
    kGreek,
    kHebrew,
    kArabic,
    kThai,
    kCjk
};

struct CharInfo {
    Script script = Script::kNone;
    bool letter = false;  // a letter of an alphabet (CJK characters have script kCjk)
    bool mark = false;    // a combining mark or joiner, part of the letter before it
    bool upper = false;
    bool lower = false;
    float weight = 1.0f;  // how common the letter is in its languages
};

bool Contains(std::u32string_view set, char32_t c) {
    return set.find(c) != set.npos;
}

// Frequency tiers, so that a misread text, whose letters are spread evenly over the
// alphabet, scores below real words, which lean on the common letters.
float TierWeight(char32_t lower, std::u32string_view common, std::u32string_view medium) {
    if (Contains(common, lower)) {
        return 1.0f;
    }
    return Contains(medium, lower) ? 0.8f : 0.5f;
}

CharInfo LatinLetter(char32_t c) {
    CharInfo info{Script::kLatin, true};
    if (c <= 0xFF) {
        info.upper = c <= 0xDE;  // 0xDF, sharp s, has no capital here
        info.lower = !info.upper;
    } else if (c <= 0x17F) {
        // Latin Extended-A pairs capitals and small letters, with the parity flipping twice.
        const bool flipped = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
        info.upper = ((c % 2 == 0) != flipped) && c != 0x138 && c != 0x149 && c != 0x17F;
        info.lower = !info.upper;
    } else if (c >= 0x1E00) {
        info.upper = c % 2 == 0;
        info.lower = !info.upper;
    } else if (c == 0x1A0 || c == 0x1AF || c == 0x1A1 || c == 0x1B0) {
        info.upper = c == 0x1A0 || c == 0x1AF;
        info.lower = !info.upper;
    }
    static constexpr std::u32string_view kRare =
        U"\u00D0\u00F0\u00DE\u00FE\u00DD\u0178\u00FF\u0138\u0149\u013F\u0140\u0132\u0133\u017F";
    static constexpr std::u32string_view kMedium =
        U"\u0152\u0153\u0139\u013A\u013D\u013E\u0154\u0155\u0162\u0163";
    const bool vietnamese = c == 0x1A0 || c == 0x1A1 || c == 0x1AF || c == 0x1B0 || c >= 0x1E00;
    if (Contains(kRare, c) || (c >= 0x180 && c <= 0x24F && !vietnamese)) {
        info.weight = 0.5f;
    } else if (Contains(kMedium, c)) {
        info.weight = 0.8f;
    }
    return info;
}

CharInfo CyrillicLetter(char32_t c) {
    CharInfo info{Script::kCyrillic, true};
    char32_t lower = c;
    if (c >= 0x410 && c <= 0x42F) {
        lower = c + 0x20;
    } else if (c >= 0x400 && c <= 0x40F) {
        lower = c + 0x50;
    } else if (c == 0x490) {
        lower = 0x491;
    }
    info.upper = lower != c;
    info.lower = !info.upper;
    info.weight = TierWeight(lower, U"оеаинтсрвлкмдпу", U"яыьгзбчйхжшюцієї");
    return info;
}

CharInfo GreekLetter(char32_t c) {
    CharInfo info{Script::kGreek, true};
    char32_t lower = c;
    if (c >= 0x391 && c <= 0x3AB) {
        lower = c + 0x20;
    } else if (c >= 0x386 && c <= 0x38F) {
        static constexpr char32_t kTonos[] = {0x3AC, 0,     0x3AD, 0x3AE, 0x3AF,
                                              0,     0x3CC, 0,     0x3CD, 0x3CE};
        lower = kTonos[c - 0x386] != 0 ? kTonos[c - 0x386] : c;
    }
    info.upper = lower != c;
    info.lower = !info.upper;
    info.weight = TierWeight(lower, U"αειοητνσςρκπμυλάέίόήύώ", U"δγωχθφβ");
    return info;
}

CharInfo Classify(char32_t c) {
    if (c < 0x80) {
        const bool upper = c >= 'A' && c <= 'Z';
        const bool lower = c >= 'a' && c <= 'z';
        return CharInfo{upper || lower ? Script::kLatin : Script::kNone, upper || lower, false,
                        upper, lower};
    }
    if ((c >= 0xC0 && c <= 0x24F && c != 0xD7 && c != 0xF7 && c != 0x192) ||
        (c >= 0x1E00 && c <= 0x1EFF)) {
        return LatinLetter(c);
    }
    if (c >= 0x300 && c <= 0x36F) {
        return CharInfo{Script::kNone, false, true};
    }
    if (c >= 0x386 && c <= 0x3CE && c != 0x387 && c != 0x38B && c != 0x38D && c != 0x3A2) {
        return GreekLetter(c);
    }
    if ((c >= 0x400 && c <= 0x45F) || c == 0x490 || c == 0x491) {
        return CyrillicLetter(c);
    }
    if (c >= 0x5B0 && c <= 0x5C7 && c != 0x5BE && c != 0x5C0 && c != 0x5C3 && c != 0x5C6) {
        return CharInfo{Script::kHebrew, false, true};
    }
    if ((c >= 0x5D0 && c <= 0x5EA) || (c >= 0x5F0 && c <= 0x5F4)) {
        CharInfo info{Script::kHebrew, true};
        info.weight = c >= 0x5F0 ? 0.3f : TierWeight(c, U"יוהאלרמתבנשםעדק", U"כפחסגטןזצךףץ");
        return info;
    }
    if ((c >= 0x64B && c <= 0x65F) || c == 0x670) {
        return CharInfo{Script::kArabic, false, true};
    }
    if ((c >= 0x621 && c <= 0x64A) || (c >= 0x671 && c <= 0x6D3)) {
        CharInfo info{Script::kArabic, true};
        info.weight = c == 0x640 ? 0.3f : Contains(U"اليمونهرتبةعدسفكقحجأإى", c) ? 1.0f : 0.8f;
        return info;
    }
    if (c >= 0xE01 && c <= 0xE4E) {
        // Thai: consonants and the vowels written before or after them are letters; the
        // vowels and tone marks above and below are marks.
        const bool mark = c == 0xE31 || (c >= 0xE34 && c <= 0xE3A) || (c >= 0xE47 && c <= 0xE4E);
        CharInfo info{Script::kThai, !mark, mark};
        info.weight = Contains(U"นรกงมยอลสวทดตคบปหเาะีิ่้ั", c) ? 1.0f : 0.8f;
        return info;
    }
    if (c == 0x200C || c == 0x200D) {
        return CharInfo{Script::kNone, false, true};  // joiners inside Persian words
    }
    if ((c >= 0x3041 && c <= 0x30FF && c != 0x30FB) || c == 0x3005 ||
        (c >= 0x3131 && c <= 0x318E) || (c >= 0x3400 && c <= 0x4DBF) ||
        (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xAC00 && c <= 0xD7A3) ||
        (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFF66 && c <= 0xFF9F)) {
        return CharInfo{Script::kCjk};
    }
    return CharInfo{};
}

// ---------------------------------------------------------------------------------------
// How plausible a decoded text is, character by character, from -1 (certainly misread)
// to 1 (a common character where it belongs).

constexpr float kImplausible = -1.0f;
constexpr float kMixedScripts = -0.5f;
constexpr float kDoubtful = -0.3f;
constexpr float kNextToAscii = 0.5f;

bool IsHalfwidthKatakana(char32_t c) {
    return c >= 0xFF66 && c <= 0xFF9F;
}
bool IsHangulSyllable(char32_t c) {
    return c >= 0xAC00 && c <= 0xD7A3;
}
bool IsKana(char32_t c) {
    return (c >= 0x3041 && c <= 0x30FF) || c == 0x3005;
}
bool IsJamo(char32_t c) {
    return c >= 0x3131 && c <= 0x318E;
}

float CjkQuality(int codePage, char32_t c, const CjkTable& sets) {
    const std::uint16_t flags = c < sets.size() ? sets[c] : 0;
    if (IsHangulSyllable(c)) {
        if (codePage != 949) {
            return kMixedScripts;
        }
        return (flags & kCommonHangul) ? 1.0f : (flags & kKsHangul) ? 0.5f : -0.2f;
    }
    if (IsKana(c)) {
        return codePage == 932 ? 1.0f : kDoubtful;
    }
    if (IsJamo(c)) {
        return codePage == 949 ? 0.2f : kDoubtful;  // bare jamo
    }
    switch (codePage) {
        case 932:
            return (flags & kJisLevel1) ? 1.0f : (flags & kJisLevel2) ? 0.3f : 0.0f;
        case 936:
            return (flags & kCommonSimplified) ? 1.0f
                   : (flags & kGbLevel1)       ? 0.4f
                   : (flags & kGbLevel2)       ? 0.1f
                                               : kDoubtful;
        case 950:
            return (flags & kCommonTraditional) ? 1.0f
                   : (flags & kBig5Level1)      ? 0.4f
                   : (flags & kBig5Level2)      ? 0.1f
                                                : kDoubtful;
        case 949:
            return (flags & kKsHanja) ? 0.1f : kDoubtful;
        default:
            return kDoubtful;
    }
}

float SymbolQuality(char32_t c, bool betweenLetters) {
    if ((c >= 0x80 && c <= 0x9F) || (c >= 0xE000 && c <= 0xF8FF) || c == 0xFFFD ||
        (c >= 0x2500 && c <= 0x259F)) {
        return kImplausible;  // C1 controls, private use, box drawing
    }
    if ((c >= 0x3000 && c <= 0x303F) || c == 0x30FB || (c >= 0xFF01 && c <= 0xFF65) ||
        (c >= 0xFFE0 && c <= 0xFFE6)) {
        return betweenLetters ? 0.0f : 0.3f;  // ideographic punctuation, full-width forms
    }
    if (c == 0x2019) {
        return 0.5f;  // the typographic apostrophe, often inside words
    }
    static constexpr std::u32string_view kTypographic =
        U"\u00A0\u00A3\u00A7\u00A9\u00AB\u00AE\u00B0\u00B1\u00B7\u00BB\u00D7\u00BF\u00A1"
        U"\u2013\u2014\u2018\u201C\u201D\u201E\u2022\u2026\u20AC\u2122\u2116";
    if (Contains(kTypographic, c)) {
        return betweenLetters ? kMixedScripts : 0.3f;
    }
    return betweenLetters ? -0.6f : kDoubtful;
}

struct Segment {
    std::size_t begin = 0;
    std::size_t end = 0;
    unsigned scripts = 0;  // bit per Script
    bool asciiLetters = false;
    bool extendedLatin = false;
    bool oddCase = false;  // neither all small, all capitals, nor capitalised
    bool allUpper = false;
    std::size_t letters = 0;
    std::size_t accents = 0;  // Greek letters with tonos
    bool vowel = false;
    bool han = false;
    bool kana = false;
    bool hangul = false;
};

bool IsWordCharacter(const CharInfo& info) {
    return info.letter || info.mark || info.script == Script::kCjk;
}

bool IsVowel(char32_t c) {
    static constexpr std::u32string_view kVowels =
        U"аеёиоуыэюяіїєўАЕЁИОУЫЭЮЯІЇЄЎαεηιουωάέήίόύώϊϋΐΰΑΕΗΙΟΥΩΆΈΉΊΌΎΏ";
    return Contains(kVowels, c);
}

Segment Summarize(const std::vector<char32_t>& text, const std::vector<CharInfo>& infos,
                  std::size_t begin, std::size_t end) {
    Segment segment{begin, end};
    std::size_t cased = 0;
    std::size_t upper = 0;
    bool firstUpper = false;
    for (std::size_t i = begin; i < end; ++i) {
        const char32_t c = text[i];
        const CharInfo& info = infos[i];
        if (info.script != Script::kNone && !info.mark) {
            segment.scripts |= 1u << static_cast<unsigned>(info.script);
        }
        if (info.script == Script::kCjk) {
            const bool hangul = IsHangulSyllable(c) || IsJamo(c);
            const bool kana = IsKana(c) || IsHalfwidthKatakana(c);
            segment.hangul |= hangul;
            segment.kana |= kana;
            segment.han |= !hangul && !kana;
        }
        if (!info.letter) {
            continue;
        }
        ++segment.letters;
        segment.asciiLetters |= c < 0x80;
        segment.extendedLatin |= c >= 0x80 && info.script == Script::kLatin;
        if (info.script == Script::kCyrillic || info.script == Script::kGreek) {
            segment.vowel |= IsVowel(c);
            segment.accents += Contains(U"άέήίόύώΆΈΉΊΌΎΏΐΰ", c);
        }
        if (info.upper || info.lower) {
            firstUpper |= cased == 0 && info.upper;
            ++cased;
            upper += info.upper;
        }
    }
    segment.allUpper = cased >= 2 && upper == cased;
    segment.oddCase = upper != 0 && !segment.allUpper && !(upper == 1 && firstUpper);
    return segment;
}

bool IsMixedScript(const Segment& segment) {
    const unsigned latinAndCjk =
        (1u << static_cast<unsigned>(Script::kLatin)) | (1u << static_cast<unsigned>(Script::kCjk));
    if ((segment.scripts & (segment.scripts - 1)) == 0) {
        return false;
    }
    // ASCII words run into ideographs in names ("test测试"); accented ones do not.
    return !(segment.scripts == latinAndCjk && !segment.extendedLatin);
}

// Kanji and kana mix in Japanese words; hangul words hardly take either.
bool IsMixedEastAsian(const Segment& segment) {
    return segment.hangul && (segment.han || segment.kana);
}

// The run of neighbours around `i` for which `same` holds.
template <typename Predicate>
std::size_t RunLength(const std::vector<char32_t>& text, std::size_t begin, std::size_t end,
                      std::size_t i, Predicate same) {
    std::size_t first = i;
    while (first > begin && same(text[first - 1])) {
        --first;
    }
    std::size_t last = i + 1;
    while (last < end && same(text[last])) {
        ++last;
    }
    return last - first;
}

float LatinQuality(const std::vector<char32_t>& text, const std::vector<CharInfo>& infos,
                   const Segment& segment, std::size_t i) {
    const CharInfo& info = infos[i];
    float quality;
    if (!segment.asciiLetters) {
        // A lone accented letter may be a word ("à"); several with no plain letter around
        // them are another alphabet misread.
        quality = segment.letters == 1 ? 0.3f * info.weight : kDoubtful;
    } else {
        const std::size_t run =
            RunLength(text, segment.begin, segment.end, i, [](char32_t c) { return c >= 0x80; });
        quality = run >= 3 ? kDoubtful : run == 2 ? 0.7f * info.weight : info.weight;
    }
    // A capital right after a small letter is camel case in ASCII names, but not when
    // either of them is accented.
    const bool capitalAfterSmall = info.upper && i > segment.begin && infos[i - 1].lower;
    const bool smallBeforeCapital = info.lower && i + 1 < segment.end && infos[i + 1].upper;
    if (capitalAfterSmall || smallBeforeCapital) {
        quality = std::min(quality, kDoubtful);
    }
    return quality;
}

float AlphabetQuality(const std::vector<char32_t>& text, const std::vector<CharInfo>& infos,
                      const Segment& segment, std::size_t i) {
    const char32_t c = text[i];
    const CharInfo& info = infos[i];
    const bool first = i == segment.begin;
    const bool last = i + 1 == segment.end;
    float quality = info.weight;
    if (segment.oddCase) {
        return kDoubtful;
    }
    if (segment.allUpper) {
        quality *= 0.85f;
    }
    if (segment.letters >= 3 && !segment.vowel &&
        (info.script == Script::kCyrillic || info.script == Script::kGreek)) {
        quality *= 0.5f;
    }
    // Spelling rules that misread text breaks: Greek words carry one accent, and an
    // accented capital only starts a word; Russian soft and hard signs and ы follow
    // consonants, and й seldom starts a word; Hebrew final forms end words.
    if (info.script == Script::kGreek &&
        (segment.accents > 1 || (info.upper && !first && Contains(U"ΆΈΉΊΌΎΏ", c)))) {
        return kDoubtful;
    }
    if (info.script == Script::kCyrillic) {
        const bool afterVowel = !first && IsVowel(text[i - 1]);
        if ((Contains(U"ъьыЪЬЫ", c) && (first || afterVowel)) || (first && Contains(U"йЙ", c))) {
            return kDoubtful;
        }
    }
    static constexpr std::u32string_view kHebrewFinal = U"ךםןףץ";
    static constexpr std::u32string_view kHebrewNonFinal = U"כמנפצ";
    if ((c == U'ς' || Contains(kHebrewFinal, c)) && !last) {
        return kMixedScripts;
    }
    if ((c == U'σ' || Contains(kHebrewNonFinal, c)) && last && segment.letters >= 2) {
        return 0.3f;
    }
    if (info.script == Script::kArabic) {
        if (c == 0x629 || c == 0x649) {
            return last ? quality : kMixedScripts;  // teh marbuta and alef maksura end words
        }
        const bool afterArticle = !first && (text[i - 1] == 0x644 || text[i - 1] == 0x627);
        if ((c == 0x622 || c == 0x623 || c == 0x625) && !first && !afterArticle) {
            return 0.3f;  // alef with hamza or madda starts words
        }
        if ((c == 0x621 && first && !last) || (c == 0x640 && (first || last))) {
            return kDoubtful;
        }
    }
    return quality;
}

}  // namespace

class TextScorer::Impl {
  public:
    Impl(int codePage, const CjkTable* sets) : codePage_(codePage), sets_(sets) {}

    // The mean plausibility of the text's non-ASCII characters, each counted by the
    // number of bytes it came from.
    float MeanQuality(std::string_view utf8) {
        DecodeUtf8(utf8, text_);
        infos_.clear();
        for (char32_t c : text_) {
            infos_.push_back(Classify(c));
            if (codePage_ == 1252 && (c == 0xDD || c == 0xFD)) {
                infos_.back().weight = 0.5f;  // Icelandic only; the same byte is common elsewhere
            }
        }
        float sum = 0;
        float bytes = 0;
        for (std::size_t begin = 0; begin < text_.size();) {
            if (!IsWordCharacter(infos_[begin])) {
                if (text_[begin] >= 0x80) {
                    const float weight = SourceBytes(text_[begin]);
                    sum += weight * SymbolQuality(text_[begin], BetweenLetters(begin));
                    bytes += weight;
                }
                ++begin;
                continue;
            }
            std::size_t end = begin + 1;
            while (end < text_.size() && IsWordCharacter(infos_[end])) {
                ++end;
            }
            const Segment segment = Summarize(text_, infos_, begin, end);
            for (std::size_t i = begin; i < end; ++i) {
                if (text_[i] >= 0x80) {
                    const float weight = SourceBytes(text_[i]);
                    sum += weight * WordCharacterQuality(segment, i);
                    bytes += weight;
                }
            }
            begin = end;
        }
        return bytes > 0 ? sum / bytes : 0.0f;
    }

  private:
    float SourceBytes(char32_t c) const {
        if (!IsDoubleByteCodePage(codePage_) || IsHalfwidthKatakana(c) || c == 0x80 ||
            (codePage_ == 936 && c == 0x20AC)) {
            return 1.0f;
        }
        return 2.0f;
    }

    bool IsLetterAt(std::size_t i) const {
        return i < text_.size() && (infos_[i].letter || infos_[i].script == Script::kCjk);
    }

    bool BetweenLetters(std::size_t i) const {
        return i > 0 && IsLetterAt(i - 1) && IsLetterAt(i + 1);
    }

    // `i` may be one past either end (size_t wraps below zero).
    bool AsciiLetterAt(std::size_t i) const {
        return i < text_.size() && text_[i] < 0x80 && infos_[i].letter;
    }

    float WordCharacterQuality(const Segment& segment, std::size_t i) const {
        const char32_t c = text_[i];
        const CharInfo& info = infos_[i];
        if (info.mark) {
            const bool attached = i > segment.begin && (infos_[i - 1].letter || infos_[i - 1].mark);
            return attached ? 0.8f : kImplausible;
        }
        if (IsMixedScript(segment) || (info.script == Script::kCjk && IsMixedEastAsian(segment))) {
            return kMixedScripts;
        }
        if (info.script == Script::kCjk) {
            float quality;
            if (IsHalfwidthKatakana(c)) {
                const std::size_t run =
                    RunLength(text_, segment.begin, segment.end, i, IsHalfwidthKatakana);
                quality = run >= 2 ? 0.6f : 0.0f;
            } else {
                quality = sets_ != nullptr ? CjkQuality(codePage_, c, *sets_) : kDoubtful;
            }
            // Ideographs do run into ASCII words ("test测试"), but one wedged inside an ASCII
            // word, or stuck to one, is more likely a misread pair of accented letters.
            const int asciiNeighbours = AsciiLetterAt(i - 1) + AsciiLetterAt(i + 1);
            if (asciiNeighbours == 2) {
                return std::min(quality, kDoubtful);
            }
            return asciiNeighbours == 1 && quality > 0 ? quality * kNextToAscii : quality;
        }
        if (info.script == Script::kLatin) {
            return LatinQuality(text_, infos_, segment, i);
        }
        return AlphabetQuality(text_, infos_, segment, i);
    }

    int codePage_;
    const CjkTable* sets_;
    std::vector<char32_t> text_;
    std::vector<CharInfo> infos_;
};

TextScorer::TextScorer(int codePage, const CjkTable* sets)
    : impl_(std::make_unique<Impl>(codePage, sets)) {}
TextScorer::~TextScorer() = default;

float TextScorer::MeanQuality(std::string_view utf8) {
    return impl_->MeanQuality(utf8);
}

}  // namespace codepage
