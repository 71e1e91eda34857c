#include "codepage/code_page.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "codepage/text_decoder.h"

namespace codepage {
namespace {

// The bytes a Windows machine with code page `codePage` would have written for `utf8`.
std::string Encode(int codePage, std::string_view utf8) {
    const std::optional<std::string> bytes = TextDecoder(codePage).FromUtf8(utf8);
    if (!bytes) {
        ADD_FAILURE() << "cannot encode " << utf8 << " in " << codePage;
        return {};
    }
    return *bytes;
}

int DecideFor(int codePage, const std::vector<std::string_view>& names, int tieBreak = 1252) {
    CodePageDetector detector;
    for (std::string_view name : names) {
        detector.AddText(Encode(codePage, name));
    }
    return detector.Decide(tieBreak);
}

// --- Locale and names -------------------------------------------------------------------

TEST(AnsiCodePageForLocale, MapsLanguageAndTerritory) {
    const struct {
        const char* locale;
        int codePage;
    } rows[] = {
        {"ja_JP.UTF-8", 932},
        {"zh_CN.UTF-8", 936},
        {"zh_SG", 936},
        {"zh_TW.Big5", 950},
        {"zh_HK.UTF-8", 950},
        {"zh_MO", 950},
        {"ko_KR.EUC-KR", 949},
        {"ru_RU", 1251},
        {"uk_UA.UTF-8", 1251},
        {"sr_RS", 1251},
        {"sr_RS@latin", 1250},
        {"pl_PL.UTF-8", 1250},
        {"cs_CZ", 1250},
        {"el_GR.UTF-8", 1253},
        {"tr_TR", 1254},
        {"he_IL", 1255},
        {"ar_EG.UTF-8", 1256},
        {"fa_IR", 1256},
        {"lt_LT", 1257},
        {"vi_VN", 1258},
        {"en_US.UTF-8", 1252},
        {"de_DE@euro", 1252},
        {"JA_jp", 932},
        {"th_TH.UTF-8", 874},
        {"is_IS", 1252},
        {"ro_RO.UTF-8", 1250},
        {"hu_HU", 1250},
        {"et_EE", 1257},
        {"lv_LV.UTF-8", 1257},
        {"az_AZ", 1254},
        {"uz_UZ", 1254},
        {"uz_UZ@cyrillic", 1251},
        {"kk_KZ", 1251},
        {"sq_AL", 1250},
        // No language, no evidence.
        {"C", 0},
        {"POSIX", 0},
        {"C.UTF-8", 0},
        {"", 0},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(AnsiCodePageForLocale(row.locale), row.codePage) << row.locale;
    }
}

class LocaleEnvironment : public testing::Test {
  protected:
    void SetUp() override {
        for (const char* name : kVariables) {
            const char* value = std::getenv(name);
            saved_.push_back(value ? std::optional<std::string>(value) : std::nullopt);
            unsetenv(name);
        }
    }
    void TearDown() override {
        for (std::size_t i = 0; i < saved_.size(); ++i) {
            if (saved_[i]) {
                setenv(kVariables[i], saved_[i]->c_str(), 1);
            } else {
                unsetenv(kVariables[i]);
            }
        }
    }

    static constexpr const char* kVariables[] = {"LC_ALL", "LC_CTYPE", "LANG"};
    std::vector<std::optional<std::string>> saved_;
};

TEST_F(LocaleEnvironment, FirstNonEmptyOfLcAllLcCtypeLang) {
    EXPECT_EQ(LocaleAnsiCodePage(), 0);
    setenv("LANG", "ru_RU.UTF-8", 1);
    EXPECT_EQ(LocaleAnsiCodePage(), 1251);
    setenv("LC_CTYPE", "ja_JP.UTF-8", 1);
    EXPECT_EQ(LocaleAnsiCodePage(), 932);
    setenv("LC_ALL", "", 1);  // set but empty: skipped
    EXPECT_EQ(LocaleAnsiCodePage(), 932);
    setenv("LC_ALL", "ko_KR.UTF-8", 1);
    EXPECT_EQ(LocaleAnsiCodePage(), 949);
}

TEST(ParseCodePage, AcceptsNumbersAndNamesOfCandidatesOnly) {
    const struct {
        const char* name;
        int codePage;
    } rows[] = {
        {"932", 932},
        {"cp936", 936},
        {"CP1252", 1252},
        {"windows-1251", 1251},
        {"Windows-1258", 1258},
        {"windows-874", 874},
        {"Shift_JIS", 932},
        {"sjis", 932},
        {"GBK", 936},
        {"gb2312", 936},
        {"big5", 950},
        {"EUC-KR", 949},
        {"uhc", 949},
        {" cp949 ", 949},
        {"koi8-r", 0},
        {"utf-8", 0},
        {"437", 0},
        {"cp", 0},
        {"", 0},
        {"12520", 0},
        {"99999999999", 0},
        {"-1252", 0},
        {"1252x", 0},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(ParseCodePage(row.name), row.codePage) << '"' << row.name << '"';
    }
}

// --- Decoder ----------------------------------------------------------------------------

TEST(TextDecoder, RoundTripsTextOfEachCandidate) {
    const struct {
        int codePage;
        const char* utf8;
    } rows[] = {
        {932, "設計書テスト～ｶﾅ"}, {936, "数据库€"},    {949, "한국어 프로젝트"}, {950, "資料庫"},
        {1250, "Žluťoučký kůň"},   {1251, "Проект №1"}, {1252, "Größe – café"},   {1253, "Έργο"},
        {1254, "Şişli İstanbul"},  {1255, "שלום"},      {1256, "مشروع"},          {1257, "Ąžuolas"},
        {1258, "Tiếng Việt"},      {874, "ภาษาไทย"},
    };
    for (const auto& row : rows) {
        const TextDecoder decoder(row.codePage);
        const std::optional<std::string> bytes = decoder.FromUtf8(row.utf8);
        ASSERT_TRUE(bytes) << row.codePage;
        EXPECT_TRUE(decoder.CanDecode(*bytes)) << row.codePage;
        EXPECT_EQ(decoder.ToUtf8(*bytes), row.utf8) << row.codePage;
    }
}

TEST(TextDecoder, PassesAsciiThroughIncludingControlsAndNul) {
    const std::string ascii("a\0b\\~\x7f\n", 7);
    for (int codePage : CandidateCodePages()) {
        const TextDecoder decoder(codePage);
        EXPECT_EQ(decoder.ToUtf8(ascii), ascii) << codePage;
        EXPECT_EQ(decoder.FromUtf8(ascii), ascii) << codePage;
        EXPECT_TRUE(decoder.CanDecode(ascii)) << codePage;
    }
}

TEST(TextDecoder, ReplacesEachBadByteAndGoesOn) {
    const struct {
        int codePage;
        std::string bytes;
        const char* utf8;
    } rows[] = {
        {1252, "a\x81z", "a\uFFFDz"},  // undefined in CP1252
        {1252, "\x81\x8D\x8F\x90\x9D", "\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD"},
        {932, "\x93\x8C\x8B", "\u6771\uFFFD"},  // lead byte cut off at the end
        {932, "\x81 x", "\uFFFD x"},            // lead byte without a trail
        {936, "\xD6\xD0\xFF\xCE\xC4", "\u4E2D\uFFFD\u6587"},
        {1255, "\xF9\xD9", "\u05E9\uFFFD"},  // the held-back letter survives
    };
    for (const auto& row : rows) {
        const TextDecoder decoder(row.codePage);
        EXPECT_EQ(decoder.ToUtf8(row.bytes), row.utf8) << row.codePage;
        EXPECT_FALSE(decoder.CanDecode(row.bytes)) << row.codePage;
    }
}

TEST(TextDecoder, StartsEachCallFromACleanState) {
    // CP1255 holds a letter back in case a point follows; it must not leak into the next
    // call, nor be lost at the end of this one.
    const TextDecoder decoder(1255);
    EXPECT_EQ(decoder.ToUtf8("\xE0"), "\u05D0");
    EXPECT_EQ(decoder.ToUtf8("\xC8"), "\u05B8");
    EXPECT_FALSE(decoder.CanDecode("\xE0\xFF"));
    EXPECT_EQ(decoder.ToUtf8("\xE0"), "\u05D0");
}

TEST(TextDecoder, FromUtf8RefusesWhatThePageCannotHold) {
    EXPECT_EQ(TextDecoder(1252).FromUtf8("\u20AC"), "\x80");
    EXPECT_EQ(TextDecoder(1252).FromUtf8("\u4E2D"), std::nullopt);
    EXPECT_EQ(TextDecoder(1251).FromUtf8("caf\u00E9"), std::nullopt);
    EXPECT_EQ(TextDecoder(932).FromUtf8("\u00A5"), std::nullopt);    // no backslash stand-in
    EXPECT_EQ(TextDecoder(1252).FromUtf8("caf\xC3"), std::nullopt);  // broken UTF-8
}

TEST(TextDecoder, RejectsPagesIconvLacksOrThatAreNotAsciiBased) {
    for (int codePage : {0, -1, 12345, 37 /* EBCDIC */}) {
        EXPECT_THROW(TextDecoder decoder(codePage), UnsupportedCodePage) << codePage;
    }
    EXPECT_EQ(IconvNameForCodePage(932), "CP932");
}

// --- Detection --------------------------------------------------------------------------

TEST(CodePageDetector, AsciiOnlyAnswersTheTieBreak) {
    CodePageDetector detector;
    EXPECT_EQ(detector.Decide(1251), 1251);
    detector.AddText("readme.txt");
    detector.AddText("");
    EXPECT_FALSE(detector.sawNonAscii());
    EXPECT_EQ(detector.Decide(932), 932);
}

struct Example {
    int codePage;
    std::vector<std::string_view> names;
};

// Each is the whole non-ASCII evidence of a database, decided under an English locale.
const std::vector<Example> kExamples = {
    {932, {"設計書.doc"}},
    {932, {"テスト"}},
    {932, {"仕様書"}},
    {932, {"東京"}},
    {932, {"会議室予約.xls"}},
    {932, {"修正しました"}},
    {932, {"ﾃｽﾄ.txt", "ﾌﾟﾛｼﾞｪｸﾄ"}},
    {936, {"中文"}},
    {936, {"数据库"}},
    {936, {"测试文件.txt"}},
    {936, {"项目"}},
    {950, {"資料庫"}},
    {950, {"測試檔案.txt"}},
    {950, {"專案"}},
    {949, {"한국어"}},
    {949, {"테스트.txt"}},
    {949, {"프로젝트"}},
    {949, {"도구", "고객관리"}},
    {1251, {"Проект"}},
    {1251, {"отчет.doc"}},
    {1251, {"Тест"}},
    {1252, {"Résumé.doc"}},
    {1252, {"Größe"}},
    {1252, {"café"}},
    {1252, {"Ångström"}},
    {1252, {"naïve"}},
    {1250, {"łódź"}},
    {1250, {"Zpráva.doc", "Žluťoučký kůň"}},
    {1253, {"Έργο"}},
    {1254, {"Şişli"}},
    {1255, {"פרויקט", "מסמך חדש"}},
    {1256, {"مشروع"}},
    {1258, {"Tiếng Việt"}},
    // Comments next to names.
    {1251, {"Иванов", "Исправлена ошибка при открытии файла"}},
    {936, {"张伟", "修复了打开文件时的内存错误"}},
    {932, {"田中", "ログファイルのパスを変更"}},
};

void ExpectEachDecided(const std::vector<Example>& examples, int locale) {
    for (const Example& example : examples) {
        std::string label;
        for (std::string_view name : example.names) {
            label += std::string(name) + " ";
        }
        EXPECT_EQ(DecideFor(example.codePage, example.names, locale), example.codePage) << label;
    }
}

TEST(CodePageDetector, DecidesRealisticNamesUnderAnEnglishLocale) {
    ExpectEachDecided(kExamples, 1252);
}

// Every single-byte page decodes these; only the letters each language uses tell which
// page wrote them. Decided with no locale at all.
const std::vector<Example> kLanguageExamples = {
    {1250, {"billentyűzet"}},
    {1250, {"Drugače"}},
    {1250, {"Învăţământ"}},
    {1250, {"Árvíztűrő tükörfúrógép", "Hőmérséklet"}},
    {1250, {"Zażółć gęślą jaźń"}},
    {1252, {"Première"}},
    {1252, {"Œuvre"}},
    {1252, {"Ñandú"}},
    {1252, {"però"}},
    {1252, {"Þjóðskrá"}},
    {1252, {"Œuvre complète", "¿Qué año?", "Ñandú.txt"}},
    {1254, {"Kullanıcı"}},
    {1254, {"Değişiklik", "Güncelleştirme"}},
    {1255, {"שלום"}},
    {1256, {"مشروع"}},
    {1257, {"Latviešu valoda"}},
    {1257, {"Pārbaude", "Dokumentų"}},
    {1257, {"Ąžuolas"}},
    {874, {"รายงาน.doc"}},
    {874, {"ภาษาไทย", "แก้ไขข้อผิดพลาด"}},
    {1253, {"Έγγραφο"}},
    {1251, {"Проверка"}},
};

TEST(CodePageDetector, DecidesByTheLettersOfEachLanguage) {
    ExpectEachDecided(kLanguageExamples, 0);
}

TEST(CodePageDetector, TheLocaleSettlesWhatTheTextsLeaveOpen) {
    const struct {
        int codePage;  // what wrote the name
        const char* name;
        int locale;
        int decided;
    } rows[] = {
        // "Zpráva" reads the same in 1250 and 1252; "Ýstanbul" is hardly less likely
        // than "İstanbul": the locale's page wins.
        {1250, "Zpráva.doc", 1250, 1250},
        {1254, "İstanbul", 1254, 1254},
        {1254, "İstanbul", 0, 1254},
        // Clear evidence wins over the locale.
        {932, "テスト", 1252, 932},
        {1251, "Проект", 936, 1251},
        {1252, "Größe", 1251, 1252},
        {1252, "Œuvre complète", 1250, 1252},
        {1250, "Łódź", 1252, 1250},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(DecideFor(row.codePage, {row.name}, row.locale), row.decided)
            << row.name << " under " << row.locale;
    }
}

TEST(CodePageDetector, WesternTextsMixingLanguagesAreWesternUnderEveryLocale) {
    const std::vector<std::string_view> names = {"Œuvre complète", "¿Qué año?", "Ñandú.txt"};
    for (int locale : {0, 1252, 1250}) {
        EXPECT_EQ(DecideFor(1252, names, locale), 1252) << locale;
    }
}

TEST(CodePageDetector, PagesThatCannotDecodeATextAreOutInASmallDatabase) {
    // 0x81 exists in 1251 and 1256 only: however German the other name, 1252 is out.
    CodePageDetector detector;
    detector.AddText(Encode(1252, "Größenänderung"));
    detector.AddText("\x81");
    const int decided = detector.Decide(1252);
    EXPECT_TRUE(decided == 1251 || decided == 1256) << decided;
}

TEST(CodePageDetector, ToleratesAStrayTextInALargeDatabase) {
    const std::string stray = Encode(932, "ファイルを開く時のエラーを修正");
    for (int strayAt : {0, 150}) {
        CodePageDetector detector;
        for (int i = 0; i < 300; ++i) {
            if (i == strayAt) {
                detector.AddText(stray);
            }
            detector.AddText(Encode(1252, "Änderung " + std::to_string(i) + " für Müller"));
        }
        EXPECT_EQ(detector.Decide(1252), 1252) << "stray at " << strayAt;
    }
}

TEST(CodePageDetector, CountsEachDistinctTextOnce) {
    // "café" is as Western as "Проект" and "Отчёт" are Russian; repeating the first (the
    // same user name on every version) must not outweigh the other two.
    CodePageDetector detector;
    const std::string cafe = Encode(1252, "café");
    for (int i = 0; i < 10000; ++i) {
        detector.AddText(cafe);
    }
    detector.AddText(Encode(1251, "Проект"));
    detector.AddText(Encode(1251, "Отчёт"));
    EXPECT_EQ(detector.Decide(1252), 1251);
}

TEST(CodePageDetector, CopesWithLongTexts) {
    std::string comment;
    while (comment.size() < 200000) {
        comment += "Исправлена ошибка при открытии файла, добавлена проверка. ";
    }
    CodePageDetector detector;
    detector.AddText(Encode(1251, comment));
    detector.AddText(std::string(5000, '\xE9'));  // no place to cut: left out of the sample
    EXPECT_EQ(detector.Decide(1252), 1251);
}

TEST(CodePageDetector, DecidesAmongTenThousandTexts) {
    // Western texts are the slow case: most single-byte pages decode them and stay in.
    const std::vector<std::string> words = {"Übersicht", "Änderung", "Prüfung für",   "café",
                                            "Größe",     "Müller",   "configuración", "versão"};
    std::vector<std::string> texts;
    for (int i = 0; i < 10000; ++i) {
        texts.push_back(Encode(1252, words[i % words.size()] + " " +
                                         words[i / words.size() % words.size()] + " rev " +
                                         std::to_string(i)));
    }
    CodePageDetector detector;
    for (const std::string& text : texts) {
        detector.AddText(text);
    }
    EXPECT_EQ(detector.Decide(1252), 1252);
}

}  // namespace
}  // namespace codepage
