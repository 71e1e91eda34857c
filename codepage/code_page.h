// Which ANSI code page wrote a database.
//
// Nothing in a SourceSafe database records its code page: names, user names, labels and
// comments are bytes in whatever code page the writing machines used. The detector is fed
// every non-ASCII text of a database once, at open, and then decides among the Windows
// ANSI code pages 932, 936, 949, 950 and 1250-1258.
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
// ja -> 932, zh_CN/zh_SG -> 936, zh_TW/zh_HK -> 950, ko -> 949, ru/uk/bg/... -> 1251, ...,
// and 1252 for everything else (including C and POSIX).
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

    // The decision. `tieBreak` is the code page to prefer when the evidence cannot tell
    // candidates apart (normally LocaleAnsiCodePage()); it is also the answer when every
    // text was ASCII.
    int Decide(int tieBreak) const;

  private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace codepage
