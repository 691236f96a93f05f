#pragma once
#include <cstdint>
#include <optional>
#include <string>

namespace thermivo {

/// Broken-down local time; the only place of the program that calls localtime_r and mktime.
struct LocalParts {
    int year = 0;     ///< e.g. 2014
    int month = 0;    ///< 1..12
    int day = 0;      ///< 1..31
    int hour = 0;     ///< 0..23
    int minute = 0;   ///< 0..59
    int second = 0;   ///< 0..60
    int weekday = 0;  ///< 0 Sunday .. 6 Saturday
};

/// Seconds since 1970 in local time (the TZ variable decides); nothing when the conversion fails.
std::optional<LocalParts> toLocal(std::int64_t seconds);

/// Local time to seconds since 1970, daylight saving decided by the calendar; nothing when it fails.
std::optional<std::int64_t> fromLocal(int year, int month, int day, int hour, int minute, int second = 0);

/// "%d-%d-%d %.2d:%.2d" (one blank) of the local time; parts that cannot be converted read 0 (hour and
/// minute -1), as the chart readout expects.
std::string formatLocalMinutes(std::int64_t seconds, const char* separator = " ");

/// "YYYY-M-D H:MM" (as the printed pages show it) or zero-padded "YYYY-MM-DD HH:MM", in local time. Nothing
/// when the text has another shape or names no such moment: February 31, hour 24, or a time that the
/// change to daylight saving skips.
std::optional<std::int64_t> parseLocalMinutes(const std::string& text);

/// Offset of local time from UTC at that moment, seconds east of Greenwich (3600 for CET); 0 when unknown.
int utcOffsetSeconds(std::int64_t seconds);

/// An offset as ISO 8601 writes it: "+01:00", "-03:30", "+00:00".
std::string formatUtcOffset(int offsetSeconds);

/// ISO 8601 local time with its offset, "2014-03-05T07:07:00+01:00"; unambiguous in the repeated autumn hour.
std::string formatLocalIso(std::int64_t seconds);

/// "2014-03-05 07:07:00 +01:00": local time to the second with its UTC offset, for printed evidence.
std::string formatLocalWithOffset(std::int64_t seconds);

/// Name of the local time zone: the TZ variable when set (without a leading ':'), else the zone that
/// /etc/localtime links to or /etc/timezone names, else the abbreviation (e.g. "CET"); "UTC" for none.
std::string localZoneName();

/// The current time, seconds since 1970.
std::int64_t nowSeconds();

}  // namespace thermivo
