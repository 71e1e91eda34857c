// Errors of the format reader. Every failure carries a kind, which the automation layer
// maps onto SourceSafe result codes, and a message that names the physical file and what
// is wrong with it.
#pragma once

#include <stdexcept>
#include <string>

namespace vssdb {

enum class ErrorKind {
    kNotFound,      // srcsafe.ini, the data folder or a physical file is missing
    kUnreadable,    // the operating system refused to read a file
    kCorrupt,       // a file's bytes contradict the format
    kIncompatible,  // not a format-6 database
    kUserNotFound,
    kBadPassword,
    kItemNotFound,  // no item at that spec
    kInvalidArgument,
};

class Error : public std::runtime_error {
  public:
    Error(ErrorKind kind, const std::string& message) : std::runtime_error(message), kind_(kind) {}

    ErrorKind kind() const { return kind_; }

  private:
    ErrorKind kind_;
};

// "<file>: <what>" for damaged files; the offset, when known, goes into the message.
[[noreturn]] void ThrowCorrupt(const std::string& file, const std::string& what);
[[noreturn]] void ThrowCorruptAt(const std::string& file, std::size_t offset,
                                 const std::string& what);

}  // namespace vssdb
