// What a file's content is, version by version, as rebuilding its history finds it
// (--check-content): each version's size and kind of content, what the history occupies,
// and what could not be rebuilt. The JSON Lines objects and the report's content section
// read the same facts, and each file is rebuilt once however many places list it.
#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "export/walk_look_ahead.h"
#include "sourcesafe/content_reader.h"
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

class ContentRebuildPool;

// Each file's facts, rebuilt the first time they are asked for (by its physical name) and
// kept until forgotten: a walk forgets a file once all of its rows are made, so that what
// is kept does not grow with the database (a file shared into another place is rebuilt
// there again).
//
// With threads, files are rebuilt ahead of the walk: each child list the walk reads is
// handed in (Ahead), and the files it will reach next are rebuilt on the threads, a few
// for each thread at a time, while the walk goes on; Of then waits for a file under way.
// A file the walk reaches that was not queued is rebuilt by Of itself, so the facts, and
// the order in which the walk asks for them, are the same whatever the threads do.
class ContentFactsCache {
  public:
    // Which versions' kind of content is wanted: working it out reads every byte again, so
    // a check that shows only the newest's (the report) or none leaves the others empty.
    enum class Types { kNone, kNewest, kEveryVersion };
    // `threads` 0: every file is rebuilt on the walk's thread when it is asked for.
    explicit ContentFactsCache(Types types = Types::kEveryVersion, unsigned threads = 0);
    // Stops the rebuilds under way and waits for them.
    ~ContentFactsCache();
    ContentFactsCache(const ContentFactsCache&) = delete;
    ContentFactsCache& operator=(const ContentFactsCache&) = delete;

    // A thread for each core, at least one.
    static unsigned EveryCore();

    // The walk read `project`'s child list and visits its items next.
    void Ahead(const sourcesafe::IVSSItem& project, const sourcesafe::IVSSItems& children);
    const ContentFacts& Of(const sourcesafe::IVSSItem& file);
    void Forget(const std::string& physical) { facts_.erase(physical); }

  private:
    // Queues the files the walk reaches next while there is room.
    void QueueAhead();

    Types types_;
    std::unordered_map<std::string, ContentFacts> facts_;
    sourcesafe::ContentReader reader_;  // the walk's thread's own
    WalkLookAhead lookAhead_;
    std::size_t aheadLimit_ = 0;  // files queued, under way or done and not yet asked for
    std::unique_ptr<ContentRebuildPool> pool_;  // null without threads
};

}  // namespace varnotte
