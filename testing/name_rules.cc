#include "testing/name_rules.h"

#include <algorithm>

#include "vssdb/item_header_format.h"
#include "vssdb/name_format.h"

namespace vsstest {

namespace {

constexpr std::size_t kDosStemSize = 8;
constexpr std::size_t kDosAliasStemSize = 6;
constexpr std::size_t kDosExtensionSize = 3;
constexpr std::size_t kMacNameSize = 31;
constexpr std::string_view kDosForbidden = " \"*+,/:;<=>?[\\]|";

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}
char UpperAscii(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool IsDosCharacter(char c) {
    return static_cast<unsigned char>(c) >= 0x20 && kDosForbidden.find(c) == std::string_view::npos;
}

// Aliases start from the short field's form (spaces as '_', "New_Te~1.txt"); dots go and
// other characters DOS cannot hold become '_'.
std::string DosAliasText(std::string_view text, std::size_t limit) {
    std::string out;
    for (char c : text) {
        if (out.size() == limit) {
            break;
        }
        if (c == '.') {
            continue;
        }
        out.push_back(IsDosCharacter(c) ? c : '_');
    }
    return out;
}

}  // namespace

std::string ShortNameField(std::string_view name) {
    const std::size_t firstKept = std::min(name.find_first_not_of('.'), name.size());
    std::string out(name.substr(firstKept, vssdb::name_format::kShortNameSize - 1));
    std::replace(out.begin(), out.end(), ' ', '_');
    return out;
}

bool IsDosName(std::string_view name) {
    if (name.empty() || !std::all_of(name.begin(), name.end(), IsDosCharacter)) {
        return false;
    }
    const std::size_t dot = name.find('.');
    if (dot == std::string_view::npos) {
        return name.size() <= kDosStemSize;
    }
    const std::string_view extension = name.substr(dot + 1);
    return dot > 0 && dot <= kDosStemSize && !extension.empty() &&
           extension.size() <= kDosExtensionSize && extension.find('.') == std::string_view::npos;
}

DosAliasParts DosAliasPartsOf(std::string_view name) {
    const std::size_t firstKept = std::min(name.find_first_not_of('.'), name.size());
    const std::string_view trimmed = name.substr(firstKept);
    const std::size_t dot = trimmed.rfind('.');
    if (dot == std::string_view::npos) {
        return {DosAliasText(trimmed, kDosAliasStemSize), {}};
    }
    return {DosAliasText(trimmed.substr(0, dot), kDosAliasStemSize),
            DosAliasText(trimmed.substr(dot + 1), kDosExtensionSize)};
}

std::string DosAlias(const DosAliasParts& parts, int number) {
    std::string suffix = "~";  // appended, not "~" + ...: GCC 12 -O3 warns falsely on that
    suffix += std::to_string(number);
    // Larger numbers eat into the stem so that the whole stays 8 bytes.
    const std::size_t stemSize = kDosStemSize > suffix.size() ? kDosStemSize - suffix.size() : 0;
    std::string alias = parts.stem.substr(0, std::min(stemSize, parts.stem.size())) + suffix;
    if (!parts.extension.empty()) {
        alias += "." + parts.extension;
    }
    return alias;
}

std::string MacName(std::string_view name) {
    if (name.size() <= kMacNameSize) {
        return std::string(name);
    }
    constexpr std::string_view kMarker = "~1";
    const std::size_t dot = name.rfind('.');
    std::string_view extension;
    if (dot != std::string_view::npos && dot > 0 &&
        name.size() - dot + kMarker.size() < kMacNameSize) {
        extension = name.substr(dot);
    }
    const std::size_t stemSize = kMacNameSize - kMarker.size() - extension.size();
    return std::string(name.substr(0, stemSize)) + std::string(kMarker) + std::string(extension);
}

std::string AsciiLower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), LowerAscii);
    return out;
}

std::string AsciiUpper(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), UpperAscii);
    return out;
}

bool LessIgnoringCase(std::string_view a, std::string_view b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return static_cast<unsigned char>(LowerAscii(x)) <
               static_cast<unsigned char>(LowerAscii(y));
    });
}

std::string PhysicalNameAt(std::uint32_t index) {
    std::string name(vssdb::item_header_format::kPhysicalNameSize, 'A');
    for (char& letter : name) {
        letter = static_cast<char>('A' + index % 26);
        index /= 26;
    }
    return name;
}

}  // namespace vsstest
