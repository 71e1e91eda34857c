// The C library's UTF-8 locale, for reading and classifying UTF-8 text whatever locale the
// process runs in.
#pragma once

#include <locale.h>

namespace codepage {

// C.UTF-8; (locale_t)0 on a system that has none.
locale_t Utf8Locale();

// Switches this thread to C.UTF-8 for the multibyte conversions of one call.
class ScopedUtf8Locale {
  public:
    ScopedUtf8Locale() : previous_(uselocale(Utf8Locale())) {}
    ~ScopedUtf8Locale() { uselocale(previous_); }
    ScopedUtf8Locale(const ScopedUtf8Locale&) = delete;
    ScopedUtf8Locale& operator=(const ScopedUtf8Locale&) = delete;

  private:
    locale_t previous_;
};

}  // namespace codepage
