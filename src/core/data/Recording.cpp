#include "data/Recording.h"

#include <algorithm>

#include "app/AppSettings.h"
#include "app/Format.h"
#include "app/UiText.h"
#include "data/LocalTime.h"

namespace thermivo {

Recording::Recording() {
    reset();
}

void Recording::reset() {
    kind = KindNone;
    samplesMissing = 0;
    batteryPercent = 0;
    batteryValid = false;
    tempMax = tempMin = tempAvg = tempUpper = tempLower = 0.0f;
    humiMax = humiMin = humiAvg = humiUpper = humiLower = 0.0f;
    sampleCount = 0;
    samplesLoaded = 0;
    tempAlarmOn = false;
    humiAlarmOn = false;
    validMask = 0;
    instrumentState = -1;
    instrumentClock = 0;
    descriptionSource.clear();
    for (int i = 0; i < kRows; ++i) {
        labels[static_cast<std::size_t>(i)] = text(5 + i);
        values[static_cast<std::size_t>(i)].clear();
    }
}

void Recording::buildSampleTimes() {
    const int n = std::min(sampleCount, kCapacity);
    sampleTime[0] = startTime;
    for (int i = 1; i < n; ++i) {
        const auto k = static_cast<std::size_t>(i);
        sampleTime[k] = sampleTime[k - 1] + intervalSeconds;
    }
}

void Recording::formatTemperatureTexts() {
    formatTemperatureTexts(AppSettings::instance());
}

void Recording::formatTemperatureTexts(const AppSettings& settings) {
    const float source[5] = {tempMax, tempMin, tempAvg, tempUpper, tempLower};
    const bool celsius = settings.currentUnit == settings.unitCelsius;
    if (!celsius && settings.currentUnit != settings.unitFahrenheit) return;
    for (int k = 0; k < 5; ++k) {
        double v = source[k];
        if (!celsius) v = v * 1.8 + 32.0;
        values[static_cast<std::size_t>(ValTempMax + k)] = format("%4.2f%s", v, settings.currentUnit.c_str());
    }
}

int defaultDescriptionTextId(std::int32_t kind) {
    switch (kind) {
        case KindTempCompact:
            return 62;
        case KindTemp:
            return 63;
        case KindTempUT:
            return 64;
        case KindTempHumi:
            return 65;
        default:
            return -1;
    }
}

void Recording::setDefaultDescription() {
    description().clear();
    const int id = defaultDescriptionTextId(kind);
    if (id >= 0) description() = text(id);
}

int Recording::usableSamples() const {
    return std::clamp(samplesLoaded, 0, kCapacity);
}

bool Recording::isIncomplete() const {
    return hasSamples() && (usableSamples() < std::min(sampleCount, kCapacity) || samplesMissing > 0);
}

void Recording::cutToReceivedSamples() {
    const int n = usableSamples();
    if (n >= sampleCount) return;
    sampleCount = n;
    values[ValCount] = format("%d", n);
    if (n > 0 && startTime != 0) {
        stopTime = startTime + static_cast<std::int64_t>(n - 1) * intervalSeconds;
        values[ValStop] = formatLocalMinutes(stopTime, "  ");
    }
    // The header's maximum, minimum and average cover samples that never arrived.
    float hi = 0, lo = 0;
    double sum = 0;
    int counted = 0;
    for (int i = 0; i < n; ++i) {
        const float t = temperature[static_cast<std::size_t>(i)];
        if (!hasValue(t)) continue;
        hi = counted == 0 ? t : std::max(hi, t);
        lo = counted == 0 ? t : std::min(lo, t);
        sum += t;
        ++counted;
    }
    tempMax = hi;
    tempMin = lo;
    tempAvg = counted > 0 ? static_cast<float>(sum / counted) : 0.0f;
    formatTemperatureTexts();
    buildSampleTimes();
}

std::string intervalText(std::int64_t seconds) {
    return format("%.2d:%.2d:%.2d", static_cast<int>(seconds / 3600 % 24),
                  static_cast<int>(seconds / 60 % 60), static_cast<int>(seconds % 60));
}

RecordingKind kindFromFileSerial(const std::string& serial) {
    const char c0 = serial.size() > 0 ? serial[0] : '\0';
    const char c1 = serial.size() > 1 ? serial[1] : '\0';
    const char c2 = serial.size() > 2 ? serial[2] : '\0';
    if (c0 == 'D') return c1 == 'I' ? KindTemp : KindTempCompact;
    if (c0 == 'i') return KindTempCompact;
    if (c0 == 'U') {
        if (c1 != 'T') return KindTemp;
        return c2 == 'H' ? KindTempHumi : KindTempUT;
    }
    return KindNone;
}

}  // namespace thermivo
