#include "export/content_facts.h"

#include <array>

#include "export/utf8_text.h"

namespace varnotte {
namespace {

bool StartsWith(std::string_view bytes, std::string_view prefix) {
    return bytes.substr(0, prefix.size()) == prefix;
}

// What a byte says of the content it is in, looked up a byte at a time, so that a version
// is gone through once for both (NUL bytes were looked for before).
enum ByteClass : unsigned char { kPlain = 0, kHigh = 1, kBinaryControl = 2 };

constexpr std::array<unsigned char, 256> kByteClasses = [] {
    std::array<unsigned char, 256> classes{};
    // Control bytes that text in any code page the database may use does not hold (DOS
    // text may end in Ctrl-Z).
    for (unsigned byte = 0; byte < 0x20; ++byte) {
        if (byte != '\t' && byte != '\n' && byte != '\r' && byte != '\f' && byte != 0x1A &&
            byte != 0x1B) {
            classes[byte] = kBinaryControl;
        }
    }
    for (unsigned byte = 0x80; byte < 0x100; ++byte) {
        classes[byte] = kHigh;
    }
    return classes;
}();

// The kind of content VSS 2005 stores for a file (IVSSItem::StoredFileType), in the words
// of ContentTypeOf; empty when it stores none.
std::string_view StoredContentType(const std::string& stored) {
    for (const std::string_view type : {"binary", "text", "utf-8", "utf-16"}) {
        if (stored == type) {
            return type;
        }
    }
    return {};
}

}  // namespace

std::string_view ContentTypeOf(std::string_view bytes) {
    if (StartsWith(bytes, "\xFF\xFE") || StartsWith(bytes, "\xFE\xFF")) {
        return "utf-16";
    }
    if (StartsWith(bytes, "\xEF\xBB\xBF")) {
        return "utf-8";
    }
    if (bytes.find('\0') != std::string_view::npos) {
        return "binary";
    }
    unsigned char seen = kPlain;
    for (const char c : bytes) {
        seen |= kByteClasses[static_cast<unsigned char>(c)];
    }
    if ((seen & kHigh) != 0 && IsUtf8(bytes)) {
        return "utf-8";
    }
    return (seen & kBinaryControl) != 0 ? "binary" : "text";
}

const ContentFacts& ContentFactsCache::Of(const sourcesafe::IVSSItem& file) {
    const auto [at, added] = facts_.try_emplace(file.Physical());
    ContentFacts& facts = at->second;
    if (!added) {
        return facts;
    }
    const std::string_view stored = StoredContentType(file.StoredFileType());
    try {
        const sourcesafe::ContentCheck check =
            file.CheckContent([&](int version, std::string_view bytes) {
                // Versions come newest first.
                const bool wanted = types_ == Types::kEveryVersion ||
                                    (types_ == Types::kNewest && facts.versions.empty());
                std::string_view type = stored;
                if (type.empty() && wanted) {
                    type = ContentTypeOf(bytes);
                }
                facts.versions[version] = {static_cast<long long>(bytes.size()), type};
            });
        facts.storedBytes = check.storedBytes;
        facts.latestOnly = check.latestOnly;
        facts.notKept = check.notKept;
        facts.restoredDataFiles = check.restoredDataFiles;
    } catch (const sourcesafe::VssError& error) {
        facts.error = error;
    }
    return facts;
}

}  // namespace varnotte
