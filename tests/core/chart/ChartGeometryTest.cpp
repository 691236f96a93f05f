#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <random>
#include <string>

#include "TestSupport.h"
#include "app/AppSettings.h"
#include "canvas/RecordingCanvas.h"
#include "chart/ChartGeometry.h"
#include "data/Recording.h"

using namespace thermivo;

namespace {

std::unique_ptr<Recording> recordingWith(int samples, float (*value)(int)) {
    auto rec = std::make_unique<Recording>();
    rec->samplesLoaded = samples;
    rec->sampleCount = samples;
    for (int i = 0; i < samples; ++i) rec->temperature[static_cast<std::size_t>(i)] = value(i);
    rec->tempMin = -10.0f;
    rec->tempMax = 30.0f;
    return rec;
}

AppSettings unitSettings(bool fahrenheit) {
    AppSettings s;
    s.setLanguage(kLanguageEnglishUs);
    s.currentUnit = fahrenheit ? s.unitFahrenheit : s.unitCelsius;
    return s;
}

}  // namespace

TEST(ChartThinning, FewSamplesBecomeOnePointEachSpreadOverThePlot) {
    const Thinning t = planThinning(10, 1, 490.0f);
    EXPECT_EQ(t.sampleStep, 2);
    EXPECT_EQ(t.pixelStep, 49);
    EXPECT_EQ(t.maxPoints, 12);

    auto rec = recordingWith(10, [](int i) { return static_cast<float>(i % 3); });
    ChartGeometry g;
    g.compute(*rec, ChartViewState{});
    ASSERT_EQ(g.pointCount(), 10);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(g.pointSamples[static_cast<std::size_t>(i)], i);
        EXPECT_EQ(g.points[static_cast<std::size_t>(i)].x, 60 + 49 * i);
    }
}

TEST(ChartThinning, FullRecordingKeepsEachBucketsExtremesInTimeOrder) {
    const Thinning t = planThinning(60000, 1, 490.0f);
    EXPECT_EQ(t.sampleStep, 245);
    EXPECT_EQ(t.pixelStep, 1);
    EXPECT_EQ(t.maxPoints, 492);

    std::mt19937 gen(7);
    std::uniform_int_distribution<int> dist(-300, 300);
    auto rec = std::make_unique<Recording>();
    rec->samplesLoaded = 60000;
    // Coarse values make ties common, so first-maximum and last-minimum are exercised.
    for (auto& v : rec->temperature) v = static_cast<float>(dist(gen) / 20) * 0.5f;
    ChartGeometry g;
    g.compute(*rec, ChartViewState{});
    EXPECT_LE(g.pointCount(), 492);
    EXPECT_EQ(g.pointCount(), 490);  // 245 buckets, the last one shorter, all with distinct extremes

    std::size_t p = 0;
    for (int b = 0; b < 60000; b += 245) {
        const int end = std::min(60000, b + 245);
        int maxI = b, minI = b;
        for (int i = b; i < end; ++i) {
            const float v = rec->temperature[static_cast<std::size_t>(i)];
            if (v > rec->temperature[static_cast<std::size_t>(maxI)]) maxI = i;
            if (v <= rec->temperature[static_cast<std::size_t>(minI)]) minI = i;
        }
        ASSERT_NE(maxI, minI);
        ASSERT_LT(p + 1, g.pointSamples.size());
        EXPECT_EQ(g.pointSamples[p], std::min(maxI, minI)) << "bucket " << b;
        EXPECT_EQ(g.pointSamples[p + 1], std::max(maxI, minI)) << "bucket " << b;
        EXPECT_EQ(g.points[p].x, 60 + static_cast<int>(p));
        p += 2;
    }
}

TEST(ChartThinning, EqualBucketGivesFirstAndLastAndSingleSampleBucketGivesOnePoint) {
    std::vector<int> out;
    out.reserve(495);
    const float flat[245] = {};
    thinSamples(flat, 245, 0, planThinning(60000, 1, 490.0f), out);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[1], 244);

    // The peak comes before the dip: both survive in time order, and the odd last sample stands alone.
    const float five[5] = {1.0f, 5.0f, 5.0f, -2.0f, 3.0f};
    thinSamples(five, 5, 0, Thinning{5, 4, 1, 100}, out);
    EXPECT_EQ(out, (std::vector<int>{1, 3, 4}));
}

TEST(ChartThinning, PanAndPointLimitStopTheBuckets) {
    auto rec = recordingWith(1000, [](int i) { return static_cast<float>(i); });
    ChartViewState state;
    state.zoom = 4;  // 250 visible: one point per sample, 1 pixel apart
    state.startIndex = 700;
    ChartGeometry g;
    g.compute(*rec, state);
    EXPECT_EQ(g.thinning.pixelStep, 1);
    ASSERT_EQ(g.pointCount(), 300);  // runs out of samples before the 492-point limit
    EXPECT_EQ(g.pointSamples.front(), 700);
    EXPECT_EQ(g.pointSamples.back(), 999);

    state.startIndex = 0;
    g.compute(*rec, state);
    EXPECT_EQ(g.pointCount(), 492);
    EXPECT_EQ(g.pointSamples.back(), 491);
}

TEST(ChartZoom, StaysWithinOneAndTheSampleCount) {
    int z = 1;
    std::vector<int> seen;
    for (int i = 0; i < 3; ++i) seen.push_back(z = zoomIn(z, 3));
    EXPECT_EQ(seen, (std::vector<int>{2, 3, 3}));
    EXPECT_EQ(zoomOut(3, 3), 1);
    EXPECT_EQ(zoomOut(1, 3), 1);
    EXPECT_EQ(zoomIn(1, 0), 1);
    EXPECT_EQ(zoomIn(16, 60000), 32);
    EXPECT_EQ(zoomOut(32, 60000), 16);
}

TEST(ChartScale, LinearOverFourDivisionsFromLowToHigh) {
    const VerticalScale s = verticalScale(-10.0f, 30.0f, 200.0f);
    EXPECT_FALSE(s.flat);
    EXPECT_FLOAT_EQ(s.unitsPerPixel, 0.2f);
    const auto ticks = tickValues(s, 50.0f);
    for (int k = 0; k < 5; ++k) EXPECT_FLOAT_EQ(ticks[static_cast<std::size_t>(k)], -10.0f + 10.0f * k);
    EXPECT_EQ(valueToY(-10.0f, s, 225), 225);
    EXPECT_EQ(valueToY(30.0f, s, 225), 25);
    EXPECT_EQ(valueToY(10.1f, s, 225), 124);  // 124.5 truncates
    EXPECT_EQ(valueToY(-1000.0f, s, 225), 225 + 4950);

    // Undefined and enormous values stay representable.
    EXPECT_GT(valueToY(NAN, s, 225), 10000);
    EXPECT_LT(valueToY(3e38f, s, 225), -10000);
}

TEST(ChartScale, FlatSwappedAndUndefinedRangesNeverDivideByZero) {
    const VerticalScale flat = verticalScale(5.0f, 5.0f, 200.0f);
    EXPECT_TRUE(flat.flat);
    EXPECT_EQ(valueToY(5.0f, flat, 225), 125);  // mid-height
    const auto ticks = tickValues(flat, 50.0f);
    EXPECT_FLOAT_EQ(ticks[0], 4.0f);
    EXPECT_FLOAT_EQ(ticks[2], 5.0f);
    EXPECT_FLOAT_EQ(ticks[4], 6.0f);

    const VerticalScale swapped = verticalScale(30.0f, -10.0f, 200.0f);
    EXPECT_FLOAT_EQ(swapped.base, -10.0f);
    EXPECT_GT(swapped.unitsPerPixel, 0.0f);

    for (const auto& s : {verticalScale(NAN, NAN, 200.0f), verticalScale(1e30f, 1e30f, 200.0f),
                          verticalScale(-3e38f, 3e38f, 200.0f)}) {
        EXPECT_TRUE(std::isfinite(s.unitsPerPixel));
        EXPECT_GT(s.unitsPerPixel, 0.0f);
    }

    // With the automatic scale on, a constant recording is drawn at mid-height too.
    auto rec = recordingWith(50, [](int) { return 7.5f; });
    ChartViewState state;
    state.autoScale = true;
    ChartGeometry g;
    g.compute(*rec, state);
    for (const auto& p : g.points) EXPECT_EQ(p.y, 125);
}

TEST(ChartScale, AutomaticScaleFitsOnlyTheVisiblePoints) {
    auto rec = recordingWith(100, [](int i) { return i < 50 ? 100.0f : static_cast<float>(i - 50) * 0.5f; });
    ChartViewState state;
    state.autoScale = true;
    state.startIndex = 50;
    ChartGeometry g;
    g.compute(*rec, state);
    EXPECT_FLOAT_EQ(g.scale.base, 0.0f);
    EXPECT_FLOAT_EQ(g.ticks[4], 24.5f);
    EXPECT_EQ(g.points.front().y, 225);
    EXPECT_EQ(g.points.back().y, 25);

    // Without it the recording's own extremes rule, and a sample beyond them leaves the value lines.
    state.autoScale = false;
    rec->tempMax = 20.0f;
    rec->tempMin = 0.0f;
    g.compute(*rec, state);
    EXPECT_LT(g.points.back().y, 25);
}

TEST(ChartScale, AlarmLinesOutsideTheScaleSitFivePixelsBeyondIt) {
    const VerticalScale s = verticalScale(0.0f, 20.0f, 200.0f);
    EXPECT_FLOAT_EQ(alarmLineY(15.0f, s, 25, 225), 75.0f);
    EXPECT_FLOAT_EQ(alarmLineY(20.0f, s, 25, 225), 25.0f);
    EXPECT_FLOAT_EQ(alarmLineY(20.5f, s, 25, 225), 20.0f);
    EXPECT_FLOAT_EQ(alarmLineY(500.0f, s, 25, 225), 20.0f);
    EXPECT_FLOAT_EQ(alarmLineY(-0.5f, s, 25, 225), 230.0f);
    EXPECT_FLOAT_EQ(alarmLineY(-400.0f, s, 25, 225), 230.0f);
}

TEST(ChartCursor, SnapsToTheNearestPointAndHalfWayGoesLeft) {
    // Points 49 pixels apart from x = 60.
    EXPECT_EQ(cursorPointAt(60 + 49 + 24, 60.0f, 49, 10), 1);    // 24/49 < 0.5
    EXPECT_EQ(cursorPointAt(60 + 49 + 25, 60.0f, 49, 10), 2);    // 25/49 > 0.5
    EXPECT_EQ(cursorPointAt(60 + 2 * 2 + 1, 60.0f, 2, 100), 2);  // exactly half-way: left point
    EXPECT_EQ(cursorPointAt(549, 60.0f, 49, 10), 9);             // beyond the last point
    EXPECT_EQ(cursorPointAt(10, 60.0f, 49, 10), 0);
    EXPECT_EQ(cursorPointAt(300, 60.0f, 1, 0), 0);

    auto rec = recordingWith(60000, [](int i) { return static_cast<float>(i % 100); });
    ChartViewState state;
    state.clickX = 60 + 100;
    ChartGeometry g;
    g.compute(*rec, state);
    EXPECT_EQ(g.cursorPoint, 100);
    EXPECT_EQ(g.cursorSample, g.pointSamples[100]);
    EXPECT_EQ(g.cursorSample / 245, 50);  // point 100 is the first of bucket 50
}

TEST(ChartText, ReadoutShowsLocalTimeAndValueInTheDisplayUnit) {
    thermivo::testing::ScopedTimeZone tz("UTC");
    auto rec = recordingWith(3, [](int i) { return i == 0 ? 21.5f : (i == 1 ? -1000.0f : 1000.0f); });
    rec->sampleTime[0] = 1400000000;  // 2014-05-13 16:53:20 UTC
    const AppSettings c = unitSettings(false);
    const AppSettings f = unitSettings(true);
    EXPECT_EQ(readoutText(*rec, 0, true, c), "2014-5-13 16:53   21.50");
    EXPECT_EQ(readoutText(*rec, 0, true, f), "2014-5-13 16:53   70.70");
    EXPECT_EQ(readoutText(*rec, 1, true, c), "");  // no time, no value
    EXPECT_EQ(readoutText(*rec, 2, true, c), "");  // 1000 lies outside the shown range
    EXPECT_EQ(readoutText(*rec, 0, false, c), "");
    EXPECT_EQ(readoutText(*rec, 3, true, c), "");
    rec->samplesLoaded = 70000;
    EXPECT_EQ(readoutText(*rec, 60000, true, c), "");
    EXPECT_EQ(scaleLabel(-10.0f, c), "-10.00");
    EXPECT_EQ(scaleLabel(-10.0f, f), "14.00");
}

TEST(ChartLayoutScaling, ConstantsAndControlsScaleAboutTheirCentres) {
    const ChartLayout l = ChartLayout::scaled(0.9474f);
    EXPECT_FLOAT_EQ(l.plotWidth, 490.0f * 0.9474f);
    EXPECT_EQ(l.topValueLine, 23);
    EXPECT_EQ(l.bottomValueLine, 213);
    EXPECT_EQ(l.bitmapPixelWidth(), 521);
    EXPECT_GE(ChartLayout::scaled(0.25f).pointArraySize(), static_cast<int>(490 * 0.25f + 2) + 1);

    // A 30x28 control at (159, 330) of a view whose screen origin is (100, 200), factor 1.5.
    const ControlPlacement p = scaleAboutCentre(259, 530, 30, 28, 1.5f, 150, 300);
    EXPECT_EQ(p, (ControlPlacement{239, 495, 44, 42}));
    EXPECT_EQ(scaleAboutCentre(259, 530, 30, 28, 1.0f, 100, 200), (ControlPlacement{159, 330, 30, 28}));
}

TEST(ChartDrawing, EmptyRecordingDrawsOnlyBackgroundAndGrid) {
    auto rec = std::make_unique<Recording>();
    RecordingCanvas canvas;
    ChartGeometry g;
    drawChart(canvas, g, *rec, ChartViewState{}, unitSettings(false));
    ASSERT_EQ(canvas.ops.size(), 11u);
    const auto* plot = std::get_if<RecordingCanvas::Rectangle>(&canvas.ops[0]);
    const auto* strip = std::get_if<RecordingCanvas::Rectangle>(&canvas.ops[1]);
    ASSERT_TRUE(plot && strip);
    EXPECT_EQ(plot->rect, (Rect{60, 0, 550, 250}));
    EXPECT_EQ(plot->brush.color, (Rgb{0, 0, 0}));
    EXPECT_EQ(strip->rect, (Rect{0, 0, 60, 250}));
    EXPECT_EQ(strip->brush.color, (Rgb{200, 150, 20}));
    std::vector<int> labelled, plain;
    for (const auto& line : canvas.lines()) {
        EXPECT_EQ(line.pen, chart_style::kGridPen);
        EXPECT_EQ(line.to.x, 550);
        (line.from.x == 55 ? labelled : plain).push_back(line.from.y);
    }
    EXPECT_EQ(labelled, (std::vector<int>{25, 75, 125, 175, 225}));
    EXPECT_EQ(plain, (std::vector<int>{50, 100, 150, 200}));
}

TEST(ChartDrawing, LabelsAlarmLinesCursorCurveAndFirstSampleNumber) {
    auto rec = recordingWith(10, [](int i) { return static_cast<float>(i); });
    rec->tempMin = 0.0f;
    rec->tempMax = 8.0f;
    rec->tempUpper = 50.0f;  // far above: clamped
    rec->tempLower = 2.0f;
    ChartViewState state;
    state.clickX = 60 + 3 * 49;
    ChartGeometry g;

    RecordingCanvas off;
    drawChart(off, g, *rec, state, unitSettings(false));
    for (const auto& line : off.lines()) EXPECT_NE(line.pen, chart_style::kAlarmPen);

    rec->tempAlarmOn = true;
    state.startIndex = 2;
    RecordingCanvas canvas;
    drawChart(canvas, g, *rec, state, unitSettings(true));
    const auto texts = canvas.texts();
    ASSERT_EQ(texts.size(), 6u);
    EXPECT_EQ(texts[0].text, "32.00");  // 0 °C at the bottom value line, in °F
    EXPECT_EQ(texts[0].at, (Point{10, 225 - 8}));
    EXPECT_EQ(texts[4].text, "46.40");  // 8 °C
    EXPECT_EQ(texts[4].at, (Point{10, 25 - 8}));
    EXPECT_EQ(texts[0].color, chart_style::kScaleText);
    EXPECT_EQ(texts[0].font, chart_style::chartFont());
    EXPECT_EQ(texts[5].text, "3");
    EXPECT_EQ(texts[5].at, (Point{62, 250 - 1 - 16}));  // the whole number inside the bitmap
    EXPECT_EQ(texts[5].background, (Rgb{200, 150, 20}));
    EXPECT_EQ(texts[5].mode, BackgroundMode::Opaque);

    std::vector<int> alarmY;
    std::vector<RecordingCanvas::Line> cursor;
    for (const auto& line : canvas.lines()) {
        if (line.pen == chart_style::kAlarmPen) alarmY.push_back(line.from.y);
        if (line.pen == chart_style::kCursorPen) cursor.push_back(line);
    }
    EXPECT_EQ(alarmY, (std::vector<int>{20, 175}));
    ASSERT_EQ(cursor.size(), 1u);
    // The pixel step follows the zoom, not the pan: still 49 pixels, so the cursor stays at point 3.
    EXPECT_EQ(cursor[0].from, (Point{60 + 3 * 49, 5}));
    EXPECT_EQ(cursor[0].to, (Point{60 + 3 * 49, 240}));

    const auto curves = canvas.polylines();
    ASSERT_EQ(curves.size(), 1u);
    EXPECT_EQ(curves[0].pen, chart_style::kCurvePen);
    ASSERT_EQ(curves[0].points.size(), 8u);
    EXPECT_EQ(curves[0].points.front(), (Point{60, 175}));  // sample 2 = 2 °C
    EXPECT_EQ(g.cursorSample, 5);
}

TEST(ChartText, FontShrinksWithTheStripOnlyBelowFullSizeAndStaysReadable) {
    EXPECT_EQ(chart_text::fontHeight(1.0f), 16);
    EXPECT_EQ(chart_text::fontHeight(1.7f), 16);
    EXPECT_EQ(chart_text::fontHeight(0.8f), 12);
    EXPECT_EQ(chart_text::fontHeight(0.6f), 9);
    EXPECT_EQ(chart_text::fontHeight(0.3f), 9);
    // The first sample's number keeps clear of the bitmap's bottom edge whatever the font.
    for (const float f : {0.5f, 0.79f, 1.0f, 1.6f}) {
        const ChartLayout l = ChartLayout::scaled(f);
        const int h = chart_text::fontHeight(f);
        const Point at = chart_text::firstSampleAt(l, h);
        EXPECT_GT(at.x, static_cast<int>(l.plotLeft)) << f;
        EXPECT_LE(at.y + h, l.bitmapPixelHeight() - 1) << f;
        EXPECT_GE(at.y, static_cast<int>(200.0f * f)) << f;
    }
}

TEST(ChartText, WideLabelsAndTheFirstSampleNumberStayInsideTheirAreasAtEveryLayout) {
    // 212 and -12.5 are the widest labels of an ordinary recording; 100 °C shown in °F is wider still.
    for (const bool fahrenheit : {false, true}) {
        for (const float f : {0.6f, 0.66f, 0.79f, 0.9f, 1.0f, 1.27f, 1.6f}) {
            auto rec = recordingWith(600, [](int i) { return static_cast<float>(i % 50) - 12.5f; });
            rec->tempMin = -12.5f;
            rec->tempMax = fahrenheit ? 100.0f : 212.0f;
            ChartGeometry g(ChartLayout::scaled(f));
            ChartViewState state;
            state.startIndex = 40;
            RecordingCanvas canvas;
            drawChart(canvas, g, *rec, state, unitSettings(fahrenheit));
            const auto texts = canvas.texts();
            ASSERT_EQ(texts.size(), 6u);
            const ChartLayout& l = g.layout();
            for (int k = 0; k < 5; ++k) {
                const auto& t = texts[static_cast<std::size_t>(k)];
                const int h = std::abs(t.font.height);
                const int w = static_cast<int>(t.text.size()) * h / 2;  // the recording canvas's extent
                EXPECT_GE(h, chart_text::kMinFontHeight);
                EXPECT_LE(h, chart_text::kFontHeight);
                EXPECT_GE(t.at.x, 1) << f << " " << t.text;
                EXPECT_LT(t.at.x + w, static_cast<int>(l.tickStart)) << f << " " << t.text;
                EXPECT_GE(t.at.y, 0) << f;
                EXPECT_LE(t.at.y + h, l.bitmapPixelHeight()) << f;
                // Each label still straddles its own grid line.
                const int line = l.bottomValueLine - static_cast<int>(static_cast<float>(k) * l.gridStep);
                EXPECT_LE(t.at.y, line) << f;
                EXPECT_GE(t.at.y + h, line) << f;
            }
            EXPECT_EQ(texts[0].text, fahrenheit ? "9.50" : "-12.50");
            EXPECT_EQ(texts[4].text, "212.00");
            const auto& number = texts[5];
            EXPECT_EQ(number.text, "41");
            EXPECT_GE(number.at.x, static_cast<int>(l.plotLeft));
            EXPECT_LE(number.at.y + std::abs(number.font.height), l.bitmapPixelHeight()) << f;
        }
    }
}

TEST(ChartText, AlarmLegendNamesBothLimitsInTheDisplayUnitAndTheListMarker) {
    auto rec = recordingWith(10, [](int i) { return static_cast<float>(i); });
    rec->tempUpper = 30.0f;
    rec->tempLower = -10.5f;
    EXPECT_FALSE(alarmLegend(*rec, unitSettings(false)).shown);  // no limits set on the instrument

    rec->tempAlarmOn = true;
    const AlarmLegend c = alarmLegend(*rec, unitSettings(false));
    EXPECT_TRUE(c.shown);
    EXPECT_EQ(c.upper, "Upper limit 30.00\u00B0C");
    EXPECT_EQ(c.lower, "Lower limit -10.50\u00B0C");
    EXPECT_EQ(c.marker, "* outside the alarm limits");
    const AlarmLegend f = alarmLegend(*rec, unitSettings(true));
    EXPECT_EQ(f.upper, "Upper limit 86.00\u00B0F");
    EXPECT_EQ(f.lower, "Lower limit 13.10\u00B0F");

    AppSettings zh;
    zh.setLanguage(kLanguageChinesePrc);
    zh.currentUnit = zh.unitCelsius;
    const AlarmLegend z = alarmLegend(*rec, zh);
    EXPECT_EQ(z.upper, "上限 30.00\u00B0C");
    EXPECT_EQ(z.lower, "下限 -10.50\u00B0C");
    EXPECT_EQ(z.marker, "* 超出报警上下限");

    rec->samplesLoaded = 0;
    EXPECT_FALSE(alarmLegend(*rec, unitSettings(false)).shown);
}

TEST(ChartCursor, APinnedSampleHoldsTheCursorExactlyWhileItIsDrawn) {
    // 2016 samples at zoom 1: buckets of 9 samples, two points each, so most samples have no point of
    // their own; the cursor must still name the pinned sample and stand on its bucket's point.
    auto rec = recordingWith(2016, [](int i) { return static_cast<float>((i * 7) % 13); });
    ChartGeometry g;
    ChartViewState state;
    for (const int pinned : {0, 301, 702, 1101, 1499, 1903, 2015}) {
        state.pinnedSample = pinned;
        g.compute(*rec, state);
        EXPECT_EQ(g.cursorSample, pinned);
        EXPECT_LE(g.pointSamples[static_cast<std::size_t>(g.cursorPoint)], pinned);
        if (g.cursorPoint + 1 < g.pointCount()) {
            EXPECT_GT(g.pointSamples[static_cast<std::size_t>(g.cursorPoint + 1)], pinned);
        }
    }
    // Panned past it, the cursor goes back to the click.
    state.startIndex = 1200;
    state.pinnedSample = 1101;
    state.clickX = 60;
    g.compute(*rec, state);
    EXPECT_EQ(g.cursorSample, g.pointSamples.front());
    EXPECT_EQ(pointOfSample({4, 9, 13, 18}, 3, 20), -1);
    EXPECT_EQ(pointOfSample({4, 9, 13, 18}, 12, 20), 1);
    EXPECT_EQ(pointOfSample({4, 9, 13, 18}, 20, 20), 3);
    EXPECT_EQ(pointOfSample({4, 9, 13, 18}, 21, 20), -1);
}

TEST(ChartHumidity, AKindFourRecordingTakesABandOnTheRightForItsScale) {
    auto rec = recordingWith(600, [](int i) { return static_cast<float>(i % 40) - 10.0f; });
    ChartGeometry g;
    g.compute(*rec, ChartViewState{});
    EXPECT_FALSE(g.humidityBand);
    EXPECT_EQ(g.plotRight, 550);  // other kinds keep the whole width
    EXPECT_EQ(g.points.back().x, 60 + g.pointCount() - 1);
    rec->kind = KindTempHumi;
    rec->humiMin = 40.0f;
    rec->humiMax = 70.0f;
    for (int i = 0; i < 600; ++i)
        rec->humidity[static_cast<std::size_t>(i)] = 40.0f + static_cast<float>(i % 30);
    g.compute(*rec, ChartViewState{});
    EXPECT_TRUE(g.humidityBand);
    EXPECT_EQ(g.plotRight, 490);
    for (const Point& p : g.humiPoints) EXPECT_LT(p.x, 490);
    for (const Point& p : g.points) EXPECT_LT(p.x, 490);

    RecordingCanvas canvas;
    drawChart(canvas, g, *rec, ChartViewState{}, unitSettings(false));
    EXPECT_TRUE(canvas.hasText("%RH"));
    EXPECT_TRUE(canvas.hasText("70.0"));
}

TEST(ChartTime, LabelsNameTheEndsAndRoundLocalTimesBetween) {
    thermivo::testing::ScopedTimeZone berlin("Europe/Berlin");
    auto rec = recordingWith(2016, [](int i) { return static_cast<float>(i % 10); });
    rec->startTime = 1764576000;  // 2025-12-01 09:00 in Berlin
    rec->intervalSeconds = 300;
    rec->buildSampleTimes();
    ChartGeometry g;
    g.compute(*rec, ChartViewState{});
    const auto labels = timeAxisLabels(*rec, g.pointSamples, g.lastSample, 60.0f, g.thinning.pixelStep, 60);
    ASSERT_GE(labels.size(), 3u);
    EXPECT_EQ(labels.front().text, "2025-12-1 09:00");
    EXPECT_EQ(labels.front().x, 60);
    EXPECT_EQ(labels.back().text, "2025-12-8 08:55");
    // A week over about 490 pixels: a label every day, at local midnight, where the day's first sample is.
    EXPECT_EQ(labels[1].text, "2025-12-2");
    const int midnight = (24 - 9) * 12;  // the sample at 2025-12-02 00:00
    EXPECT_EQ(labels[1].x, 60 + pointOfSample(g.pointSamples, midnight, 2015) * g.thinning.pixelStep);
    for (std::size_t i = 2; i + 1 < labels.size(); ++i) EXPECT_GE(labels[i].x - labels[i - 1].x, 60);

    // Zoomed to a few hours the round times are hours and minutes.
    ChartViewState zoomed;
    zoomed.zoom = 64;
    zoomed.startIndex = 100;
    g.compute(*rec, zoomed);
    const auto close = timeAxisLabels(*rec, g.pointSamples, g.lastSample, 60.0f, g.thinning.pixelStep, 60);
    ASSERT_GE(close.size(), 3u);
    for (std::size_t i = 1; i + 1 < close.size(); ++i) {
        EXPECT_EQ(close[i].text.size(), 5u) << close[i].text;
        EXPECT_EQ(close[i].text[2], ':') << close[i].text;
        EXPECT_EQ(std::stoi(close[i].text.substr(3)) % 15, 0) << close[i].text;
    }
}

TEST(ChartText, TheLegendNamesTheHumidityLimitsOfAKindFourRecording) {
    auto rec = recordingWith(10, [](int i) { return static_cast<float>(i); });
    rec->tempAlarmOn = true;
    EXPECT_FALSE(alarmLegend(*rec, unitSettings(false)).humidityShown);
    rec->kind = KindTempHumi;
    rec->humiAlarmOn = true;
    rec->humiUpper = 65.0f;
    rec->humiLower = 45.5f;
    const AlarmLegend l = alarmLegend(*rec, unitSettings(false));
    EXPECT_TRUE(l.humidityShown);
    EXPECT_EQ(l.humidityUpper, "Humidity upper limit 65.00%RH");
    EXPECT_EQ(l.humidityLower, "Humidity lower limit 45.50%RH");
}
