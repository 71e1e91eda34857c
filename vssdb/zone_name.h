// The name srcsafe.ini gives the database's time zone, as text.
#pragma once

#include <string>

#include "vssdb/time_zone.h"

namespace vssdb {

// The zone's name in UTF-8: read in `databaseCodePage`, the one the database's texts
// settled; with 0 (its texts are all ASCII and say nothing of one) in the code page the
// name alone points to, as the ini was written on a machine of the database's users.
std::string ZoneNameText(const TimeZone& zone, int databaseCodePage);

}  // namespace vssdb
