#include "analysis/Statistics.h"

#include <algorithm>
#include <cmath>

#include "data/Recording.h"

namespace thermivo {

namespace {
constexpr double kKelvinOffset = 273.15;

bool usableTemperature(float t) {
    return Recording::hasValue(t) && t > -kKelvinOffset;
}
}  // namespace

std::optional<double> meanKineticTemperature(const float* celsius, int count,
                                             double activationEnergyKJPerMol) {
    if (!(activationEnergyKJPerMol > 0) || count <= 0) return std::nullopt;
    const double k = activationEnergyKJPerMol * 1000.0 / kGasConstantJPerMolK;
    // exp(-k/T) underflows for large activation energies; scaling by the largest term keeps the sum exact.
    double largest = -HUGE_VAL;
    int n = 0;
    for (int i = 0; i < count; ++i) {
        if (!usableTemperature(celsius[i])) continue;
        largest = std::max(largest, -k / (celsius[i] + kKelvinOffset));
        ++n;
    }
    if (n == 0) return std::nullopt;
    double sum = 0;
    for (int i = 0; i < count; ++i) {
        if (!usableTemperature(celsius[i])) continue;
        sum += std::exp(-k / (celsius[i] + kKelvinOffset) - largest);
    }
    const double logMean = largest + std::log(sum / n);
    return k / -logMean - kKelvinOffset;
}

SampleRange wholeRecording(const Recording& rec) {
    return {0, rec.usableSamples()};
}

SampleRange sampleRangeBetween(const Recording& rec, std::optional<std::int64_t> from,
                               std::optional<std::int64_t> to) {
    const int n = rec.usableSamples();
    SampleRange r{0, 0};
    int i = 0;
    while (i < n && from && rec.sampleTime[static_cast<std::size_t>(i)] < *from) ++i;
    r.first = i;
    while (i < n && !(to && rec.sampleTime[static_cast<std::size_t>(i)] > *to)) ++i;
    r.last = i;
    return r;
}

LimitStatistics limitStatistics(const float* values, const std::int64_t* times, SampleRange range,
                                std::int64_t intervalSeconds, float lower, float upper) {
    LimitStatistics s;
    s.alarmOn = true;
    Excursion* open = nullptr;
    for (int i = range.first; i < range.last; ++i) {
        const float v = values[i];
        int side = 0;
        if (Recording::hasValue(v)) side = v > upper ? 1 : (v < lower ? -1 : 0);
        if (side == 0) {
            open = nullptr;
            continue;
        }
        const Excursion::Side which = side > 0 ? Excursion::High : Excursion::Low;
        (side > 0 ? s.secondsAbove : s.secondsBelow) += intervalSeconds;
        if (open == nullptr || open->side != which) {
            Excursion e;
            e.side = which;
            e.firstSample = i;
            e.start = times[i];
            e.extreme = v;
            s.excursions.push_back(e);
            open = &s.excursions.back();
        }
        open->lastSample = i;
        open->end = times[i];
        open->seconds += intervalSeconds;
        open->extreme = which == Excursion::High ? std::max(open->extreme, v) : std::min(open->extreme, v);
    }
    return s;
}

RecordingStatistics computeStatistics(const Recording& rec, SampleRange range,
                                      double activationEnergyKJPerMol) {
    RecordingStatistics s;
    const int n = rec.usableSamples();
    range.first = std::clamp(range.first, 0, n);
    range.last = std::clamp(range.last, range.first, n);
    s.range = range;
    s.activationEnergyKJPerMol = activationEnergyKJPerMol;
    const float* temps = rec.temperature.data();
    s.mktCelsius = meanKineticTemperature(temps + range.first, range.count(), activationEnergyKJPerMol);

    s.hasHumidity = rec.kind == KindTempHumi;
    const auto extremes = [&](const float* values, std::optional<float>& lo, std::optional<float>& hi,
                              std::int64_t& loTime, std::int64_t& hiTime) -> std::optional<double> {
        double sum = 0;
        int valued = 0;
        for (int i = range.first; i < range.last; ++i) {
            const float v = values[i];
            if (!Recording::hasValue(v)) continue;
            const std::int64_t t = rec.sampleTime[static_cast<std::size_t>(i)];
            if (!lo || v < *lo) {
                lo = v;
                loTime = t;
            }
            if (!hi || v > *hi) {
                hi = v;
                hiTime = t;
            }
            sum += v;
            ++valued;
        }
        if (valued == 0) return std::nullopt;
        return sum / valued;
    };
    s.avgCelsius = extremes(temps, s.minCelsius, s.maxCelsius, s.minTime, s.maxTime);
    if (s.hasHumidity)
        s.avgPercent =
            extremes(rec.humidity.data(), s.minPercent, s.maxPercent, s.minPercentTime, s.maxPercentTime);
    for (int i = range.first; i < range.last; ++i) {
        const bool missing =
            !Recording::hasValue(temps[i]) ||
            (s.hasHumidity && !Recording::hasValue(rec.humidity[static_cast<std::size_t>(i)]));
        if (missing) ++s.samplesWithoutValue;
    }

    if (rec.tempAlarmOn)
        s.temperature = limitStatistics(temps, rec.sampleTime.data(), range, rec.intervalSeconds,
                                        rec.tempLower, rec.tempUpper);
    if (s.hasHumidity && rec.humiAlarmOn)
        s.humidity = limitStatistics(rec.humidity.data(), rec.sampleTime.data(), range, rec.intervalSeconds,
                                     rec.humiLower, rec.humiUpper);
    return s;
}

RecordingStatistics computeStatistics(const Recording& rec) {
    return computeStatistics(rec, wholeRecording(rec));
}

int temperatureAlarmSide(const Recording& rec, float celsius) {
    if (!rec.tempAlarmOn || !Recording::hasValue(celsius)) return 0;
    return celsius > rec.tempUpper ? 1 : (celsius < rec.tempLower ? -1 : 0);
}

int humidityAlarmSide(const Recording& rec, float percent) {
    if (!rec.humiAlarmOn || rec.kind != KindTempHumi || !Recording::hasValue(percent)) return 0;
    return percent > rec.humiUpper ? 1 : (percent < rec.humiLower ? -1 : 0);
}

}  // namespace thermivo
