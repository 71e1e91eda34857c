#include "codepage/code_page.h"

#include <uchardet/uchardet.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <iterator>
#include <unordered_set>

#include "codepage/cjk_character_sets.h"
#include "codepage/language_model.h"
#include "codepage/text_decoder.h"
#include "codepage/text_plausibility.h"

namespace codepage {
namespace {

// Which candidate wins a tie the locale does not settle. Mostly how widespread each page
// is, except that hangul and traditional Chinese text often reads as common simplified
// hanzi by accident, much more often than the other way round, so 949 and 950 go first.
constexpr std::array<int, 14> kTieOrder = {1252, 932,  949,  950,  936,  1251, 1250,
                                           1254, 1253, 1257, 1255, 1256, 1258, 874};

std::string Lowercase(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return lower;
}

std::string_view TrimSpaces(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    return text;
}

bool IsCandidate(int codePage) {
    const std::vector<int>& pages = CandidateCodePages();
    return std::find(pages.begin(), pages.end(), codePage) != pages.end();
}

// ---------------------------------------------------------------------------------------
// uchardet's opinion, as the code pages it speaks for.

// uchardet often confuses the Latin pages among themselves, so a Latin answer only says
// "some Latin alphabet"; a Cyrillic one can only mean 1251 among the candidates.
constexpr int kAnyLatin = 0;
constexpr std::pair<std::string_view, int> kUchardetCharsets[] = {
    {"SHIFT_JIS", 932},
    {"GB18030", 936},
    {"GB2312", 936},
    {"BIG5", 950},
    {"UHC", 949},
    {"EUC-KR", 949},
    {"WINDOWS-1251", 1251},
    {"ISO-8859-5", 1251},
    {"KOI8-R", 1251},
    {"IBM866", 1251},
    {"IBM855", 1251},
    {"MAC-CYRILLIC", 1251},
    {"WINDOWS-1253", 1253},
    {"ISO-8859-7", 1253},
    {"WINDOWS-1255", 1255},
    {"ISO-8859-8", 1255},
    {"WINDOWS-1256", 1256},
    {"ISO-8859-6", 1256},
    {"WINDOWS-1258", 1258},
    {"VISCII", 1258},
    {"TIS-620", 874},
    {"WINDOWS-874", 874},
    {"WINDOWS-1252", kAnyLatin},
    {"ISO-8859-1", kAnyLatin},
    {"ISO-8859-15", kAnyLatin},
    {"WINDOWS-1250", kAnyLatin},
    {"ISO-8859-2", kAnyLatin},
    {"IBM852", kAnyLatin},
    {"MAC-CENTRALEUROPE", kAnyLatin},
    {"ISO-8859-3", kAnyLatin},
    {"ISO-8859-4", kAnyLatin},
    {"ISO-8859-9", kAnyLatin},
    {"WINDOWS-1254", kAnyLatin},
    {"ISO-8859-10", kAnyLatin},
    {"ISO-8859-13", kAnyLatin},
    {"WINDOWS-1257", kAnyLatin},
    {"ISO-8859-16", kAnyLatin},
};

bool UchardetSpeaksFor(std::string_view charset, int codePage) {
    const bool latin = codePage == 1250 || codePage == 1252 || codePage == 1254 ||
                       codePage == 1257 || codePage == 1258;
    for (const auto& [name, page] : kUchardetCharsets) {
        if (name == charset) {
            return page == codePage || (page == kAnyLatin && latin);
        }
    }
    return false;
}

struct UchardetDeleter {
    void operator()(uchardet* detector) const { uchardet_delete(detector); }
};
}  // namespace

// ---------------------------------------------------------------------------------------

const std::vector<int>& CandidateCodePages() {
    static const std::vector<int> pages = {874,  932,  936,  949,  950,  1250, 1251,
                                           1252, 1253, 1254, 1255, 1256, 1257, 1258};
    return pages;
}

int AnsiCodePageForLocale(std::string_view localeName) {
    // language[_territory][.codeset][@modifier]
    std::string_view rest = localeName;
    std::string_view modifier;
    if (const std::size_t at = rest.find('@'); at != rest.npos) {
        modifier = rest.substr(at + 1);
        rest = rest.substr(0, at);
    }
    rest = rest.substr(0, rest.find('.'));
    const std::size_t separator = rest.find_first_of("_-");
    const std::string language = Lowercase(rest.substr(0, separator));
    const std::string territory =
        separator == rest.npos ? std::string() : Lowercase(rest.substr(separator + 1));

    if (language.empty() || language == "c" || language == "posix") {
        return 0;  // no language, so no evidence
    }
    if (language == "zh") {
        return territory == "tw" || territory == "hk" || territory == "mo" ? 950 : 936;
    }
    if (language == "sr" || language == "uz") {
        // Serbian is written in both alphabets, Uzbek too; Windows' Latin Uzbek is 1254.
        const bool latin = Lowercase(modifier) == "latin";
        return language == "sr" ? (latin ? 1250 : 1251) : (latin || modifier.empty() ? 1254 : 1251);
    }
    static constexpr std::pair<std::string_view, int> kLanguages[] = {
        {"ja", 932},  {"ko", 949},  {"ru", 1251}, {"uk", 1251}, {"be", 1251}, {"bg", 1251},
        {"mk", 1251}, {"kk", 1251}, {"ky", 1251}, {"tt", 1251}, {"mn", 1251}, {"ba", 1251},
        {"cs", 1250}, {"pl", 1250}, {"hu", 1250}, {"sk", 1250}, {"sl", 1250}, {"hr", 1250},
        {"ro", 1250}, {"sq", 1250}, {"bs", 1250}, {"el", 1253}, {"tr", 1254}, {"az", 1254},
        {"he", 1255}, {"iw", 1255}, {"yi", 1255}, {"ar", 1256}, {"fa", 1256}, {"ur", 1256},
        {"ps", 1256}, {"et", 1257}, {"lv", 1257}, {"lt", 1257}, {"vi", 1258}, {"th", 874},
    };
    for (const auto& [name, codePage] : kLanguages) {
        if (language == name) {
            return codePage;
        }
    }
    return 1252;  // English, the other Western European languages, Icelandic, and the rest
}

int LocaleAnsiCodePage() {
    for (const char* variable : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value != nullptr && *value != '\0') {
            return AnsiCodePageForLocale(value);
        }
    }
    return 0;
}

int ParseCodePage(std::string_view name) {
    const std::string lower = Lowercase(TrimSpaces(name));
    static constexpr std::pair<std::string_view, int> kNames[] = {
        {"shift_jis", 932},      {"shift-jis", 932}, {"sjis", 932},   {"windows-31j", 932},
        {"ms_kanji", 932},       {"gbk", 936},       {"gb2312", 936}, {"euc-cn", 936},
        {"big5", 950},           {"big-5", 950},     {"euc-kr", 949}, {"uhc", 949},
        {"ks_c_5601-1987", 949},
    };
    for (const auto& [alias, codePage] : kNames) {
        if (lower == alias) {
            return codePage;
        }
    }
    std::string_view number = lower;
    for (std::string_view prefix : {"windows-", "cp", "ms"}) {
        if (number.substr(0, prefix.size()) == prefix) {
            number.remove_prefix(prefix.size());
            break;
        }
    }
    if (number.empty() || number.size() > 5 ||
        !std::all_of(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return 0;
    }
    const int codePage = std::stoi(std::string(number));
    return IsCandidate(codePage) ? codePage : 0;
}

// ---------------------------------------------------------------------------------------

namespace {

// Enough distinct texts to judge by, whatever the size of the database.
constexpr std::size_t kSampleBytes = 64 * 1024;
constexpr std::size_t kSampleTextBytes = 2048;
constexpr std::size_t kRememberedTexts = 1 << 16;
// A text counts by its non-ASCII bytes, up to this many, so no single long comment
// outweighs the names.
constexpr std::size_t kTextWeightCap = 64;
constexpr std::size_t kUchardetMinimumInput = 1024;
// uchardet's answer is worth this share of the evidence: enough to settle what the
// characters alone leave even, too little to overrule them.
constexpr double kUchardetVote = 0.1;
// Scores this close count as a tie: a quarter of one byte's evidence, or half a percent
// of a large sample's.
constexpr double kTieMargin = 0.25;
constexpr double kTieMarginShare = 0.005;
// What the locale's code page is worth among the single-byte ones, in nats of likelihood
// (odds of 20 to 1): about what tells two readings of one short name apart, so it settles
// one or two names and gives way to more.
constexpr double kLocaleEvidence = 3.0;
// A contender that could not decode a text (tolerated in a large database) pays this much
// per non-ASCII byte of it, more than the worst misread letter.
constexpr double kUndecodableByte = 20.0;

std::size_t TextWeight(std::string_view bytes) {
    const auto high = static_cast<std::size_t>(std::count_if(
        bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; }));
    return std::min(high, kTextWeightCap);
}

// In a database with many texts, a few stray ones (a comment pasted in from another code
// page) must not rule out the code page all the others are in; small databases get no
// such slack. A candidate is still tested after one failure more than that, so that a
// stray text among the first few read does not drop it for good.
std::size_t ToleratedFailures(std::size_t distinctTexts) {
    return distinctTexts / 50;
}
bool StillTested(std::size_t failures, std::size_t distinctTexts) {
    return failures <= 1 + ToleratedFailures(distinctTexts);
}

// Cuts a long text where no double-byte character can be split: every trail byte of the
// candidate pages is at least 0x40, so a cut just after a smaller byte is safe.
std::string_view SampleCut(std::string_view bytes) {
    if (bytes.size() <= kSampleTextBytes) {
        return bytes;
    }
    for (std::size_t end = kSampleTextBytes; end > 0; --end) {
        if (static_cast<unsigned char>(bytes[end - 1]) < 0x40) {
            return bytes.substr(0, end);
        }
    }
    return {};
}

struct Candidate {
    int codePage = 0;
    std::unique_ptr<TextDecoder> decoder;
    bool live = true;
    std::size_t failures = 0;
    float failedWeight = 0;
};

struct SampleText {
    std::string bytes;
    std::size_t weight = 0;
    std::uint16_t failedBy = 0;  // bit per candidate index
};
static_assert(kTieOrder.size() <= 16, "SampleText::failedBy has a bit per candidate");

// The candidates still in the running: those that decoded every text, or, in a large
// database, all but a tolerated few.
std::vector<std::size_t> Contenders(const std::vector<Candidate>& candidates,
                                    std::size_t distinctTexts) {
    std::size_t fewestFailures = SIZE_MAX;
    for (const Candidate& candidate : candidates) {
        if (candidate.live) {
            fewestFailures = std::min(fewestFailures, candidate.failures);
        }
    }
    const std::size_t tolerated = std::max(fewestFailures, ToleratedFailures(distinctTexts));
    std::vector<std::size_t> contenders;
    for (std::size_t i = 0; i < candidates.size(); ++i) {
        if (candidates[i].live && candidates[i].failures <= tolerated) {
            contenders.push_back(i);
        }
    }
    return contenders;
}

// Per candidate: the plausibility of each sampled text it decodes, weighted by the text,
// less the weight of the texts it could not decode at all.
std::vector<double> PlausibilityScores(const std::vector<Candidate>& candidates,
                                       const std::vector<std::size_t>& contenders,
                                       const std::vector<SampleText>& sample) {
    const bool anyDoubleByte =
        std::any_of(contenders.begin(), contenders.end(),
                    [&](std::size_t i) { return IsDoubleByteCodePage(candidates[i].codePage); });
    const CjkTable* sets = anyDoubleByte ? &CjkCharacterSets() : nullptr;
    std::vector<double> scores(candidates.size(), 0.0);
    for (std::size_t i : contenders) {
        const Candidate& candidate = candidates[i];
        TextScorer scorer(candidate.codePage, sets);
        scores[i] = -candidate.failedWeight;
        for (const SampleText& text : sample) {
            if (!(text.failedBy & (1u << i))) {
                scores[i] += static_cast<float>(text.weight) *
                             scorer.MeanQuality(candidate.decoder->ToUtf8(text.bytes));
            }
        }
    }
    return scores;
}

// uchardet's models need more text than a few names to be right, so it only has a say
// once the sample is large enough.
void AddUchardetVote(const std::vector<Candidate>& candidates,
                     const std::vector<std::size_t>& contenders,
                     const std::vector<SampleText>& sample, std::vector<double>& scores) {
    std::unique_ptr<uchardet, UchardetDeleter> detector(uchardet_new());
    double totalWeight = 0;
    for (const SampleText& text : sample) {
        uchardet_handle_data(detector.get(), text.bytes.data(), text.bytes.size());
        uchardet_handle_data(detector.get(), "\n", 1);
        totalWeight += static_cast<double>(text.weight);
    }
    uchardet_data_end(detector.get());
    const std::string_view charset = uchardet_get_charset(detector.get());
    for (std::size_t i : contenders) {
        if (UchardetSpeaksFor(charset, candidates[i].codePage)) {
            scores[i] += kUchardetVote * totalWeight;
        }
    }
}

// The best score, unless others come within a hair of it: then the tie-break if it is
// among them, else the most widespread of them.
int Winner(const std::vector<Candidate>& candidates, const std::vector<std::size_t>& contenders,
           const std::vector<double>& scores, int tieBreak) {
    double best = -HUGE_VAL;
    for (std::size_t i : contenders) {
        best = std::max(best, scores[i]);
    }
    const double margin = kTieMargin + kTieMarginShare * std::abs(best);
    std::vector<int> tied;
    for (std::size_t i : contenders) {
        if (scores[i] >= best - margin) {
            tied.push_back(candidates[i].codePage);
        }
    }
    if (std::find(tied.begin(), tied.end(), tieBreak) != tied.end()) {
        return tieBreak;
    }
    for (int codePage : kTieOrder) {
        if (std::find(tied.begin(), tied.end(), codePage) != tied.end()) {
            return codePage;
        }
    }
    return tied.front();
}

// SourceSafe cuts names to fit its fixed-size fields, and the short forms it derives go
// on with "~1.ext" right after the cut; the cut may split a double-byte character. The
// text without such a split byte (a lead byte left at the end or before a "~"), for the
// double-byte pages to be judged by; empty when there is none.
std::string WithoutCutCharacter(std::string_view bytes) {
    for (std::size_t end = bytes.size(); end != std::string_view::npos && end > 0;
         end = bytes.rfind('~', end - 1)) {
        if (static_cast<unsigned char>(bytes[end - 1]) >= 0x80 &&
            (end == bytes.size() || bytes[end] == '~')) {
            return std::string(bytes.substr(0, end - 1)).append(bytes.substr(end));
        }
    }
    return {};
}

// Among the single-byte contenders, the code page whose languages best explain the texts:
// the likelihood of every sampled text it decodes, a heavy cost for each one it cannot,
// and the locale's word as evidence of its own.
int BestByLanguage(const std::vector<Candidate>& candidates,
                   const std::vector<std::size_t>& contenders,
                   const std::vector<SampleText>& sample, int localeCodePage) {
    int best = 0;
    double bestScore = -HUGE_VAL;
    for (int codePage : kTieOrder) {  // so that an exact tie goes to the more widespread
        const auto found = std::find_if(contenders.begin(), contenders.end(), [&](std::size_t i) {
            return candidates[i].codePage == codePage;
        });
        if (found == contenders.end() || !HasLanguageModel(codePage)) {
            continue;
        }
        const Candidate& candidate = candidates[*found];
        double score = -kUndecodableByte * candidate.failedWeight;
        for (const SampleText& text : sample) {
            if (!(text.failedBy & (1u << *found))) {
                score += TextLogLikelihood(codePage, text.bytes);
            }
        }
        if (codePage == localeCodePage) {
            score += kLocaleEvidence;
        }
        if (score > bestScore) {
            best = codePage;
            bestScore = score;
        }
    }
    return best;
}

}  // namespace

struct CodePageDetector::State {
    std::vector<Candidate> candidates;
    std::unordered_set<std::uint64_t> seen;
    std::vector<SampleText> sample;
    std::size_t sampleBytes = 0;
    std::size_t distinctTexts = 0;
    bool sawNonAscii = false;
};

CodePageDetector::CodePageDetector() : state_(std::make_unique<State>()) {
    for (int codePage : CandidateCodePages()) {
        try {
            state_->candidates.push_back(
                Candidate{codePage, std::make_unique<TextDecoder>(codePage)});
        } catch (const std::exception&) {
            // This iconv lacks the page; it simply cannot be chosen.
        }
    }
}

CodePageDetector::~CodePageDetector() = default;

bool CodePageDetector::sawNonAscii() const {
    return state_->sawNonAscii;
}

void CodePageDetector::AddText(std::string_view bytes) {
    if (IsAscii(bytes)) {
        return;
    }
    State& s = *state_;
    s.sawNonAscii = true;
    const std::uint64_t hash = std::hash<std::string_view>{}(bytes);
    if (s.seen.count(hash) != 0) {
        return;
    }
    if (s.seen.size() < kRememberedTexts) {
        s.seen.insert(hash);
    }
    ++s.distinctTexts;
    const std::string uncut = WithoutCutCharacter(bytes);

    std::uint16_t failedBy = 0;
    bool anyDecodes = false;
    for (std::size_t i = 0; i < s.candidates.size(); ++i) {
        const Candidate& candidate = s.candidates[i];
        if (!candidate.live) {
            continue;
        }
        if (candidate.decoder->CanDecode(bytes) ||
            (!uncut.empty() && IsDoubleByteCodePage(candidate.codePage) &&
             candidate.decoder->CanDecode(uncut))) {
            anyDecodes = true;
        } else {
            failedBy = static_cast<std::uint16_t>(failedBy | (1u << i));
        }
    }
    if (!anyDecodes) {
        return;  // damaged bytes, evidence for nothing
    }
    const std::size_t weight = TextWeight(bytes);
    for (std::size_t i = 0; i < s.candidates.size(); ++i) {
        if (failedBy & (1u << i)) {
            Candidate& candidate = s.candidates[i];
            candidate.failedWeight += static_cast<float>(weight);
            candidate.live = StillTested(++candidate.failures, s.distinctTexts);
        }
    }
    if (s.sampleBytes < kSampleBytes) {
        const std::string_view kept = SampleCut(bytes);
        if (!kept.empty()) {
            s.sample.push_back(SampleText{std::string(kept), TextWeight(kept), failedBy});
            s.sampleBytes += kept.size();
        }
    }
}

int CodePageDetector::Decide(int localeCodePage) const {
    const State& s = *state_;
    const int fallback = localeCodePage != 0 ? localeCodePage : kTieOrder.front();
    if (!s.sawNonAscii) {
        return fallback;
    }
    const std::vector<std::size_t> contenders = Contenders(s.candidates, s.distinctTexts);
    if (contenders.empty()) {
        return fallback;
    }
    if (contenders.size() == 1) {
        return s.candidates[contenders.front()].codePage;
    }
    std::vector<double> scores = PlausibilityScores(s.candidates, contenders, s.sample);
    if (s.sampleBytes >= kUchardetMinimumInput) {
        AddUchardetVote(s.candidates, contenders, s.sample, scores);
    }
    const int byScript = Winner(s.candidates, contenders, scores, localeCodePage);
    if (IsDoubleByteCodePage(byScript)) {
        return byScript;
    }
    const int byLanguage = BestByLanguage(s.candidates, contenders, s.sample, localeCodePage);
    return byLanguage != 0 ? byLanguage : byScript;
}

}  // namespace codepage
