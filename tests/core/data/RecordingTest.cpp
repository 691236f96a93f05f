#include <gtest/gtest.h>

#include <algorithm>

#include "TestSupport.h"
#include "app/AppSettings.h"
#include "app/Format.h"
#include "app/UiText.h"
#include "data/ListRows.h"
#include "data/LocalTime.h"
#include "data/Recording.h"

using namespace thermivo;
using namespace thermivo::testing;

TEST(RecordingSampleTimes, FollowStartAndIntervalOnlyAndStopAtCapacity) {
    ScopedTimeZone tz("UTC");
    auto rec = std::make_unique<Recording>();
    rec->startTime = 1000;
    rec->intervalSeconds = 60;
    rec->sampleTime[1] = 777;
    rec->sampleCount = 0;
    rec->buildSampleTimes();
    EXPECT_EQ(rec->sampleTime[0], 1000);
    EXPECT_EQ(rec->sampleTime[1], 777);  // nothing else touched

    rec->sampleCount = 70000;  // possible only from a file
    rec->buildSampleTimes();
    EXPECT_EQ(rec->sampleTime[59999], 1000 + 59999 * 60);

    // 2014-03-01 10:00 local, every 5 minutes: sample 12 is 11:00 the same day.
    const auto start = fromLocal(2014, 3, 1, 10, 0);
    ASSERT_TRUE(start);
    rec->startTime = *start;
    rec->intervalSeconds = 300;
    rec->sampleCount = 13;
    rec->buildSampleTimes();
    EXPECT_EQ(formatLocalMinutes(rec->sampleTime[12]), "2014-3-1 11:00");
}

TEST(RecordingSampleTimes, AcrossDaylightSavingTheClockJumpsButTheSpacingDoesNot) {
    ScopedTimeZone tz("Europe/Berlin");
    auto rec = std::make_unique<Recording>();
    rec->startTime = *fromLocal(2014, 3, 30, 1, 30);
    rec->intervalSeconds = 1800;
    rec->sampleCount = 3;
    rec->buildSampleTimes();
    EXPECT_EQ(formatLocalMinutes(rec->sampleTime[1]), "2014-3-30 03:00");
    EXPECT_EQ(formatLocalMinutes(rec->sampleTime[2]), "2014-3-30 03:30");
    EXPECT_EQ(rec->sampleTime[2] - rec->sampleTime[0], 3600);
}

TEST(RecordingTexts, TemperatureTextsFollowTheUnitButHumidityDoesNot) {
    AppSettings s;
    s.setLanguage(1033);
    auto rec = std::make_unique<Recording>();
    rec->tempMax = 25.5f;
    rec->tempMin = -5.0f;
    rec->values[Recording::ValHumiMax] = "55.00%RH";
    rec->formatTemperatureTexts(s);
    EXPECT_EQ(rec->values[Recording::ValTempMax], "77.90°F");
    EXPECT_EQ(rec->values[Recording::ValTempMin], "23.00°F");
    s.currentUnit = s.unitCelsius;
    rec->formatTemperatureTexts(s);
    EXPECT_EQ(rec->values[Recording::ValTempMax], "25.50°C");
    EXPECT_EQ(rec->values[Recording::ValTempMin], "-5.00°C");
    EXPECT_EQ(rec->values[Recording::ValHumiMax], "55.00%RH");
    s.currentUnit = "K";  // neither unit: texts stay
    rec->formatTemperatureTexts(s);
    EXPECT_EQ(rec->values[Recording::ValTempMax], "25.50°C");
}

TEST(RecordingTexts, IntervalShowsHoursWithinADay) {
    EXPECT_EQ(intervalText(90000), "01:00:00");
    EXPECT_EQ(intervalText(600), "00:10:00");
    EXPECT_EQ(intervalText(86400 + 3600 + 61), "01:01:01");
}

TEST(RecordingTexts, DefaultDescriptionsByKindAndLanguage) {
    ScopedLanguage lang(1033);
    auto rec = std::make_unique<Recording>();
    const std::pair<std::int32_t, const char*> expected[] = {{KindTempCompact, "Temp Record"},
                                                             {KindTemp, "Temp Record"},
                                                             {KindTempUT, "Temp Record"},
                                                             {KindTempHumi, "Temp&Humi Record"},
                                                             {KindNone, ""}};
    for (const auto& [kind, description] : expected) {
        rec->kind = kind;
        rec->description() = "old";
        rec->setDefaultDescription();
        EXPECT_EQ(rec->description(), description) << kind;
    }
    AppSettings::instance().setLanguage(2052);
    rec->kind = KindTempHumi;
    rec->setDefaultDescription();
    EXPECT_EQ(rec->description(), "温湿度记录");
}

TEST(RecordingState, ResetKeepsTimesAndSamplesAndRelabelsInTheCurrentLanguage) {
    ScopedLanguage lang(2052);
    auto rec = makeRecording(KindTemp, 10);
    const auto start = rec->startTime;
    rec->reset();
    EXPECT_EQ(rec->kind, KindNone);
    EXPECT_EQ(rec->samplesLoaded, 0);
    EXPECT_EQ(rec->instrumentState, -1);
    EXPECT_EQ(rec->validMask, 0u);
    EXPECT_FALSE(rec->tempAlarmOn);
    EXPECT_EQ(rec->startTime, start);
    EXPECT_EQ(rec->dataFlags, Recording::kSamplesPresent);
    EXPECT_FLOAT_EQ(rec->temperature[3], rec->temperature[3]);
    EXPECT_EQ(rec->labels[0], " ID序列号:");
    EXPECT_EQ(rec->labels[15], " 描述:");
    EXPECT_EQ(rec->labels[16], "");
    for (const auto& v : rec->values) EXPECT_EQ(v, "");
}

TEST(RecordingAlarm, LimitsAreInclusiveAndOnlyInForceWhenOrdered) {
    auto rec = std::make_unique<Recording>();
    rec->tempLower = 2.0f;
    rec->tempUpper = 8.0f;
    rec->tempAlarmOn = rec->tempLower < rec->tempUpper;
    EXPECT_FALSE(rec->tempOutOfLimits(8.0f));
    EXPECT_FALSE(rec->tempOutOfLimits(2.0f));
    EXPECT_TRUE(rec->tempOutOfLimits(8.01f));
    EXPECT_TRUE(rec->tempOutOfLimits(1.99f));
    rec->tempLower = 8.0f;
    rec->tempUpper = 2.0f;
    rec->tempAlarmOn = rec->tempLower < rec->tempUpper;
    EXPECT_FALSE(rec->tempOutOfLimits(100.0f));
}

TEST(RecordingKind, FromTheSerialNumberOfAFile) {
    EXPECT_EQ(kindFromFileSerial("DI123"), KindTemp);
    EXPECT_EQ(kindFromFileSerial("DX123"), KindTempCompact);
    EXPECT_EQ(kindFromFileSerial("i1234"), KindTempCompact);
    EXPECT_EQ(kindFromFileSerial("UTH12"), KindTempHumi);
    EXPECT_EQ(kindFromFileSerial("UTX12"), KindTempUT);
    EXPECT_EQ(kindFromFileSerial("UA123"), KindTemp);
    EXPECT_EQ(kindFromFileSerial("I1234"), KindNone);
    EXPECT_EQ(kindFromFileSerial(""), KindNone);
}

TEST(ListRows, SummaryRowsAndSampleCells) {
    ScopedTimeZone tz("UTC");
    ScopedLanguage lang(1033);
    auto rec = makeRecording(KindTemp, 5, 1393668000, 300);
    EXPECT_EQ(summaryListRows(*rec).size(), 10u);
    rec->kind = KindTempHumi;
    const auto rows = summaryListRows(*rec);
    ASSERT_EQ(rows.size(), 15u);
    EXPECT_EQ(rows[14].first, " Humi Lower Limit:");

    AppSettings s;
    s.setLanguage(2052);  // °C
    rec->temperature[1] = 8.5f;
    EXPECT_EQ(sampleListCell(*rec, 0, 0, s), "1");
    EXPECT_EQ(sampleListCell(*rec, 1, 1, s), "2014-3-1 10:05");
    EXPECT_EQ(sampleListCell(*rec, 1, 2, s), "8.50°C*");
    rec->temperature[2] = 5.0f;
    EXPECT_EQ(sampleListCell(*rec, 2, 2, s), "5.00°C");
    rec->temperature[3] = -1000.0f;
    EXPECT_EQ(sampleListCell(*rec, 3, 2, s), "");
    rec->sampleTime[4] = 0;
    EXPECT_EQ(sampleListCell(*rec, 4, 1, s), "");
    EXPECT_EQ(sampleListCell(*rec, 5, 0, s), "");          // beyond the loaded samples
    EXPECT_EQ(sampleListCell(*rec, 0, 3, s), "40.00%RH");  // kind 4: the humidity
    rec->humiAlarmOn = true;
    rec->humiLower = 45.0f;
    rec->humiUpper = 65.0f;
    EXPECT_EQ(sampleListCell(*rec, 0, 3, s), "40.00%RH*");
    EXPECT_EQ(sampleListCell(*rec, 0, 4, s), "");
    s.currentUnit = s.unitFahrenheit;
    EXPECT_EQ(sampleListCell(*rec, 2, 2, s), "41.00°F");
}

TEST(RecordingPartial, CutKeepsOnlyTheReceivedSamplesAndTheirTimesAndStatistics) {
    ScopedTimeZone tz("UTC");
    auto rec = makeRecording(KindTemp, 100, 1764576000, 300);
    EXPECT_FALSE(rec->isIncomplete());
    rec->samplesLoaded = 32;
    // The tail holds the announced maximum, which never arrived.
    rec->temperature[50] = 99.0f;
    rec->tempMax = 99.0f;
    ASSERT_TRUE(rec->isIncomplete());

    rec->cutToReceivedSamples();
    EXPECT_FALSE(rec->isIncomplete());
    EXPECT_EQ(rec->sampleCount, 32);
    EXPECT_EQ(rec->values[Recording::ValCount], "32");
    EXPECT_EQ(rec->stopTime, 1764576000 + 31 * 300);
    EXPECT_EQ(rec->values[Recording::ValStop], "2025-12-1  10:35");
    EXPECT_EQ(rec->sampleTime[31], rec->stopTime);
    float hi = rec->temperature[0], lo = rec->temperature[0];
    double sum = 0;
    for (int i = 0; i < 32; ++i) {
        hi = std::max(hi, rec->temperature[static_cast<std::size_t>(i)]);
        lo = std::min(lo, rec->temperature[static_cast<std::size_t>(i)]);
        sum += rec->temperature[static_cast<std::size_t>(i)];
    }
    EXPECT_FLOAT_EQ(rec->tempMax, hi);
    EXPECT_FLOAT_EQ(rec->tempMin, lo);
    EXPECT_NEAR(rec->tempAvg, sum / 32, 1e-4);
    EXPECT_EQ(
        rec->values[Recording::ValTempMax].rfind(format("%4.2f", AppSettings::instance().toDisplay(hi)), 0),
        0u)
        << rec->values[Recording::ValTempMax];

    // A complete recording, and one with no samples at all, are left alone.
    auto whole = makeRecording(KindTemp, 10);
    whole->cutToReceivedSamples();
    EXPECT_EQ(whole->sampleCount, 10);
    auto none = makeRecording(KindTemp, 10);
    none->samplesLoaded = 0;
    EXPECT_FALSE(none->isIncomplete());
}
