#include "chart/ChartLegend.h"

#include <QFontMetrics>
#include <QPainter>
#include <algorithm>

#include "FittedText.h"
#include "QtCanvas.h"
#include "QtText.h"

namespace thermivo {

namespace {

// Length of the dotted sample in front of each limit, and the gaps, in average character widths.
constexpr int kSampleChars = 4;
constexpr int kGapChars = 1;
constexpr int kItemGapChars = 3;

}  // namespace

ChartLegend::ChartLegend(QWidget* parent) : QWidget(parent) {
    hide();
}

void ChartLegend::setLegend(const AlarmLegend& legend) {
    legend_ = legend;
    setVisible(legend_.shown);
    update();
}

int ChartLegend::lineWidth(const QFont& font) const {
    const QFontMetrics fm(font);
    const int unit = fm.averageCharWidth();
    const auto item = [&](const std::string& t) {
        return (kSampleChars + kGapChars + kItemGapChars) * unit + fm.horizontalAdvance(qs(t));
    };
    const int temperature =
        item(legend_.upper) + item(legend_.lower) + fm.horizontalAdvance(qs(legend_.marker));
    if (!legend_.humidityShown) return temperature;
    return std::max(temperature, item(legend_.humidityUpper) + item(legend_.humidityLower));
}

int ChartLegend::rows() const {
    return legend_.humidityShown ? 2 : 1;
}

QFont ChartLegend::shownFont() const {
    QFont f = font();
    const int rowHeight = height() / rows();
    while (fontPixels(f) > kMinCaptionPixels &&
           (lineWidth(f) > width() || QFontMetrics(f).height() > rowHeight + 2))
        f.setPixelSize(fontPixels(f) - 1);
    return f;
}

void ChartLegend::paintEvent(QPaintEvent*) {
    if (!legend_.shown) return;
    QPainter p(this);
    const QFont f = shownFont();
    p.setFont(f);
    const QFontMetrics fm(f);
    const int unit = fm.averageCharWidth();
    const int rowHeight = height() / rows();
    // Each row: the dotted pen of its lines on the chart, in the curve's colour, before each limit; the
    // temperature's row ends with the list's "*", the humidity's row (kind 4) lies below it.
    const auto drawRow = [&](int top, const Pen& pen, const QColor& text, const std::string& upper,
                             const std::string& lower, const std::string& tail) {
        QPen dotted(QtCanvas::toQColor(pen.color));
        dotted.setStyle(Qt::DotLine);
        dotted.setWidth(std::max(1, fm.height() / 8));
        const int mid = top + rowHeight / 2;
        int x = 0;
        for (const std::string* item : {&upper, &lower}) {
            p.setPen(dotted);
            p.drawLine(x, mid, x + kSampleChars * unit, mid);
            x += (kSampleChars + kGapChars) * unit;
            p.setPen(text);
            const QString s = qs(*item);
            p.drawText(QRect(x, top, fm.horizontalAdvance(s) + 1, rowHeight),
                       Qt::AlignLeft | Qt::AlignVCenter, s);
            x += fm.horizontalAdvance(s) + kItemGapChars * unit;
        }
        if (!tail.empty())
            p.drawText(QRect(x, top, width() - x, rowHeight), Qt::AlignLeft | Qt::AlignVCenter, qs(tail));
    };
    drawRow(0, chart_style::kAlarmPen, palette().color(QPalette::WindowText), legend_.upper, legend_.lower,
            legend_.marker);
    if (legend_.humidityShown)
        drawRow(rowHeight, chart_style::kHumiAlarmPen, QtCanvas::toQColor(chart_style::kHumiBandText),
                legend_.humidityUpper, legend_.humidityLower, {});
}

}  // namespace thermivo
