// The users of a database and, counted over a walk's versions, how many versions each
// wrote and when they wrote the first and the last: the start of a map from SourceSafe
// users to the authors of another system.
//
// The walk counts into it every version of an item that was read whole; an item that
// failed half-way counts for nothing.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "export/row_format.h"
#include "export/stored_versions.h"
#include "export/walk_tally.h"
#include "sourcesafe/vss_user.h"

namespace varnotte {

struct UserSummary {
    std::string name;
    bool listed = false;  // a user of the database (not only a name in the history)
    bool readOnly = false;
    long long versions = 0;
    double firstDate = 0;  // automation dates; meaningful when versions > 0
    double lastDate = 0;
};

class UserTally : public WalkTally {
  public:
    bool Detailed() const override { return false; }
    void CountItem(const ItemRecord&) override {}
    // A stored version met again (a shared file in its next place, a branched file's
    // versions of its source) counts once.
    void CountVersion(const TalliedVersion& version) override;

    // The database's users in its order, each name once (letter case ignored), then the
    // names that wrote versions but are no users (any more), in the order of their names.
    std::vector<UserSummary> Summaries(const sourcesafe::IVSSUsers& users) const;

  private:
    struct Tally {
        std::string name;  // as first seen
        long long versions = 0;
        double first = 0;
        double last = 0;
    };
    std::map<std::string, Tally> byFoldedName_;
    StoredVersions counted_;
};

// The names the database's user file lists more than once (letter case ignored), each once
// as first listed: a damage that Summaries() passes over.
std::vector<std::string> UsersListedTwice(const sourcesafe::IVSSUsers& users);

// The users list as CSV (a header row, then a row per user) or JSON Lines.
std::string UserCsvHeader(bool withHistory);
// ISO and JSON dates carry their UTC offset in `zone` when it is given.
std::string UserCsvRow(const UserSummary& user, bool withHistory, DateStyle dates,
                       const sourcesafe::TimeZone* zone = nullptr);
std::string UserJsonLine(const UserSummary& user, bool withHistory,
                         const sourcesafe::TimeZone* zone = nullptr);

}  // namespace varnotte
