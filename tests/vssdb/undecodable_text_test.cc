// Texts that are nothing but bytes the code page cannot decode: each becomes U+FFFD, and
// the work stays proportional to the text (a comment may hold 64 KiB of them, a damaged
// name far more).
#include <gtest/gtest.h>

#include <chrono>
#include <ostream>
#include <string>

#include "codepage/text_decoder.h"

namespace {

struct BadBytes {
    int codePage;
    char byte;  // undefined in that code page, or a lead byte with no trail byte after it
};

std::ostream& operator<<(std::ostream& out, const BadBytes& bad) {
    return out << "CP" << bad.codePage << " byte "
               << static_cast<int>(static_cast<unsigned char>(bad.byte));
}

class UndecodableText : public testing::TestWithParam<BadBytes> {};

TEST_P(UndecodableText, EveryByteBecomesOneReplacementCharacter) {
    const codepage::TextDecoder decoder(GetParam().codePage);
    const std::size_t size = 1 << 20;
    const std::string bytes(size, GetParam().byte);
    const auto start = std::chrono::steady_clock::now();
    const std::string utf8 = decoder.ToUtf8(bytes);
    const auto elapsed = std::chrono::steady_clock::now() - start;

    ASSERT_EQ(utf8.size(), size * 3);
    EXPECT_EQ(utf8.substr(0, 6), "\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_FALSE(decoder.CanDecode(bytes));
    // A megabyte takes well under a second; work that grows with the square of the size
    // would take minutes.
    EXPECT_LT(elapsed, std::chrono::seconds(20));
}

INSTANTIATE_TEST_SUITE_P(Pages, UndecodableText,
                         testing::Values(BadBytes{1252, '\x81'}, BadBytes{932, '\xA0'},
                                         BadBytes{1253, '\xAA'}),
                         [](const testing::TestParamInfo<BadBytes>& info) {
                             return "Cp" + std::to_string(info.param.codePage);
                         });

}  // namespace
