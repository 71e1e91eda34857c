#include "export/content_facts.h"

#include <algorithm>

#include "export/utf8_text.h"

namespace varnotte {
namespace {

bool StartsWith(std::string_view bytes, std::string_view prefix) {
    return bytes.substr(0, prefix.size()) == prefix;
}

// A control byte that text in any code page the database may use does not hold (DOS
// text may end in Ctrl-Z).
bool IsBinaryControl(unsigned char byte) {
    return byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\r' && byte != '\f' &&
           byte != 0x1A && byte != 0x1B;
}

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
    const bool ascii = std::all_of(bytes.begin(), bytes.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (!ascii && IsUtf8(bytes)) {
        return "utf-8";
    }
    const bool control = std::any_of(bytes.begin(), bytes.end(), [](char c) {
        return IsBinaryControl(static_cast<unsigned char>(c));
    });
    return control ? "binary" : "text";
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
                const std::string_view type = stored.empty() ? ContentTypeOf(bytes) : stored;
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
