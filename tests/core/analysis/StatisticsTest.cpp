#include "analysis/Statistics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "data/Recording.h"

namespace thermivo {
namespace {

std::unique_ptr<Recording> recordingOf(const std::vector<float>& temps, std::int64_t interval = 300) {
    auto rec = std::make_unique<Recording>();
    rec->kind = KindTemp;
    rec->sampleCount = rec->samplesLoaded = static_cast<std::int32_t>(temps.size());
    rec->dataFlags = Recording::kSamplesPresent;
    rec->startTime = 1700000000;
    rec->intervalSeconds = interval;
    rec->buildSampleTimes();
    for (std::size_t i = 0; i < temps.size(); ++i) rec->temperature[i] = temps[i];
    return rec;
}

TEST(MeanKineticTemperature, HandComputedCases) {
    const std::vector<float> constant(100, 5.0f);
    EXPECT_NEAR(*meanKineticTemperature(constant.data(), 100, kDefaultActivationEnergyKJPerMol), 5.00, 0.005);

    // 10000 / -ln((e^(-10000/273.15) + e^(-10000/293.15)) / 2) - 273.15: weighted toward the warm sample.
    const float pair[] = {0.0f, 20.0f};
    const double mkt = *meanKineticTemperature(pair, 2, kDefaultActivationEnergyKJPerMol);
    EXPECT_NEAR(mkt, 14.82, 0.01);

    // A smaller activation energy pulls the figure toward the arithmetic mean.
    const double low = *meanKineticTemperature(pair, 2, 20.0);
    EXPECT_GT(low, 10.0);
    EXPECT_LT(low, mkt);
}

TEST(MeanKineticTemperature, LeavesOutSamplesWithoutValueAndRefusesNothing) {
    const float withGaps[] = {-1000.0f, 5.0f, -2000.0f, 5.0f};
    EXPECT_NEAR(*meanKineticTemperature(withGaps, 4, kDefaultActivationEnergyKJPerMol), 5.0, 1e-4);
    const float none[] = {-1000.0f, -1500.0f};
    EXPECT_FALSE(meanKineticTemperature(none, 2, kDefaultActivationEnergyKJPerMol));
    EXPECT_FALSE(meanKineticTemperature(withGaps, 0, kDefaultActivationEnergyKJPerMol));
    EXPECT_FALSE(meanKineticTemperature(withGaps, 4, 0.0));
    EXPECT_FALSE(meanKineticTemperature(withGaps, 4, -5.0));
}

TEST(MeanKineticTemperature, HugeActivationEnergyDoesNotUnderflow) {
    // exp(-k/T) is far below the smallest double here; the result tends to the maximum.
    const float pair[] = {0.0f, 20.0f};
    const auto mkt = meanKineticTemperature(pair, 2, 1e6);
    ASSERT_TRUE(mkt);
    EXPECT_TRUE(std::isfinite(*mkt));
    EXPECT_NEAR(*mkt, 20.0, 0.1);
}

TEST(LimitStatistics, RunAboveTheLimitIsOneExcursion) {
    auto rec = recordingOf({5, 5, 9, 10.5f, 9.5f, 5, 1, 5});
    rec->tempAlarmOn = true;
    rec->tempLower = 2;
    rec->tempUpper = 8;
    const auto s = computeStatistics(*rec);
    EXPECT_EQ(s.temperature.secondsAbove, 900);
    EXPECT_EQ(s.temperature.secondsBelow, 300);
    ASSERT_EQ(s.temperature.excursions.size(), 2u);
    const Excursion& high = s.temperature.excursions[0];
    EXPECT_EQ(high.side, Excursion::High);
    EXPECT_EQ(high.seconds, 900);
    EXPECT_EQ(high.start, 1700000000 + 2 * 300);
    EXPECT_EQ(high.end, 1700000000 + 4 * 300);  // the time of its last sample
    EXPECT_EQ(high.firstSample, 2);
    EXPECT_EQ(high.lastSample, 4);
    EXPECT_FLOAT_EQ(high.extreme, 10.5f);
    const Excursion& low = s.temperature.excursions[1];
    EXPECT_EQ(low.side, Excursion::Low);
    EXPECT_EQ(low.seconds, 300);
    EXPECT_EQ(low.start, low.end);
    EXPECT_FLOAT_EQ(low.extreme, 1.0f);
}

TEST(LimitStatistics, SamplesEqualToALimitAreInside) {
    auto rec = recordingOf({2, 8, 8, 2, 5});
    rec->tempAlarmOn = true;
    rec->tempLower = 2;
    rec->tempUpper = 8;
    const auto s = computeStatistics(*rec);
    EXPECT_TRUE(s.temperature.alarmOn);
    EXPECT_EQ(s.temperature.secondsAbove, 0);
    EXPECT_EQ(s.temperature.secondsBelow, 0);
    EXPECT_TRUE(s.temperature.excursions.empty());
}

TEST(LimitStatistics, SideChangeAndMissingValueSplitRuns) {
    // High straight into low makes two runs; a sample without value ends a run without counting.
    auto rec = recordingOf({9, 1, 0.5f, -1000.0f, 0, 9, 12}, 60);
    rec->tempAlarmOn = true;
    rec->tempLower = 2;
    rec->tempUpper = 8;
    const auto s = computeStatistics(*rec);
    ASSERT_EQ(s.temperature.excursions.size(), 4u);
    EXPECT_EQ(s.temperature.excursions[0].side, Excursion::High);
    EXPECT_EQ(s.temperature.excursions[1].side, Excursion::Low);
    EXPECT_EQ(s.temperature.excursions[1].seconds, 120);
    EXPECT_FLOAT_EQ(s.temperature.excursions[1].extreme, 0.5f);
    EXPECT_EQ(s.temperature.excursions[2].firstSample, 4);
    EXPECT_EQ(s.temperature.excursions[3].seconds, 120);
    EXPECT_FLOAT_EQ(s.temperature.excursions[3].extreme, 12.0f);
    EXPECT_EQ(s.temperature.secondsAbove, 180);
    EXPECT_EQ(s.temperature.secondsBelow, 180);
    EXPECT_FLOAT_EQ(*s.minCelsius, 0.0f);
    EXPECT_FLOAT_EQ(*s.maxCelsius, 12.0f);
}

TEST(LimitStatistics, AlarmOffGivesNothingAndHumidityOnlyForKindFour) {
    auto rec = recordingOf({20, 30, 40});
    rec->tempLower = 2;
    rec->tempUpper = 8;
    rec->humiAlarmOn = true;  // no humidity in a kind-1 recording, whatever the flag says
    rec->humiLower = 0;
    rec->humiUpper = 1;
    auto s = computeStatistics(*rec);
    EXPECT_FALSE(s.temperature.alarmOn);
    EXPECT_TRUE(s.temperature.excursions.empty());
    EXPECT_FALSE(s.hasHumidity);
    EXPECT_FALSE(s.humidity.alarmOn);

    rec->kind = KindTempHumi;
    rec->humidity[0] = 0.5f;
    rec->humidity[1] = 70.0f;
    rec->humidity[2] = 75.0f;
    s = computeStatistics(*rec);
    EXPECT_TRUE(s.hasHumidity);
    ASSERT_TRUE(s.humidity.alarmOn);
    ASSERT_EQ(s.humidity.excursions.size(), 1u);
    EXPECT_EQ(s.humidity.excursions[0].seconds, 600);
    EXPECT_FLOAT_EQ(s.humidity.excursions[0].extreme, 75.0f);
    rec->humiAlarmOn = false;
    EXPECT_FALSE(computeStatistics(*rec).humidity.alarmOn);
}

TEST(SampleRanges, TimeRangeSelectsSamplesInclusively) {
    auto rec = recordingOf({1, 2, 3, 4, 5, 6}, 60);
    const std::int64_t t0 = rec->startTime;
    auto r = sampleRangeBetween(*rec, t0 + 60, t0 + 180);
    EXPECT_EQ(r.first, 1);
    EXPECT_EQ(r.last, 4);
    r = sampleRangeBetween(*rec, std::nullopt, t0 + 30);
    EXPECT_EQ(r.count(), 1);
    r = sampleRangeBetween(*rec, t0 + 1000, std::nullopt);
    EXPECT_EQ(r.count(), 0);
    const auto s = computeStatistics(*rec, sampleRangeBetween(*rec, t0 + 60, t0 + 180));
    EXPECT_DOUBLE_EQ(*s.avgCelsius, 3.0);
    EXPECT_FALSE(computeStatistics(*rec, SampleRange{4, 2}).mktCelsius);
    // A range past the loaded samples is cut to them.
    EXPECT_EQ(computeStatistics(*rec, SampleRange{0, 1000}).range.last, 6);
}

}  // namespace
}  // namespace thermivo
