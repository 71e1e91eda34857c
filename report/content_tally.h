// The report's content section: what rebuilding every version of every file found
// (--check-content), summed up so that its size does not grow with the database's.
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <vector>

#include "export/content_facts.h"

namespace varnotte {

struct FileBytes {
    std::string spec;
    long long bytes = 0;
};

struct FileWhy {
    std::string spec;
    std::string why;
};

struct ContentReportFacts {
    long long files = 0;         // files whose content was rebuilt (each physical file once)
    long long versions = 0;      // versions rebuilt
    long long historyBytes = 0;  // what their histories occupy on disk
    long long restoredFiles = 0;
    // Files whose content cannot be rebuilt whole: damaged, or older versions not kept.
    long long notWhole = 0;
    std::vector<FileWhy> notWholeList;  // the first kListLimit
    long long latestOnly = 0;
    std::vector<std::string> latestOnlyList;  // the first kListLimit
    // The largest, biggest first: the newest version's size, and what the history occupies.
    std::vector<FileBytes> largestFiles;
    std::vector<FileBytes> largestHistories;
    // Files by what the database says (its binary flag: "binary" or "text") and by what
    // their newest version holds (ContentTypeOf, or the type VSS 2005 stores).
    std::map<std::string, std::map<std::string, long long>> claimedAndFound;
};

inline constexpr std::size_t kLargestListed = 10;

class ContentTally {
  public:
    // A file the walk reached, `binaryFlag` as the database stores it.
    void Add(const std::string& spec, bool binaryFlag, const ContentFacts& content);

    const ContentReportFacts& facts() const { return facts_; }

  private:
    ContentReportFacts facts_;
};

}  // namespace varnotte
