#include "data/LocalTime.h"

#include <unistd.h>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <fstream>

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

namespace {
// Reads 1 to maxDigits digits at text[at]; false when there are none or more.
bool readDigits(const std::string& text, std::size_t& at, std::size_t maxDigits, int& out) {
    std::size_t n = 0;
    out = 0;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9') {
        if (++n > maxDigits) return false;
        out = out * 10 + (text[at++] - '0');
    }
    return n > 0;
}

bool expect(const std::string& text, std::size_t& at, char c) {
    if (at >= text.size() || text[at] != c) return false;
    ++at;
    return true;
}
}  // namespace

std::optional<std::int64_t> parseLocalMinutes(const std::string& text) {
    std::size_t at = 0;
    int year = 0, month = 0, day = 0, hour = 0, minute = 0;
    if (!readDigits(text, at, 4, year) || at != 4 || !expect(text, at, '-') ||
        !readDigits(text, at, 2, month) || !expect(text, at, '-') || !readDigits(text, at, 2, day) ||
        !expect(text, at, ' ') || !readDigits(text, at, 2, hour) || !expect(text, at, ':')) {
        return std::nullopt;
    }
    const std::size_t minuteStart = at;
    if (!readDigits(text, at, 2, minute) || at - minuteStart != 2 || at != text.size()) return std::nullopt;
    if (month < 1 || month > 12 || day < 1 || hour > 23 || minute > 59) return std::nullopt;
    const auto t = fromLocal(year, month, day, hour, minute, 0);
    if (!t) return std::nullopt;
    // mktime quietly moves February 31 to March and a skipped hour forward: such a moment does not exist.
    const auto back = toLocal(*t);
    if (!back || back->year != year || back->month != month || back->day != day || back->hour != hour ||
        back->minute != minute) {
        return std::nullopt;
    }
    return t;
}

int utcOffsetSeconds(std::int64_t seconds) {
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm tm{};
    if (static_cast<std::int64_t>(t) != seconds || localtime_r(&t, &tm) == nullptr) return 0;
    return static_cast<int>(tm.tm_gmtoff);
}

std::string formatUtcOffset(int offsetSeconds) {
    const char sign = offsetSeconds < 0 ? '-' : '+';
    const int a = offsetSeconds < 0 ? -offsetSeconds : offsetSeconds;
    return format("%c%.2d:%.2d", sign, a / 3600, a / 60 % 60);
}

std::string formatLocalIso(std::int64_t seconds) {
    const auto p = toLocal(seconds);
    if (!p) return {};
    return format("%.4d-%.2d-%.2dT%.2d:%.2d:%.2d", p->year, p->month, p->day, p->hour, p->minute, p->second) +
           formatUtcOffset(utcOffsetSeconds(seconds));
}

std::string formatLocalWithOffset(std::int64_t seconds) {
    const auto p = toLocal(seconds);
    if (!p) return {};
    return format("%.4d-%.2d-%.2d %.2d:%.2d:%.2d ", p->year, p->month, p->day, p->hour, p->minute,
                  p->second) +
           formatUtcOffset(utcOffsetSeconds(seconds));
}

std::string localZoneName() {
    if (const char* tz = std::getenv("TZ"); tz != nullptr && *tz != '\0') {
        std::string name = tz[0] == ':' ? tz + 1 : tz;
        // A TZ naming a file gives the zone below the zoneinfo folder, like /etc/localtime does.
        if (const auto at = name.find("zoneinfo/"); at != std::string::npos) name = name.substr(at + 9);
        if (!name.empty()) return name;
    }
    char target[PATH_MAX];
    const ssize_t n = readlink("/etc/localtime", target, sizeof target - 1);
    if (n > 0) {
        const std::string link(target, static_cast<std::size_t>(n));
        if (const auto at = link.find("zoneinfo/"); at != std::string::npos) return link.substr(at + 9);
    }
    std::ifstream file("/etc/timezone");
    std::string line;
    if (std::getline(file, line) && !line.empty()) return line;
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    if (localtime_r(&now, &tm) != nullptr && tm.tm_zone != nullptr && *tm.tm_zone != '\0') return tm.tm_zone;
    return "UTC";
}

std::int64_t nowSeconds() {
    return static_cast<std::int64_t>(std::time(nullptr));
}

}  // namespace thermivo
