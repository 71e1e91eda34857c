// The database's time zone, as a VSS 2005 srcsafe.ini names it in its [TimeZone] section:
//
//   Name = (UTC-05:00) Eastern Time (US & Canada)
//   TZ_Bias = 300                 minutes to add to the wall clock to get UTC
//   TZ_StandardBias = 0           added to TZ_Bias in standard time
//   TZ_DaylightBias = -60         added to TZ_Bias in daylight saving time
//   TZ_UseDaylightSavingTime = Yes
//   TZ_DaylightDate = 0000/03/02 02:00:00.000   the switches, as a yearly rule: month, the
//   TZ_StandardDate = 0000/11/01 02:00:00.000   Sunday of the month (5: the last), time
//
// as Windows' TIME_ZONE_INFORMATION keeps them. A month of 0 means no switching.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "vssdb/srcsafe_ini.h"

namespace vssdb {

// A yearly switch: the `week`th Sunday (5: the last) of `month`, at that wall-clock time.
struct ZoneSwitch {
    int month = 0;  // 1-12; 0: none
    int week = 0;   // 1-5
    int secondOfDay = 0;
};

struct TimeZone {
    std::string name;  // raw bytes in the database's code page; may be empty
    int bias = 0;      // minutes: UTC = wall clock + bias (+ the standard or daylight bias)
    int standardBias = 0;
    int daylightBias = 0;
    ZoneSwitch daylightStart;  // in standard time
    ZoneSwitch standardStart;  // in daylight saving time

    bool SwitchesToDaylight() const { return daylightStart.month != 0 && standardStart.month != 0; }

    // The offset from UTC in minutes (wall clock = UTC + offset) of the wall-clock time
    // `wallSeconds` (seconds since 1970-01-01 00:00 of that wall clock, as SourceSafe
    // stores times). In the hour the clock is set back, which repeats, daylight time is
    // taken; a time in the hour skipped in spring is taken as standard time.
    int UtcOffsetAt(std::int64_t wallSeconds) const;
};

// The zone the ini's [TimeZone] section gives; none without the section, or when its
// TZ_Bias is missing or no whole number of minutes within a day. Switch rules that cannot
// be read leave the zone without daylight saving time.
std::optional<TimeZone> TimeZoneOf(const SrcSafeIni& ini);

// "+05:30", "-05:00", "+00:00".
std::string UtcOffsetText(int offsetMinutes);

}  // namespace vssdb
