// How plausible a decoded text is: whether its characters are what people write in the
// languages of a code page (common letters forming words, common ideographs and kana,
// Hangul syllables), or the look of bytes read in the wrong code page.
#pragma once

#include <memory>
#include <string_view>

#include "codepage/cjk_character_sets.h"

namespace codepage {

class TextScorer {
  public:
    // `sets` may be null when no double-byte code page is being judged.
    TextScorer(int codePage, const CjkTable* sets);
    ~TextScorer();
    TextScorer(const TextScorer&) = delete;
    TextScorer& operator=(const TextScorer&) = delete;

    // The mean plausibility, from -1 (certainly misread) to 1 (a common character where it
    // belongs), of the text's non-ASCII characters, each counted by the bytes it came from.
    float MeanQuality(std::string_view utf8);

  private:
    class Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace codepage
