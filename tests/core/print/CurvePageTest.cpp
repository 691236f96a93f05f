#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <variant>

#include "canvas/RecordingCanvas.h"
#include "core/print/PrintTestData.h"
#include "print/CurvePage.h"
#include "print/TextPage.h"

using namespace thermivo;
using thermivo::testing::makeSawtoothRecording;
using thermivo::testing::ScopedTimeZone;

namespace {

PrintJob jobFor(const Recording& rec, int pages, int screenDpi = 96, bool fahrenheit = false) {
    PrintJob job(rec);
    job.fahrenheit = fahrenheit;
    job.unitText = fahrenheit ? "\u00B0F" : "\u00B0C";
    job.screenPlotPixels = screenPlotPixelsFor(screenDpi);
    SelectRange(rec, rec.startTime, rec.stopTime, job.selection);
    job.pageTotal = pages;
    job.curveLabels = ComputeCurveLabels(job);
    return job;
}

std::vector<RecordingCanvas::Polyline> polylinesOfWidth(const RecordingCanvas& canvas, int width) {
    std::vector<RecordingCanvas::Polyline> out;
    for (const auto& p : canvas.polylines())
        if (p.pen.width == width) out.push_back(p);
    return out;
}

}  // namespace

TEST(CurvePage, TwelveHundredSamplesOnTwoPagesUseConsecutiveSamples) {
    auto rec = makeSawtoothRecording(1200);
    const PrintJob job = jobFor(*rec, 2);
    EXPECT_EQ(job.screenPlotPixels, 907);
    const CurveLayout layout = ComputeCurveLayout(job, 96, 96, 1.0);
    const StripGeometry g = ComputeStripGeometry(1200, 2, 907, layout.plotWidth);
    EXPECT_EQ(g.samplesPerStrip, 201);
    EXPECT_EQ(g.stripPoints, 202);
    EXPECT_DOUBLE_EQ(g.bucketStep, 1.0);
    for (int n = 0; n < 6; ++n) {
        const StripSamples s = ComputeStripSamples(job, g, n);
        EXPECT_EQ(s.tempPointSamples[0], n * 201) << n;
        const int expected = n < 5 ? 202 : 1200 - 1005;
        ASSERT_EQ(s.stripPointCount, expected) << n;
        for (int i = 0; i < s.stripPointCount; ++i)
            ASSERT_EQ(s.tempPointSamples[static_cast<std::size_t>(i)], n * 201 + i);
    }
    RecordingCanvas canvas;
    DrawCurvePage(layout, job, canvas, 2);
    const auto curves = polylinesOfWidth(canvas, 1);
    ASSERT_EQ(curves.size(), 3u);
    EXPECT_EQ(curves[0].points.size(), 202u);
    EXPECT_EQ(curves[2].points.size(), 195u);
    EXPECT_EQ(curves[0].points.front().x, layout.plotLeft);
    EXPECT_TRUE(canvas.hasText("2/2"));
    EXPECT_TRUE(polylinesOfWidth(canvas, 3).empty());  // no humidity for kind 1
}

TEST(CurvePage, AGapIsAGapInTheLineAndNotPartOfTheScale) {
    auto rec = makeSawtoothRecording(120, KindTempHumi);
    for (int i = 50; i < 53; ++i) rec->temperature[static_cast<std::size_t>(i)] = Recording::kNoValue;
    rec->humidity[80] = Recording::kNoValue;
    const PrintJob job = jobFor(*rec, 1);
    EXPECT_FLOAT_EQ(job.curveLabels.scaleTop - 4 * job.curveLabels.scaleStep, -10.0f);  // not -1000
    const CurveLayout layout = ComputeCurveLayout(job, 96, 96, 1.0);
    RecordingCanvas canvas;
    DrawCurvePage(layout, job, canvas, 1);
    const auto temp = polylinesOfWidth(canvas, 1);
    const auto humi = polylinesOfWidth(canvas, 3);
    // Strip 2 draws samples 41..82 (a strip ends on the first sample of the next), with the gaps.
    ASSERT_EQ(temp.size(), 4u);
    ASSERT_EQ(humi.size(), 4u);
    EXPECT_EQ(temp[1].points.size(), 9u);   // 41..49
    EXPECT_EQ(temp[2].points.size(), 30u);  // 53..82
    EXPECT_EQ(humi[1].points.size(), 39u);  // 41..79
    EXPECT_EQ(humi[2].points.size(), 2u);   // 81..82
    const int bottom = layout.plotTop + 2 * layout.stripPitch + layout.plotHeight;
    for (const auto& line : temp)
        for (const Point& p : line.points) EXPECT_LE(p.y, bottom);
}

TEST(CurvePage, SixtyThousandSamplesOnOnePageAreThinnedToTheScreenWidth) {
    auto rec = makeSawtoothRecording(60000);
    const PrintJob job = jobFor(*rec, 1);
    const CurveLayout layout = ComputeCurveLayout(job, 96, 96, 1.0);
    const StripGeometry g = ComputeStripGeometry(60000, 1, job.screenPlotPixels, layout.plotWidth);
    EXPECT_EQ(g.samplesPerStrip, 20001);
    EXPECT_EQ(g.stripPoints, 907);
    EXPECT_NEAR(g.bucketStep, 40002.0 / 907.0, 1e-9);
    RecordingCanvas canvas;
    DrawCurvePage(layout, job, canvas, 1);
    const auto curves = polylinesOfWidth(canvas, 1);
    ASSERT_EQ(curves.size(), 3u);
    for (const auto& c : curves) {
        EXPECT_EQ(c.points.size(), 907u);
        EXPECT_LE(c.points.back().x, layout.plotLeft + layout.plotWidth);
        for (const auto& p : c.points) {
            // Every point lies in the value band of its strip: 5 mm to 45 mm below the strip top.
            const int strip = (p.y - layout.plotTop) / layout.stripPitch;
            const int top = layout.plotTop + strip * layout.stripPitch;
            ASSERT_GE(p.y, top + static_cast<int>(layout.gridStep) - 1);
            ASSERT_LE(p.y, top + static_cast<int>(9 * layout.gridStep) + 1);
        }
    }
    // The saw-tooth reaches its extremes in every bucket, so each bucket gives an ascending pair.
    const StripSamples s = ComputeStripSamples(job, g, 0);
    EXPECT_LT(s.tempPointSamples[0], s.tempPointSamples[1]);
    EXPECT_LT(s.tempPointSamples[1], 45);
}

TEST(CurvePage, PointsStayWithinTheArraysOnAHighResolutionScreen) {
    auto rec = makeSawtoothRecording(60000, KindTempHumi);
    const PrintJob job = jobFor(*rec, 1, 144);  // 1360 screen pixels for the axis
    const CurveLayout layout = ComputeCurveLayout(job, 600, 600, 1.0);
    const StripGeometry g = ComputeStripGeometry(60000, 1, job.screenPlotPixels, layout.plotWidth);
    EXPECT_EQ(g.stripPoints, 1361);
    for (int n = 0; n < 3; ++n) {
        const StripSamples s = ComputeStripSamples(job, g, n);
        EXPECT_LE(s.stripPointCount, g.stripPoints);
        EXPECT_GE(s.tempPointSamples.size(), static_cast<std::size_t>(s.stripPointCount));
    }
    RecordingCanvas canvas;
    DrawCurvePage(layout, job, canvas, 1);
    EXPECT_EQ(polylinesOfWidth(canvas, 3).size(), 3u);  // humidity curves
}

TEST(CurvePage, FlatSelectionIsDrawnAtMidHeight) {
    auto rec = makeSawtoothRecording(500);
    for (int i = 0; i < 500; ++i) rec->temperature[static_cast<std::size_t>(i)] = 21.5f;
    const PrintJob job = jobFor(*rec, 1);
    const CurveLayout layout = ComputeCurveLayout(job, 96, 96, 1.0);
    EXPECT_TRUE(layout.tempFlat);
    EXPECT_TRUE(std::isfinite(layout.tempPixelsPerDegree));
    RecordingCanvas canvas;
    DrawCurvePage(layout, job, canvas, 1);
    const auto curves = polylinesOfWidth(canvas, 1);
    ASSERT_EQ(curves.size(), 3u);
    for (int r = 0; r < 3; ++r) {
        const int mid = r * layout.stripPitch + layout.plotTop + static_cast<int>(layout.gridStep) +
                        static_cast<int>(4 * layout.gridStep);
        for (const auto& p : curves[static_cast<std::size_t>(r)].points) ASSERT_EQ(p.y, mid);
    }
    EXPECT_TRUE(canvas.hasText("21.50\u00B0C"));
}

TEST(CurvePage, SummaryTableScaleLabelsAndTimeLabels) {
    ScopedTimeZone tz("UTC");
    auto rec = makeSawtoothRecording(1200, KindTempHumi);
    rec->tempAlarmOn = true;
    rec->tempLower = 0.0f;
    rec->tempUpper = 25.0f;
    const PrintJob job = jobFor(*rec, 1, 96, true);
    const CurveLayout layout = ComputeCurveLayout(job, 96, 96, 1.0);
    EXPECT_EQ(layout.font.height, -12);
    RecordingCanvas canvas;
    DrawCurvePage(layout, job, canvas, 1);
    EXPECT_TRUE(canvas.hasText("Temp Average"));
    EXPECT_TRUE(canvas.hasText("Humi Alarm"));
    EXPECT_TRUE(canvas.hasText("DI123456789" + std::string(41, ' ')) ||
                canvas.hasText("UTH12345678" + std::string(41, ' ')));
    EXPECT_TRUE(canvas.hasText("[32.00,77.00]\u00B0F"));
    EXPECT_TRUE(canvas.hasText("86.00\u00B0F"));  // highest scale label: 30 °C
    EXPECT_TRUE(canvas.hasText("14.00\u00B0F"));  // lowest: -10 °C
    EXPECT_TRUE(canvas.hasText("80.00%RH"));
    EXPECT_TRUE(canvas.hasText("2014-3-1 10:00"));  // first time label, first sample
    EXPECT_TRUE(canvas.hasText("1/1"));
    // Eight vertical table lines on the left block, three + closing on the right (two blocks for humidity).
    int verticals = 0;
    for (const auto& l : canvas.lines())
        if (l.from.x == l.to.x && l.from.y == layout.tableTop) ++verticals;
    EXPECT_EQ(verticals, 7 + 2 + 2 + 1);
}

TEST(CurvePage, StripsAfterTheSelectionKeepGridButNoCurve) {
    auto rec = makeSawtoothRecording(30);
    const PrintJob job = jobFor(*rec, 5);
    const CurveLayout layout = ComputeCurveLayout(job, 96, 96, 1.0);
    RecordingCanvas canvas;
    DrawCurvePage(layout, job, canvas, 5);  // 3 samples per strip: strips 12-14 start at 36, past the end
    EXPECT_TRUE(polylinesOfWidth(canvas, 1).empty());
    int gridLines = 0;
    for (const auto& l : canvas.lines())
        if (l.pen.style == PenStyle::Dot) ++gridLines;
    EXPECT_EQ(gridLines, 27);
    EXPECT_EQ(canvas.texts().size(), 8u + 7u + 15u + 1u);  // captions, values, scale labels, page number
}

TEST(CurvePage, PrinterAreaOfTheDesignSizePrintsAtFactorOne) {
    auto rec = makeSawtoothRecording(100);
    const PrintJob job = jobFor(*rec, 1);
    // 254 dpi is 10 pixels per millimetre: 2843 x 1973 pixels are 284.3 x 197.3 mm.
    const CurveLayout exact = ComputePrintCurveLayout(job, 254, 254, 2843, 1973);
    EXPECT_NEAR(exact.factor, 1.0, 1e-9);
    EXPECT_EQ(exact.plotWidth, 2400);
    EXPECT_EQ(exact.plotLeft, 300);
    EXPECT_EQ(exact.stripPitch, 570);
    EXPECT_EQ(exact.pageWidth, 2843);
    EXPECT_EQ(exact.pageHeight, 1973);
    EXPECT_EQ(exact.font.height, -mulDiv(9, 254, 72));
    // A narrower area shrinks everything by the smaller ratio.
    const CurveLayout narrow = ComputePrintCurveLayout(job, 254, 254, 2700, 1973);
    EXPECT_NEAR(narrow.factor, 270.0 / 284.3, 1e-9);
    EXPECT_EQ(narrow.plotWidth, static_cast<int>(240 * narrow.factor * 10));
    EXPECT_EQ(narrow.font.height, -mulDiv(8, 254, 72));
    const TextLayout portrait = ComputePrintTextLayout(254, 254, 1973, 2843);
    EXPECT_NEAR(portrait.factor, 1.0, 1e-9);
    EXPECT_EQ(portrait.tempX, 700);
    EXPECT_EQ(portrait.pageHeight, 2843);
    EXPECT_EQ(portrait.headingFont.height, -mulDiv(12, 254, 72));
    const CurveLayout screen = ComputeCurveLayout(job, 96, 96, 1.0);
    EXPECT_EQ(screen.pageWidth, 1096);  // 290 mm at 96 dpi
    EXPECT_EQ(screen.pageHeight, 755);
}

TEST(CurvePage, TableTextsWiderThanTheirCellGetASmallerFont) {
    auto rec = makeSawtoothRecording(100);
    rec->description() = "A description far too long for its cell";
    const PrintJob job = jobFor(*rec, 1);
    const CurveLayout layout = ComputeCurveLayout(job, 96, 96, 1.0);
    RecordingCanvas canvas;
    DrawCurvePage(layout, job, canvas, 1);
    bool found = false;
    for (const auto& t : canvas.texts()) {
        if (t.text == rec->description()) {
            found = true;
            EXPECT_GT(t.font.height, layout.font.height);  // negative: a smaller character height
            // The recording canvas measures half the character height per character.
            EXPECT_LE(static_cast<int>(t.text.size()) * std::abs(t.font.height) / 2,
                      layout.tableColumns[0] - layout.descriptionX);
        } else if (t.text == "Temp Record" || t.text == "1/1") {
            EXPECT_EQ(t.font.height, layout.font.height);
        }
        if (t.text.rfind("DI123456789", 0) == 0) {
            EXPECT_EQ(t.font.height, layout.font.height) << "the trailing blanks are not measured";
        }
    }
    EXPECT_TRUE(found);
}

namespace {

/// Every pen width a page drew with, in inches on paper, keyed by what the pen drew.
struct PenWidths {
    double grid = 0, table = 0, temperature = 0, humidity = 0, axis = 0, tick = 0;
};

PenWidths penWidthsInInches(const RecordingCanvas& canvas, int dpi) {
    PenWidths w;
    const auto inches = [dpi](const Pen& p) { return static_cast<double>(p.width) / dpi; };
    for (const auto& op : canvas.ops) {
        if (const auto* p = std::get_if<RecordingCanvas::Polyline>(&op)) {
            // The temperature curve comes first in every strip; the humidity curve is the wider one.
            const bool wider = p->pen.width > canvas.polylines().front().pen.width;
            (wider ? w.humidity : w.temperature) = inches(p->pen);
        } else if (const auto* l = std::get_if<RecordingCanvas::Line>(&op)) {
            const bool vertical = l->from.x == l->to.x;
            const int length = std::abs(l->to.x - l->from.x) + std::abs(l->to.y - l->from.y);
            if (l->pen.style == PenStyle::Dot)
                w.grid = inches(l->pen);
            else if (l->pen.color == Rgb{0, 0, 0} && vertical && length < dpi / 20)
                w.tick = std::max(w.tick, inches(l->pen));
            else if (vertical && length > dpi)
                w.axis = inches(l->pen);
            else if (l->from.y < dpi / 2 && length > dpi / 8)
                w.table = inches(l->pen);
        }
    }
    return w;
}

}  // namespace

TEST(CurvePage, PrintedPensHaveTheSameWidthOnPaperAtEveryResolution) {
    ScopedTimeZone tz("UTC");
    auto rec = makeSawtoothRecording(900, KindTempHumi);
    const PrintJob job = jobFor(*rec, 1);
    std::vector<PenWidths> measured;
    for (int dpi : {300, 600, 1200}) {
        // A4 landscape with 5 mm margins, as a printer reports it.
        const int width = static_cast<int>(287.0 / 25.4 * dpi), height = static_cast<int>(200.0 / 25.4 * dpi);
        const CurveLayout layout = ComputePrintCurveLayout(job, dpi, dpi, width, height);
        RecordingCanvas canvas(dpi, dpi);
        DrawCurvePage(layout, job, canvas, 1);
        measured.push_back(penWidthsInInches(canvas, dpi));
        // Dotted grid lines stay dotted, at any width.
        bool dotted = false;
        for (const auto& l : canvas.lines()) dotted = dotted || l.pen.style == PenStyle::Dot;
        EXPECT_TRUE(dotted) << dpi;
    }
    const PenWidths& at600 = measured[1];
    EXPECT_DOUBLE_EQ(at600.grid, 1.0 / 600);
    EXPECT_DOUBLE_EQ(at600.table, 1.0 / 600);
    EXPECT_DOUBLE_EQ(at600.temperature, 1.0 / 600);
    EXPECT_DOUBLE_EQ(at600.humidity, 3.0 / 600);
    EXPECT_DOUBLE_EQ(at600.axis, 3.0 / 600);
    EXPECT_DOUBLE_EQ(at600.tick, 2.0 / 600);
    for (const PenWidths& w : measured) {
        EXPECT_DOUBLE_EQ(w.grid, at600.grid);
        EXPECT_DOUBLE_EQ(w.table, at600.table);
        EXPECT_DOUBLE_EQ(w.temperature, at600.temperature);
        EXPECT_DOUBLE_EQ(w.humidity, at600.humidity);
        EXPECT_DOUBLE_EQ(w.axis, at600.axis);
        EXPECT_DOUBLE_EQ(w.tick, at600.tick);
    }

    // The screen preview keeps its pens in screen pixels: 1, 3, 3 and 2 at 96 dpi.
    RecordingCanvas screen(96, 96);
    DrawCurvePage(ComputeCurveLayout(job, 96, 96, 1.0), job, screen, 1);
    const PenWidths preview = penWidthsInInches(screen, 96);
    EXPECT_DOUBLE_EQ(preview.temperature * 96, 1.0);
    EXPECT_DOUBLE_EQ(preview.humidity * 96, 3.0);
    EXPECT_DOUBLE_EQ(preview.axis * 96, 3.0);
    EXPECT_DOUBLE_EQ(preview.tick * 96, 2.0);

    // The text pages' frame follows the same rule.
    for (int dpi : {300, 1200}) {
        RecordingCanvas canvas(dpi, dpi);
        DrawTextPage(ComputePrintTextLayout(dpi, dpi, 200 * dpi / 25, 287 * dpi / 25), job, canvas, 1);
        bool framed = false;
        for (const auto& op : canvas.ops)
            if (const auto* r = std::get_if<RecordingCanvas::Rectangle>(&op)) {
                EXPECT_DOUBLE_EQ(r->pen.width / dpi, 1.0 / 600) << dpi;
                framed = true;
            }
        EXPECT_TRUE(framed) << dpi;
    }
}
