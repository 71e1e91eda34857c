#include "report/report_tally.h"

#include <QString>

#include <algorithm>
#include <utility>

#include "sourcesafe/automation_date.h"

namespace varnotte {
namespace {

// 1970-01-01 00:00:00: what a stored time of zero becomes.
constexpr double kUnixEpoch = 25569.0;

void Widen(double date, double& first, double& last) {
    if (first == 0 || date < first) {
        first = date;
    }
    last = std::max(last, date);
}

}  // namespace

MonthKey MonthOf(double automationDate) {
    const sourcesafe::CivilTime time = sourcesafe::CivilTimeFromAutomationDate(automationDate);
    return time.year * 12 + time.month - 1;
}

bool IsDated(double automationDate) {
    return automationDate > kUnixEpoch;
}

ReportTally::ReportTally(std::string rootSpec) : rootSpec_(std::move(rootSpec)) {
    if (rootSpec_.size() > 2 && rootSpec_.back() == '/') {
        rootSpec_.pop_back();
    }
}

void ReportTally::CountItem(const ItemRecord& item) {
    if (item.deleted) {
        ++facts_.deletedItems;
        return;
    }
    if (item.project) {
        ++facts_.projects;
        const std::string_view below = std::string_view(item.spec).substr(
            std::min(item.spec.size(), rootSpec_.size() + (rootSpec_ == "$/" ? 0 : 1)));
        const long level = 1 + std::count(below.begin(), below.end(), '/');
        if (level <= 2 && subtreeIndex_.emplace(item.spec, facts_.subtrees.size()).second) {
            SubtreeFacts subtree;
            subtree.spec = item.spec;
            subtree.level = static_cast<int>(level);
            facts_.subtrees.push_back(std::move(subtree));
            subtreesSpec_.clear();  // a new subtree may take in what was asked last
        }
        return;
    }
    ++facts_.files;
    if (item.size >= 0) {
        facts_.contentBytes += item.size;
    } else {
        ++facts_.missingContent;
    }
    for (const std::size_t index : SubtreesOf(item.spec)) {
        SubtreeFacts& subtree = facts_.subtrees[index];
        ++subtree.files;
        subtree.size += std::max(item.size, 0LL);
    }
    const auto keep = [&](std::vector<PlaceFacts>& list, std::vector<std::string> links = {}) {
        if (list.size() < kListLimit) {
            list.push_back({item.spec, item.pinnedVersion, item.branch, std::move(links)});
        }
    };
    if (item.pinnedVersion != 0) {
        ++facts_.pinnedFiles;
        keep(facts_.pinnedList);
    }
    if (!item.branch.physical.empty()) {
        ++facts_.branchedFiles;
        keep(facts_.branchedList);
    }
    if (item.links.size() > 1) {
        ++facts_.sharedFiles;
        if (sharedPhysicals_.insert(item.physical).second) {
            ++facts_.sharedPhysicalFiles;
            keep(facts_.sharedList, item.links);
        }
    }
    if (!item.checkouts.empty()) {
        ++facts_.checkedOutFiles;
    }
    for (const CheckoutRecord& checkout : item.checkouts) {
        ++facts_.checkouts;
        ++facts_.checkoutsByUser[checkout.user];
        if (facts_.checkoutList.size() < kListLimit) {
            facts_.checkoutList.push_back({item.spec, checkout});
        }
    }
}

void ReportTally::CountVersion(const TalliedVersion& version) {
    const VersionRecord& record = version.record;
    const bool dated = IsDated(record.date);
    const MonthKey month = dated ? MonthOf(record.date) : 0;
    if (!counted_.FirstTime(version.physical, record.storedIn, record.version)) {
        return;
    }

    // A file in several places counts where the walk meets it first.
    for (const std::size_t index : SubtreesOf(version.spec)) {
        SubtreeFacts& subtree = facts_.subtrees[index];
        ++subtree.versions;
        if (dated) {
            subtree.lastDate = std::max(subtree.lastDate, record.date);
            ++subtree.versionsPerMonth[month];
        }
    }

    ++(version.project ? facts_.projectVersions : facts_.fileVersions);
    users_.CountVersion(version);
    const bool label = record.details.code == "labeled";
    if (label) {
        ++(version.project ? facts_.projectLabels : facts_.fileLabels);
        if (version.project && facts_.projectLabelList.size() < kProjectLabelLimit) {
            facts_.projectLabelList.push_back(
                {record.label, version.spec, record.user, record.date});
        }
    }
    if (!dated) {
        ++facts_.undatedVersions;
        return;
    }
    Widen(record.date, facts_.firstDate, facts_.lastDate);
    ++facts_.versionsPerMonth[month];
    ++facts_.versionsPerMonthByUser[month][Folded(record.user)];
    if (label) {
        ++facts_.labelsPerMonth[month];
    }
}

const std::vector<std::size_t>& ReportTally::SubtreesOf(std::string_view spec) {
    // A file's versions and its row come one after another: the answer is kept for them.
    if (spec == subtreesSpec_) {
        return subtreesOfSpec_;
    }
    subtreesSpec_ = spec;
    subtreesOfSpec_.clear();
    const bool below = spec.size() > rootSpec_.size() + 1 &&
                       spec.substr(0, rootSpec_.size()) == rootSpec_ &&
                       (rootSpec_ == "$/" || spec[rootSpec_.size()] == '/');
    if (!below) {
        return subtreesOfSpec_;
    }
    // The first two names below the root, each tried as a subtree.
    std::size_t end = rootSpec_ == "$/" ? 2 : rootSpec_.size() + 1;
    for (int level = 1; level <= 2 && end <= spec.size(); ++level) {
        end = spec.find('/', end);
        if (const auto found = subtreeIndex_.find(std::string(spec.substr(0, end)));
            found != subtreeIndex_.end()) {
            subtreesOfSpec_.push_back(found->second);
        }
        if (end == std::string_view::npos) {
            break;
        }
        ++end;
    }
    return subtreesOfSpec_;
}

const std::string& ReportTally::Folded(const std::string& name) {
    if (name != lastName_ || lastFolded_.empty()) {
        lastName_ = name;
        lastFolded_ = QString::fromStdString(name).toCaseFolded().toStdString();
    }
    return lastFolded_;
}

}  // namespace varnotte
