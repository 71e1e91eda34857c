// The stock-taking report's numbers, gathered over the walk that the exports run: counts
// per month, per user and per subtree, never one entry per version, so that a database of
// any size gives a report of about the same size.
//
// Like the user tally, the walk counts into it the items and versions it read whole; an
// item that failed half-way counts for nothing.
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "export/export_records.h"
#include "export/stored_versions.h"
#include "export/user_tally.h"
#include "export/walk_tally.h"

namespace varnotte {

// A month as year * 12 + (month - 1).
using MonthKey = int;

// A project at the first or second level below the reported one, with all that is in it.
struct SubtreeFacts {
    std::string spec;
    int level = 1;
    long long files = 0;
    long long size = 0;
    // Of everything in it, deleted items and itself included; the versions of a file in
    // several places count in the subtree where the walk met it first.
    long long versions = 0;
    double lastDate = 0;  // of those versions; 0 when none is dated
    std::map<MonthKey, long long> versionsPerMonth;
};

struct CheckoutFacts {
    std::string spec;
    CheckoutRecord checkout;
};

// A pinned, branched or shared file in one of its places.
struct PlaceFacts {
    std::string spec;
    int pinnedVersion = 0;
    sourcesafe::BranchSource branch;
    std::vector<std::string> links;  // shared files: the live entries that list it
};

struct LabelFacts {
    std::string label;
    std::string spec;
    std::string user;
    double date = 0;
};

struct ReportFacts {
    // Live projects below the reported one and live files; deleted entries (and
    // everything in a deleted project) apart.
    long long projects = 0;
    long long files = 0;
    long long deletedItems = 0;
    // Versions of files and entries of projects' histories, each stored version once (see
    // StoredVersions); removed labels are versions, not labels.
    long long fileVersions = 0;
    long long projectVersions = 0;
    long long projectLabels = 0;
    long long fileLabels = 0;
    long long checkedOutFiles = 0;
    long long checkouts = 0;
    long long pinnedFiles = 0;
    long long branchedFiles = 0;
    long long sharedFiles = 0;          // entries (each place of a file counts)
    long long sharedPhysicalFiles = 0;  // files, each once
    long long contentBytes = 0;         // current content of the live files
    long long missingContent = 0;
    long long undatedVersions = 0;
    double firstDate = 0;  // of the dated versions; 0 when there are none
    double lastDate = 0;

    std::map<MonthKey, long long> versionsPerMonth;
    // By the user's case-folded name.
    std::map<MonthKey, std::map<std::string, long long>> versionsPerMonthByUser;
    std::map<MonthKey, long long> labelsPerMonth;
    std::map<std::string, long long> checkoutsByUser;  // by the name as the checkout says
    std::vector<SubtreeFacts> subtrees;                // in the walk's order

    // The first kListLimit of each; the counts above say how many there are in all.
    std::vector<CheckoutFacts> checkoutList;
    std::vector<PlaceFacts> pinnedList;
    std::vector<PlaceFacts> branchedList;
    std::vector<PlaceFacts> sharedList;  // each file once, in the place met first
    std::vector<LabelFacts> projectLabelList;

    long long versions() const { return fileVersions + projectVersions; }
    long long labels() const { return projectLabels + fileLabels; }
};

inline constexpr std::size_t kListLimit = 200;
inline constexpr std::size_t kProjectLabelLimit = 2000;

MonthKey MonthOf(double automationDate);
// Whether the date is a real one: SourceSafe's seconds since 1970, not a zero left there.
bool IsDated(double automationDate);

class ReportTally : public WalkTally {
  public:
    // `rootSpec`: the project reported on ("$/" or "$/A").
    explicit ReportTally(std::string rootSpec);

    bool Detailed() const override { return true; }
    void CountItem(const ItemRecord& item) override;
    void CountVersion(const TalliedVersion& version) override;

    const ReportFacts& facts() const { return facts_; }
    const UserTally& users() const { return users_; }

  private:
    // The indices of the subtrees `spec` lies in (its own when it is one), at most two.
    const std::vector<std::size_t>& SubtreesOf(std::string_view spec);
    const std::string& Folded(const std::string& name);

    std::string rootSpec_;
    ReportFacts facts_;
    UserTally users_;
    std::unordered_map<std::string, std::size_t> subtreeIndex_;
    std::string subtreesSpec_;  // the spec SubtreesOf answered last; empty: none
    std::vector<std::size_t> subtreesOfSpec_;
    StoredVersions counted_;
    std::unordered_set<std::string> sharedPhysicals_;
    std::string lastName_;
    std::string lastFolded_;
};

}  // namespace varnotte
