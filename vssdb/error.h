// Errors of the format reader. Every failure carries a kind, which the automation layer
// maps onto SourceSafe result codes, and a message that names the physical file and what
// is wrong with it. The file, and where in it when known, are fields as well: callers that
// list them apart never take the message apart.
#pragma once

#include <cstddef>
#include <optional>
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
    // An error of no one file (a login, a spec, an argument): the message is the reason.
    Error(ErrorKind kind, const std::string& message)
        : std::runtime_error(message), kind_(kind), reason_(message) {}
    // An error of the file at `file`: "<file>: <what>", and " (at offset 0x1a0)" after it
    // when `offset` is given.
    Error(ErrorKind kind, const std::string& file, const std::string& what,
          std::optional<std::size_t> offset = std::nullopt);

    ErrorKind kind() const { return kind_; }
    // The file the error is about; empty when it is about none.
    const std::string& file() const { return file_; }
    // Where in that file, when known.
    std::optional<std::size_t> offset() const { return offset_; }
    // The message without the file's name in front: what is wrong, and where.
    const std::string& reason() const { return reason_; }
    // The same error, of another kind.
    Error AsKind(ErrorKind kind) const {
        Error copy = *this;
        copy.kind_ = kind;
        return copy;
    }

  private:
    ErrorKind kind_;
    std::string file_;
    std::optional<std::size_t> offset_;
    std::string reason_;
};

[[noreturn]] void ThrowCorrupt(const std::string& file, const std::string& what);
[[noreturn]] void ThrowCorruptAt(const std::string& file, std::size_t offset,
                                 const std::string& what);

}  // namespace vssdb
