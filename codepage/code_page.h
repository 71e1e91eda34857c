// Which ANSI code page wrote a database.
//
// Nothing in a SourceSafe database records its code page: names, user names, labels and
// comments are bytes in whatever code page the writing machines used. The detector is fed
// every non-ASCII text of a database, and then decides among the Windows ANSI code pages
// 874, 932, 936, 949, 950 and 1250-1258:
//  1. A code page that cannot decode a text is out (a large database may hold a few stray
//     texts from elsewhere: one in fifty is forgiven).
//  2. The script rules judge what is left (text_plausibility.h: which characters belong
//     together, how common each ideograph, kana or hangul syllable is), with uchardet's
//     opinion once there is a page of text. A double-byte winner is the answer.
//  3. Otherwise the single-byte code pages still in compete on the languages they serve
//     (language_model.h: letter pairs learnt from real words), and the locale's code page
//     gets a few nats of evidence, enough to settle one or two short names.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace codepage {

// The code pages a database may be in, in the order used for reporting.
const std::vector<int>& CandidateCodePages();

// The ANSI code page Windows uses for the current user's locale (LC_ALL, LC_CTYPE, LANG):
// ja -> 932, zh_CN/zh_SG -> 936, zh_TW/zh_HK -> 950, ko -> 949, ru/uk/bg/... -> 1251,
// pl/cs/hu/ro/... -> 1250, th -> 874, ..., and 1252 for every other language. 0 for C,
// POSIX or no locale at all, which say nothing of a language.
int LocaleAnsiCodePage();
int AnsiCodePageForLocale(std::string_view localeName);

// Parses "932", "cp932", "CP1252", "windows-1251", "shift_jis", "gbk", "big5", "euc-kr"
// (case-insensitive) to a candidate code page number; 0 when it names none of them.
int ParseCodePage(std::string_view name);

class CodePageDetector {
  public:
    CodePageDetector();
    ~CodePageDetector();
    CodePageDetector(const CodePageDetector&) = delete;
    CodePageDetector& operator=(const CodePageDetector&) = delete;

    // Feeds one text (a name, user name, label or comment). Pure ASCII texts and texts
    // seen before are ignored, so callers may feed everything they read.
    void AddText(std::string_view bytes);

    bool sawNonAscii() const;

    // The decision. `localeCodePage` (normally LocaleAnsiCodePage(); 0 for none) is
    // evidence for that code page, and the answer when every text was ASCII (1252 when 0).
    int Decide(int localeCodePage) const;

  private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace codepage
