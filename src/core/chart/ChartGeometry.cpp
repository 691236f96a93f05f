#include "chart/ChartGeometry.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>

#include "app/AppSettings.h"
#include "app/Format.h"
#include "app/UiText.h"
#include "data/LocalTime.h"
#include "data/Recording.h"

namespace thermivo {

namespace {

// Far enough outside any bitmap to be invisible, small enough that the painter's arithmetic stays exact.
constexpr float kPixelLimit = 1'000'000.0f;

// Float to pixel, truncated toward zero. Samples from a damaged file may be huge or undefined; they end up
// far outside the bitmap (undefined ones below it, where missing values go) instead of overflowing an int.
int toPixel(float v) {
    if (std::isnan(v)) return static_cast<int>(kPixelLimit);
    return static_cast<int>(std::clamp(v, -kPixelLimit, kPixelLimit));
}

}  // namespace

ChartLayout ChartLayout::scaled(float factor) {
    const ChartLayout base;
    ChartLayout l;
    l.scale = factor;
    l.bitmapWidth = base.bitmapWidth * factor;
    l.bitmapHeight = base.bitmapHeight * factor;
    l.plotLeft = base.plotLeft * factor;
    l.tickStart = base.tickStart * factor;
    l.gridStep = base.gridStep * factor;
    l.plotWidth = base.plotWidth * factor;
    l.pointCapacity = base.pointCapacity * factor;
    l.topValueLine = static_cast<int>(static_cast<float>(base.topValueLine) * factor);
    l.bottomValueLine = static_cast<int>(static_cast<float>(base.bottomValueLine) * factor);
    l.bitmapOffset = base.bitmapOffset * factor;
    return l;
}

int ChartLayout::pointArraySize() const {
    // A drawing stops adding buckets at truncate(plotWidth + 2) points, but the last bucket may add two, so
    // one more entry is needed. The nominal capacity has that margin only for factors above one third.
    const int needed = static_cast<int>(std::max(plotWidth, 0.0f) + 2.0f) + 1;
    return std::max(static_cast<int>(pointCapacity), needed);
}

Thinning planThinning(int drawnSamples, int zoom, float plotWidth) {
    Thinning t;
    t.visible = std::max(drawnSamples, 0) / std::max(zoom, 1);
    if (plotWidth > static_cast<float>(t.visible)) {
        t.sampleStep = 2;
        t.pixelStep = t.visible == 0 ? 1 : static_cast<int>(plotWidth / static_cast<float>(t.visible));
    } else {
        t.sampleStep = static_cast<int>(2.0f * static_cast<float>(t.visible) / plotWidth + 1.0f);
        t.pixelStep = 1;
    }
    t.pixelStep = std::max(t.pixelStep, 1);
    t.sampleStep = std::max(t.sampleStep, 1);
    t.maxPoints = static_cast<int>(plotWidth / static_cast<float>(t.pixelStep) + 2.0f);
    return t;
}

void thinSamples(const float* temperature, int drawnSamples, int startIndex, const Thinning& plan,
                 std::vector<int>& out) {
    out.clear();
    const std::size_t room = out.capacity();
    for (int b = std::max(startIndex, 0); b < drawnSamples && static_cast<int>(out.size()) < plan.maxPoints;
         b += plan.sampleStep) {
        const int end = std::min(drawnSamples, b + plan.sampleStep);
        int maxIndex = b;
        int minIndex = b;
        float maxValue = temperature[b];
        float minValue = temperature[b];
        for (int i = b + 1; i < end; ++i) {
            const float v = temperature[i];
            if (v > maxValue) {
                maxValue = v;
                maxIndex = i;
            }
            if (v <= minValue) {
                minValue = v;
                minIndex = i;
            }
        }
        // The arrays are sized for the worst case; this only guards against a plan from another layout.
        if (out.size() + 2 > room) break;
        if (maxIndex == minIndex) {
            out.push_back(maxIndex);
            continue;
        }
        out.push_back(std::min(maxIndex, minIndex));
        out.push_back(std::max(maxIndex, minIndex));
    }
}

VerticalScale verticalScale(float low, float high, float span) {
    if (!std::isfinite(low) && !std::isfinite(high)) low = high = 0.0f;
    if (!std::isfinite(low)) low = high;
    if (!std::isfinite(high)) high = low;
    if (high < low) std::swap(low, high);
    VerticalScale s;
    if (high == low) {
        // One degree either side puts the flat curve on the middle grid line with a readable scale.
        s.flat = true;
        low -= 1.0f;
        high += 1.0f;
    }
    s.base = low;
    s.unitsPerPixel = (high - low) / span;
    if (!(s.unitsPerPixel > 0.0f) || !std::isfinite(s.unitsPerPixel)) {
        // Values too large for a one-degree step to change them, or a span that overflows.
        s.flat = true;
        s.unitsPerPixel = 1.0f;
        s.base = low / 2.0f + high / 2.0f - span / 2.0f;
    }
    return s;
}

int valueToY(float celsius, const VerticalScale& scale, int bottomValueLine) {
    return toPixel(static_cast<float>(bottomValueLine) - (celsius - scale.base) / scale.unitsPerPixel);
}

std::array<float, 5> tickValues(const VerticalScale& scale, float gridStep) {
    std::array<float, 5> t{};
    for (int k = 0; k < 5; ++k)
        t[static_cast<std::size_t>(k)] = scale.base + scale.unitsPerPixel * gridStep * static_cast<float>(k);
    return t;
}

float alarmLineY(float limit, const VerticalScale& scale, int topValueLine, int bottomValueLine) {
    const float y = static_cast<float>(bottomValueLine) - (limit - scale.base) / scale.unitsPerPixel;
    if (y < static_cast<float>(topValueLine)) return static_cast<float>(topValueLine - 5);
    if (y > static_cast<float>(bottomValueLine)) return static_cast<float>(bottomValueLine + 5);
    return y;
}

int cursorPointAt(int clickX, float plotLeft, int pixelStep, int pointCount) {
    const float f = (static_cast<float>(clickX) - plotLeft) / static_cast<float>(std::max(pixelStep, 1));
    int point = toPixel(f);
    if (f - static_cast<float>(point) > 0.5f) ++point;
    point = std::min(point, pointCount - 1);
    return std::max(point, 0);
}

int pointOfSample(const std::vector<int>& pointSamples, int sample, int lastCovered) {
    if (pointSamples.empty() || sample < pointSamples.front() || sample > lastCovered) return -1;
    const auto after = std::upper_bound(pointSamples.begin(), pointSamples.end(), sample);
    return static_cast<int>(after - pointSamples.begin()) - 1;
}

int zoomIn(int zoom, int drawnSamples) {
    std::int64_t z = 2 * static_cast<std::int64_t>(zoom);
    if (z >= drawnSamples) z = drawnSamples;
    if (z <= 0) z = 1;
    return static_cast<int>(z);
}

int zoomOut(int zoom, int drawnSamples) {
    int z = zoom / 2;
    if (z >= drawnSamples) z = drawnSamples;
    if (z <= 0) z = 1;
    return z;
}

std::string scaleLabel(float celsius, const AppSettings& settings) {
    return format("%4.2f", settings.toDisplay(celsius));
}

std::string readoutText(const Recording& rec, int sample, bool showTemperature, const AppSettings& settings) {
    if (!showTemperature || rec.samplesLoaded <= 0) return {};
    if (sample < 0 || sample >= rec.usableSamples()) return {};
    const auto i = static_cast<std::size_t>(sample);
    std::string s;
    if (rec.sampleTime[i] != 0) s += formatLocalMinutes(rec.sampleTime[i]);
    const float t = rec.temperature[i];
    if (t > Recording::kNoValue && t < 1000.0f) s += format("   %.2f", settings.toDisplay(t));
    return s;
}

namespace chart_text {

int fontHeight(float scale) {
    if (!(scale < 1.0f)) return kFontHeight;
    return std::max(kMinFontHeight, static_cast<int>(static_cast<float>(kFontHeight) * scale));
}

int labelRoom(const ChartLayout& layout) {
    return std::max(0, toPixel(layout.tickStart) - 2);
}

Point labelAt(const ChartLayout& layout, int k, int width, int fontHeight) {
    const float s = layout.scale;
    const float line = static_cast<float>(layout.bottomValueLine) - static_cast<float>(k) * layout.gridStep;
    // At full size the label sits 8 pixels up, centred on its line in the 16-pixel cell; a smaller font
    // stays centred on the line.
    const int y = s < 1.0f ? toPixel(line) - fontHeight / 2 : toPixel(line - 8.0f * s);
    const int x = std::max(1, std::min(toPixel(10.0f * s), toPixel(layout.tickStart) - 1 - width));
    return Point{x, y};
}

Point firstSampleAt(const ChartLayout& layout, int fontHeight) {
    const int left = toPixel(layout.plotLeft) + 2;
    const int bottom = layout.bitmapPixelHeight() - 1 - fontHeight;
    return Point{left, std::min(toPixel(235.0f * layout.scale), bottom)};
}

}  // namespace chart_text

namespace {
constexpr int kTextUpperLimit = 2201;
constexpr int kTextLowerLimit = 2202;
constexpr int kTextAlarmMarker = 2203;
constexpr int kTextHumiUpperLimit = 2750;
constexpr int kTextHumiLowerLimit = 2751;

std::string withValue(std::string pattern, const std::string& value) {
    const auto at = pattern.find("%s");
    if (at != std::string::npos) pattern.replace(at, 2, value);
    return pattern;
}
}  // namespace

AlarmLegend alarmLegend(const Recording& rec, const AppSettings& settings) {
    AlarmLegend legend;
    if (rec.usableSamples() < 1 || !rec.tempAlarmOn) return legend;
    legend.shown = true;
    const auto value = [&settings](float celsius) {
        return format("%.2f", settings.toDisplay(celsius)) + settings.currentUnit;
    };
    legend.upper = withValue(text(kTextUpperLimit, settings.languageId), value(rec.tempUpper));
    legend.lower = withValue(text(kTextLowerLimit, settings.languageId), value(rec.tempLower));
    legend.marker = text(kTextAlarmMarker, settings.languageId);
    if (rec.kind == KindTempHumi && rec.humiAlarmOn) {
        const auto percent = [&settings](float h) {
            return format("%.2f", static_cast<double>(h)) + settings.humidityUnit;
        };
        legend.humidityShown = true;
        legend.humidityUpper =
            withValue(text(kTextHumiUpperLimit, settings.languageId), percent(rec.humiUpper));
        legend.humidityLower =
            withValue(text(kTextHumiLowerLimit, settings.languageId), percent(rec.humiLower));
    }
    return legend;
}

ControlPlacement scaleAboutCentre(int left, int top, int width, int height, float factor, int offsetX,
                                  int offsetY) {
    const int hw = (width + 1) / 2;
    const int hh = (height + 1) / 2;
    const int cx = left + hw;
    const int cy = top + hh;
    const int nhw = static_cast<int>(static_cast<float>(hw) * factor);
    const int nhh = static_cast<int>(static_cast<float>(hh) * factor);
    return ControlPlacement{static_cast<int>(static_cast<float>(cx) * factor) - offsetX - nhw,
                            static_cast<int>(static_cast<float>(cy) * factor) - offsetY - nhh, 2 * nhw,
                            2 * nhh};
}

ChartGeometry::ChartGeometry(const ChartLayout& layout) {
    setLayout(layout);
}

void ChartGeometry::setLayout(const ChartLayout& layout) {
    layout_ = layout;
    const auto size = static_cast<std::size_t>(layout_.pointArraySize());
    pointSamples = std::vector<int>();
    points = std::vector<Point>();
    pointSamples.reserve(size);
    points.reserve(size);
    humiSamples = std::vector<int>();
    humiPoints = std::vector<Point>();
    humiSamples.reserve(size);
    humiPoints.reserve(size);
}

void ChartGeometry::compute(const Recording& rec, const ChartViewState& state) {
    drawnSamples = rec.usableSamples();
    pointSamples.clear();
    points.clear();
    cursorPoint = 0;
    cursorSample = 0;
    lastSample = 0;
    humidityBand = rec.kind == KindTempHumi;
    plotWidth = humidityBand ? layout_.plotWidth - layout_.plotLeft : layout_.plotWidth;
    plotRight = humidityBand ? toPixel(layout_.plotLeft + plotWidth) : layout_.bitmapPixelWidth();
    thinning = planThinning(drawnSamples, state.zoom, plotWidth);
    if (drawnSamples >= 1)
        thinSamples(rec.temperature.data(), drawnSamples, state.startIndex, thinning, pointSamples);

    float low = rec.tempMin;
    float high = rec.tempMax;
    if (state.autoScale && !pointSamples.empty()) {
        bool any = false;
        for (const int s : pointSamples) {
            const float t = rec.temperature[static_cast<std::size_t>(s)];
            if (!std::isfinite(t)) continue;
            low = any ? std::min(low, t) : t;
            high = any ? std::max(high, t) : t;
            any = true;
        }
    }
    scale = verticalScale(low, high, layout_.valueSpan());
    ticks = tickValues(scale, layout_.gridStep);
    upperAlarmY = alarmLineY(rec.tempUpper, scale, layout_.topValueLine, layout_.bottomValueLine);
    lowerAlarmY = alarmLineY(rec.tempLower, scale, layout_.topValueLine, layout_.bottomValueLine);

    const int step = thinning.pixelStep;
    for (std::size_t i = 0; i < pointSamples.size(); ++i) {
        const float t = rec.temperature[static_cast<std::size_t>(pointSamples[i])];
        points.push_back(Point{toPixel(static_cast<float>(static_cast<int>(i) * step) + layout_.plotLeft),
                               valueToY(t, scale, layout_.bottomValueLine)});
    }
    computeHumidity(rec, state);
    if (pointSamples.empty()) return;
    // The last bucket reaches sampleStep - 1 samples past its first, whichever of them became points.
    const int first = std::max(state.startIndex, 0);
    const int lastBucket = first + (pointSamples.back() - first) / thinning.sampleStep * thinning.sampleStep;
    lastSample = std::min(drawnSamples - 1, lastBucket + thinning.sampleStep - 1);
    if (const int pinned = pointOfSample(pointSamples, state.pinnedSample, lastSample); pinned >= 0) {
        cursorPoint = pinned;
        cursorSample = state.pinnedSample;
        return;
    }
    cursorPoint = cursorPointAt(state.clickX, layout_.plotLeft, step, pointCount());
    cursorSample = pointSamples[static_cast<std::size_t>(cursorPoint)];
}

void ChartGeometry::computeHumidity(const Recording& rec, const ChartViewState& state) {
    humiSamples.clear();
    humiPoints.clear();
    humidityDrawn = rec.kind == KindTempHumi && state.showHumidity && drawnSamples >= 1;
    if (!humidityDrawn) return;
    const float* humidity = rec.humidity.data();
    thinSamples(humidity, drawnSamples, state.startIndex, thinning, humiSamples);

    // The header's range when it is one, else the range of the samples themselves; samples without value
    // stay out of it so the curve keeps its height.
    float low = rec.humiMin, high = rec.humiMax;
    const auto rangeOf = [&](auto begin, auto end, auto sampleAt) {
        bool any = false;
        for (auto it = begin; it != end; ++it) {
            const float h = sampleAt(it);
            if (!std::isfinite(h) || !Recording::hasValue(h)) continue;
            low = any ? std::min(low, h) : h;
            high = any ? std::max(high, h) : h;
            any = true;
        }
    };
    if (state.autoScale && !humiSamples.empty()) {
        rangeOf(humiSamples.begin(), humiSamples.end(),
                [&](auto it) { return humidity[static_cast<std::size_t>(*it)]; });
    } else if (!(low < high)) {
        rangeOf(humidity, humidity + drawnSamples, [](const float* it) { return *it; });
    }
    humiScale = verticalScale(low, high, layout_.valueSpan());
    humiTicks = tickValues(humiScale, layout_.gridStep);
    humiUpperY = alarmLineY(rec.humiUpper, humiScale, layout_.topValueLine, layout_.bottomValueLine);
    humiLowerY = alarmLineY(rec.humiLower, humiScale, layout_.topValueLine, layout_.bottomValueLine);
    const int step = thinning.pixelStep;
    for (std::size_t i = 0; i < humiSamples.size(); ++i) {
        const float h = humidity[static_cast<std::size_t>(humiSamples[i])];
        humiPoints.push_back(Point{toPixel(static_cast<float>(static_cast<int>(i) * step) + layout_.plotLeft),
                                   valueToY(h, humiScale, layout_.bottomValueLine)});
    }
}

std::string humidityReadoutText(const Recording& rec, int sample, const AppSettings& settings) {
    if (rec.kind != KindTempHumi || sample < 0 || sample >= rec.usableSamples()) return {};
    const float h = rec.humidity[static_cast<std::size_t>(sample)];
    if (!Recording::hasValue(h) || h >= 1000.0f) return {};
    return format("   %.2f", static_cast<double>(h)) + settings.humidityUnit;
}

std::string humidityScaleLabel(float percent) {
    return format("%4.1f", static_cast<double>(percent));
}

void drawChart(Canvas& canvas, ChartGeometry& geometry, const Recording& rec, const ChartViewState& state,
               const AppSettings& settings) {
    geometry.compute(rec, state);
    const ChartLayout& l = geometry.layout();
    const float s = l.scale;
    const int width = l.bitmapPixelWidth();
    const int height = l.bitmapPixelHeight();
    const int left = toPixel(l.plotLeft);
    const int right = geometry.plotRight;

    canvas.setPen(Pen{});
    canvas.setBrush(Brush{false, chart_style::kPlotBackground});
    canvas.rectangle({left, 0, right, height});
    canvas.setBrush(Brush{false, chart_style::kLabelStrip});
    canvas.rectangle({0, 0, left, height});
    if (geometry.humidityBand) {
        canvas.setBrush(Brush{false, chart_style::kHumiBand});
        canvas.rectangle({right, 0, width, height});
    }

    // The labelled lines reach 5 pixels into the strip on the left; on the right they stop at the humidity
    // band, where a tick in front of a label would read as a minus sign.
    canvas.setPen(chart_style::kGridPen);
    const int tickStart = toPixel(l.tickStart);
    const int tickEnd = right;
    const int top = toPixel(25.0f * s);
    canvas.line(tickStart, top, tickEnd, top);
    for (int i = 1; i <= 4; ++i) {
        const float y = static_cast<float>(i) * l.gridStep;
        canvas.line(left, toPixel(y), right, toPixel(y));
        canvas.line(tickStart, toPixel(y + 25.0f * s), tickEnd, toPixel(y + 25.0f * s));
    }

    int fontHeight = chart_text::fontHeight(s);
    canvas.setFont(chart_style::chartFont(fontHeight));
    canvas.setBackgroundColor(chart_style::kLabelStrip);
    canvas.setBackgroundMode(BackgroundMode::Opaque);
    if (geometry.drawnSamples < 1) return;

    if (state.showTemperature) {
        std::array<std::string, 5> labels;
        for (std::size_t k = 0; k < labels.size(); ++k) labels[k] = scaleLabel(geometry.ticks[k], settings);
        // A label wider than its strip (many digits, a narrow layout) takes a smaller font while one exists.
        auto widest = [&canvas, &labels] {
            int w = 0;
            for (const auto& t : labels) w = std::max(w, canvas.textExtent(t).width);
            return w;
        };
        while (fontHeight > chart_text::kMinFontHeight && widest() > chart_text::labelRoom(l)) {
            --fontHeight;
            canvas.setFont(chart_style::chartFont(fontHeight));
        }
        canvas.setTextColor(chart_style::kScaleText);
        for (int k = 0; k < 5; ++k) {
            const std::string& t = labels[static_cast<std::size_t>(k)];
            const Point at = chart_text::labelAt(l, k, canvas.textExtent(t).width, fontHeight);
            canvas.textOut(at.x, at.y, t);
        }
    }
    if (state.showTemperature && rec.tempAlarmOn) {
        canvas.setPen(chart_style::kAlarmPen);
        canvas.line(left, toPixel(geometry.upperAlarmY), right, toPixel(geometry.upperAlarmY));
        canvas.line(left, toPixel(geometry.lowerAlarmY), right, toPixel(geometry.lowerAlarmY));
    }

    if (geometry.humidityDrawn) {
        // Its own scale in the band right of the plot, mirrored from the temperature's on the left, with
        // the unit above it.
        canvas.setTextColor(chart_style::kHumiBandText);
        canvas.setBackgroundColor(chart_style::kHumiBand);
        const int labelLeft = right + std::max(2, toPixel(5.0f * s));
        for (int k = 0; k < 5; ++k) {
            const std::string label = humidityScaleLabel(geometry.humiTicks[static_cast<std::size_t>(k)]);
            const Point at = chart_text::labelAt(l, k, canvas.textExtent(label).width, fontHeight);
            canvas.textOut(labelLeft, at.y, label);
        }
        const int unitWidth = canvas.textExtent(settings.humidityUnit).width;
        // The unit sits just above the top label, so the two never overlap.
        const int unitTop = chart_text::labelAt(l, 4, unitWidth, fontHeight).y - fontHeight;
        canvas.textOut(std::max(right + 1, width - unitWidth - 2), std::max(0, unitTop),
                       settings.humidityUnit);
        canvas.setBackgroundColor(chart_style::kLabelStrip);
        if (rec.humiAlarmOn) {
            canvas.setPen(chart_style::kHumiAlarmPen);
            canvas.line(left, toPixel(geometry.humiUpperY), right, toPixel(geometry.humiUpperY));
            canvas.line(left, toPixel(geometry.humiLowerY), right, toPixel(geometry.humiLowerY));
        }
    }

    canvas.setPen(chart_style::kCursorPen);
    const int cx = geometry.cursorPoint * geometry.thinning.pixelStep;
    if (cx >= 0 && static_cast<float>(cx) < geometry.plotWidth) {
        const int x = toPixel(l.plotLeft + static_cast<float>(cx));
        canvas.line(x, toPixel(5.0f * s), x, toPixel(240.0f * s));
    }

    if (geometry.humidityDrawn) {
        canvas.setPen(chart_style::kHumiCurvePen);
        canvas.polyline(geometry.humiPoints);
    }
    if (!state.showTemperature) return;
    canvas.setPen(chart_style::kCurvePen);
    canvas.polyline(geometry.points);
    canvas.setTextColor(Rgb{0, 0, 0});
    const Point number = chart_text::firstSampleAt(l, fontHeight);
    const std::string first = format("%d", state.startIndex + 1);
    canvas.textOut(number.x, number.y, first);

    // Times under the plot, in the strip below the lowest value line; the first starts after the sample
    // number, the last ends at the plot's right edge.
    const int gap = canvas.textExtent("  ").width;
    const int timeLeft = number.x + canvas.textExtent(first).width + gap;
    // Round times are at most a date long; they stand a date and two gaps apart.
    const int roundWidth = canvas.textExtent("0000-00-00").width + 2 * gap;
    const std::vector<TimeLabel> times = timeAxisLabels(rec, geometry.pointSamples, geometry.lastSample,
                                                        l.plotLeft, geometry.thinning.pixelStep, roundWidth);
    canvas.setBackgroundMode(BackgroundMode::Transparent);
    canvas.setTextColor(chart_style::kTimeText);
    canvas.setPen(chart_style::kGridPen);
    int freeFrom = timeLeft;
    int freeTo = right - 2;
    if (times.size() >= 2) {
        // The first and the last are drawn first so the round times only fill the room between them.
        const TimeLabel& last = times.back();
        const int lastWidth = canvas.textExtent(last.text).width;
        if (freeTo - lastWidth >= freeFrom) {
            canvas.textOut(freeTo - lastWidth, number.y, last.text);
            freeTo -= lastWidth + gap;
        }
        const int firstWidth = canvas.textExtent(times.front().text).width;
        if (freeFrom + firstWidth <= freeTo) {
            canvas.textOut(freeFrom, number.y, times.front().text);
            freeFrom += firstWidth + gap;
        }
        for (std::size_t i = 1; i + 1 < times.size(); ++i) {
            const int w = canvas.textExtent(times[i].text).width;
            const int x = times[i].x - w / 2;
            if (x < freeFrom || x + w > freeTo) continue;
            canvas.line(times[i].x, l.bottomValueLine, times[i].x, l.bottomValueLine + toPixel(4.0f * s));
            canvas.textOut(x, number.y, times[i].text);
            freeFrom = x + w + gap;
        }
    }
    canvas.setBackgroundMode(BackgroundMode::Opaque);
}

std::vector<TimeLabel> timeAxisLabels(const Recording& rec, const std::vector<int>& pointSamples,
                                      int lastSample, float plotLeft, int pixelStep, int labelWidth) {
    std::vector<TimeLabel> labels;
    if (pointSamples.empty() || rec.intervalSeconds <= 0) return labels;
    const auto timeOf = [&rec](int sample) { return rec.sampleTime[static_cast<std::size_t>(sample)]; };
    const auto xOf = [&](int point) { return toPixel(plotLeft + static_cast<float>(point * pixelStep)); };
    const int firstSample = pointSamples.front();
    const int lastPoint = static_cast<int>(pointSamples.size()) - 1;
    lastSample = std::clamp(lastSample, pointSamples.back(), rec.usableSamples() - 1);
    if (timeOf(firstSample) == 0 || timeOf(lastSample) == 0) return labels;
    labels.push_back({xOf(0), formatLocalMinutes(timeOf(firstSample))});
    if (lastSample == firstSample) return labels;

    // Pixels per second of the drawing, and the smallest round step whose labels do not touch.
    const double span = static_cast<double>(timeOf(lastSample) - timeOf(firstSample));
    const double pixelsPerSecond = static_cast<double>(std::max(lastPoint * pixelStep, 1)) / span;
    constexpr int kStepMinutes[] = {5, 10, 15, 30, 60, 120, 180, 360, 720, 1440, 2880, 10080};
    int step = 0;
    for (const int m : kStepMinutes) {
        if (static_cast<double>(m) * 60.0 * pixelsPerSecond >= static_cast<double>(labelWidth)) {
            step = m * 60;
            break;
        }
    }
    if (step > 0) {
        const auto first = toLocal(timeOf(firstSample));
        const auto midnight = first ? fromLocal(first->year, first->month, first->day, 0, 0) : std::nullopt;
        if (midnight) {
            for (std::int64_t t = *midnight; t < timeOf(lastSample); t += step) {
                if (t <= timeOf(firstSample)) continue;
                const auto parts = toLocal(t);
                if (!parts) continue;
                // The sample at or just before the round time, and the point that stands for it.
                const auto sample = static_cast<int>((t - rec.startTime) / rec.intervalSeconds);
                const int point = pointOfSample(pointSamples, sample, lastSample);
                if (point < 0) continue;
                std::string text = parts->hour == 0 && parts->minute == 0
                                       ? format("%d-%d-%d", parts->year, parts->month, parts->day)
                                       : format("%.2d:%.2d", parts->hour, parts->minute);
                labels.push_back({xOf(point), std::move(text)});
            }
        }
    }
    labels.push_back({xOf(lastPoint), formatLocalMinutes(timeOf(lastSample))});
    return labels;
}

}  // namespace thermivo
