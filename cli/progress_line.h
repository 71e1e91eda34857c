// One line of progress on a terminal, rewritten in place: a count and the item being
// worked on, at most ten times a second. It is shown only where the program was told to
// (standard error is a terminal); a message printed meanwhile clears it first.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdio>
#include <string>

namespace varnotte {

class ProgressLine {
  public:
    ProgressLine(std::FILE* out, bool enabled) : out_(out), enabled_(enabled) {}

    // "<count> <noun>  <spec>", the spec cut from the left (between characters) to fit.
    void Show(std::size_t count, const char* noun, const std::string& spec);
    // Takes the line away, if one is shown, so that the next output starts clean.
    void Clear();

  private:
    std::FILE* out_;
    bool enabled_;
    bool shown_ = false;
    std::chrono::steady_clock::time_point last_{};
};

}  // namespace varnotte
