// The exception every failing automation call raises.
#pragma once

#include <stdexcept>
#include <string>
#include <utility>

#include "sourcesafe/result_codes.h"
#include "vssdb/error.h"

namespace sourcesafe {

class VssError : public std::runtime_error {
  public:
    VssError(HRESULT code, const std::string& message)
        : std::runtime_error(message), code_(code), reason_(message) {}
    // A reader error about one of the database's files, which `file` names.
    VssError(HRESULT code, const std::string& message, std::string file, std::string reason)
        : std::runtime_error(message),
          code_(code),
          file_(std::move(file)),
          reason_(std::move(reason)) {}

    HRESULT code() const { return code_; }
    // The database's file the error is about; empty when it is about none.
    const std::string& file() const { return file_; }
    // The message without the file's name in front.
    const std::string& reason() const { return reason_; }

  private:
    HRESULT code_;
    std::string file_;
    std::string reason_;
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
