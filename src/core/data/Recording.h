#pragma once
#include <array>
#include <cstdint>
#include <string>

namespace thermivo {

struct AppSettings;

/// What kind of recording the serial number announces.
enum RecordingKind : std::int32_t {
    KindNone = 0,
    KindTemp = 1,
    KindTempCompact = 2,  ///< compact file layout, no alarm limits
    KindTempUT = 3,       ///< behaves as KindTemp
    KindTempHumi = 4,     ///< the only kind with humidity
};

/// The one recording of the process: header, statistics, texts for the summary, and the samples.
/// Temperatures are held in degrees Celsius; the display unit is applied only when shown.
struct Recording {
    static constexpr int kCapacity = 60000;
    static constexpr int kRows = 20;
    /// Samples at or below this value carry no value.
    static constexpr float kNoValue = -1000.0f;

    // Indices into `values`.
    enum ValueIndex : int {
        ValSerial = 0,
        ValStart = 1,
        ValStop = 2,
        ValInterval = 3,
        ValCount = 4,
        ValTempMax = 5,
        ValTempMin = 6,
        ValTempAvg = 7,
        ValTempUpper = 8,
        ValTempLower = 9,
        ValHumiMax = 10,
        ValHumiMin = 11,
        ValHumiAvg = 12,
        ValHumiUpper = 13,
        ValHumiLower = 14,
        ValDescription = 15,
    };
    // Bits of `validMask`, in summary-row order.
    enum MaskBit : std::uint32_t {
        MaskSerial = 1u << 0,
        MaskStart = 1u << 1,
        MaskStop = 1u << 2,
        MaskInterval = 1u << 3,
        MaskCount = 1u << 4,
        MaskDescription = 1u << 5,
        MaskTempMax = 1u << 6,
        MaskTempMin = 1u << 7,
        MaskTempAvg = 1u << 8,
        MaskTempUpper = 1u << 9,
        MaskTempLower = 1u << 10,
        MaskHumiMax = 1u << 11,
        MaskHumiMin = 1u << 12,
        MaskHumiAvg = 1u << 13,
        MaskHumiUpper = 1u << 14,
        MaskHumiLower = 1u << 15,
    };
    /// `dataFlags` bit: the arrays hold samples of this recording.
    static constexpr std::uint8_t kSamplesPresent = 2;

    std::int32_t kind = KindNone;
    std::int32_t batteryPercent = 0;
    bool batteryValid = false;
    std::array<std::string, kRows> labels;
    std::array<std::string, kRows> values;
    std::int64_t startTime = 0;
    std::int64_t stopTime = 0;
    std::int64_t instrumentClock = 0;
    std::int64_t intervalSeconds = 0;
    std::int32_t sampleCount = 0;
    std::int32_t samplesLoaded = 0;
    /// Samples within the first samplesLoaded that never arrived and hold kNoValue (a download cut short).
    std::int32_t samplesMissing = 0;
    float tempMax = 0, tempMin = 0, tempAvg = 0, tempUpper = 0, tempLower = 0;
    float humiMax = 0, humiMin = 0, humiAvg = 0, humiUpper = 0, humiLower = 0;
    std::uint8_t dataFlags = 0;
    bool tempAlarmOn = false;
    bool humiAlarmOn = false;
    std::int32_t instrumentState = -1;
    std::uint32_t validMask = 0;
    std::int32_t startIntervalMinutes = 0;
    /// The description block's bytes as the opened file held them (up to the first zero byte): a save
    /// writes them back unchanged while `description()` is still the text they decode to.
    std::string descriptionSource;
    std::array<float, kCapacity> temperature{};
    std::array<float, kCapacity> humidity{};
    std::array<std::int64_t, kCapacity> sampleTime{};

    /// Built empty, then reset once (labels in the current language).
    Recording();

    /// Clears the header, statistics and texts; keeps times, interval, dataFlags and the sample arrays.
    void reset();
    /// sampleTime[i] = startTime + i * intervalSeconds for the first min(sampleCount, capacity) samples.
    void buildSampleTimes();
    /// Rebuilds values 5-9 in the current unit ("%4.2f" and the unit text).
    void formatTemperatureTexts();
    void formatTemperatureTexts(const AppSettings& settings);
    /// The kind's default description (texts 62-65); kind 0 leaves it empty.
    void setDefaultDescription();

    const std::string& serialText() const { return values[ValSerial]; }
    const std::string& description() const { return values[ValDescription]; }
    std::string& description() { return values[ValDescription]; }

    /// True when a complete set of samples is present: the condition for save, export and print.
    bool hasSamples() const { return samplesLoaded > 0 && (dataFlags & kSamplesPresent) != 0; }
    /// Samples that can be addressed: samplesLoaded bounded by the arrays.
    int usableSamples() const;
    /// Samples that arrived: the loaded ones without those missing inside them.
    int arrivedSamples() const { return usableSamples() - samplesMissing; }
    /// True when some samples arrived but fewer than the header announced (a download that stopped).
    bool isIncomplete() const;
    /// Makes the recording hold only the samples that arrived: the count becomes samplesLoaded, the stop
    /// time moves to the last of them and the temperature statistics are taken over those samples, so a
    /// file written from it never claims a sample that was not received.
    void cutToReceivedSamples();

    bool tempOutOfLimits(float t) const { return tempAlarmOn && (t > tempUpper || t < tempLower); }
    bool humiOutOfLimits(float h) const { return humiAlarmOn && (h > humiUpper || h < humiLower); }
    static bool hasValue(float v) { return v > kNoValue; }
};

/// The default description text id of a kind: 62..65, or -1 for kind 0 and unknown kinds.
int defaultDescriptionTextId(std::int32_t kind);

/// "%.2d:%.2d:%.2d" of the interval's hours within a day, minutes and seconds.
std::string intervalText(std::int64_t seconds);

/// Kind of a recording from the serial number as stored in a file.
RecordingKind kindFromFileSerial(const std::string& serial);

}  // namespace thermivo
