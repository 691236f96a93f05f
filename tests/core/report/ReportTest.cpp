#include <gtest/gtest.h>

#include <string>

#include "app/AppSettings.h"
#include "canvas/RecordingCanvas.h"
#include "core/print/PrintTestData.h"
#include "report/Report.h"

using namespace thermivo;
using thermivo::testing::makeSawtoothRecording;
using thermivo::testing::ScopedTimeZone;

namespace {

ReportContent contentFor(const Recording& rec) {
    AppSettings celsius;
    celsius.currentUnit = celsius.unitCelsius;
    ReportRequest request;
    request.sourceName = "trip.kvlu";
    request.sourceSha256 = std::string(64, 'e');
    request.madeAt = 1393668000;
    return buildReportContent(rec, request, celsius);
}

using Kind = ReportDocument::Block::Kind;

}  // namespace

TEST(Report, TheExcursionTableContinuesWithItsHeaderAndEveryPageHasItsFooter) {
    ScopedTimeZone utc("UTC");
    // The saw-tooth leaves 2..8 °C on both sides in every period: some hundred excursions.
    auto rec = makeSawtoothRecording(8000);
    rec->tempAlarmOn = true;
    rec->tempLower = 2;
    rec->tempUpper = 8;
    const ReportContent content = contentFor(*rec);
    ASSERT_GT(content.excursions.size(), 150u);
    const ReportDocument doc(*rec, content, 600, 600, 4724, 6780);
    ASSERT_GE(doc.pageCount(), 4);
    std::size_t rows = 0;
    for (int p = 1; p <= doc.pageCount(); ++p) {
        const auto& blocks = doc.pages()[static_cast<std::size_t>(p - 1)];
        bool hasRow = false;
        for (std::size_t b = 0; b < blocks.size(); ++b) {
            if (blocks[b].kind != Kind::TableRow) continue;
            if (!hasRow) {
                ASSERT_GT(b, 0u);
                EXPECT_EQ(blocks[b - 1].kind, Kind::TableHeader) << "page " << p;
            }
            hasRow = true;
            EXPECT_EQ(blocks[b].index, static_cast<int>(rows)) << "rows in order, none lost";
            ++rows;
        }
        RecordingCanvas canvas(600, 600);
        doc.drawPage(canvas, p);
        EXPECT_TRUE(canvas.hasText("Page " + std::to_string(p) + " of " + std::to_string(doc.pageCount())));
        EXPECT_TRUE(canvas.hasText("SHA-256 eeeeeeeeeeeeeeee"));
        for (const auto& block : blocks)
            EXPECT_LE(block.topMm + block.heightMm, 273.0 + 1e-9) << "page " << p;
    }
    EXPECT_EQ(rows, content.excursions.size());
}

TEST(Report, OneMoreIdentityFieldIsOneMoreLineAndNoLimitsIsSaid) {
    ScopedTimeZone utc("UTC");
    auto rec = makeSawtoothRecording(100);
    ReportContent content = contentFor(*rec);
    ASSERT_EQ(content.verdicts.size(), 1u);
    EXPECT_EQ(content.verdicts[0].outcome, ReportVerdict::Outcome::NoLimits);
    EXPECT_EQ(content.verdicts[0].text, "Result: No alarm limits set");
    content.identity.push_back({"Verified original", "yes"});
    const ReportDocument doc(*rec, content, 300, 300, 2362, 3390);
    RecordingCanvas canvas(300, 300);
    doc.drawPage(canvas, 1);
    EXPECT_TRUE(canvas.hasText("Verified original"));
    EXPECT_TRUE(canvas.hasText("yes"));
    EXPECT_TRUE(canvas.hasText("2014-03-01 10:00:00 +00:00"));
}

TEST(Report, CommentsWrapAtBlanksAndChineseCountsDouble) {
    EXPECT_EQ(wrapText("one two three", 7), (std::vector<std::string>{"one two", "three"}));
    EXPECT_EQ(wrapText("a\nb", 10), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(wrapText("冷链冷链", 4), (std::vector<std::string>{"冷链", "冷链"}));
    EXPECT_TRUE(wrapText("", 10).empty());
}
