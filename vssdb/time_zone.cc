#include "vssdb/time_zone.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "codepage/code_page.h"
#include "codepage/text_decoder.h"
#include "vssdb/zone_name.h"

namespace vssdb {
namespace {

constexpr int kMinutesPerDay = 24 * 60;
constexpr std::int64_t kSecondsPerDay = 86400;

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
std::int64_t DaysFromCivil(std::int64_t year, int month, int day) {
    year -= month <= 2 ? 1 : 0;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const std::int64_t yearOfEra = year - era * 400;
    const std::int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

std::int64_t YearOfDays(std::int64_t days) {
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const std::int64_t dayOfEra = days - era * 146097;
    const std::int64_t yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t monthIndex = (5 * dayOfYear + 2) / 153;
    const std::int64_t month = monthIndex + (monthIndex < 10 ? 3 : -9);
    return yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
}

bool IsLeap(std::int64_t year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

// The wall-clock second (since 1970) at which `rule` switches in `year`.
std::int64_t SwitchTime(const ZoneSwitch& rule, std::int64_t year) {
    static constexpr int kMonthDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const int monthDays = kMonthDays[rule.month - 1] + (rule.month == 2 && IsLeap(year) ? 1 : 0);
    const std::int64_t first = DaysFromCivil(year, rule.month, 1);
    // 1970-01-01 was a Thursday: day 0 has weekday 4 (Sunday 0).
    const int weekday = static_cast<int>(((first % 7) + 7 + 4) % 7);
    int day = 1 + (7 - weekday) % 7 + (rule.week - 1) * 7;
    while (day > monthDays) {
        day -= 7;  // the fifth Sunday is the last one
    }
    return (first + day - 1) * kSecondsPerDay + rule.secondOfDay;
}

std::optional<int> WholeNumber(const std::string& text) {
    int value = 0;
    const char* end = text.data() + text.size();
    const char* begin = text.data();
    if (begin != end && *begin == '+') {
        ++begin;
    }
    const auto [stop, error] = std::from_chars(begin, end, value);
    if (error != std::errc() || stop != end || begin == end) {
        return std::nullopt;
    }
    return value;
}

// "0000/03/02 02:00:00.000": a yearly rule (year 0) with a month, a week and a time.
std::optional<ZoneSwitch> ParseSwitch(const std::string& text) {
    int year = 0, month = 0, week = 0, hour = 0, minute = 0, second = 0, millisecond = 0;
    char end = 0;
    if (std::sscanf(text.c_str(), "%d/%d/%d %d:%d:%d.%d%c", &year, &month, &week, &hour, &minute,
                    &second, &millisecond, &end) != 7) {
        return std::nullopt;
    }
    if (month == 0) {
        return ZoneSwitch{};
    }
    if (year != 0 || month < 1 || month > 12 || week < 1 || week > 5 || hour < 0 || hour > 23 ||
        minute < 0 || minute > 59 || second < 0 || second > 59) {
        return std::nullopt;
    }
    return ZoneSwitch{month, week, (hour * 60 + minute) * 60 + second};
}

const std::string* Find(const std::map<std::string, std::string>& keys, const char* key) {
    const auto found = keys.find(key);
    return found == keys.end() ? nullptr : &found->second;
}

bool InRange(int minutes) {
    return std::abs(minutes) < kMinutesPerDay;
}

}  // namespace

int TimeZone::UtcOffsetAt(std::int64_t wallSeconds) const {
    const int standard = -(bias + standardBias);
    if (!SwitchesToDaylight()) {
        return standard;
    }
    const int daylight = -(bias + daylightBias);
    const std::int64_t year =
        YearOfDays(wallSeconds >= 0 ? wallSeconds / kSecondsPerDay
                                    : (wallSeconds - kSecondsPerDay + 1) / kSecondsPerDay);
    const std::int64_t toDaylight = SwitchTime(daylightStart, year);
    const std::int64_t toStandard = SwitchTime(standardStart, year);
    // North of the equator daylight time lies inside the year, south of it around its turn.
    const bool inDaylight = toDaylight < toStandard
                                ? wallSeconds >= toDaylight && wallSeconds < toStandard
                                : wallSeconds >= toDaylight || wallSeconds < toStandard;
    return inDaylight ? daylight : standard;
}

std::optional<TimeZone> TimeZoneOf(const SrcSafeIni& ini) {
    const auto& keys = ini.timeZone;
    const std::string* bias = Find(keys, "tz_bias");
    const std::optional<int> minutes = bias ? WholeNumber(*bias) : std::nullopt;
    if (!minutes || !InRange(*minutes)) {
        return std::nullopt;
    }
    TimeZone zone;
    zone.bias = *minutes;
    if (const std::string* name = Find(keys, "name")) {
        zone.name = *name;
    }
    const auto optionalMinutes = [&](const char* key) {
        const std::string* text = Find(keys, key);
        const std::optional<int> value = text ? WholeNumber(*text) : std::nullopt;
        return value && InRange(*value) ? *value : 0;
    };
    zone.standardBias = optionalMinutes("tz_standardbias");
    zone.daylightBias = optionalMinutes("tz_daylightbias");
    const std::string* use = Find(keys, "tz_usedaylightsavingtime");
    const std::string* toDaylight = Find(keys, "tz_daylightdate");
    const std::string* toStandard = Find(keys, "tz_standarddate");
    const bool daylightUsed = use == nullptr || (*use != "No" && *use != "no" && *use != "0");
    if (daylightUsed && toDaylight != nullptr && toStandard != nullptr) {
        const std::optional<ZoneSwitch> start = ParseSwitch(*toDaylight);
        const std::optional<ZoneSwitch> end = ParseSwitch(*toStandard);
        if (start && end && (start->month == 0) == (end->month == 0)) {
            zone.daylightStart = *start;
            zone.standardStart = *end;
        }
    }
    return zone;
}

std::string ZoneNameText(const TimeZone& zone, int databaseCodePage) {
    int codePage = databaseCodePage;
    if (codePage == 0) {
        codepage::CodePageDetector detector;
        detector.AddText(zone.name);
        if (!detector.sawNonAscii()) {
            return zone.name;
        }
        codePage = detector.Decide(codepage::LocaleAnsiCodePage());
    }
    return codepage::TextDecoder(codePage).ToUtf8(zone.name);
}

std::string UtcOffsetText(int offsetMinutes) {
    const int magnitude = std::abs(offsetMinutes);
    char text[16];
    std::snprintf(text, sizeof text, "%c%02d:%02d", offsetMinutes < 0 ? '-' : '+', magnitude / 60,
                  magnitude % 60);
    return text;
}

}  // namespace vssdb
