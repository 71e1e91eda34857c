#include "codepage/text_decoder.h"

#include <iconv.h>

#include <cerrno>
#include <string>

namespace codepage {
namespace {

const iconv_t kNoHandle = reinterpret_cast<iconv_t>(-1);
constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";

// A cleared conversion state, so that nothing left over from an earlier call (a shift
// state, or a character CP1255 and CP1258 hold back for a combining mark) leaks in.
void ResetState(iconv_t cd) {
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
}

// Converts as much of `in` as iconv accepts, appending to `out`. Returns the number of
// bytes consumed; less than `in.size()` means an invalid or incomplete sequence starts
// there. `irreversible` receives the count of lossy substitutions iconv made.
std::size_t ConvertUntilInvalid(iconv_t cd, std::string_view in, std::string& out,
                                std::size_t* irreversible = nullptr) {
    char* inPtr = const_cast<char*>(in.data());
    std::size_t inLeft = in.size();
    while (true) {
        const std::size_t used = out.size();
        const std::size_t room = inLeft * 4 + 16;
        out.resize(used + room);
        char* outPtr = out.data() + used;
        std::size_t outLeft = room;
        const std::size_t result = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
        const int error = errno;
        out.resize(used + room - outLeft);
        if (result != static_cast<std::size_t>(-1)) {
            if (irreversible != nullptr) {
                *irreversible += result;
            }
            break;
        }
        if (error != E2BIG) {
            break;
        }
    }
    return in.size() - inLeft;
}

// As ConvertUntilInvalid, but through a fixed buffer, so that a call costs what it converts
// rather than what is left of `in`: ToUtf8 calls it again after every bad byte. Lossy
// substitutions are not counted.
std::size_t DecodeUntilInvalid(iconv_t cd, std::string_view in, std::string& out) {
    char* inPtr = const_cast<char*>(in.data());
    std::size_t inLeft = in.size();
    char buffer[1024];
    while (true) {
        char* outPtr = buffer;
        std::size_t outLeft = sizeof buffer;
        const std::size_t result = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
        const int error = errno;
        out.append(buffer, sizeof buffer - outLeft);
        if (result != static_cast<std::size_t>(-1) || error != E2BIG) {
            return in.size() - inLeft;
        }
    }
}

// Writes out what the converter still holds (see ResetState) and clears its state.
void Flush(iconv_t cd, std::string& out) {
    char buffer[32];
    char* outPtr = buffer;
    std::size_t outLeft = sizeof buffer;
    iconv(cd, nullptr, nullptr, &outPtr, &outLeft);
    out.append(buffer, sizeof buffer - outLeft);
}

}  // namespace

bool IsAscii(std::string_view bytes) {
    for (char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            return false;
        }
    }
    return true;
}

struct TextDecoder::Handles {
    iconv_t toUtf8 = kNoHandle;
    iconv_t fromUtf8 = kNoHandle;

    Handles() = default;
    Handles(const Handles&) = delete;
    Handles& operator=(const Handles&) = delete;
    ~Handles() {
        if (toUtf8 != kNoHandle) {
            iconv_close(toUtf8);
        }
        if (fromUtf8 != kNoHandle) {
            iconv_close(fromUtf8);
        }
    }
};

std::string IconvNameForCodePage(int codePage) {
    if (codePage == 65001) {
        return "UTF-8";
    }
    return "CP" + std::to_string(codePage);
}

TextDecoder::TextDecoder(int codePage)
    : codePage_(codePage), handles_(std::make_unique<Handles>()) {
    const std::string name = IconvNameForCodePage(codePage);
    if (codePage > 0) {
        handles_->toUtf8 = iconv_open("UTF-8", name.c_str());
        handles_->fromUtf8 = iconv_open(name.c_str(), "UTF-8");
    }
    if (handles_->toUtf8 == kNoHandle || handles_->fromUtf8 == kNoHandle) {
        throw UnsupportedCodePage("code page " + std::to_string(codePage) +
                                  " is not supported by iconv");
    }
    // ASCII is passed through untouched, which is only right for pages that agree with it
    // (not EBCDIC, not UTF-16).
    std::string ascii;
    for (int c = 1; c < 0x80; ++c) {
        ascii.push_back(static_cast<char>(c));
    }
    std::string decoded;
    ResetState(handles_->toUtf8);
    const bool complete = ConvertUntilInvalid(handles_->toUtf8, ascii, decoded) == ascii.size();
    Flush(handles_->toUtf8, decoded);
    if (!complete || decoded != ascii) {
        throw UnsupportedCodePage("code page " + std::to_string(codePage) +
                                  " does not extend ASCII");
    }
}

TextDecoder::~TextDecoder() = default;

std::string TextDecoder::ToUtf8(std::string_view bytes) const {
    if (IsAscii(bytes)) {
        return std::string(bytes);
    }
    const iconv_t cd = handles_->toUtf8;
    ResetState(cd);
    std::string out;
    out.reserve(bytes.size() * 3);
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        pos += DecodeUntilInvalid(cd, bytes.substr(pos), out);
        if (pos < bytes.size()) {
            // Keep what came before the bad byte, then resynchronise on the next one.
            Flush(cd, out);
            out.append(kReplacementCharacter);
            ++pos;
        }
    }
    Flush(cd, out);
    return out;
}

std::optional<std::string> TextDecoder::FromUtf8(std::string_view utf8) const {
    if (IsAscii(utf8)) {
        return std::string(utf8);
    }
    const iconv_t cd = handles_->fromUtf8;
    ResetState(cd);
    std::string out;
    out.reserve(utf8.size() + 8);
    std::size_t irreversible = 0;
    if (ConvertUntilInvalid(cd, utf8, out, &irreversible) != utf8.size() || irreversible != 0) {
        return std::nullopt;  // bad UTF-8, or a character the code page lacks
    }
    Flush(cd, out);
    // iconv also maps some characters to a look-alike without saying so (U+00A5 to the
    // backslash in CP932); those do not read back. CP1255 and CP1258 recompose combining
    // marks when reading, so their round trip legitimately differs.
    if (codePage_ != 1255 && codePage_ != 1258 && ToUtf8(out) != utf8) {
        return std::nullopt;
    }
    return out;
}

bool TextDecoder::CanDecode(std::string_view bytes) const {
    if (IsAscii(bytes)) {
        return true;
    }
    const iconv_t cd = handles_->toUtf8;
    ResetState(cd);
    char buffer[512];
    char* inPtr = const_cast<char*>(bytes.data());
    std::size_t inLeft = bytes.size();
    while (inLeft > 0) {
        char* outPtr = buffer;
        std::size_t outLeft = sizeof buffer;
        if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<std::size_t>(-1)) {
            break;
        }
        if (errno != E2BIG) {
            return false;
        }
    }
    ResetState(cd);
    return true;
}

}  // namespace codepage
