// Automation dates: days since 30 December 1899, the fraction being the time of day.
#pragma once

#include <cstdint>
#include <string>

namespace sourcesafe {

// SourceSafe stores seconds since 1970 counted on the writer's wall clock. They become an
// automation date as they are, with no time-zone shift, so a database gives the same dates
// on every machine.
double AutomationDateFromStoredTime(std::uint32_t seconds);

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

// "2007/03/05 14:07:09".
std::string FormatAutomationDate(double date);

}  // namespace sourcesafe
