// Conversion between a database's ANSI code page and UTF-8, through iconv.
#pragma once

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace codepage {

// Whether every byte is below 0x80: text that every code page reads alike.
bool IsAscii(std::string_view bytes);

// The iconv name of a Windows code page ("CP932", "CP1252", ...).
std::string IconvNameForCodePage(int codePage);

// A code page that cannot be used for a database's texts.
class UnsupportedCodePage : public std::invalid_argument {
  public:
    using std::invalid_argument::invalid_argument;
};

// Not thread-safe: a decoder reuses its iconv handles from call to call.
class TextDecoder {
  public:
    // Throws UnsupportedCodePage for a code page iconv does not know or that does not
    // extend ASCII.
    explicit TextDecoder(int codePage);
    ~TextDecoder();
    TextDecoder(const TextDecoder&) = delete;
    TextDecoder& operator=(const TextDecoder&) = delete;

    int codePage() const { return codePage_; }

    // Never fails: every byte that cannot be decoded becomes U+FFFD. ASCII is passed
    // through without calling iconv.
    std::string ToUtf8(std::string_view bytes) const;

    // The text in the code page, or nothing when a character has no encoding there.
    std::optional<std::string> FromUtf8(std::string_view utf8) const;

    // Whether `bytes` decode without a single invalid sequence.
    bool CanDecode(std::string_view bytes) const;

  private:
    struct Handles;
    int codePage_;
    std::unique_ptr<Handles> handles_;
};

}  // namespace codepage
