// The two scores the code page guess rests on, on texts small enough to work out by hand:
// the plausibility of decoded characters, and the likelihood of bytes under the languages
// of a single-byte code page.
#include <gtest/gtest.h>

#include <string>

#include "codepage/cjk_character_sets.h"
#include "codepage/language_model.h"
#include "codepage/text_plausibility.h"

namespace codepage {
namespace {

TEST(TextScorer, MeanQualityOfHandWorkedTexts) {
    const struct {
        int codePage;
        const char* utf8;
        float expected;
        const char* why;
    } cases[] = {
        {1252, "plain ASCII", 0.0f, "only non-ASCII characters count"},
        {1252, "café", 1.0f, "one accented letter in an ASCII word"},
        {1252, "naÃ¯ve", -0.45f, "Ã after a small letter -0.3; ¯ between letters -0.6"},
        {1251, "язык", 0.85f, "я з ы 0.8 each, к 1.0"},
        {1251, "ыкс", (-0.3f + 1.0f + 1.0f) / 3, "ы cannot start a word"},
        {1253, "Aβ", -0.5f, "Latin and Greek in one word"},
        {1255, "םא", (-0.5f + 1.0f) / 2, "a final form that does not end its word"},
        {1252, "\u0085", -1.0f, "a C1 control"},
        {932, "日本", 1.0f, "two JIS level 1 kanji"},
        {932, "テスト", 1.0f, "katakana under Shift-JIS"},
        {936, "テスト", -0.3f, "katakana under GBK"},
        {932, "한", -0.5f, "a hangul syllable under Shift-JIS"},
        {932, "a日b", -0.3f, "an ideograph wedged inside an ASCII word"},
    };
    for (const auto& c : cases) {
        TextScorer scorer(c.codePage,
                          IsDoubleByteCodePage(c.codePage) ? &CjkCharacterSets() : nullptr);
        EXPECT_NEAR(scorer.MeanQuality(c.utf8), c.expected, 1e-5) << c.utf8 << ": " << c.why;
    }
}

// Texts without letters cost exactly their signs: 4 nats for punctuation, 8 for a rare
// sign, 20 for a byte the code page leaves undefined.
TEST(LanguageModel, SignsCostTheirClassWhereNoLetterIs) {
    const struct {
        int codePage;
        std::string bytes;
        double expected;
    } cases[] = {
        {1252, "", 0.0},       {1252, "\xAB", -4.0},      {1252, "\xA4", -8.0},
        {1252, "\x81", -20.0}, {1252, "\xAB\x81", -24.0}, {932, "\x82\xA0", 0.0},
    };
    for (const auto& c : cases) {
        EXPECT_DOUBLE_EQ(TextLogLikelihood(c.codePage, c.bytes), c.expected) << c.codePage;
    }
    for (const int codePage : {874, 1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257, 1258}) {
        EXPECT_TRUE(HasLanguageModel(codePage)) << codePage;
    }
    for (const int codePage : {932, 936, 949, 950, 437, 65001}) {
        EXPECT_FALSE(HasLanguageModel(codePage)) << codePage;
    }
}

// The same words either way, so the letters cost the same: the difference is the sign's
// place (8 for « inside a word against 4 apart; 11 for ¤ next to a letter against 8).
TEST(LanguageModel, ASignInsideOrBesideAWordCostsMore) {
    const struct {
        std::string clinging;
        std::string apart;
        double extra;
    } cases[] = {
        {"ab\xAB"
         "cd",
         "ab \xAB cd", 4.0},
        {"a\xA4", "a \xA4", 3.0},
    };
    for (const auto& c : cases) {
        EXPECT_NEAR(TextLogLikelihood(1252, c.apart) - TextLogLikelihood(1252, c.clinging), c.extra,
                    1e-9)
            << c.apart;
    }
}

TEST(LanguageModel, WordsAreLikelierInTheirOwnCodePage) {
    const struct {
        std::string bytes;
        int own;
        int other;
    } cases[] = {
        {"Premi\xE8re", 1252, 1250},                       // French è, not Czech č
        {"p\xF8\xEDli\x9A", 1250, 1252},                   // Czech příliš, not pøíliš
        {"\xEF\xF0\xE8\xE2\xE5\xF2", 1251, 1252},          // привет, not ïðèâåò
        {"\xEA\xE1\xEB\xE7\xEC\xDD\xF1\xE1", 1253, 1251},  // καλημέρα
    };
    for (const auto& c : cases) {
        EXPECT_GT(TextLogLikelihood(c.own, c.bytes), TextLogLikelihood(c.other, c.bytes))
            << c.bytes << " in " << c.own << " against " << c.other;
    }
}

}  // namespace
}  // namespace codepage
