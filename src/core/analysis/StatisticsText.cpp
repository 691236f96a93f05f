#include "analysis/StatisticsText.h"

#include <charconv>
#include <cmath>

#include "app/AppSettings.h"
#include "app/Format.h"
#include "app/UiText.h"
#include "data/LocalTime.h"

namespace thermivo {

namespace {

std::string seconds(std::int64_t v) {
    return format("%lld", static_cast<long long>(v));
}

// The shortest text that reads back as the same number; the names and keywords written here are plain ASCII.
std::string jsonNumber(double v) {
    if (!std::isfinite(v)) return "null";
    char buf[32];
    const auto res = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, res.ptr);
}
// A float sample value with the digits it has (99.99, not the 99.98999786376953 of its double).
std::string jsonNumber(float v) {
    if (!std::isfinite(v)) return "null";
    char buf[32];
    const auto res = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, res.ptr);
}
std::string jsonQuote(const std::string& s) {
    return "\"" + s + "\"";
}

std::string limitJson(const LimitStatistics& l, bool humidity, const std::string& pad) {
    const std::string in = pad + "  ";
    std::string out;
    const auto key = [&](const char* name, const std::string& value) {
        out += in + jsonQuote(name) + ": " + value;
    };
    key("timeAboveUpperSeconds", l.alarmOn ? seconds(l.secondsAbove) : "null");
    out += ",\n";
    key("timeBelowLowerSeconds", l.alarmOn ? seconds(l.secondsBelow) : "null");
    out += ",\n";
    if (!l.alarmOn) {
        key("excursions", "null");
        return out;
    }
    std::string list = "[";
    for (std::size_t i = 0; i < l.excursions.size(); ++i) {
        const Excursion& e = l.excursions[i];
        list += i == 0 ? "\n" : ",\n";
        list += in + "  {\"side\": " + jsonQuote(sideKeyword(e.side)) + ", \"start\": " + seconds(e.start) +
                ", \"end\": " + seconds(e.end) + ", \"seconds\": " + seconds(e.seconds) + ", " +
                jsonQuote(humidity ? "extremePercent" : "extremeCelsius") + ": " + jsonNumber(e.extreme) +
                "}";
    }
    list += l.excursions.empty() ? "]" : "\n" + in + "]";
    key("excursions", list);
    return out;
}

std::string limitLine(const LimitStatistics& l, std::int64_t LimitStatistics::*field) {
    return l.alarmOn ? durationText(l.*field) : text(2313);
}

void appendLimitLines(std::vector<std::pair<std::string, std::string>>& lines, const LimitStatistics& l,
                      bool humidity, const AppSettings& settings) {
    lines.emplace_back(text(2303), limitLine(l, &LimitStatistics::secondsAbove));
    lines.emplace_back(text(2304), limitLine(l, &LimitStatistics::secondsBelow));
    if (!l.alarmOn) return;
    lines.emplace_back(text(2305), format("%zu", l.excursions.size()));
    for (const Excursion& e : l.excursions) {
        const ExcursionRow r = excursionRow(e, humidity, settings);
        lines.emplace_back("",
                           r.side + "  " + r.start + " - " + r.end + "  " + r.duration + "  " + r.extreme);
    }
}

}  // namespace

const char* sideKeyword(Excursion::Side side) {
    return side == Excursion::High ? "high" : "low";
}

std::string durationText(std::int64_t s) {
    if (s < 0) s = 0;
    return format("%.2lld:%.2d:%.2d", static_cast<long long>(s / 3600), static_cast<int>(s / 60 % 60),
                  static_cast<int>(s % 60));
}

std::string temperatureText(double celsius, const AppSettings& settings) {
    return format("%.2f", settings.toDisplay(celsius)) + settings.currentUnit;
}

std::string humidityText(double percent, const AppSettings& settings) {
    return format("%.2f", percent) + settings.humidityUnit;
}

ExcursionRow excursionRow(const Excursion& e, bool humidity, const AppSettings& settings) {
    ExcursionRow r;
    r.side = text(e.side == Excursion::High ? 2311 : 2312);
    r.start = formatLocalMinutes(e.start);
    r.end = formatLocalMinutes(e.end);
    r.duration = durationText(e.seconds);
    r.extreme = humidity ? humidityText(e.extreme, settings) : temperatureText(e.extreme, settings);
    return r;
}

std::string statisticsJson(const RecordingStatistics& s, int indent) {
    const std::string pad(static_cast<std::size_t>(indent), ' ');
    std::string out = "{\n";
    out += pad + "  \"mktCelsius\": " + (s.mktCelsius ? format("%.2f", *s.mktCelsius) : std::string("null")) +
           ",\n";
    out += pad + "  \"activationEnergyKJPerMol\": " + jsonNumber(s.activationEnergyKJPerMol) + ",\n";
    out += limitJson(s.temperature, false, pad);
    if (s.hasHumidity)
        out += ",\n" + pad + "  \"humidity\": {\n" + limitJson(s.humidity, true, pad + "  ") + "\n" + pad +
               "  }";
    return out + "\n" + pad + "}";
}

std::vector<std::pair<std::string, std::string>> statisticsLines(const RecordingStatistics& s,
                                                                 const AppSettings& settings) {
    std::vector<std::pair<std::string, std::string>> lines;
    lines.emplace_back(text(2301), s.mktCelsius ? temperatureText(*s.mktCelsius, settings) : text(2322));
    lines.emplace_back(text(2302), format("%g kJ/mol", s.activationEnergyKJPerMol));
    if (s.maxCelsius) lines.emplace_back(text(2317), temperatureText(*s.maxCelsius, settings));
    if (s.minCelsius) lines.emplace_back(text(2318), temperatureText(*s.minCelsius, settings));
    if (s.avgCelsius) lines.emplace_back(text(2319), temperatureText(*s.avgCelsius, settings));
    appendLimitLines(lines, s.temperature, false, settings);
    if (s.hasHumidity) {
        lines.emplace_back(text(2321), "");
        appendLimitLines(lines, s.humidity, true, settings);
    }
    return lines;
}

}  // namespace thermivo
