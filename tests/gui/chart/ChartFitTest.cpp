#include <QTest>

#include "FittedText.h"
#include "HisDataView.h"
#include "QtCanvas.h"
#include "app/AppSettings.h"
#include "chart/ChartLegend.h"
#include "gui/MainWindowFixture.h"

namespace thermivo::testing {
namespace {

class ChartFit : public MainWindowFixture, public ::testing::WithParamInterface<std::uint16_t> {
  protected:
    // A recording whose scale labels are as wide as ordinary ones get: 212.00 at the top, -12.50 below.
    std::string writeWideRange(const std::string& name) {
        auto rec = makeRecording(KindTemp, 300);
        for (int i = 0; i < 300; ++i)
            rec->temperature[static_cast<std::size_t>(i)] =
                -12.5f + 224.5f * static_cast<float>(i % 60) / 59.0f;
        rec->tempMin = -12.5f;
        rec->tempMax = 212.0f;
        rec->tempAlarmOn = true;
        rec->tempUpper = 150.0f;
        rec->tempLower = -5.0f;
        const std::string path = dir_.file(name);
        RecordFile file(path, RecordFile::ModeWrite);
        EXPECT_TRUE(file.isOpen() && file.write(*rec)) << file.error();
        return path;
    }
};

TEST_P(ChartFit, LabelsStayInTheirStripTheFirstNumberShowsAndTheLegendFitsAt800x600) {
    ScopedLanguage lang(GetParam());
    auto dlg = makeWindow({}, QSize(800, 600));
    dlg->show();
    dlg->OpenRecordFile(qs(writeWideRange("wide.kvlu")), "wide.kvlu");
    CHisDataView* chart = dlg->ChartView();
    ASSERT_LT(chart->layoutScale(), 1.0f);
    QTest::mouseClick(chart->control(CHisDataView::IDC_ZOOM_IN), Qt::LeftButton);
    const QImage image = chart->chartImage();
    const ChartLayout& l = chart->chartGeometry().layout();
    const int tickStart = static_cast<int>(l.tickStart);
    const int plotLeft = static_cast<int>(l.plotLeft);
    const QColor strip = QtCanvas::toQColor(chart_style::kLabelStrip);
    const QColor grid = QtCanvas::toQColor(chart_style::kGridPen.color);

    // Between the labels and the plot only the strip, its outline and the ticks are drawn: no label ink.
    for (int x = tickStart; x < plotLeft; ++x) {
        for (int y = 1; y < image.height() - 1; ++y) {
            const QColor c = image.pixelColor(x, y);
            EXPECT_TRUE(c == strip || c == grid || c == Qt::black) << x << "," << y;
        }
    }
    // Each label has ink in the strip, away from its left edge.
    int inked = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 1; x < tickStart; ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c != strip && c != grid && c != Qt::black) ++inked;
        }
        EXPECT_NE(image.pixelColor(0, y), QtCanvas::toQColor(chart_style::kScaleText)) << y;
    }
    EXPECT_GT(inked, 100);

    // The first sample's number sits on its own box of strip colour, which ends above the bitmap's edge.
    int boxBottom = -1;
    for (int y = 0; y < image.height(); ++y)
        for (int x = plotLeft + 1; x < plotLeft + 40; ++x)
            if (image.pixelColor(x, y) == strip) boxBottom = y;
    EXPECT_GT(boxBottom, image.height() * 3 / 4);
    EXPECT_LT(boxBottom, image.height() - 1);

    // The legend names both limits and the marker, in one line that fits under the chart.
    ChartLegend* legend = chart->legend();
    ASSERT_TRUE(legend->isVisible());
    // In the unit the window shows (Fahrenheit on an English system).
    const AppSettings& settings = AppSettings::instance();
    const std::string unit = settings.currentUnit;
    const auto shown = [&settings, &unit](double c) {
        return QString::number(settings.toDisplay(c), 'f', 2).toStdString() + unit;
    };
    EXPECT_NE(legend->legend().upper.find(shown(150.0)), std::string::npos) << legend->legend().upper;
    EXPECT_NE(legend->legend().lower.find(shown(-5.0)), std::string::npos) << legend->legend().lower;
    EXPECT_EQ(legend->legend().marker, text(2203));
    EXPECT_LE(legend->lineWidth(legend->shownFont()), legend->width());
    EXPECT_GE(legend->shownFont().pixelSize(), kMinCaptionPixels);
    const QRect list = chart->control(CHisDataView::IDC_SAMPLE_LIST)->geometry();
    const QRect zoom = chart->control(CHisDataView::IDC_ZOOM_IN)->geometry();
    EXPECT_FALSE(legend->geometry().intersects(list));
    EXPECT_GE(legend->geometry().top(), zoom.bottom());
    EXPECT_LE(legend->geometry().bottom(), chart->height());

    // Without alarm limits there is nothing to explain.
    dlg->OpenRecordFile(qs(writeRecordFile("plain.kvlu", KindTempCompact, 100)), "plain.kvlu");
    ASSERT_FALSE(rec_->tempAlarmOn);
    EXPECT_FALSE(legend->isVisible());
}

INSTANTIATE_TEST_SUITE_P(Languages, ChartFit, ::testing::Values(kLanguageEnglishUs, kLanguageChinesePrc));

}  // namespace
}  // namespace thermivo::testing
