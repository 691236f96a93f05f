#include "print/TextPage.h"

#include <algorithm>

#include "app/Format.h"
#include "app/UiText.h"
#include "data/LocalTime.h"

namespace thermivo {

namespace {
constexpr Rgb kBlack{0, 0, 0};
constexpr Rgb kWhite{255, 255, 255};
}  // namespace

TextLayout ComputeTextLayout(int dpiX, int dpiY, double factor, int rowsPerPage) {
    TextLayout l;
    l.factor = factor;
    l.pixelsPerMmX = dpiX / 25.4;
    l.pixelsPerMmY = dpiY / 25.4;
    l.rowsPerPage = std::max(1, rowsPerPage);
    const auto h = [&](double mm) { return mmToPixels(mm, factor, dpiX); };
    const auto v = [&](double mm) { return mmToPixels(mm, factor, dpiY); };
    l.pageWidth = h(kTextPageWidthMm);
    l.pageHeight = v(kTextPageHeightMm);
    l.textSerialX = h(60);
    l.textSerialY = v(7);
    l.numberX = h(15);
    l.timeX = h(30);
    l.tempX = h(70);
    l.humiX = h(110);
    l.headingY = v(15);
    l.rowHeight = v(270 / (l.rowsPerPage + 1));
    l.summaryX = h(20);
    l.summaryY = v(10);
    l.summaryStep = v(8);
    l.pageNumberX = h(180);
    l.pageNumberY = v(5);
    const int points = static_cast<int>(12 * factor);
    l.headingFont = Font{"Arial", -mulDiv(points, dpiY, 72), 400};
    l.tableFont = Font{"Arial", -mulDiv(points, dpiY, 96), 400};
    return l;
}

TextLayout ComputePrintTextLayout(int dpiX, int dpiY, int width, int height) {
    const double factor =
        fitFactor(width * 25.4 / dpiX, height * 25.4 / dpiY, kTextFitWidthMm, kTextFitHeightMm);
    TextLayout layout = ComputeTextLayout(dpiX, dpiY, factor);
    layout.pageWidth = width;
    layout.pageHeight = height;
    layout.penScale = printPenScale(dpiY);
    return layout;
}

TextRows textPageRows(int page, int selCount, int rowsPerPage) {
    TextRows rows;
    if (page < 2) return rows;
    rows.first = (page - 2) * rowsPerPage;
    rows.count = rowsPerPage;
    if ((page - 1) * rowsPerPage > selCount) rows.count = std::max(0, selCount - rows.first);
    return rows;
}

namespace {
std::string marker(bool below, bool above, double lower, double upper) {
    if (below) return format(" [<%.2f]", lower);
    if (above) return format(" [>%.2f]", upper);
    return {};
}
}  // namespace

std::string textTemperatureCell(const PrintJob& job, float celsius) {
    if (!Recording::hasValue(celsius)) return {};
    const Recording& rec = job.rec();
    std::string s = format("%.2f", job.toDisplay(celsius)) + job.unitText;
    if (rec.tempAlarmOn)
        s += marker(celsius<rec.tempLower, celsius> rec.tempUpper, job.toDisplay(rec.tempLower),
                    job.toDisplay(rec.tempUpper));
    return s;
}

std::string textHumidityCell(const PrintJob& job, float humidity) {
    if (!Recording::hasValue(humidity)) return {};
    const Recording& rec = job.rec();
    std::string s = format("%.2f", static_cast<double>(humidity)) + job.humidityUnitText;
    if (rec.humiAlarmOn)
        s += marker(humidity<rec.humiLower, humidity> rec.humiUpper, rec.humiLower, rec.humiUpper);
    return s;
}

namespace {

void drawSummary(const TextLayout& l, const PrintJob& job, Canvas& canvas) {
    const Recording& rec = job.rec();
    const Selection& sel = job.selection;
    int y = l.summaryY;
    bool firstLine = true;
    const auto line = [&](const std::string& s) {
        if (!firstLine) y += l.summaryStep;
        firstLine = false;
        canvas.textOut(l.summaryX, y, s);
    };
    const auto labelled = [&](int labelIndex, const std::string& value) {
        line(rec.labels[static_cast<std::size_t>(labelIndex)] + " " + value);
    };
    const auto time = [](std::int64_t t) { return t == 0 ? std::string() : formatLocalMinutes(t); };
    const auto temp = [&](float c) { return format("%.2f", job.toDisplay(c)) + job.unitText; };
    const auto humi = [&](float h) { return format("%.2f", static_cast<double>(h)) + job.humidityUnitText; };

    labelled(15, rec.description());
    labelled(0, rec.serialText());
    labelled(1, time(sel.selFirstTime));
    labelled(2, time(sel.selLastTime));
    labelled(3, intervalText(rec.intervalSeconds));
    labelled(4, format("%d", sel.selCount));
    labelled(5, temp(sel.selTempMax));
    labelled(6, temp(sel.selTempMin));
    labelled(7, temp(sel.selTempAvg));
    std::string alarm = text(58) + ": ";
    if (rec.tempAlarmOn)
        alarm +=
            format("[%.2f, %.2f]", job.toDisplay(rec.tempLower), job.toDisplay(rec.tempUpper)) + job.unitText;
    line(alarm);
    if (rec.kind != KindTempHumi) return;
    labelled(10, humi(sel.selHumiMax));
    labelled(11, humi(sel.selHumiMin));
    labelled(12, humi(sel.selHumiAvg));
    std::string humiAlarm = text(60) + ": ";
    if (rec.humiAlarmOn)
        humiAlarm +=
            format("[%.2f, %.2f]", static_cast<double>(rec.humiLower), static_cast<double>(rec.humiUpper)) +
            job.humidityUnitText;
    line(humiAlarm);
}

void drawTable(const TextLayout& l, const PrintJob& job, Canvas& canvas, int page) {
    const Recording& rec = job.rec();
    const Selection& sel = job.selection;
    canvas.textOut(l.textSerialX, l.textSerialY, utf8Left(rec.serialText(), 20));
    canvas.setFont(l.tableFont);
    canvas.textOut(l.numberX, l.headingY, text(30));
    canvas.textOut(l.timeX, l.headingY, text(31));
    canvas.textOut(l.tempX, l.headingY, text(32));
    const bool humi = rec.kind == KindTempHumi;
    if (humi) canvas.textOut(l.humiX, l.headingY, text(33));

    const TextRows rows = textPageRows(page, sel.selCount, l.rowsPerPage);
    for (int r = 1; r <= rows.count; ++r) {
        const int i = sel.selFirst + rows.first + r - 1;
        if (i < 0 || i >= Recording::kCapacity) break;
        const auto ii = static_cast<std::size_t>(i);
        const int y = l.headingY + r * l.rowHeight;
        const auto g = static_cast<std::uint8_t>(245 + r % 10);
        canvas.setBackgroundColor({g, g, g});
        canvas.textOut(l.numberX, y, format("%d", rows.first + r));
        std::string time = " ";  // appended, not " " + ...: GCC 12 at -O3 warns falsely (-Wrestrict) on that
        time += formatLocalMinutes(rec.sampleTime[ii]);
        canvas.textOut(l.timeX, y, time);
        canvas.textOut(l.tempX, y, textTemperatureCell(job, rec.temperature[ii]));
        if (humi) canvas.textOut(l.humiX, y, textHumidityCell(job, rec.humidity[ii]));
    }
}

}  // namespace

void DrawTextPage(const TextLayout& layout, const PrintJob& job, Canvas& canvas, int page) {
    canvas.setPen(Pen{PenStyle::Solid, layout.penScale, kBlack});
    canvas.setBrush(Brush{false, kWhite});
    canvas.rectangle({0, 0, layout.pageWidth, layout.pageHeight});
    canvas.setBackgroundMode(BackgroundMode::Opaque);
    canvas.setBackgroundColor(kWhite);
    canvas.setTextColor(kBlack);
    canvas.setFont(layout.headingFont);
    // "1001/1001" is wider than the 20 mm the design leaves right of the page number: a long number moves
    // left so that it ends 3 mm inside the page frame.
    const std::string number = format("%d/%d", page, job.pageTotal);
    const int rightEnd =
        layout.pageWidth - mmToPixels(3, layout.factor, static_cast<int>(layout.pixelsPerMmX * 25.4 + 0.5));
    const int numberX = std::max(0, std::min(layout.pageNumberX, rightEnd - canvas.textExtent(number).width));
    canvas.textOut(numberX, layout.pageNumberY, number);
    if (page == 1)
        drawSummary(layout, job, canvas);
    else
        drawTable(layout, job, canvas, page);
}

}  // namespace thermivo
