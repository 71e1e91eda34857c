#include "codepage/language_model.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

#include "codepage/language_tables.h"

namespace codepage {
namespace {

namespace t = tables;

// What a non-letter high byte costs, in nats: punctuation is cheap beside a word and dear
// inside one, signs of ordinary text are cheap apart from words; other signs seldom turn
// up in names or comments at all, so they are what a misread letter looks like.
constexpr double kPunctuation = 4.0;
constexpr double kPunctuationInsideWord = 8.0;
constexpr double kSign = 4.0;
constexpr double kSignNextToLetter = 9.0;
constexpr double kMarkInsideWord = 1.5;
constexpr double kRareSign = 8.0;
constexpr double kRareSignNextToLetter = 11.0;
constexpr double kUndefinedByte = 20.0;

// What a third letter that its context's listed triples leave out may cost above its pair,
// in table units (two nats).
constexpr int kMostForUnlistedTriple = 24;

struct Language {
    const t::LanguageTable* table;
    std::array<std::uint8_t, 256> token{};  // per byte; meaningful for letters only
    int firstAccentedToken = 0;             // letters are ascending: ASCII ones come first
};

struct CodePageModel {
    int codePage = 0;
    const t::CodePageBytes* bytes = nullptr;
    std::vector<Language> languages;
};

const std::vector<CodePageModel>& Models() {
    static const std::vector<CodePageModel> models = [] {
        std::vector<CodePageModel> out;
        for (const t::CodePageBytes& bytes : t::kCodePageBytes) {
            CodePageModel model;
            model.codePage = bytes.codePage;
            model.bytes = &bytes;
            for (std::size_t i = 0; i < t::kLanguageTableCount; ++i) {
                const t::LanguageTable& table = t::kLanguageTables[i];
                if (table.codePage != bytes.codePage) {
                    continue;
                }
                Language language{&table};
                language.firstAccentedToken =
                    2 + static_cast<int>(std::count_if(
                            table.letters, table.letters + (table.tokens - 2),
                            [](char c) { return static_cast<unsigned char>(c) < 0x80; }));
                for (int b = 0; b < 256; ++b) {
                    auto folded = static_cast<unsigned char>(bytes.fold[b]);
                    if (!table.latin && folded != 0 && folded < 0x80) {
                        folded = 'a';  // one token for every ASCII letter
                    }
                    const char* letters = table.letters;
                    const char* end = letters + (table.tokens - 2);
                    const char* found = std::find(letters, end, static_cast<char>(folded));
                    language.token[b] = static_cast<std::uint8_t>(
                        found != end ? 2 + (found - letters) : t::kOtherLetterToken);
                }
                model.languages.push_back(language);
            }
            out.push_back(std::move(model));
        }
        return out;
    }();
    return models;
}

const CodePageModel* ModelFor(int codePage) {
    for (const CodePageModel& model : Models()) {
        if (model.codePage == codePage) {
            return model.languages.empty() ? nullptr : &model;
        }
    }
    return nullptr;
}

bool IsLetter(const t::CodePageBytes& bytes, std::string_view text, std::size_t i) {
    return i < text.size() && bytes.fold[static_cast<unsigned char>(text[i])] != 0;
}

// The cost of the text's signs, the same in every language of the code page.
double SignCost(const t::CodePageBytes& bytes, std::string_view text) {
    double cost = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto b = static_cast<unsigned char>(text[i]);
        if (b < 0x80 || bytes.fold[b] != 0) {
            continue;
        }
        const bool before = i > 0 && IsLetter(bytes, text, i - 1);
        const bool after = IsLetter(bytes, text, i + 1);
        switch (bytes.symbols[b - 0x80]) {
            case 1:
                cost += before && after ? kPunctuationInsideWord : kPunctuation;
                break;
            case 5:
                cost += before || after ? kSignNextToLetter : kSign;
                break;
            case 2:
                cost += kMarkInsideWord;
                break;
            case 3:
                cost += before || after ? kRareSignNextToLetter : kRareSign;
                break;
            default:
                cost += kUndefinedByte;
                break;
        }
    }
    return cost;
}

bool IsAccented(const Language& language, int token) {
    return token >= language.firstAccentedToken;
}

// The cost of `c` after `a` and `b`: from the triples where an accented letter is among
// the three and the triple or its context is known, else from the pair.
std::uint32_t StepCost(const Language& language, int a, int b, int c) {
    const t::LanguageTable& table = *language.table;
    const std::uint32_t pair = static_cast<std::uint8_t>(table.costs[b * table.tokens + c]);
    // Letters the language hardly uses come in runs in its foreign words, which would make
    // a run of misread letters look likely: they are judged by pairs alone.
    const bool other =
        a == t::kOtherLetterToken || b == t::kOtherLetterToken || c == t::kOtherLetterToken;
    if (table.triples == 0 || other ||
        !(IsAccented(language, a) || IsAccented(language, b) || IsAccented(language, c))) {
        return pair;
    }
    const std::uint32_t* keys = table.tripleKeys;
    const std::uint32_t* end = keys + table.triples;
    const auto find = [&](int third) -> const std::uint32_t* {
        const std::uint32_t key = static_cast<std::uint32_t>(a) << 14 |
                                  static_cast<std::uint32_t>(b) << 7 |
                                  static_cast<std::uint32_t>(third);
        const std::uint32_t* found = std::lower_bound(keys, end, key);
        return found != end && *found == key ? found : nullptr;
    };
    if (const std::uint32_t* triple = find(c)) {
        return static_cast<std::uint8_t>(table.tripleCosts[triple - keys]);
    }
    if (const std::uint32_t* context = find(t::kTripleContext)) {
        // Never less than the pair costs: where the listed triples leave more of their
        // context's mass than the pairs do, that mass is smoothing, not evidence. Nor more
        // than a little above it: only the commonest triples are listed, so a context that
        // seems to leave nothing to others only lost them to the cut.
        const int extra = static_cast<std::uint8_t>(table.tripleCosts[context - keys]) - 128;
        return pair + static_cast<std::uint32_t>(std::clamp(extra, 0, kMostForUnlistedTriple));
    }
    return pair;
}

// -ln p of the text's letters and word boundaries in one language, in table units.
std::uint32_t LetterCost(const t::CodePageBytes& bytes, const Language& language,
                         std::string_view text) {
    const t::LanguageTable& table = *language.table;
    std::uint32_t total = 0;
    int beforePrevious = t::kBoundaryToken;
    int previous = t::kBoundaryToken;
    const auto step = [&](int token) {
        total += StepCost(language, beforePrevious, previous, token);
        beforePrevious = previous;
        previous = token;
    };
    for (const char c : text) {
        const auto b = static_cast<unsigned char>(c);
        const auto folded = static_cast<unsigned char>(bytes.fold[b]);
        if (folded == 0) {
            if (previous != t::kBoundaryToken) {
                step(t::kBoundaryToken);
            }
            continue;
        }
        step(language.token[b]);
        if (!table.latin && folded < 0x80) {
            total += t::kAsciiLetterCosts[folded - 'a'];
        }
    }
    if (previous != t::kBoundaryToken) {
        step(t::kBoundaryToken);
    }
    return total;
}

}  // namespace

bool HasLanguageModel(int codePage) {
    return ModelFor(codePage) != nullptr;
}

double TextLogLikelihood(int codePage, std::string_view bytes) {
    const CodePageModel* model = ModelFor(codePage);
    if (model == nullptr) {
        return 0;
    }
    // log of the mean of the languages' likelihoods, computed around the best of them.
    std::vector<double> logLikelihoods;
    logLikelihoods.reserve(model->languages.size());
    for (const Language& language : model->languages) {
        logLikelihoods.push_back(-static_cast<double>(LetterCost(*model->bytes, language, bytes)) /
                                 t::kCostUnitsPerNat);
    }
    const double best = *std::max_element(logLikelihoods.begin(), logLikelihoods.end());
    double sum = 0;
    for (const double value : logLikelihoods) {
        sum += std::exp(value - best);
    }
    return best + std::log(sum / static_cast<double>(logLikelihoods.size())) -
           SignCost(*model->bytes, bytes);
}

}  // namespace codepage
