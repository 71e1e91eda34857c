#include "sourcesafe/automation_date.h"

#include <chrono>
#include <cmath>
#include <cstdio>

namespace sourcesafe {
namespace {

constexpr double kSecondsPerDay = 86400.0;
constexpr double kUnixEpochAsAutomationDate = 25569.0;  // 1970-01-01

}  // namespace

double AutomationDateFromStoredTime(std::uint32_t seconds) {
    return kUnixEpochAsAutomationDate + static_cast<double>(seconds) / kSecondsPerDay;
}

CivilTime CivilTimeFromAutomationDate(double date) {
    // Days before the epoch count their fraction forwards too (-1.25 is 29 Dec 1899, 06:00).
    const double wholeDays = std::trunc(date);
    const double fraction = std::fabs(date - wholeDays);
    long long seconds = std::llround(fraction * kSecondsPerDay);
    long long days = static_cast<long long>(wholeDays);
    if (seconds >= static_cast<long long>(kSecondsPerDay)) {
        seconds -= static_cast<long long>(kSecondsPerDay);
        days += date < 0 ? -1 : 1;
    }
    using namespace std::chrono;
    const sys_days epoch = sys_days(year(1899) / December / 30);
    const year_month_day ymd(epoch + std::chrono::days(days));
    CivilTime civil;
    civil.year = static_cast<int>(ymd.year());
    civil.month = static_cast<int>(static_cast<unsigned>(ymd.month()));
    civil.day = static_cast<int>(static_cast<unsigned>(ymd.day()));
    civil.hour = static_cast<int>(seconds / 3600);
    civil.minute = static_cast<int>(seconds / 60 % 60);
    civil.second = static_cast<int>(seconds % 60);
    return civil;
}

std::string FormatAutomationDate(double date) {
    const CivilTime t = CivilTimeFromAutomationDate(date);
    char text[32];
    std::snprintf(text, sizeof text, "%04d/%02d/%02d %02d:%02d:%02d", t.year, t.month, t.day,
                  t.hour, t.minute, t.second);
    return text;
}

}  // namespace sourcesafe
