#include "vssdb/code_page_lifecycle.h"

#include <functional>

#include "codepage/code_page.h"
#include "vssdb/code_page_memory.h"
#include "vssdb/error.h"
#include "vssdb/text_case.h"
#include "vssdb/text_census.h"

namespace vssdb {
namespace {

// Longer texts (comments, mostly) rarely repeat.
constexpr std::size_t kDecodedTextSlots = 512;
constexpr std::size_t kDecodedTextMaxSize = 128;

}  // namespace

// A census put off at open: what the logs read meanwhile showed of their texts.
struct CodePageLifecycle::PutOffCensus {
    int localeCodePage = 0;
    PassingCensus logs;
    bool mayGuess = false;  // AllowProvisional
    int provisional = 0;    // the code page texts are read in meanwhile
};

CodePageLifecycle::CodePageLifecycle(const DataFolder& folder, const NamesFile& names,
                                     const std::vector<UserRecord>& users)
    : folder_(folder), names_(names), users_(users) {}

CodePageLifecycle::~CodePageLifecycle() = default;

void CodePageLifecycle::Decide(int given, int tieBreak, bool putOffCensus) {
    if (given != 0) {
        try {
            decoder_ = std::make_unique<codepage::TextDecoder>(given);
        } catch (const codepage::UnsupportedCodePage& error) {
            throw Error(ErrorKind::kInvalidArgument, error.what());
        }
        return;
    }
    const int localeCodePage = tieBreak != 0 ? tieBreak : codepage::LocaleAnsiCodePage();
    if (const std::optional<SettledCodePage> settled =
            RememberedCodePage(folder_, localeCodePage)) {
        decoder_ = std::make_unique<codepage::TextDecoder>(settled->codePage);
        origin_ = settled->asciiOnly ? CodePageOrigin::kAsciiOnly : CodePageOrigin::kGuessed;
        return;
    }
    census_ = std::make_unique<PutOffCensus>();
    census_->localeCodePage = localeCodePage;
    if (!putOffCensus) {
        FinishCensus();
    }
}

void CodePageLifecycle::FinishCensus(const std::function<void(std::size_t)>& logDone) {
    if (!census_) {
        return;
    }
    // Until now only ASCII texts were decoded, which read alike in every code page, or
    // texts in the provisional code page, which Confirm checks.
    const std::unique_ptr<PutOffCensus> census = std::move(census_);
    codepage::CodePageDetector detector;
    census->logs.Finish(
        folder_, names_, users_, [&](std::string_view text) { detector.AddText(text); }, logDone);
    const SettledCodePage settled{detector.Decide(census->localeCodePage), !detector.sawNonAscii()};
    RememberCodePage(folder_, census->localeCodePage, settled);
    if (census->provisional != 0 && census->provisional != settled.codePage) {
        overturned_ = true;
        decoded_.clear();
    }
    decoder_ = std::make_unique<codepage::TextDecoder>(settled.codePage);
    origin_ = settled.asciiOnly ? CodePageOrigin::kAsciiOnly : CodePageOrigin::kGuessed;
}

void CodePageLifecycle::PrepareForNonAscii() {
    if (!census_ || census_->provisional != 0) {
        return;
    }
    if (!census_->mayGuess) {
        FinishCensus();
        return;
    }
    // The texts met so far, in the census's order as far as it goes.
    codepage::CodePageDetector detector;
    const auto add = [&](std::string_view text) { detector.AddText(text); };
    names_.ForEachText(add);
    for (const UserRecord& user : users_) {
        add(user.name);
    }
    census_->logs.ForEachTextReadSoFar(add);
    census_->provisional = detector.Decide(census_->localeCodePage);
    decoder_ = std::make_unique<codepage::TextDecoder>(census_->provisional);
}

void CodePageLifecycle::LogRead(const std::string& physical, const ItemLog& log) {
    if (census_) {
        census_->logs.LogRead(physical, log.header(), log.records());
    }
}

void CodePageLifecycle::ChildListRead(const std::string& projectPhysical,
                                      const std::vector<ProjectEntry>& entries) {
    if (census_) {
        census_->logs.ChildListRead(projectPhysical, entries);
    }
}

void CodePageLifecycle::AllowProvisional() {
    if (census_) {
        census_->mayGuess = true;
    }
}

bool CodePageLifecycle::Confirm(const std::function<void(std::size_t)>& logDone) {
    FinishCensus(logDone);
    // Whenever the census was finished: a question for the code page may have finished it
    // while texts were read in the provisional one.
    const bool confirmed = !overturned_;
    overturned_ = false;
    return confirmed;
}

int CodePageLifecycle::codePage() {
    FinishCensus();
    return decoder_->codePage();
}

CodePageOrigin CodePageLifecycle::origin() {
    FinishCensus();
    return origin_;
}

std::string CodePageLifecycle::Decode(std::string_view bytes) {
    if (IsAscii(bytes)) {
        return std::string(bytes);  // what every code page the decoder accepts makes of it
    }
    PrepareForNonAscii();
    if (bytes.size() > kDecodedTextMaxSize) {
        return decoder_->ToUtf8(bytes);
    }
    if (decoded_.empty()) {
        decoded_.resize(kDecodedTextSlots);
    }
    DecodedText& slot = decoded_[std::hash<std::string_view>{}(bytes) % decoded_.size()];
    if (slot.bytes != bytes) {
        slot.utf8 = decoder_->ToUtf8(bytes);
        slot.bytes.assign(bytes);
    }
    return slot.utf8;
}

std::optional<std::string> CodePageLifecycle::Encode(std::string_view utf8) {
    if (IsAscii(utf8)) {
        return std::string(utf8);
    }
    PrepareForNonAscii();
    return decoder_->FromUtf8(utf8);
}

}  // namespace vssdb
