// The exception every failing automation call raises.
#pragma once

#include <stdexcept>
#include <string>

#include "sourcesafe/result_codes.h"
#include "vssdb/error.h"

namespace sourcesafe {

class VssError : public std::runtime_error {
  public:
    VssError(HRESULT code, const std::string& message) : std::runtime_error(message), code_(code) {}

    HRESULT code() const { return code_; }

  private:
    HRESULT code_;
};

// The result code for a reader error.
HRESULT ResultFor(const vssdb::Error& error);

[[noreturn]] void ThrowFrom(const vssdb::Error& error);
[[noreturn]] void ThrowEmptyHolder(const char* what);

// Runs `call`, turning reader errors into VssError with their result code.
template <typename Call>
auto Guarded(Call&& call) -> decltype(call()) {
    try {
        return call();
    } catch (const vssdb::Error& error) {
        ThrowFrom(error);
    }
}

}  // namespace sourcesafe
