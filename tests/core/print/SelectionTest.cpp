#include <gtest/gtest.h>

#include "core/print/PrintTestData.h"
#include "print/Selection.h"

using namespace thermivo;
using thermivo::testing::makeSawtoothRecording;

TEST(SelectRange, WholeRecordingAndStatistics) {
    auto rec = makeSawtoothRecording(130);
    rec->temperature[5] = 40.0f;
    rec->temperature[9] = 40.0f;  // equal later maximum does not replace the first
    rec->temperature[7] = -20.0f;
    Selection sel;
    ASSERT_TRUE(SelectRange(*rec, rec->startTime, rec->stopTime, sel));
    EXPECT_EQ(sel.selFirst, 0);
    EXPECT_EQ(sel.selLast, 129);
    EXPECT_EQ(sel.selCount, 130);
    EXPECT_EQ(sel.selFirstTime, rec->startTime);
    EXPECT_EQ(sel.selLastTime, rec->stopTime);
    EXPECT_FLOAT_EQ(sel.selTempMax, 40.0f);
    EXPECT_FLOAT_EQ(sel.selTempMin, -20.0f);
    float sum = 0;
    for (int i = 0; i < 130; ++i) sum += rec->temperature[static_cast<std::size_t>(i)];
    EXPECT_FLOAT_EQ(sel.selTempAvg, sum / 130.0f);
    EXPECT_FLOAT_EQ(sel.selHumiMin, 20.0f);
    EXPECT_FLOAT_EQ(sel.selHumiMax, 80.0f);
}

TEST(SelectRange, StartBetweenTwoSamplesSelectsTheEarlierAndTimesAreClamped) {
    auto rec = makeSawtoothRecording(100, KindTemp, 300);
    Selection sel;
    // 10 minutes and 1 second after sample 2 lies between samples 4 and 5.
    ASSERT_TRUE(SelectRange(*rec, rec->startTime + 1201, rec->startTime + 1799, sel));
    EXPECT_EQ(sel.selFirst, 4);
    EXPECT_EQ(sel.selLast, 5);
    EXPECT_EQ(sel.selCount, 2);
    EXPECT_EQ(sel.selFirstTime, rec->startTime + 1200);

    ASSERT_TRUE(SelectRange(*rec, rec->startTime - 86400, rec->stopTime + 86400, sel));
    EXPECT_EQ(sel.selFirst, 0);
    EXPECT_EQ(sel.selLast, 99);
}

TEST(SelectRange, InvertedRangeIsRefusedAndKeepsTheSelection) {
    auto rec = makeSawtoothRecording(100);
    Selection sel;
    ASSERT_TRUE(SelectRange(*rec, rec->startTime + 600, rec->startTime + 1200, sel));
    EXPECT_FALSE(SelectRange(*rec, rec->startTime + 1200, rec->startTime + 600, sel));
    EXPECT_EQ(sel.selFirst, 10);
    EXPECT_EQ(sel.selLast, 20);
    // A start after the recording's end becomes inverted once the end is clamped.
    EXPECT_FALSE(SelectRange(*rec, rec->stopTime + 60, rec->stopTime + 120, sel));
    EXPECT_EQ(sel.selCount, 11);
}

TEST(SelectRange, NoSamplesGivesAnEmptySelection) {
    auto rec = makeSawtoothRecording(10);
    rec->samplesLoaded = 0;
    Selection sel;
    sel.selCount = 5;
    ASSERT_TRUE(SelectRange(*rec, rec->startTime, rec->stopTime, sel));
    EXPECT_EQ(sel.selCount, 0);
}

TEST(SelectRange, SamplesWithoutValueAreNoReadings) {
    auto rec = makeSawtoothRecording(10, KindTempHumi);
    for (int i = 0; i < 10; ++i) {
        rec->temperature[static_cast<std::size_t>(i)] = 4.0f + static_cast<float>(i);
        rec->humidity[static_cast<std::size_t>(i)] = 50.0f;
    }
    rec->temperature[3] = rec->humidity[3] = Recording::kNoValue;
    rec->temperature[0] = Recording::kNoValue;  // also the first sample, where the extremes used to start
    Selection sel;
    ASSERT_TRUE(SelectRange(*rec, rec->startTime, rec->stopTime, sel));
    EXPECT_EQ(sel.selCount, 10);  // the rows stay; the text pages show them with an empty value
    EXPECT_FLOAT_EQ(sel.selTempMin, 5.0f);
    EXPECT_FLOAT_EQ(sel.selTempMax, 13.0f);
    EXPECT_FLOAT_EQ(sel.selTempAvg, (5 + 6 + 8 + 9 + 10 + 11 + 12 + 13) / 8.0f);
    EXPECT_FLOAT_EQ(sel.selHumiMin, 50.0f);
    EXPECT_FLOAT_EQ(sel.selHumiAvg, 50.0f);
}
