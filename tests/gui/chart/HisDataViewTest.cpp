#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTableView>
#include <QTest>
#include <cmath>
#include <memory>

#include "HisDataView.h"
#include "TestSupport.h"
#include "app/AppSettings.h"
#include "app/Format.h"
#include "app/UiText.h"
#include "chart/ChartGeometry.h"
#include "data/Recording.h"

using namespace thermivo;

namespace {

// A cold-chain day: around 5 °C with a slow swing, one warm excursion above the upper limit and a few
// samples without value.
std::unique_ptr<Recording> coldChainRecording(int samples) {
    auto rec = std::make_unique<Recording>();
    rec->kind = KindTemp;
    rec->sampleCount = samples;
    rec->samplesLoaded = samples;
    rec->dataFlags = Recording::kSamplesPresent;
    rec->startTime = 1400000000;  // 2014-05-13 16:53:20 UTC
    rec->intervalSeconds = 60;
    rec->buildSampleTimes();
    float lo = 1e9f, hi = -1e9f;
    for (int i = 0; i < samples; ++i) {
        float t = 5.0f + 2.0f * std::sin(static_cast<float>(i) / 700.0f) +
                  0.3f * std::sin(static_cast<float>(i) * 0.37f);
        if (i > samples / 2 && i < samples / 2 + samples / 40) t += 6.0f;
        rec->temperature[static_cast<std::size_t>(i)] = t;
        lo = std::min(lo, t);
        hi = std::max(hi, t);
    }
    rec->tempMin = lo;
    rec->tempMax = hi;
    rec->tempUpper = 8.0f;
    rec->tempLower = 2.0f;
    rec->tempAlarmOn = true;
    return rec;
}

class ChartViewTest : public ::testing::Test {
  protected:
    void SetUp() override { settings().currentUnit = settings().unitCelsius; }
    void TearDown() override { view_.reset(); }
    static AppSettings& settings() { return AppSettings::instance(); }

    CHisDataView& makeView(int samples) {
        rec_ = samples > 0 ? coldChainRecording(samples) : std::make_unique<Recording>();
        view_ = std::make_unique<CHisDataView>(nullptr, *rec_);
        view_->show();
        return *view_;
    }
    template <typename T>
    T* byId(int id) const {
        return view_->findChild<T*>(QString::number(id));
    }
    void clickChart(int x) {
        QTest::mouseClick(view_.get(), Qt::LeftButton, {}, QPoint(x, view_->chartOrigin().y() + 100));
    }
    void saveScreenshot(const char* name) {
        const QString dir = QStringLiteral(THERMIVO_BINARY_DIR "/screenshots");
        QDir().mkpath(dir);
        EXPECT_TRUE(view_->grab().save(dir + "/" + name));
    }

    std::unique_ptr<Recording> rec_;
    std::unique_ptr<CHisDataView> view_;
    thermivo::testing::ScopedTimeZone tz_{"UTC"};
    thermivo::testing::ScopedLanguage language_{kLanguageEnglishUs};
};

}  // namespace

TEST_F(ChartViewTest, EveryControlIsFoundByItsIdInItsInitialState) {
    CHisDataView& view = makeView(0);
    auto* temp = byId<QCheckBox>(1028);
    ASSERT_NE(temp, nullptr);
    EXPECT_FALSE(temp->isVisible());
    EXPECT_FALSE(temp->isEnabled());
    auto* readout = byId<QLineEdit>(1030);
    ASSERT_NE(readout, nullptr);
    EXPECT_TRUE(readout->isReadOnly());
    EXPECT_FALSE(readout->isEnabled());
    ASSERT_NE(byId<QSlider>(1032), nullptr);
    ASSERT_NE(byId<QPushButton>(1033), nullptr);
    ASSERT_NE(byId<QPushButton>(1034), nullptr);
    EXPECT_FALSE(byId<QPushButton>(1033)->icon().isNull());
    ASSERT_NE(byId<QCheckBox>(1035), nullptr);
    EXPECT_EQ(byId<QCheckBox>(1035)->text(), QString("Scaling data coordinate"));
    ASSERT_NE(byId<QLabel>(1036), nullptr);
    EXPECT_EQ(byId<QLabel>(1036)->text(), QString::fromUtf8("\u00B0C"));
    EXPECT_EQ(byId<QLabel>(1036)->palette().color(QPalette::WindowText), QColor(193, 50, 193));
    ASSERT_NE(byId<QTableView>(1081), nullptr);
    EXPECT_EQ(view.control(CHisDataView::IDC_SAMPLE_LIST), byId<QTableView>(1081));
    EXPECT_EQ(byId<QTableView>(1081)->model()->columnCount(), 0);

    // No recording: background and grid only, nothing to read out.
    const QImage& image = view.chartImage();
    EXPECT_EQ(image.size(), QSize(550, 250));
    EXPECT_EQ(image.pixelColor(30, 120), QColor(200, 150, 20));
    EXPECT_EQ(image.pixelColor(300, 75), QColor(0, 100, 150));
    EXPECT_EQ(image.pixelColor(300, 90), QColor(0, 0, 0));
    QTest::mouseClick(&view, Qt::LeftButton, {}, QPoint(200, 150));
    EXPECT_EQ(readout->text(), QString());
    saveScreenshot("chart-empty.png");
}

TEST_F(ChartViewTest, RefreshFillsTheVirtualListAndArmsTheControls) {
    CHisDataView& view = makeView(60000);
    rec_->temperature[7] = -1000.0f;  // a sample without value
    view.RefreshChart();
    EXPECT_TRUE(byId<QCheckBox>(1028)->isEnabled());
    EXPECT_TRUE(byId<QCheckBox>(1028)->isChecked());
    EXPECT_EQ(byId<QSlider>(1032)->maximum(), 59999);

    QAbstractItemModel* model = byId<QTableView>(1081)->model();
    ASSERT_EQ(model->rowCount(), 60000);
    ASSERT_EQ(model->columnCount(), 3);
    EXPECT_EQ(model->headerData(0, Qt::Horizontal).toString(), QString::fromStdString(text(30)));
    EXPECT_EQ(model->headerData(2, Qt::Horizontal).toString(), QString::fromStdString(text(32)));
    EXPECT_EQ(byId<QTableView>(1081)->columnWidth(1), 95);
    const auto cell = [&](int row, int column) { return model->index(row, column).data().toString(); };
    EXPECT_EQ(cell(0, 0), "1");
    EXPECT_EQ(cell(0, 1), "2014-5-13 16:53");
    EXPECT_EQ(cell(59999, 0), "60000");
    EXPECT_EQ(cell(59999, 1), "2014-6-24 08:52");
    EXPECT_EQ(cell(7, 2), "");
    const int warm = 30000 + 700;
    EXPECT_TRUE(cell(warm, 2).endsWith(QString::fromUtf8("\u00B0C*"))) << cell(warm, 2).toStdString();
    EXPECT_TRUE(cell(0, 2).endsWith(QString::fromUtf8("\u00B0C"))) << cell(0, 2).toStdString();
    clickChart(60 + 250);
    saveScreenshot("chart-60000-celsius.png");

    // A shrunken recording leaves the list's count until the next reset, and its cells empty.
    rec_->samplesLoaded = 10;
    EXPECT_EQ(cell(59999, 0), "");
    view.ResetSampleList();
    EXPECT_EQ(model->rowCount(), 10);
}

TEST_F(ChartViewTest, ZoomButtonsChangeTheDrawingWithinTheirLimits) {
    CHisDataView& view = makeView(60000);
    view.RefreshChart();
    const QImage whole = view.chartImage().copy();
    EXPECT_EQ(view.chartGeometry().thinning.sampleStep, 245);

    QTest::mouseClick(byId<QPushButton>(1033), Qt::LeftButton);
    EXPECT_EQ(view.viewState().zoom, 2);
    EXPECT_EQ(view.chartGeometry().thinning.sampleStep, 123);
    EXPECT_NE(view.chartImage(), whole);
    // The automatic scale fits the visible part, which holds only the start of the warm excursion.
    const float fixedTop = view.chartGeometry().ticks[4];
    byId<QCheckBox>(1035)->click();
    EXPECT_LT(view.chartGeometry().ticks[4], fixedTop - 3.0f);
    byId<QCheckBox>(1035)->click();
    for (int i = 0; i < 20; ++i) QTest::mouseClick(byId<QPushButton>(1033), Qt::LeftButton);
    EXPECT_EQ(view.viewState().zoom, 60000);
    EXPECT_EQ(view.chartGeometry().thinning.pixelStep, 490);  // one sample across the whole plot
    QTest::mouseClick(byId<QPushButton>(1034), Qt::LeftButton);
    EXPECT_EQ(view.viewState().zoom, 30000);
    for (int i = 0; i < 20; ++i) QTest::mouseClick(byId<QPushButton>(1034), Qt::LeftButton);
    EXPECT_EQ(view.viewState().zoom, 1);
    EXPECT_EQ(view.chartImage(), whole);

    // Enter on a focused zoom button presses it.
    byId<QPushButton>(1033)->setFocus();
    QTest::keyClick(byId<QPushButton>(1033), Qt::Key_Return);
    EXPECT_EQ(view.viewState().zoom, 2);
}

TEST_F(ChartViewTest, ClickSetsTheCursorAndTheReadoutFollowsPanAndZoom) {
    CHisDataView& view = makeView(60000);
    view.RefreshChart();
    QTest::mouseClick(byId<QPushButton>(1033), Qt::LeftButton);  // zoom 2
    clickChart(60 + 200);
    const int sample = view.chartGeometry().cursorSample;
    EXPECT_EQ(view.chartGeometry().cursorPoint, 200);
    EXPECT_EQ(byId<QLineEdit>(1030)->text().toStdString(),
              readoutText(*rec_, sample, true, AppSettings::instance()));
    EXPECT_TRUE(byId<QLineEdit>(1030)->text().startsWith("2014-"));
    // The cursor is a dotted column at the click.
    int cursorPixels = 0;
    for (int y = 5; y < 240; ++y)
        cursorPixels += view.chartImage().pixelColor(260, y) == QColor(82, 105, 118);
    EXPECT_GT(cursorPixels, 40);

    // Clicks outside the plot are ignored.
    clickChart(30);
    EXPECT_EQ(view.chartGeometry().cursorSample, sample);
    QTest::mouseClick(&view, Qt::LeftButton, {}, QPoint(200, 20));
    EXPECT_EQ(view.chartGeometry().cursorSample, sample);

    // Panning keeps the cursor's column and moves the sample under it.
    byId<QSlider>(1032)->setValue(20000);
    EXPECT_EQ(view.viewState().startIndex, 20000);
    EXPECT_GE(view.chartGeometry().pointSamples.front(), 20000);
    EXPECT_LT(view.chartGeometry().pointSamples.front(), 20000 + view.chartGeometry().thinning.sampleStep);
    EXPECT_EQ(view.chartGeometry().cursorPoint, 200);
    EXPECT_GT(view.chartGeometry().cursorSample, 20000);
    EXPECT_EQ(byId<QLineEdit>(1030)->text().toStdString(),
              readoutText(*rec_, view.chartGeometry().cursorSample, true, AppSettings::instance()));
    auto* list = byId<QTableView>(1081);
    list->scrollTo(list->model()->index(view.chartGeometry().cursorSample, 0),
                   QAbstractItemView::PositionAtCenter);
    saveScreenshot("chart-60000-zoomed-cursor.png");

    // A refresh returns to the whole recording.
    view.RefreshChart();
    EXPECT_EQ(view.viewState().zoom, 1);
    EXPECT_EQ(view.viewState().startIndex, 0);
    EXPECT_EQ(byId<QSlider>(1032)->value(), 0);
}

TEST_F(ChartViewTest, UnitSwitchShowsFahrenheitEverywhereButKeepsTheAlarmInCelsius) {
    CHisDataView& view = makeView(600);
    view.RefreshChart();
    settings().currentUnit = settings().unitFahrenheit;
    view.RefreshChart();
    EXPECT_EQ(byId<QLabel>(1036)->text(), QString::fromUtf8("\u00B0F"));
    const float t0 = rec_->temperature[0];
    QAbstractItemModel* model = byId<QTableView>(1081)->model();
    EXPECT_EQ(model->index(0, 2).data().toString().toStdString(),
              format("%.2f", t0 * 1.8 + 32.0) + "\u00B0F");
    clickChart(60);
    EXPECT_TRUE(
        byId<QLineEdit>(1030)->text().endsWith(QString::fromStdString(format("%.2f", t0 * 1.8 + 32.0))));
    saveScreenshot("chart-600-fahrenheit.png");
}

TEST_F(ChartViewTest, EnterAndEscapeDoNotCloseTheWindowAroundIt) {
    rec_ = coldChainRecording(100);
    QDialog window;
    auto* view = new CHisDataView(&window, *rec_);
    window.resize(view->size());
    window.show();
    view->RefreshChart();
    view->control(CHisDataView::IDC_AUTOSCALE)->setFocus();
    QTest::keyClick(view->control(CHisDataView::IDC_AUTOSCALE), Qt::Key_Escape);
    QTest::keyClick(view->control(CHisDataView::IDC_AUTOSCALE), Qt::Key_Return);
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.result(), 0);
}

TEST_F(ChartViewTest, RescaleLayoutScalesControlsBitmapAndFont) {
    CHisDataView& view = makeView(60000);
    view.RefreshChart();
    const QRect list = byId<QTableView>(1081)->geometry();
    const QRect zoom = byId<QPushButton>(1033)->geometry();
    view.RescaleLayout(1.5f, 100, 200);
    view.resize(view.sizeHint());
    EXPECT_EQ(view.chartImage().size(), QSize(825, 375));
    EXPECT_EQ(view.chartOrigin(), QPoint(0, 75));
    EXPECT_EQ(view.chartGeometry().thinning.maxPoints, 737);
    EXPECT_EQ(byId<QCheckBox>(1035)->font().pixelSize(), 16);
    // Centres scale with the factor (within the truncation of the half sizes).
    EXPECT_NEAR(byId<QTableView>(1081)->geometry().center().x(), list.center().x() * 1.5, 2);
    EXPECT_NEAR(byId<QPushButton>(1033)->geometry().center().y(), zoom.center().y() * 1.5, 2);
    EXPECT_EQ(byId<QPushButton>(1033)->width(), 2 * static_cast<int>((zoom.width() + 1) / 2 * 1.5f));
    // Clicks are taken in the scaled plot area.
    clickChart(static_cast<int>(60 * 1.5f) + 300);
    EXPECT_EQ(view.chartGeometry().cursorPoint, 300);
    view.RefreshChart();
    EXPECT_EQ(byId<QTableView>(1081)->columnWidth(0), 52);
}

TEST_F(ChartViewTest, ListTextsFitTheirColumnsInBothLanguagesAndAtScreenScales) {
    struct Case {
        std::uint16_t language;
        float factor;
        const char* file;
    };
    // 0.9474 fits the main window into 1280 x 800, 1.5 into 1920 x 1080.
    for (const Case c : {Case{kLanguageEnglishUs, 0.9474f, "chart-en-1280x800.png"},
                         Case{kLanguageEnglishUs, 1.5f, "chart-en-1920x1080.png"},
                         Case{kLanguageChinesePrc, 0.9474f, "chart-zh-1280x800.png"},
                         Case{kLanguageChinesePrc, 1.5f, "chart-zh-1920x1080.png"}}) {
        SCOPED_TRACE(c.file);
        settings().setLanguage(c.language);
        CHisDataView& view = makeView(60000);
        rec_->temperature[59999] = -18.25f;  // the widest temperature a cold chain shows, out of limits
        view.RescaleLayout(c.factor, 0, 0);
        view.resize(view.sizeHint());
        view.RefreshChart();
        auto* list = byId<QTableView>(1081);
        list->scrollToBottom();
        QApplication::processEvents();
        EXPECT_EQ(byId<QCheckBox>(1035)->text(), QString::fromStdString(text(41)));

        const QFontMetrics cells(list->font());
        const QFontMetrics header(list->horizontalHeader()->font());
        const QString widest[3] = {"60000", "2014-12-31 23:59", QString::fromUtf8("-18.25\u00B0F*")};
        for (int column = 0; column < 3; ++column) {
            const int width = list->columnWidth(column);
            EXPECT_LE(cells.horizontalAdvance(widest[column]) + 2, width) << column;
            const QString headerText = list->model()->headerData(column, Qt::Horizontal).toString();
            EXPECT_LE(header.horizontalAdvance(headerText) + 4, width) << column;
        }
        const QCheckBox* check = byId<QCheckBox>(1035);
        EXPECT_LE(QFontMetrics(check->font()).horizontalAdvance(check->text()) + 20, check->width());
        clickChart(static_cast<int>(300 * c.factor));
        saveScreenshot(c.file);
    }
}
