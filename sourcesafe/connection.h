// The open database that every object reached from one IVSSDatabase shares. Items,
// collections and versions keep it alive, as the automation objects keep theirs.
#pragma once

#include <memory>

#include "vssdb/database.h"

namespace sourcesafe {

struct Connection {
    std::unique_ptr<vssdb::Database> database;
};

}  // namespace sourcesafe
