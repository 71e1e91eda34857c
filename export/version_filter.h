// Which version rows an export keeps: a date range, the users who wrote them, a label.
//
// Filters choose versions only; every item row stays. A label keeps the label's own
// version and the version it marks: for a label on the item itself, the item's version
// just before the label; for a label on a project above the item, the item's newest
// version at the label's time (what getting that label from the project gives).
#pragma once

#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "sourcesafe/vss_database.h"

namespace varnotte {

struct VersionFilterSettings {
    std::optional<double> since;  // automation dates, both ends included
    std::optional<double> until;
    std::vector<std::string> users;    // any of them; letter case ignored
    std::optional<std::string> label;  // letter case ignored
};

class VersionFilter {
  public:
    VersionFilter(const sourcesafe::IVSSDatabase& database, VersionFilterSettings settings);

    // Whether any filter is set; when none is, every version is kept.
    bool Active() const;

    // Of the versions of `item` (newest first, all of them), which to keep.
    std::vector<bool> Select(const sourcesafe::IVSSItem& item,
                             const std::vector<sourcesafe::IVSSVersion>& versions);

  private:
    bool MatchesLabel(const std::string& label) const;
    bool MatchesUser(const std::string& user) const;
    std::vector<bool> LabelMarks(const sourcesafe::IVSSItem& item,
                                 const std::vector<sourcesafe::IVSSVersion>& versions);
    // The dates of the matching labels in the history of the project at `spec`.
    const std::vector<long long>& ProjectLabelTimes(const std::string& spec);

    const sourcesafe::IVSSDatabase& database_;
    VersionFilterSettings settings_;
    std::vector<std::string> foldedUsers_;
    std::unordered_map<std::string, std::vector<long long>> projectLabels_;
};

}  // namespace varnotte
