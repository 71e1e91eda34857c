#include "export/version_filter.h"

#include <QString>

#include <cmath>

#include "sourcesafe/vss_error.h"

namespace varnotte {
namespace {

// Dates compare in whole seconds, as they are stored.
long long Seconds(double automationDate) {
    return std::llround(automationDate * 86400.0);
}

std::string Folded(const std::string& text) {
    return QString::fromStdString(text).toCaseFolded().toStdString();
}

bool IsLabel(const sourcesafe::IVSSVersion& version) {
    return version.Details().code == "labeled";
}

// A label, or one its users removed: either way no version of the content to mark.
bool IsLabelRecord(const sourcesafe::IVSSVersion& version) {
    const std::string code = version.Details().code;
    return code == "labeled" || code == "label_removed";
}

// "$/A/b.txt" -> "$/A", "$/A" -> "$/", "$/" -> "".
std::string ParentSpec(const std::string& spec) {
    const std::size_t slash = spec.rfind('/');
    if (spec == "$/" || slash == std::string::npos) {
        return {};
    }
    return slash <= 1 ? std::string("$/") : spec.substr(0, slash);
}

}  // namespace

VersionFilter::VersionFilter(const sourcesafe::IVSSDatabase& database,
                             VersionFilterSettings settings)
    : database_(database), settings_(std::move(settings)) {
    for (const std::string& user : settings_.users) {
        foldedUsers_.push_back(Folded(user));
    }
}

bool VersionFilter::Active() const {
    return settings_.since || settings_.until || !settings_.users.empty() || settings_.label;
}

bool VersionFilter::MatchesLabel(const std::string& label) const {
    return Folded(label) == Folded(*settings_.label);
}

bool VersionFilter::MatchesUser(const std::string& user) const {
    const std::string folded = Folded(user);
    for (const std::string& wanted : foldedUsers_) {
        if (folded == wanted) {
            return true;
        }
    }
    return false;
}

std::vector<bool> VersionFilter::Select(const sourcesafe::IVSSItem& item,
                                        const std::vector<sourcesafe::IVSSVersion>& versions) {
    std::vector<bool> keep(versions.size(), true);
    if (settings_.label) {
        keep = LabelMarks(item, versions);
    }
    for (std::size_t i = 0; i < versions.size(); ++i) {
        if (!keep[i]) {
            continue;
        }
        const long long time = Seconds(versions[i].Date());
        if ((settings_.since && time < Seconds(*settings_.since)) ||
            (settings_.until && time > Seconds(*settings_.until)) ||
            (!foldedUsers_.empty() && !MatchesUser(versions[i].Username()))) {
            keep[i] = false;
        }
    }
    return keep;
}

std::vector<bool> VersionFilter::LabelMarks(const sourcesafe::IVSSItem& item,
                                            const std::vector<sourcesafe::IVSSVersion>& versions) {
    std::vector<bool> keep(versions.size(), false);
    std::vector<bool> label(versions.size(), false);
    std::vector<bool> live(versions.size(), false);
    for (std::size_t i = 0; i < versions.size(); ++i) {
        label[i] = IsLabelRecord(versions[i]);
        live[i] = label[i] && IsLabel(versions[i]);
    }
    // The nearest version at or after `from` (older) that is no label.
    const auto markFrom = [&](std::size_t from) {
        for (std::size_t j = from; j < versions.size(); ++j) {
            if (!label[j]) {
                keep[j] = true;
                return;
            }
        }
    };
    for (std::size_t i = 0; i < versions.size(); ++i) {
        if (live[i] && MatchesLabel(versions[i].Label())) {
            keep[i] = true;
            markFrom(i + 1);
        }
    }
    for (std::string project = ParentSpec(item.Spec()); !project.empty();
         project = ParentSpec(project)) {
        for (const long long labelTime : ProjectLabelTimes(project)) {
            for (std::size_t j = 0; j < versions.size(); ++j) {
                if (!label[j] && Seconds(versions[j].Date()) <= labelTime) {
                    keep[j] = true;
                    break;
                }
            }
        }
    }
    return keep;
}

const std::vector<long long>& VersionFilter::ProjectLabelTimes(const std::string& spec) {
    const auto known = projectLabels_.find(spec);
    if (known != projectLabels_.end()) {
        return known->second;
    }
    std::vector<long long> times;
    try {
        auto versions = database_.VSSItem(spec).Versions().NewEnum();
        sourcesafe::IVSSVersion version;
        while (versions.Next(version)) {
            if (IsLabel(version) && MatchesLabel(version.Label())) {
                times.push_back(Seconds(version.Date()));
            }
        }
    } catch (const sourcesafe::VssError&) {
        // A project that cannot be read marks nothing; the walk reports it where it goes.
    }
    return projectLabels_.emplace(spec, std::move(times)).first->second;
}

}  // namespace varnotte
