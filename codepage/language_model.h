// How well a text's bytes fit the languages written in a single-byte code page.
//
// Every single-byte candidate decodes almost any byte, so telling 1250 from 1252 or 1257
// takes knowing which letters and letter pairs each language uses: "Première" is French in
// 1252 and nothing in 1250 ("Premičre"). Each code page is scored by the languages it
// serves (language_tables.h), as the likelihood of the text under the best mix of them.
#pragma once

#include <string_view>

namespace codepage {

// Whether there are statistics for `codePage` (874 and 1250 to 1258).
bool HasLanguageModel(int codePage);

// The log-likelihood, in nats, of `bytes` read as text in `codePage`: each language of the
// code page scores its letter pairs, the languages are mixed with equal weight, and signs
// (quotes, ¤, ¹) cost what they cost in any language. Only differences between code pages
// mean anything. 0 for a code page without statistics.
double TextLogLikelihood(int codePage, std::string_view bytes);

}  // namespace codepage
