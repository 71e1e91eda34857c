// The open database that every object reached from one IVSSDatabase shares. Items,
// collections and versions keep it alive, as the automation objects keep theirs.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "vssdb/database.h"
#include "vssdb/file_content.h"
#include "vssdb/item_path.h"
#include "vssdb/time_zone.h"

namespace sourcesafe {

struct Connection {
    std::unique_ptr<vssdb::Database> database;
    // Items ask for their specs one after another, as a walk reaches them.
    vssdb::RecentSpecs recentSpecs;
    std::string userName;  // as logged in
    // The database's time zone, when its srcsafe.ini names one.
    std::optional<vssdb::TimeZone> timeZone;
    // Rebuilds file contents; made when the first content is asked for.
    std::unique_ptr<vssdb::FileContentReader> content;
};

}  // namespace sourcesafe
