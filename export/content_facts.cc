#include "export/content_facts.h"

#include <algorithm>
#include <array>
#include <functional>
#include <thread>
#include <utility>

#include "export/content_rebuild_pool.h"
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

namespace {

// Files queued for each thread: enough that a thread finds the next one as it finishes
// one, while the walk waits for a large file ahead of them.
constexpr unsigned kQueuedPerThread = 4;

ContentFacts Rebuild(sourcesafe::ContentReader& reader, const ContentRebuildPool::Job& job,
                     ContentFactsCache::Types types, const std::function<bool()>& stop) {
    using Types = ContentFactsCache::Types;
    ContentFacts facts;
    const std::string_view stored = StoredContentType(job.storedType);
    try {
        const sourcesafe::ContentCheck check =
            reader.Check(job.source, [&](int version, std::string_view bytes) {
                // Versions come newest first.
                const bool wanted = types == Types::kEveryVersion ||
                                    (types == Types::kNewest && facts.versions.empty());
                std::string_view type = stored;
                if (type.empty() && wanted) {
                    type = ContentTypeOf(bytes);
                }
                facts.versions[version] = {static_cast<long long>(bytes.size()), type};
                return !stop();
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

}  // namespace

ContentFactsCache::ContentFactsCache(Types types, unsigned threads) : types_(types) {
    if (threads > 0) {
        aheadLimit_ = std::size_t{threads} * kQueuedPerThread;
        pool_ = std::make_unique<ContentRebuildPool>(
            threads, [types](sourcesafe::ContentReader& reader, const ContentRebuildPool::Job& job,
                             const std::function<bool()>& stop) {
                return Rebuild(reader, job, types, stop);
            });
    }
}

ContentFactsCache::~ContentFactsCache() = default;

unsigned ContentFactsCache::EveryCore() {
    return std::max(1U, std::thread::hardware_concurrency());
}

void ContentFactsCache::Ahead(const sourcesafe::IVSSItem& project,
                              const sourcesafe::IVSSItems& children) {
    if (!pool_) {
        return;
    }
    if (!lookAhead_.ListRead(project, children)) {
        pool_->Clear();  // what was queued for another walk, or another place
    }
    QueueAhead();
}

void ContentFactsCache::QueueAhead() {
    while (pool_->Size() < aheadLimit_) {
        const std::optional<sourcesafe::IVSSItem> file = lookAhead_.Next();
        if (!file) {
            return;
        }
        try {
            pool_->Add({file->ContentSourceOf(), file->StoredFileType()});
        } catch (const sourcesafe::VssError&) {
            // Of says so when the walk gets there.
        }
    }
}

const ContentFacts& ContentFactsCache::Of(const sourcesafe::IVSSItem& file) {
    const std::string physical = file.Physical();
    if (const auto known = facts_.find(physical); known != facts_.end()) {
        return known->second;
    }
    const std::string storedType = file.StoredFileType();
    std::optional<ContentFacts> facts;
    if (pool_) {
        facts = pool_->Take(physical, storedType, reader_);
        if (!facts) {
            lookAhead_.Reached(file);
        }
    }
    if (!facts) {
        try {
            facts = Rebuild(reader_, {file.ContentSourceOf(), storedType}, types_,
                            [] { return false; });
        } catch (const sourcesafe::VssError& error) {
            facts.emplace().error = error;
        }
    }
    if (pool_) {
        QueueAhead();
    }
    return facts_.emplace(physical, std::move(*facts)).first->second;
}

}  // namespace varnotte
