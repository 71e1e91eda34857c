// Class and interface ids of SourceSafe's automation objects.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace sourcesafe {

struct Guid {
    std::uint32_t data1;
    std::uint16_t data2;
    std::uint16_t data3;
    std::array<std::uint8_t, 8> data4;

    friend bool operator==(const Guid&, const Guid&) = default;
    // "{783CD4E4-9D54-11CF-B8EE-00608CC9A71F}"
    std::string ToString() const;
};

// The tail shared by the ids of the first automation release.
inline constexpr std::array<std::uint8_t, 8> kAutomationTail = {0xB8, 0xEE, 0x00, 0x60,
                                                                0x8C, 0xC9, 0xA7, 0x1F};
// The tail of the version-6 extensions.
inline constexpr std::array<std::uint8_t, 8> kVersion6Tail = {0x92, 0x36, 0x00, 0xAA,
                                                              0x00, 0xA1, 0xEB, 0x95};

inline constexpr Guid CLSID_VSSDatabase = {0x783CD4E4, 0x9D54, 0x11CF, kAutomationTail};
inline constexpr Guid IID_IVSSDatabase = {0x783CD4E2, 0x9D54, 0x11CF, kAutomationTail};
inline constexpr Guid IID_IVSSDatabase6 = {0x2A0DE0E2, 0x2E9F, 0x11D0, kVersion6Tail};
inline constexpr Guid IID_IVSSItem = {0x783CD4E1, 0x9D54, 0x11CF, kAutomationTail};
inline constexpr Guid IID_IVSSItems = {0x783CD4E5, 0x9D54, 0x11CF, kAutomationTail};
inline constexpr Guid IID_IVSSVersions = {0x783CD4E7, 0x9D54, 0x11CF, kAutomationTail};
inline constexpr Guid IID_IVSSVersion6 = {0x2A0DE0E9, 0x2E9F, 0x11D0, kVersion6Tail};

// Server contexts a creation may ask for.
inline constexpr std::uint32_t CLSCTX_INPROC_SERVER = 0x1;
inline constexpr std::uint32_t CLSCTX_INPROC_HANDLER = 0x2;
inline constexpr std::uint32_t CLSCTX_LOCAL_SERVER = 0x4;
inline constexpr std::uint32_t CLSCTX_ALL_SERVERS =
    CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER;

}  // namespace sourcesafe
