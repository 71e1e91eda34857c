// The password that --password-stdin reads: the first line of standard input.
#pragma once

#include <QString>

#include <cstddef>
#include <cstdio>
#include <string>

namespace varnotte::cli {

// Far beyond any password (SourceSafe compares the first 15 bytes), and small enough that
// an endless stream cannot fill the memory.
inline constexpr std::size_t kMaxPasswordLine = 64 * 1024;

// Reads the first line of `in` into `password`, without its CR LF or LF; a last line
// without a line end counts. Returns false with `error` set when `in` ends before giving
// a single byte (no line at all: an empty line is an empty password) or the line is
// longer than kMaxPasswordLine. Reads no further than that.
bool ReadPasswordLine(std::FILE* in, std::string& password, QString& error);

}  // namespace varnotte::cli
