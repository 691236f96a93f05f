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
    return 2 * (kSampleChars + kGapChars) * unit + fm.horizontalAdvance(qs(legend_.upper)) +
           fm.horizontalAdvance(qs(legend_.lower)) + fm.horizontalAdvance(qs(legend_.marker)) +
           2 * kItemGapChars * unit;
}

QFont ChartLegend::shownFont() const {
    QFont f = font();
    while (fontPixels(f) > kMinCaptionPixels && lineWidth(f) > width()) f.setPixelSize(fontPixels(f) - 1);
    return f;
}

void ChartLegend::paintEvent(QPaintEvent*) {
    if (!legend_.shown) return;
    QPainter p(this);
    const QFont f = shownFont();
    p.setFont(f);
    const QFontMetrics fm(f);
    const int unit = fm.averageCharWidth();
    const int mid = height() / 2;
    const QColor text = palette().color(QPalette::WindowText);
    // The same dotted pen in the curve's colour as the alarm lines on the chart.
    QPen dotted(QtCanvas::toQColor(chart_style::kAlarmPen.color));
    dotted.setStyle(Qt::DotLine);
    dotted.setWidth(std::max(1, fm.height() / 8));
    int x = 0;
    for (const std::string* item : {&legend_.upper, &legend_.lower}) {
        p.setPen(dotted);
        p.drawLine(x, mid, x + kSampleChars * unit, mid);
        x += (kSampleChars + kGapChars) * unit;
        p.setPen(text);
        const QString s = qs(*item);
        p.drawText(QRect(x, 0, fm.horizontalAdvance(s) + 1, height()), Qt::AlignLeft | Qt::AlignVCenter, s);
        x += fm.horizontalAdvance(s) + kItemGapChars * unit;
    }
    p.drawText(QRect(x, 0, width() - x, height()), Qt::AlignLeft | Qt::AlignVCenter, qs(legend_.marker));
}

}  // namespace thermivo
