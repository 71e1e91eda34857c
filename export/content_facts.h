// What a file's content is, version by version, as rebuilding its history finds it
// (--check-content): each version's size and kind of content, what the history occupies,
// and what could not be rebuilt. The JSON Lines objects and the report's content section
// read the same facts, and each file is rebuilt once however many places list it.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "sourcesafe/vss_error.h"
#include "sourcesafe/vss_item.h"

namespace varnotte {

// The kind of content `bytes` hold: "utf-16" (a byte-order mark FF FE or FE FF), "utf-8"
// (the mark EF BB BF, or valid UTF-8 with a byte above 0x7F), "binary" (a NUL byte, or
// invalid UTF-8 with control bytes that text does not hold), else
// "text" (ASCII, or text in a single- or double-byte code page).
std::string_view ContentTypeOf(std::string_view bytes);

struct VersionContentFacts {
    long long size = 0;
    std::string_view contentType;  // see ContentTypeOf
};

struct ContentFacts {
    // The versions rebuilt, by number. The kind of content is the one VSS 2005 stores for
    // the file when it stores one, else what the bytes show; empty where it was not asked
    // for (ContentFactsCache::Types).
    std::map<int, VersionContentFacts> versions;
    long long storedBytes = 0;  // see ContentCheck::storedBytes; 0 when unknown
    bool latestOnly = false;
    std::string notKept;  // why the versions below the oldest rebuilt have no content
    std::vector<std::string> restoredDataFiles;
    // Why the content could not be rebuilt whole; the versions above the damage are kept.
    std::optional<sourcesafe::VssError> error;

    const VersionContentFacts* Newest() const {
        return versions.empty() ? nullptr : &versions.rbegin()->second;
    }
};

// Each file's facts, rebuilt the first time they are asked for (by its physical name) and
// kept until forgotten: a walk forgets a file once all of its rows are made, so that what
// is kept does not grow with the database (a file shared into another place is rebuilt
// there again).
class ContentFactsCache {
  public:
    // Which versions' kind of content is wanted: working it out reads every byte again, so
    // a check that shows only the newest's (the report) or none leaves the others empty.
    enum class Types { kNone, kNewest, kEveryVersion };
    explicit ContentFactsCache(Types types = Types::kEveryVersion) : types_(types) {}

    const ContentFacts& Of(const sourcesafe::IVSSItem& file);
    void Forget(const std::string& physical) { facts_.erase(physical); }

  private:
    Types types_;
    std::unordered_map<std::string, ContentFacts> facts_;
};

}  // namespace varnotte
