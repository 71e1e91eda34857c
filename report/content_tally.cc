#include "report/content_tally.h"

#include <algorithm>

#include "report/report_tally.h"

namespace varnotte {
namespace {

// Keeps the kLargestListed largest, biggest first; of equal sizes the one met first.
void KeepLargest(std::vector<FileBytes>& largest, const std::string& spec, long long bytes) {
    if (largest.size() == kLargestListed && bytes <= largest.back().bytes) {
        return;
    }
    const auto at = std::upper_bound(
        largest.begin(), largest.end(), bytes,
        [](long long value, const FileBytes& listed) { return value > listed.bytes; });
    largest.insert(at, {spec, bytes});
    if (largest.size() > kLargestListed) {
        largest.pop_back();
    }
}

}  // namespace

void ContentTally::Add(const std::string& spec, bool binaryFlag, const ContentFacts& content) {
    ++facts_.files;
    facts_.versions += static_cast<long long>(content.versions.size());
    facts_.historyBytes += content.storedBytes;
    facts_.restoredFiles += content.restoredDataFiles.empty() ? 0 : 1;
    const std::string why = content.error ? content.error->what() : content.notKept;
    if (!why.empty() && facts_.notWhole++ < static_cast<long long>(kListLimit)) {
        facts_.notWholeList.push_back({spec, why});
    }
    if (content.latestOnly && facts_.latestOnly++ < static_cast<long long>(kListLimit)) {
        facts_.latestOnlyList.push_back(spec);
    }
    KeepLargest(facts_.largestHistories, spec, content.storedBytes);
    if (const VersionContentFacts* newest = content.Newest()) {
        KeepLargest(facts_.largestFiles, spec, newest->size);
        ++facts_.claimedAndFound[binaryFlag ? "binary" : "text"][std::string(newest->contentType)];
    }
}

}  // namespace varnotte
