// The code page detector and the decoder on arbitrary bytes. The input's NUL-separated
// parts are the texts a database would feed the detector; the decoders live as long as
// the process, as a database's decoder lives as long as the database.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "codepage/code_page.h"
#include "codepage/text_decoder.h"

namespace {

const std::vector<std::unique_ptr<codepage::TextDecoder>>& Decoders() {
    static const auto decoders = [] {
        std::vector<std::unique_ptr<codepage::TextDecoder>> all;
        for (const int codePage : codepage::CandidateCodePages()) {
            all.push_back(std::make_unique<codepage::TextDecoder>(codePage));
        }
        return all;
    }();
    return decoders;
}

const codepage::TextDecoder& Utf8Checker() {
    static const codepage::TextDecoder utf8(65001);
    return utf8;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const auto& decoders = Decoders();

    codepage::CodePageDetector detector;
    for (std::size_t start = 0; start <= bytes.size();) {
        const std::size_t end = std::min(bytes.find('\0', start), bytes.size());
        const std::string_view text = bytes.substr(start, end - start);
        detector.AddText(text);
        codepage::ParseCodePage(text);
        codepage::AnsiCodePageForLocale(text);
        start = end + 1;
    }
    const int tieBreak =
        codepage::CandidateCodePages()[size % codepage::CandidateCodePages().size()];
    const int decided = detector.Decide(tieBreak);

    for (const auto& decoder : decoders) {
        if (decoder->codePage() != decided && decoder->codePage() != tieBreak) {
            continue;
        }
        decoder->CanDecode(bytes);
        const std::string utf8 = decoder->ToUtf8(bytes);
        // The decoder promises UTF-8 whatever it is given.
        if (!Utf8Checker().CanDecode(utf8)) {
            __builtin_trap();
        }
        // What came out must go back in, unless the page has no encoding for it.
        decoder->FromUtf8(utf8);
        decoder->FromUtf8(bytes);
    }
    return 0;
}
