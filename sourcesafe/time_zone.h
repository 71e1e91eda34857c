// The database's time zone as the layers above the reader see it (see vssdb/time_zone.h):
// its name, its offsets from UTC and the offset of any stored wall-clock time.
#pragma once

#include "vssdb/time_zone.h"

namespace sourcesafe {

using TimeZone = vssdb::TimeZone;
using vssdb::UtcOffsetText;

}  // namespace sourcesafe
