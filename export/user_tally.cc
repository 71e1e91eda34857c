#include "export/user_tally.h"

#include <QString>

#include <algorithm>
#include <array>

#include "export/csv_rows.h"
#include "export/json_lines_format.h"
#include "sourcesafe/automation_date.h"

namespace varnotte {
namespace {

std::string Folded(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()))
        .toCaseFolded()
        .toStdString();
}

}  // namespace

void UserTally::CountVersion(const TalliedVersion& version) {
    const VersionRecord& record = version.record;
    const std::string& storedIn = record.storedIn.empty() ? version.physical : record.storedIn;
    if (!counted_.FirstTime(storedIn, {}, record.version)) {
        return;
    }
    Tally& tally = byFoldedName_[Folded(record.user)];
    if (tally.versions == 0) {
        tally.name = record.user;
        tally.first = tally.last = record.date;
    }
    ++tally.versions;
    tally.first = std::min(tally.first, record.date);
    tally.last = std::max(tally.last, record.date);
}

std::vector<UserSummary> UserTally::Summaries(const sourcesafe::IVSSUsers& users) const {
    std::vector<UserSummary> summaries;
    std::vector<std::string> listed;
    const auto addCounts = [](UserSummary& summary, const Tally& tally) {
        summary.versions = tally.versions;
        summary.firstDate = tally.first;
        summary.lastDate = tally.last;
    };
    for (int i = 1; i <= users.Count(); ++i) {
        const sourcesafe::IVSSUser user = users.Item(i);
        std::string folded = Folded(user.Name());
        if (std::find(listed.begin(), listed.end(), folded) != listed.end()) {
            continue;  // a damaged user file may list a name twice
        }
        UserSummary summary;
        summary.name = user.Name();
        summary.listed = true;
        summary.readOnly = user.ReadOnly();
        if (const auto tally = byFoldedName_.find(folded); tally != byFoldedName_.end()) {
            addCounts(summary, tally->second);
        }
        summaries.push_back(std::move(summary));
        listed.push_back(std::move(folded));
    }
    for (const auto& [folded, tally] : byFoldedName_) {
        if (std::find(listed.begin(), listed.end(), folded) == listed.end()) {
            UserSummary summary;
            summary.name = tally.name;
            addCounts(summary, tally);
            summaries.push_back(std::move(summary));
        }
    }
    return summaries;
}

std::vector<std::string> UsersListedTwice(const sourcesafe::IVSSUsers& users) {
    std::map<std::string, int> seen;
    std::vector<std::string> twice;
    for (int i = 1; i <= users.Count(); ++i) {
        const std::string name = users.Item(i).Name();
        if (++seen[Folded(name)] == 2) {
            twice.push_back(name);
        }
    }
    return twice;
}

std::string UserCsvHeader(bool withHistory) {
    static constexpr std::array<std::string_view, 5> kColumns = {"user", "read_only", "versions",
                                                                 "first_date", "last_date"};
    return CsvRow(std::span<const std::string_view>(kColumns.data(), withHistory ? 5 : 2));
}

std::string UserCsvRow(const UserSummary& user, bool withHistory, DateStyle dates,
                       const sourcesafe::TimeZone* zone) {
    const std::string readOnly = !user.listed ? "" : user.readOnly ? "true" : "false";
    if (!withHistory) {
        const std::array<std::string_view, 2> values = {user.name, readOnly};
        return CsvRow(values);
    }
    const std::string versions = std::to_string(user.versions);
    const std::string first = user.versions > 0 ? FormatDate(user.firstDate, dates, zone) : "";
    const std::string last = user.versions > 0 ? FormatDate(user.lastDate, dates, zone) : "";
    const std::array<std::string_view, 5> values = {user.name, readOnly, versions, first, last};
    return CsvRow(values);
}

std::string UserJsonLine(const UserSummary& user, bool withHistory,
                         const sourcesafe::TimeZone* zone) {
    std::string json = "{\"user\":" + JsonString(user.name) +
                       ",\"listed\":" + (user.listed ? "true" : "false") + ",\"readOnly\":" +
                       (!user.listed    ? "null"
                        : user.readOnly ? "true"
                                        : "false");
    if (withHistory) {
        json += ",\"versions\":" + std::to_string(user.versions);
        if (user.versions > 0) {
            json += ",\"firstDate\":" +
                    JsonString(sourcesafe::FormatAutomationDateIso(user.firstDate, zone)) +
                    ",\"lastDate\":" +
                    JsonString(sourcesafe::FormatAutomationDateIso(user.lastDate, zone));
        } else {
            json += ",\"firstDate\":null,\"lastDate\":null";
        }
    }
    return json + "}";
}

}  // namespace varnotte
