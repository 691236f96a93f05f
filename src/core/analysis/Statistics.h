#pragma once
#include <cstdint>
#include <optional>
#include <vector>

namespace thermivo {

struct Recording;

/// Activation energy that cold-chain practice assumes for mean kinetic temperature (ΔH/R = 10000 K).
inline constexpr double kDefaultActivationEnergyKJPerMol = 83.144;
/// The gas constant that makes the default activation energy exactly 10000 K.
inline constexpr double kGasConstantJPerMolK = 8.3144;

/// Mean kinetic temperature in °C of the samples that carry a value (above the no-value marker and above
/// absolute zero); nothing when none does or the activation energy is not positive.
std::optional<double> meanKineticTemperature(const float* celsius, int count,
                                             double activationEnergyKJPerMol);

/// A maximal run of consecutive samples on one side of the limits.
struct Excursion {
    enum Side { High, Low };
    Side side = High;
    int firstSample = 0;  ///< index into the recording's arrays
    int lastSample = 0;
    std::int64_t start = 0;    ///< time of the first sample
    std::int64_t end = 0;      ///< time of the last sample
    std::int64_t seconds = 0;  ///< run length × interval
    float extreme = 0;         ///< the highest value of a high run, the lowest of a low one
};

/// Time outside the alarm limits of one quantity. Only filled when that alarm is in force.
struct LimitStatistics {
    bool alarmOn = false;
    std::int64_t secondsAbove = 0;
    std::int64_t secondsBelow = 0;
    std::vector<Excursion> excursions;
};

/// A half-open range of sample indices [first, last).
struct SampleRange {
    int first = 0;
    int last = 0;
    int count() const { return last > first ? last - first : 0; }
};

/// Samples whose time lies within [from, to] (either end open when not given).
SampleRange sampleRangeBetween(const Recording& rec, std::optional<std::int64_t> from,
                               std::optional<std::int64_t> to);
/// All usable samples.
SampleRange wholeRecording(const Recording& rec);

/// Excursions and times outside [lower, upper] of a series sampled every intervalSeconds; a sample equal to a
/// limit is inside, a sample without value ends a run and counts nowhere.
LimitStatistics limitStatistics(const float* values, const std::int64_t* times, SampleRange range,
                                std::int64_t intervalSeconds, float lower, float upper);

/// Everything the statistics views show for a range of one recording.
struct RecordingStatistics {
    SampleRange range;
    double activationEnergyKJPerMol = kDefaultActivationEnergyKJPerMol;
    std::optional<double> mktCelsius;
    /// Minimum, maximum and average of the temperature samples that carry a value; nothing without any.
    std::optional<float> minCelsius, maxCelsius;
    std::optional<double> avgCelsius;
    /// Times of the first sample at the minimum and at the maximum.
    std::int64_t minTime = 0, maxTime = 0;
    /// Samples of the range without a temperature value (kind 4: or without a humidity value).
    int samplesWithoutValue = 0;
    LimitStatistics temperature;
    bool hasHumidity = false;  ///< kind 4: `humidity` and the humidity figures apply
    LimitStatistics humidity;
    std::optional<float> minPercent, maxPercent;
    std::optional<double> avgPercent;
    std::int64_t minPercentTime = 0, maxPercentTime = 0;
};

/// Statistics of `range` of the recording with the given activation energy.
RecordingStatistics computeStatistics(const Recording& rec, SampleRange range,
                                      double activationEnergyKJPerMol = kDefaultActivationEnergyKJPerMol);
RecordingStatistics computeStatistics(const Recording& rec);

/// Which side of the alarm limits a temperature sample lies on: 1 above, -1 below, 0 within or alarm off.
int temperatureAlarmSide(const Recording& rec, float celsius);
int humidityAlarmSide(const Recording& rec, float percent);

}  // namespace thermivo
