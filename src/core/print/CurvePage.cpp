#include "print/CurvePage.h"

#include <algorithm>
#include <cmath>

#include "app/Format.h"
#include "app/UiText.h"
#include "data/LocalTime.h"

namespace thermivo {

namespace {

constexpr Rgb kBlack{0, 0, 0};
constexpr Rgb kWhite{255, 255, 255};
constexpr Rgb kGridGrey{100, 100, 100};

/// A double pixel value as an int, truncated; values no page can hold are pinned so the cast stays defined.
int toPixel(double v) {
    if (std::isnan(v)) return 0;
    return static_cast<int>(std::clamp(v, -1.0e7, 1.0e7));
}

/// A pen of the page: `units` is its width at 600 dpi.
Pen pagePen(const CurveLayout& l, PenStyle style, int units, Rgb color) {
    return Pen{style, units * l.penScale, color};
}

/// Pixels per unit for a value range mapped onto `lengthPx`; 0 for a flat (or unusable) range.
double scaleFor(double lengthPx, float top, float bottom) {
    const double range = static_cast<double>(top) - static_cast<double>(bottom);
    if (!(range > 0) || !std::isfinite(range)) return 0;
    return lengthPx / range;
}

}  // namespace

CurveLayout ComputeCurveLayout(const PrintJob& job, int dpiX, int dpiY, double factor) {
    CurveLayout l;
    l.factor = factor;
    l.pixelsPerMmX = dpiX / 25.4;
    l.pixelsPerMmY = dpiY / 25.4;
    const auto h = [&](double mm) { return mmToPixels(mm, factor, dpiX); };
    const auto v = [&](double mm) { return mmToPixels(mm, factor, dpiY); };
    const auto vExact = [&](double mm) { return mm * factor * dpiY / 25.4; };

    l.pageWidth = h(kCurvePageWidthMm);
    l.pageHeight = v(kCurvePageHeightMm);
    const Selection& sel = job.selection;
    l.tempPixelsPerDegree = scaleFor(vExact(40), sel.selTempMax, sel.selTempMin);
    l.tempFlat = l.tempPixelsPerDegree == 0;
    l.humiPixelsPerUnit = scaleFor(vExact(40), sel.selHumiMax, sel.selHumiMin);
    l.humiFlat = l.humiPixelsPerUnit == 0;
    l.plotWidth = h(240);
    l.stripPitch = v(57);
    l.plotHeight = v(50);
    l.plotLeft = h(30);
    l.plotTop = v(25);
    l.tempLabelX = h(12);
    l.tempLabelY = v(27.5);
    // The legend's y is measured with the horizontal resolution, as the page design has it.
    l.tempLegendX = h(7);
    l.tempLegendY = h(28.5);
    l.legendLength = h(2);
    l.humiLabelX = h(12);
    l.humiLabelY = v(30.5);
    l.humiLegendX = h(7);
    l.humiLegendY = h(31.5);
    l.labelStep = vExact(10);
    l.pageNumberX = h(275);
    l.pageNumberY = v(190);
    l.timeLabelX = h(30);
    l.timeLabelY = v(76);
    l.tickLength = v(1);
    l.gridStep = vExact(5);
    l.tableLeft = h(5);
    l.tableTop = v(7);
    l.tableRowHeight = v(5);
    const double columns[6] = {45, 75, 107, 139, 159, 174};
    for (int i = 0; i < 6; ++i) l.tableColumns[static_cast<std::size_t>(i)] = h(columns[i]);
    l.tempAvgWidth = h(20);
    l.tempAlarmWidth = h(34);
    l.humiAvgWidth = h(20);
    l.humiAlarmWidth = h(32);
    l.headY = v(8);
    l.valueY = v(13);
    l.descriptionX = h(6);
    l.serialX = h(46);
    l.startX = h(76);
    l.stopX = h(108);
    l.intervalX = h(140);
    l.quantityX = h(160);
    l.tempAvgX = h(175);
    l.tempAlarmOffset = h(20);
    l.humiAvgOffset = h(34);
    l.humiAlarmOffset = h(20);
    l.font = Font{"Arial", -mulDiv(static_cast<int>(9 * factor), dpiY, 72), 400};
    return l;
}

CurveLayout ComputePrintCurveLayout(const PrintJob& job, int dpiX, int dpiY, int width, int height) {
    const double factor =
        fitFactor(width * 25.4 / dpiX, height * 25.4 / dpiY, kCurveFitWidthMm, kCurveFitHeightMm);
    CurveLayout layout = ComputeCurveLayout(job, dpiX, dpiY, factor);
    layout.pageWidth = width;
    layout.pageHeight = height;
    layout.penScale = printPenScale(dpiY);
    return layout;
}

CurveLabels ComputeCurveLabels(const PrintJob& job) {
    CurveLabels c;
    const Selection& sel = job.selection;
    c.scaleTop = sel.selTempMax;
    c.scaleStep = (sel.selTempMax - sel.selTempMin) * 0.25f;
    for (int k = 0; k < 5; ++k) {
        const float celsius = c.scaleTop - static_cast<float>(k) * c.scaleStep;
        c.tempLabels[static_cast<std::size_t>(k)] = static_cast<float>(job.toDisplay(celsius));
    }
    if (job.rec().kind == KindTempHumi) {
        c.humiScaleTop = sel.selHumiMax;
        c.humiScaleStep = (sel.selHumiMax - sel.selHumiMin) * 0.25f;
        for (int k = 0; k < 5; ++k)
            c.humiLabels[static_cast<std::size_t>(k)] =
                c.humiScaleTop - static_cast<float>(k) * c.humiScaleStep;
    }
    return c;
}

StripGeometry ComputeStripGeometry(int selCount, int pageTotal, int screenPlotPixels, int plotWidth) {
    StripGeometry g;
    g.samplesPerStrip = std::max(selCount, 0) / (3 * std::max(pageTotal, 1)) + 1;
    g.bucketStep = 2.0 * g.samplesPerStrip / std::max(screenPlotPixels, 1);
    if (g.bucketStep >= 2) {
        g.stripPoints = std::max(screenPlotPixels, 1);
    } else {
        g.stripPoints = g.samplesPerStrip;
        g.bucketStep = 1;
    }
    g.stripPoints = g.stripPoints / 2 * 2 + 1;
    if (g.stripPoints == g.samplesPerStrip) ++g.stripPoints;
    g.pointSpacing = g.stripPoints < 2 ? 0.0 : static_cast<double>(plotWidth) / (g.stripPoints - 1);
    g.timeLabelEvery = g.stripPoints / 6.0;
    return g;
}

StripSamples ComputeStripSamples(const PrintJob& job, const StripGeometry& geometry, int strip) {
    StripSamples s;
    const Selection& sel = job.selection;
    const Recording& rec = job.rec();
    // Room for one pair beyond the limit: the last bucket may add two points when one slot is left.
    const auto capacity = static_cast<std::size_t>(geometry.stripPoints) + 1;
    s.tempPointSamples.assign(capacity, 0);
    s.humiPointSamples.assign(capacity, 0);
    // Indices past the arrays cannot be drawn, whatever the selection claims.
    const int lastIndex = std::min(sel.selCount, Recording::kCapacity - sel.selFirst) - 1;
    const int width = std::max(1, static_cast<int>(std::ceil(geometry.bucketStep)));
    const auto temp = [&](int i) { return rec.temperature[static_cast<std::size_t>(sel.selFirst + i)]; };
    const auto humi = [&](int i) { return rec.humidity[static_cast<std::size_t>(sel.selFirst + i)]; };

    double d = static_cast<double>(strip) * geometry.samplesPerStrip;
    int count = 0;
    while (d <= lastIndex && count < geometry.stripPoints) {
        const int b = static_cast<int>(std::ceil(d));
        const int last = std::min(b + width - 1, lastIndex);
        // Extremes among the samples with a value; a bucket without any keeps its first sample, which the
        // drawing leaves out, so the curve shows a gap there.
        int tMax = -1, tMin = -1, hMax = -1, hMin = -1;
        for (int k = b; k <= last; ++k) {
            if (Recording::hasValue(temp(k))) {
                if (tMax < 0 || temp(k) > temp(tMax)) tMax = k;
                if (tMin < 0 || temp(k) <= temp(tMin)) tMin = k;
            }
            if (Recording::hasValue(humi(k))) {
                if (hMax < 0 || humi(k) > humi(hMax)) hMax = k;
                if (hMin < 0 || humi(k) <= humi(hMin)) hMin = k;
            }
        }
        if (tMax < 0) tMax = tMin = b;
        if (hMax < 0) hMax = hMin = b;
        const auto at = static_cast<std::size_t>(count);
        s.tempPointSamples[at] = std::min(tMax, tMin);
        s.tempPointSamples[at + 1] = std::max(tMax, tMin);
        // A flat humidity bucket fills both slots, so no slot keeps an index of an earlier bucket.
        s.humiPointSamples[at] = std::min(hMax, hMin);
        s.humiPointSamples[at + 1] = std::max(hMax, hMin);
        count += tMax == tMin ? 1 : 2;
        d += geometry.bucketStep;
    }
    s.stripPointCount = std::min(count, geometry.stripPoints);
    return s;
}

namespace {

/// Draws a table text at (x, y); a text wider than its cell (up to `right`) gets a smaller font for itself,
/// so long captions and Chinese texts never run into the next column. `measured` is the part that must fit.
void cellText(Canvas& canvas, const Font& font, int x, int y, int right, const std::string& s,
              const std::string& measured) {
    const int room = right - x - 1;
    const int width = canvas.textExtent(measured).width;
    if (room <= 0 || width <= room) {
        canvas.textOut(x, y, s);
        return;
    }
    Font smaller = font;
    const int height = font.height < 0 ? -font.height : font.height;
    smaller.height = -std::max(1, static_cast<int>(static_cast<long long>(height) * room / width));
    canvas.setFont(smaller);
    canvas.textOut(x, y, s);
    canvas.setFont(font);
}

void cellText(Canvas& canvas, const Font& font, int x, int y, int right, const std::string& s) {
    cellText(canvas, font, x, y, right, s, s);
}

void drawSummaryTable(const CurveLayout& l, const PrintJob& job, Canvas& canvas) {
    const Recording& rec = job.rec();
    const Selection& sel = job.selection;
    const bool humi = rec.kind == KindTempHumi;
    const int x1 = l.tempAvgX;
    const int x2 = x1 + l.tempAlarmOffset;
    const int x3 = x2 + l.humiAvgOffset;
    const auto& col = l.tableColumns;
    // Right edges of the cells: the column lines, and in the right block the widths of its columns.
    const int tempAvgRight = col[5] + l.tempAvgWidth;
    const int tempAlarmRight = tempAvgRight + l.tempAlarmWidth;
    const int humiAvgRight = tempAlarmRight + l.humiAvgWidth;
    const int humiAlarmRight = humiAvgRight + l.humiAlarmWidth;
    const Font& f = l.font;

    for (int y : {l.headY, l.valueY}) {
        const bool head = y == l.headY;
        cellText(canvas, f, l.descriptionX, y, col[0], head ? text(61) : rec.description());
        if (head)
            cellText(canvas, f, l.serialX, y, col[1], text(52));
        else
            cellText(canvas, f, l.serialX, y, col[1], rec.serialText() + std::string(41, ' '),
                     rec.serialText());
        cellText(canvas, f, l.startX, y, col[2], head ? text(53) : formatLocalMinutes(sel.selFirstTime));
        cellText(canvas, f, l.stopX, y, col[3], head ? text(54) : formatLocalMinutes(sel.selLastTime));
        cellText(canvas, f, l.intervalX, y, col[4], head ? text(55) : rec.values[Recording::ValInterval]);
        cellText(canvas, f, l.quantityX, y, col[5], head ? text(56) : format("%d", sel.selCount));
        cellText(canvas, f, x1, y, tempAvgRight,
                 head ? text(57) : format("%.2f", job.toDisplay(sel.selTempAvg)) + job.unitText);
        if (head)
            cellText(canvas, f, x2, y, tempAlarmRight, text(58));
        else if (rec.tempAlarmOn)
            cellText(canvas, f, x2, y, tempAlarmRight,
                     format("[%.2f,%.2f]", job.toDisplay(rec.tempLower), job.toDisplay(rec.tempUpper)) +
                         job.unitText);
        if (!humi) continue;
        cellText(
            canvas, f, x3, y, humiAvgRight,
            head ? text(59) : format("%.2f", static_cast<double>(sel.selHumiAvg)) + job.humidityUnitText);
        if (head)
            cellText(canvas, f, x3 + l.humiAlarmOffset, y, humiAlarmRight, text(60));
        else if (rec.humiAlarmOn)
            cellText(canvas, f, x3 + l.humiAlarmOffset, y, humiAlarmRight,
                     format("[%.2f,%.2f]", static_cast<double>(rec.humiLower),
                            static_cast<double>(rec.humiUpper)) +
                         job.humidityUnitText);
    }

    canvas.setPen(pagePen(l, PenStyle::Solid, 1, kBlack));
    const int blockStart = l.tableColumns[5];
    const int rows[3] = {l.tableTop, l.tableTop + l.tableRowHeight, l.tableTop + 2 * l.tableRowHeight};
    for (int y : rows) canvas.line(l.tableLeft, y, blockStart, y);
    canvas.line(l.tableLeft, rows[0], l.tableLeft, rows[2]);
    for (int x : l.tableColumns) canvas.line(x, rows[0], x, rows[2]);
    int s = blockStart;
    const auto block = [&](int avgWidth, int alarmWidth) {
        for (int y : rows) canvas.line(s, y, s + avgWidth + alarmWidth, y);
        canvas.line(s, rows[0], s, rows[2]);
        canvas.line(s + avgWidth, rows[0], s + avgWidth, rows[2]);
        s += avgWidth + alarmWidth;
    };
    block(l.tempAvgWidth, l.tempAlarmWidth);
    if (humi) block(l.humiAvgWidth, l.humiAlarmWidth);
    canvas.line(s, rows[0], s, rows[2]);
}

void drawStrip(const CurveLayout& l, const PrintJob& job, const StripGeometry& g, Canvas& canvas, int page,
               int r) {
    const Recording& rec = job.rec();
    const Selection& sel = job.selection;
    const bool humi = rec.kind == KindTempHumi;
    const int o = r * l.stripPitch;
    const int strip = (page - 1) * 3 + r;

    canvas.setPen(pagePen(l, PenStyle::Dot, 1, kGridGrey));
    for (int i = 1; i <= 9; ++i) {
        const int y = static_cast<int>(o + l.plotTop + i * l.gridStep);
        canvas.line(l.plotLeft, y, l.plotLeft + l.plotWidth, y);
    }

    for (int k = 0; k < 5; ++k) {
        const auto kk = static_cast<std::size_t>(k);
        const std::string label =
            format("%.2f", static_cast<double>(job.curveLabels.tempLabels[kk])) + job.unitText;
        canvas.textOut(l.tempLabelX, static_cast<int>(o + l.tempLabelY + k * l.labelStep),
                       utf8Left(label, 10));
        if (humi) {
            const std::string h =
                format("%.2f", static_cast<double>(job.curveLabels.humiLabels[kk])) + job.humidityUnitText;
            canvas.textOut(l.humiLabelX, static_cast<int>(o + l.humiLabelY + k * l.labelStep),
                           utf8Left(h, 10));
        }
    }

    const StripSamples samples = ComputeStripSamples(job, g, strip);
    const int base = o + static_cast<int>(l.gridStep) + l.plotTop;
    const int midHeight = static_cast<int>(4 * l.gridStep);
    // A point without value ends a line: the curve has a gap there instead of diving to the marker.
    std::vector<std::vector<Point>> tempLines(1), humiLines(1);
    const auto add = [](std::vector<std::vector<Point>>& lines, bool valued, Point p) {
        if (valued)
            lines.back().push_back(p);
        else if (!lines.back().empty())
            lines.emplace_back();
    };
    for (int i = 0; i < samples.stripPointCount; ++i) {
        const auto ii = static_cast<std::size_t>(i);
        const int x = static_cast<int>(i * g.pointSpacing) + l.plotLeft;
        const auto t = rec.temperature[static_cast<std::size_t>(sel.selFirst + samples.tempPointSamples[ii])];
        const int ty =
            l.tempFlat ? midHeight : toPixel((job.curveLabels.scaleTop - t) * l.tempPixelsPerDegree);
        add(tempLines, Recording::hasValue(t), {x, ty + base});
        if (humi) {
            const auto h =
                rec.humidity[static_cast<std::size_t>(sel.selFirst + samples.humiPointSamples[ii])];
            const int hy =
                l.humiFlat ? midHeight : toPixel((job.curveLabels.humiScaleTop - h) * l.humiPixelsPerUnit);
            add(humiLines, Recording::hasValue(h), {x, hy + base});
        }
    }
    const auto draw = [&](std::vector<std::vector<Point>>& lines) {
        for (auto& points : lines) {
            if (points.size() == 1) points.push_back({points[0].x + 1, points[0].y});
            if (!points.empty()) canvas.polyline(points);
        }
    };

    canvas.setPen(pagePen(l, PenStyle::Solid, 1, kBlack));
    draw(tempLines);
    canvas.line(l.tempLegendX, l.tempLegendY, l.tempLegendX + l.legendLength, l.tempLegendY);
    if (humi) {
        canvas.setPen(pagePen(l, PenStyle::Solid, 3, kBlack));
        draw(humiLines);
        canvas.line(l.humiLegendX, l.humiLegendY, l.humiLegendX + l.legendLength, l.humiLegendY);
    }

    const int axisY = o + l.plotTop + l.plotHeight;
    canvas.setPen(pagePen(l, PenStyle::Solid, 3, kBlack));
    canvas.line(l.plotLeft, o + l.plotTop, l.plotLeft, axisY);
    canvas.lineTo(l.plotLeft + l.plotWidth, axisY);

    canvas.setPen(pagePen(l, PenStyle::Solid, 2, kBlack));
    for (int p = 0; p <= 5; ++p) {
        const int j = static_cast<int>(p * g.timeLabelEvery);
        if (j >= samples.stripPointCount) continue;
        const auto absolute =
            static_cast<std::size_t>(sel.selFirst + samples.tempPointSamples[static_cast<std::size_t>(j)]);
        const int x = l.plotWidth * p / 6 + l.timeLabelX;
        canvas.textOut(x, o + l.timeLabelY, formatLocalMinutes(rec.sampleTime[absolute]));
        canvas.line(x, axisY, x, axisY - l.tickLength);
    }
}

}  // namespace

void DrawCurvePage(const CurveLayout& layout, const PrintJob& job, Canvas& canvas, int page) {
    canvas.setPen(pagePen(layout, PenStyle::Solid, 1, kBlack));
    canvas.setBrush(Brush{false, kWhite});
    canvas.rectangle({0, 0, layout.pageWidth, layout.pageHeight});
    canvas.setFont(layout.font);
    canvas.setBackgroundMode(BackgroundMode::Opaque);
    canvas.setBackgroundColor(kWhite);
    canvas.setTextColor(kBlack);

    drawSummaryTable(layout, job, canvas);
    canvas.textOut(layout.pageNumberX, layout.pageNumberY, format("%d/%d", page, job.pageTotal));

    const StripGeometry geometry =
        ComputeStripGeometry(job.selection.selCount, job.pageTotal, job.screenPlotPixels, layout.plotWidth);
    for (int r = 0; r < 3; ++r) drawStrip(layout, job, geometry, canvas, page, r);
}

}  // namespace thermivo
