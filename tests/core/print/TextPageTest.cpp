#include <gtest/gtest.h>

#include "app/AppSettings.h"
#include "canvas/RecordingCanvas.h"
#include "core/print/PrintTestData.h"
#include "print/TextPage.h"

using namespace thermivo;
using thermivo::testing::makeSawtoothRecording;
using thermivo::testing::ScopedTimeZone;

namespace {

PrintJob jobFor(const Recording& rec, bool fahrenheit = false) {
    PrintJob job(rec);
    job.fahrenheit = fahrenheit;
    job.unitText = fahrenheit ? "\u00B0F" : "\u00B0C";
    SelectRange(rec, rec.startTime, rec.stopTime, job.selection);
    job.pageTotal = textPageCount(job.selection.selCount);
    return job;
}

/// The row numbers drawn in the number column of a table page.
std::vector<std::string> rowNumbers(const TextLayout& layout, const PrintJob& job, int page) {
    RecordingCanvas canvas;
    DrawTextPage(layout, job, canvas, page);
    std::vector<std::string> out;
    for (const auto& t : canvas.texts())
        if (t.at.x == layout.numberX && t.at.y > layout.headingY) out.push_back(t.text);
    return out;
}

}  // namespace

TEST(TextPage, RowsAreSpreadSixtyPerPageAfterTheSummary) {
    ScopedTimeZone tz("UTC");
    const TextLayout layout = ComputeTextLayout(96, 96, 1.0);
    auto rec = makeSawtoothRecording(130);
    const PrintJob job = jobFor(*rec);
    EXPECT_EQ(job.pageTotal, 4);
    const auto p2 = rowNumbers(layout, job, 2), p3 = rowNumbers(layout, job, 3),
               p4 = rowNumbers(layout, job, 4);
    ASSERT_EQ(p2.size(), 60u);
    EXPECT_EQ(p2.front(), "1");
    EXPECT_EQ(p2.back(), "60");
    ASSERT_EQ(p3.size(), 60u);
    EXPECT_EQ(p3.front(), "61");
    EXPECT_EQ(p3.back(), "120");
    ASSERT_EQ(p4.size(), 10u);
    EXPECT_EQ(p4.front(), "121");
    EXPECT_EQ(p4.back(), "130");

    auto exact = makeSawtoothRecording(120);
    const PrintJob job120 = jobFor(*exact);
    EXPECT_EQ(job120.pageTotal, 3);
    const auto last = rowNumbers(layout, job120, 3);
    ASSERT_EQ(last.size(), 60u);
    EXPECT_EQ(last.front(), "61");
    EXPECT_EQ(last.back(), "120");
    EXPECT_EQ(textPageCount(0), 1);
    EXPECT_EQ(textPageCount(1), 2);
    EXPECT_EQ(textPageCount(60000), 1001);
}

TEST(TextPage, RowTextsTimesShadesAndPageNumber) {
    ScopedTimeZone tz("UTC");
    const TextLayout layout = ComputeTextLayout(96, 96, 1.0);
    EXPECT_EQ(layout.rowsPerPage, 60);
    EXPECT_EQ(layout.rowHeight, 15);  // 4 mm at 96 dpi
    auto rec = makeSawtoothRecording(130);
    const PrintJob job = jobFor(*rec);
    RecordingCanvas canvas;
    DrawTextPage(layout, job, canvas, 3);
    EXPECT_TRUE(canvas.hasText("3/4"));
    EXPECT_TRUE(canvas.hasText("DI123456789"));
    EXPECT_TRUE(canvas.hasText(" 2014-3-1 11:00"));  // row 61 = sample 60
    EXPECT_TRUE(canvas.hasText("Num"));
    EXPECT_FALSE(canvas.hasText("Humidity"));
    for (const auto& t : canvas.texts()) {
        if (t.text != "61") continue;
        EXPECT_EQ(t.background, (Rgb{246, 246, 246}));
        EXPECT_EQ(t.at.y, layout.headingY + layout.rowHeight);
        EXPECT_EQ(t.font.height, -12);  // 9 points at 96 dpi
    }
}

TEST(TextPage, LimitMarkersInCelsiusAndFahrenheit) {
    auto rec = makeSawtoothRecording(130);
    rec->tempAlarmOn = true;
    rec->tempLower = -25.0f;
    rec->tempUpper = 8.0f;
    EXPECT_EQ(textTemperatureCell(jobFor(*rec), -30.5f), "-30.50\u00B0C [<-25.00]");
    EXPECT_EQ(textTemperatureCell(jobFor(*rec, true), -30.5f), "-22.90\u00B0F [<-13.00]");
    EXPECT_EQ(textTemperatureCell(jobFor(*rec), 8.5f), "8.50\u00B0C [>8.00]");
    EXPECT_EQ(textTemperatureCell(jobFor(*rec), 8.0f), "8.00\u00B0C");
    EXPECT_EQ(textTemperatureCell(jobFor(*rec), -25.0f), "-25.00\u00B0C");
    rec->tempAlarmOn = false;
    EXPECT_EQ(textTemperatureCell(jobFor(*rec), -30.5f), "-30.50\u00B0C");

    auto humi = makeSawtoothRecording(10, KindTempHumi);
    humi->humiAlarmOn = true;
    humi->humiLower = 30.0f;
    humi->humiUpper = 70.0f;
    EXPECT_EQ(textHumidityCell(jobFor(*humi, true), 75.0f), "75.00%RH [>70.00]");
    EXPECT_EQ(textHumidityCell(jobFor(*humi), 70.0f), "70.00%RH");
    EXPECT_EQ(textTemperatureCell(jobFor(*humi), -1000.0f), "");  // a sample without value prints empty

    // The drawn row carries the same text.
    rec->tempAlarmOn = true;
    rec->temperature[0] = -30.5f;
    RecordingCanvas canvas;
    DrawTextPage(ComputeTextLayout(96, 96, 1.0), jobFor(*rec, true), canvas, 2);
    EXPECT_TRUE(canvas.hasText("-22.90\u00B0F [<-13.00]"));
}

TEST(TextPage, SummaryPageLinesWithAndWithoutHumidity) {
    ScopedTimeZone tz("UTC");
    const TextLayout layout = ComputeTextLayout(96, 96, 1.0);
    auto rec = makeSawtoothRecording(130, KindTemp, 90061);  // 1 day 1 h 1 min 1 s
    rec->tempAlarmOn = true;
    rec->tempLower = 2.0f;
    rec->tempUpper = 8.0f;
    const PrintJob job = jobFor(*rec);
    RecordingCanvas canvas;
    DrawTextPage(layout, job, canvas, 1);
    EXPECT_TRUE(canvas.hasText(" Sampling Interval: 01:01:01"));
    EXPECT_TRUE(canvas.hasText(" Description: Temp Record"));
    EXPECT_TRUE(canvas.hasText(" Serial Number: DI123456789"));
    EXPECT_TRUE(canvas.hasText(" Start Time: 2014-3-1 10:00"));
    EXPECT_TRUE(canvas.hasText(" Quantity of Data: 130"));
    EXPECT_TRUE(canvas.hasText("Temp Alarm: [2.00, 8.00]\u00B0C"));
    EXPECT_TRUE(canvas.hasText("1/4"));
    const auto texts = canvas.texts();
    ASSERT_EQ(texts.size(), 11u);  // page number + ten lines
    EXPECT_EQ(texts[1].at.y, layout.summaryY);
    EXPECT_EQ(texts[2].at.y, layout.summaryY + layout.summaryStep);
    EXPECT_EQ(texts[1].font.height, -16);  // 12 points at 96 dpi

    auto humi = makeSawtoothRecording(50, KindTempHumi);
    RecordingCanvas humiCanvas;
    DrawTextPage(layout, jobFor(*humi), humiCanvas, 1);
    EXPECT_TRUE(humiCanvas.hasText(" Humi Max.: 69.00%RH"));
    EXPECT_TRUE(humiCanvas.hasText("Humi Alarm: "));
    EXPECT_EQ(humiCanvas.texts().size(), 15u);
    RecordingCanvas table;
    DrawTextPage(layout, jobFor(*humi), table, 2);
    EXPECT_TRUE(table.hasText("Humidity"));
    EXPECT_TRUE(table.hasText("20.00%RH"));
}
