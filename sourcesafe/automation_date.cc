#include "sourcesafe/automation_date.h"

#include <chrono>
#include <cmath>
#include <cstdio>

#include "vssdb/time_zone.h"

namespace sourcesafe {
namespace {

constexpr double kSecondsPerDay = 86400.0;
constexpr double kUnixEpochAsAutomationDate = 25569.0;  // 1970-01-01

}  // namespace

double AutomationDateFromStoredTime(std::uint32_t seconds) {
    return kUnixEpochAsAutomationDate + static_cast<double>(seconds) / kSecondsPerDay;
}

std::int64_t StoredTimeFromAutomationDate(double date) {
    return std::llround((date - kUnixEpochAsAutomationDate) * kSecondsPerDay);
}

CivilTime CivilTimeFromAutomationDate(double date) {
    // Days before the epoch count their fraction forwards too (-1.25 is 29 Dec 1899, 06:00).
    const double wholeDays = std::trunc(date);
    const double fraction = std::fabs(date - wholeDays);
    long long seconds = std::llround(fraction * kSecondsPerDay);
    long long days = static_cast<long long>(wholeDays);
    // A time of day rounded up to midnight is the next day's start, before the epoch too.
    if (seconds >= static_cast<long long>(kSecondsPerDay)) {
        seconds -= static_cast<long long>(kSecondsPerDay);
        days += 1;
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

double AutomationDateFromCivilTime(const CivilTime& time) {
    using namespace std::chrono;
    const sys_days epoch = sys_days(year(1899) / December / 30);
    const sys_days day = sys_days(year(time.year) / month(static_cast<unsigned>(time.month)) /
                                  static_cast<unsigned>(time.day));
    const auto days = static_cast<double>((day - epoch).count());
    const double fraction = (time.hour * 3600 + time.minute * 60 + time.second) / kSecondsPerDay;
    // Before the epoch the whole days count back and the fraction still forwards.
    return days < 0 ? days - fraction : days + fraction;
}

namespace {

// "YYYY<d>MM<d>DD<t>hh:mm:ss" with `d` between the parts of the date and `t` before the time.
std::string FormatCivilTime(double date, char d, char t) {
    const CivilTime c = CivilTimeFromAutomationDate(date);
    // Every row of an export has a date: write the usual four-digit years by hand, and
    // leave the rare others to snprintf.
    if (c.year < 0 || c.year > 9999) {
        char text[64];
        std::snprintf(text, sizeof text, "%04d%c%02d%c%02d%c%02d:%02d:%02d", c.year, d, c.month, d,
                      c.day, t, c.hour, c.minute, c.second);
        return text;
    }
    std::string text = "0000/00/00 00:00:00";
    text[4] = text[7] = d;
    text[10] = t;
    const auto put = [&text](std::size_t at, int value, int digits) {
        for (int i = digits - 1; i >= 0; --i) {
            text[at + static_cast<std::size_t>(i)] = static_cast<char>('0' + value % 10);
            value /= 10;
        }
    };
    put(0, c.year, 4);
    put(5, c.month, 2);
    put(8, c.day, 2);
    put(11, c.hour, 2);
    put(14, c.minute, 2);
    put(17, c.second, 2);
    return text;
}

}  // namespace

std::string FormatAutomationDate(double date) {
    return FormatCivilTime(date, '/', ' ');
}

std::string FormatAutomationDateIso(double date) {
    return FormatCivilTime(date, '-', 'T');
}

std::string FormatAutomationDateIso(double date, const vssdb::TimeZone* zone) {
    std::string text = FormatAutomationDateIso(date);
    if (zone != nullptr) {
        // The wall clock the text shows, as seconds since 1970 on that clock.
        const CivilTime civil = CivilTimeFromAutomationDate(date);
        using namespace std::chrono;
        const sys_days day = sys_days(year(civil.year) / civil.month / civil.day);
        const std::int64_t wallSeconds = day.time_since_epoch().count() * 86400LL +
                                         civil.hour * 3600LL + civil.minute * 60LL + civil.second;
        text += vssdb::UtcOffsetText(zone->UtcOffsetAt(wallSeconds));
    }
    return text;
}

}  // namespace sourcesafe
