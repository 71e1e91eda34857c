// Result codes of the automation layer. SourceSafe's own failures keep the values its
// automation component uses, so callers that know them keep working.
#pragma once

#include <cstdint>

namespace sourcesafe {

using HRESULT = std::int32_t;

constexpr HRESULT MakeResult(std::uint32_t value) {
    return static_cast<HRESULT>(value);
}

inline constexpr HRESULT S_OK = 0;

// SourceSafe's codes.
inline constexpr HRESULT ESS_USER_NOT_FOUND = MakeResult(0x8004D6C2);
inline constexpr HRESULT ESS_BAD_PASSWORD = MakeResult(0x8004D6C9);
inline constexpr HRESULT ESS_ITEM_NOT_FOUND = MakeResult(0x8004D68F);
inline constexpr HRESULT ESS_FILE_CORRUPT = MakeResult(0x8004D698);
inline constexpr HRESULT ESS_INCOMPATIBLE_DATABASE = MakeResult(0x8004D6C8);

// General codes.
inline constexpr HRESULT E_POINTER_RESULT = MakeResult(0x80004003);  // call through an empty holder
inline constexpr HRESULT E_NOINTERFACE_RESULT = MakeResult(0x80004002);
inline constexpr HRESULT E_UNEXPECTED_RESULT = MakeResult(0x8000FFFF);  // database used before Open
inline constexpr HRESULT E_INVALIDARG_RESULT = MakeResult(0x80070057);
inline constexpr HRESULT E_ACCESSDENIED_RESULT = MakeResult(0x80070005);  // a file cannot be read
inline constexpr HRESULT E_FILE_NOT_FOUND_RESULT = MakeResult(0x80070002);
inline constexpr HRESULT DISP_E_BADINDEX_RESULT = MakeResult(0x8002000B);
inline constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE_RESULT = MakeResult(0x80040111);

}  // namespace sourcesafe
