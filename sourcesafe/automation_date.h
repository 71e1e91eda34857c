// Automation dates: days since 30 December 1899, the fraction being the time of day.
#pragma once

#include <cstdint>
#include <string>

namespace vssdb {
struct TimeZone;
}

namespace sourcesafe {

// SourceSafe stores seconds since 1970 counted on the writer's wall clock. They become an
// automation date as they are, with no time-zone shift, so a database gives the same dates
// on every machine.
double AutomationDateFromStoredTime(std::uint32_t seconds);
// The other way, to the nearest second; outside what a stored time can hold, too.
std::int64_t StoredTimeFromAutomationDate(double date);

struct CivilTime {
    int year = 1899;
    int month = 12;
    int day = 30;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// The calendar date and time of an automation date, taken to the nearest whole second.
CivilTime CivilTimeFromAutomationDate(double date);
// The automation date of a calendar date and time (which the caller has checked).
double AutomationDateFromCivilTime(const CivilTime& time);

// "2007/03/05 14:07:09".
std::string FormatAutomationDate(double date);
// "2007-03-05T14:07:09": ISO 8601 without a zone, as the date is the writer's wall clock.
std::string FormatAutomationDateIso(double date);

// The same with the date's UTC offset in the database's time zone ("2007-03-05T14:07:09
// +01:00" without the space), or without one when `zone` is null.
std::string FormatAutomationDateIso(double date, const vssdb::TimeZone* zone);

}  // namespace sourcesafe
