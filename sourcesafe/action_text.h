// What a version did, in words: "Checked in $/A", "Added b.txt", "Labeled 'v1'".
#pragma once

#include <string>

#include "vssdb/database.h"
#include "vssdb/item_log.h"

namespace sourcesafe {

// The action text of one version. Names are shown with their long names where the
// database has them; unknown action codes say so with their number.
std::string ActionText(const vssdb::Revision& revision, const vssdb::Database& database);

}  // namespace sourcesafe
