#include <gtest/gtest.h>

#include <algorithm>
#include <variant>

#include <memory>

#include "TestSupport.h"
#include "app/AppSettings.h"
#include "canvas/RecordingCanvas.h"
#include "chart/ChartGeometry.h"
#include "data/ListRows.h"
#include "data/Recording.h"

using namespace thermivo;

namespace {

// Ten samples: temperature 0..9 °C on a 0..8 scale, humidity 40..76 %RH on the header's 40..80 scale.
std::unique_ptr<Recording> kindFour() {
    auto rec = std::make_unique<Recording>();
    rec->kind = KindTempHumi;
    rec->samplesLoaded = rec->sampleCount = 10;
    for (int i = 0; i < 10; ++i) {
        rec->temperature[static_cast<std::size_t>(i)] = static_cast<float>(i);
        rec->humidity[static_cast<std::size_t>(i)] = 40.0f + 4.0f * static_cast<float>(i);
    }
    rec->tempMin = 0.0f;
    rec->tempMax = 8.0f;
    rec->humiMin = 40.0f;
    rec->humiMax = 80.0f;
    rec->humiAlarmOn = true;
    rec->humiLower = 50.0f;
    rec->humiUpper = 70.0f;
    return rec;
}

AppSettings celsius() {
    AppSettings s;
    s.setLanguage(kLanguageEnglishUs);
    s.currentUnit = s.unitCelsius;
    return s;
}

std::vector<int> linesWith(const RecordingCanvas& canvas, const Pen& pen) {
    std::vector<int> ys;
    for (const auto& line : canvas.lines())
        if (line.pen == pen) ys.push_back(line.from.y);
    return ys;
}

}  // namespace

TEST(HumidityChart, OwnCurveScaleAndAlarmLinesForKindFour) {
    auto rec = kindFour();
    ChartGeometry g;
    RecordingCanvas canvas;
    drawChart(canvas, g, *rec, ChartViewState{}, celsius());
    ASSERT_TRUE(g.humidityDrawn);

    const auto curves = canvas.polylines();
    ASSERT_EQ(curves.size(), 2u);
    EXPECT_EQ(curves[0].pen, chart_style::kHumiCurvePen);
    EXPECT_EQ(curves[1].pen, chart_style::kCurvePen);  // the temperature stays on top
    ASSERT_EQ(curves[0].points.size(), 10u);
    EXPECT_EQ(curves[0].points[0], (Point{60, 225}));  // 40 % on the bottom value line
    // The plot gives up a band on the right to the humidity scale: 430 pixels for 10 samples.
    EXPECT_EQ(curves[0].points[5], (Point{60 + 5 * 43, 125}));  // 60 % half-way up
    EXPECT_EQ(curves[0].points[0].x, curves[1].points[0].x);    // same buckets, same x

    // Labels in the band right of the plot, bottom first, then the unit; the temperature's stay on the left.
    std::vector<std::string> right;
    for (const auto& t : canvas.texts()) {
        if (t.color != chart_style::kHumiBandText) continue;
        right.push_back(t.text);
        EXPECT_GT(t.at.x, g.plotRight);
        EXPECT_EQ(t.background, chart_style::kHumiBand);
    }
    EXPECT_EQ(right, (std::vector<std::string>{"40.0", "50.0", "60.0", "70.0", "80.0", "%RH"}));
    for (const Point& p : curves[0].points) EXPECT_LT(p.x, g.plotRight);
    EXPECT_EQ(linesWith(canvas, chart_style::kHumiAlarmPen), (std::vector<int>{75, 175}));

    // Humidity alarm off: curve and scale, no lines.
    rec->humiAlarmOn = false;
    RecordingCanvas noAlarm;
    drawChart(noAlarm, g, *rec, ChartViewState{}, celsius());
    EXPECT_TRUE(linesWith(noAlarm, chart_style::kHumiAlarmPen).empty());
    EXPECT_EQ(noAlarm.polylines().size(), 2u);
}

TEST(HumidityChart, HiddenByTheCheckBoxAndNeverForOtherKinds) {
    auto rec = kindFour();
    ChartViewState hidden;
    hidden.showHumidity = false;
    ChartGeometry g;
    RecordingCanvas off;
    drawChart(off, g, *rec, hidden, celsius());
    EXPECT_FALSE(g.humidityDrawn);

    // A kind-1 recording with humidity values left in the arrays draws what a hidden curve draws, but for
    // the humidity band, which a kind-4 recording keeps so the plot does not change width with the switch.
    rec->kind = KindTemp;
    RecordingCanvas kindOne;
    drawChart(kindOne, g, *rec, ChartViewState{}, celsius());
    EXPECT_FALSE(g.humidityDrawn);
    const auto rectangles = [](const RecordingCanvas& c) {
        return std::count_if(c.ops.begin(), c.ops.end(), [](const auto& op) {
            return std::holds_alternative<RecordingCanvas::Rectangle>(op);
        });
    };
    EXPECT_EQ(kindOne.ops.size() + 1, off.ops.size());
    EXPECT_EQ(rectangles(kindOne) + 1, rectangles(off));
    EXPECT_EQ(kindOne.polylines().size(), 1u);
    EXPECT_TRUE(linesWith(kindOne, chart_style::kHumiAlarmPen).empty());
}

TEST(HumidityChart, ScaleFallsBackToTheSamplesAndFollowsAutoScale) {
    auto rec = kindFour();
    rec->humiMin = rec->humiMax = 0.0f;  // a header without humidity figures
    rec->humidity[3] = Recording::kNoValue;
    ChartGeometry g;
    RecordingCanvas canvas;
    drawChart(canvas, g, *rec, ChartViewState{}, celsius());
    EXPECT_FLOAT_EQ(g.humiTicks[0], 40.0f);
    EXPECT_FLOAT_EQ(g.humiTicks[4], 76.0f);

    ChartViewState zoomed;
    zoomed.autoScale = true;
    zoomed.startIndex = 5;
    drawChart(canvas, g, *rec, zoomed, celsius());
    EXPECT_FLOAT_EQ(g.humiTicks[0], 60.0f);
    EXPECT_FLOAT_EQ(g.humiTicks[4], 76.0f);
}

TEST(HumidityChart, ReadoutAndListColumn) {
    thermivo::testing::ScopedTimeZone utc("UTC");
    auto rec = kindFour();
    const AppSettings s = celsius();
    EXPECT_EQ(humidityReadoutText(*rec, 2, s), "   48.00%RH");
    EXPECT_EQ(humidityReadoutText(*rec, 10, s), "");
    EXPECT_EQ(sampleListColumns(*rec), 4);
    EXPECT_EQ(sampleListHeader(3), "Humidity");
    EXPECT_EQ(sampleListCell(*rec, 5, 3, s), "60.00%RH");
    EXPECT_EQ(sampleListCell(*rec, 8, 3, s), "72.00%RH*");  // above 70
    EXPECT_EQ(sampleListCell(*rec, 1, 3, s), "44.00%RH*");  // below 50
    rec->humidity[4] = Recording::kNoValue;
    EXPECT_EQ(sampleListCell(*rec, 4, 3, s), "");
    EXPECT_EQ(humidityReadoutText(*rec, 4, s), "");

    rec->kind = KindTemp;
    EXPECT_EQ(sampleListColumns(*rec), 3);
    EXPECT_EQ(sampleListCell(*rec, 5, 3, s), "");
    EXPECT_EQ(humidityReadoutText(*rec, 5, s), "");
}
