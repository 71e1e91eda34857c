#include "cli/progress_line.h"

#include "export/utf8_text.h"

namespace varnotte {
namespace {

constexpr auto kInterval = std::chrono::milliseconds(100);
constexpr std::size_t kWidest = 60;

}  // namespace

void ProgressLine::Show(std::size_t count, const char* noun, const std::string& spec) {
    if (!enabled_) {
        return;
    }
    const auto now = std::chrono::steady_clock::now();
    if (now - last_ < kInterval) {
        return;
    }
    last_ = now;
    // Names, specs and paths are printed as they are stored; none may steer the terminal.
    std::string shown = PrintableText(spec);
    if (shown.size() > kWidest) {
        std::size_t cut = shown.size() - (kWidest - 3);
        while (cut < shown.size() && (static_cast<unsigned char>(shown[cut]) & 0xC0) == 0x80) {
            ++cut;
        }
        shown = "..." + shown.substr(cut);
    }
    std::fprintf(out_, "\r\033[K%zu %s  %s", count, noun, shown.c_str());
    std::fflush(out_);
    shown_ = true;
}

void ProgressLine::Clear() {
    if (shown_) {
        std::fputs("\r\033[K", out_);
        std::fflush(out_);
        shown_ = false;
    }
}

}  // namespace varnotte
