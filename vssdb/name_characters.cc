#include "vssdb/name_characters.h"

#include <cstdio>

namespace vssdb {
namespace {

constexpr std::string_view kForbidden = "/\\:*?\"<>|";

// Bytes below 0x80 only: UTF-8 never uses them inside a longer character.
bool IsForbidden(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F || kForbidden.find(c) != std::string_view::npos;
}

std::string Hex(char c) {
    char text[8];
    std::snprintf(text, sizeof text, "%02X", static_cast<unsigned char>(c));
    return text;
}

}  // namespace

std::optional<char> ForbiddenNameCharacter(std::string_view name) {
    for (const char c : name) {
        if (IsForbidden(c)) {
            return c;
        }
    }
    return std::nullopt;
}

std::string EscapeForbiddenNameCharacters(std::string_view name) {
    std::string out;
    out.reserve(name.size());
    for (const char c : name) {
        if (IsForbidden(c)) {
            out += "\\x" + Hex(c);
        } else {
            out += c;
        }
    }
    return out;
}

std::string DescribeNameCharacter(char c) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) {
        return "control character 0x" + Hex(c);
    }
    return c == '"' ? std::string("'\"'") : std::string("\"") + c + "\"";
}

}  // namespace vssdb
