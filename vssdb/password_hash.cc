#include "vssdb/password_hash.h"

namespace vssdb {

std::uint16_t PasswordHash(std::string_view upperCasedBytes) {
    static constexpr std::string_view kFiller = "BrianDavidHarry";
    static_assert(kFiller.size() == kPasswordSignificantBytes);
    const std::string_view password = upperCasedBytes.substr(0, kPasswordSignificantBytes);
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < kPasswordSignificantBytes; ++i) {
        const char c = i < password.size() ? password[i] : kFiller[i - password.size()];
        // Sign extension of bytes >= 0x80 is deliberate: it is how SourceSafe computes it.
        const std::int32_t value = static_cast<signed char>(c) ^ 0x96;
        sum += static_cast<std::uint32_t>(value) * static_cast<std::uint32_t>(i + 1);
    }
    return static_cast<std::uint16_t>(sum & 0xFFFFu);
}

}  // namespace vssdb
