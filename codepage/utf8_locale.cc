#include "codepage/utf8_locale.h"

namespace codepage {

locale_t Utf8Locale() {
    static const locale_t locale =
        newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
    return locale;
}

}  // namespace codepage
