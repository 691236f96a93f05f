#include "data/LocalTime.h"

#include <ctime>

#include "app/Format.h"

namespace thermivo {

std::optional<LocalParts> toLocal(std::int64_t seconds) {
    const std::time_t t = static_cast<std::time_t>(seconds);
    if (static_cast<std::int64_t>(t) != seconds) return std::nullopt;
    std::tm tm{};
    if (localtime_r(&t, &tm) == nullptr) return std::nullopt;
    LocalParts p;
    p.year = tm.tm_year + 1900;
    p.month = tm.tm_mon + 1;
    p.day = tm.tm_mday;
    p.hour = tm.tm_hour;
    p.minute = tm.tm_min;
    p.second = tm.tm_sec;
    p.weekday = tm.tm_wday;
    return p;
}

std::optional<std::int64_t> fromLocal(int year, int month, int day, int hour, int minute, int second) {
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    tm.tm_isdst = -1;
    const std::time_t t = std::mktime(&tm);
    if (t == static_cast<std::time_t>(-1)) {
        // -1 is also 1969-12-31 23:59:59 UTC; tell the two apart by the fields mktime normalised.
        if (!(tm.tm_year == 69 && tm.tm_mon == 11 && tm.tm_mday == 31)) return std::nullopt;
    }
    return static_cast<std::int64_t>(t);
}

std::string formatLocalMinutes(std::int64_t seconds, const char* separator) {
    const auto p = toLocal(seconds);
    if (!p) return format("0-0-0%s%.2d:%.2d", separator, -1, -1);
    return format("%d-%d-%d%s%.2d:%.2d", p->year, p->month, p->day, separator, p->hour, p->minute);
}

std::int64_t nowSeconds() { return static_cast<std::int64_t>(std::time(nullptr)); }

}  // namespace thermivo
