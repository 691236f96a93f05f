#pragma once
#include <string>
#include <vector>

#include "analysis/Statistics.h"

namespace thermivo {

struct AppSettings;

/// The "statistics" JSON object: times as Unix seconds, temperatures in °C, durations in seconds, null where
/// the alarm is off; "humidity" only for kind 4.
std::string statisticsJson(const RecordingStatistics& s, int indent = 2);

/// A duration as hours (not wrapped at a day), minutes and seconds: "%.2lld:%.2d:%.2d".
std::string durationText(std::int64_t seconds);

/// "high" or "low": the alarm side as the files write it, in every language.
const char* sideKeyword(Excursion::Side side);

/// One excursion in display form: side (UI text), start, end, duration and extreme with its unit.
struct ExcursionRow {
    std::string side, start, end, duration, extreme;
};
ExcursionRow excursionRow(const Excursion& e, bool humidity, const AppSettings& settings);

/// A temperature in the display unit: "%.2f" and the unit text.
std::string temperatureText(double celsius, const AppSettings& settings);
/// A humidity: "%.2f" and the humidity unit.
std::string humidityText(double percent, const AppSettings& settings);

/// Label and value lines of the statistics in the user's language and unit, as `info` prints them; the
/// excursions follow as rows of their own (label empty).
std::vector<std::pair<std::string, std::string>> statisticsLines(const RecordingStatistics& s,
                                                                 const AppSettings& settings);

}  // namespace thermivo
