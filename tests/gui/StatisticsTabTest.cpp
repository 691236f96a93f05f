#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTest>
#include <filesystem>
#include <fstream>

#include "HisDataView.h"
#include "MainWindowFixture.h"
#include "StatisticsView.h"
#include "analysis/Statistics.h"
#include "analysis/StatisticsText.h"
#include "app/AppSettings.h"
#include "app/Format.h"
#include "data/LocalTime.h"

namespace thermivo::testing {
namespace {

using StatisticsTab = MainWindowFixture;

QString readout(const CDeepColdThermivoDlg& dlg) {
    return static_cast<QLineEdit*>(dlg.ChartView()->control(CHisDataView::IDC_READOUT))->text();
}

void saveShot(const QImage& image, const QString& name) {
    const QString dir = QStringLiteral(THERMIVO_BINARY_DIR "/screenshots");
    std::filesystem::create_directories(dir.toStdString());
    image.save(dir + QLatin1Char('/') + name);
}

TEST_F(StatisticsTab, FiguresExcursionsAndTheJumpToTheChart) {
    ScopedLanguage english(kLanguageEnglishUs);
    AppSettings::instance().currentUnit = AppSettings::instance().unitCelsius;
    auto dlg = makeWindow();
    dlg->OpenRecordFile(qs(writeDemoRecordFile("trip.kvlu")), "trip.kvlu");
    CStatisticsView* view = dlg->StatisticsView();
    ASSERT_NE(view, nullptr);
    const RecordingStatistics s = computeStatistics(*rec_);
    ASSERT_TRUE(s.mktCelsius);
    ASSERT_FALSE(s.temperature.excursions.empty());  // the door opening

    EXPECT_EQ(view->labelText(0), "Mean kinetic temperature:");
    EXPECT_EQ(view->valueText(0), qs(format("%.2f\u00B0C", *s.mktCelsius)));
    EXPECT_EQ(view->labelText(6), "Temperature above upper limit for:");
    EXPECT_EQ(view->valueText(6), qs(durationText(s.temperature.secondsAbove)));
    EXPECT_EQ(view->labelText(8), "Humidity above upper limit for:");  // kind 4 adds the humidity times
    QTableWidget* table = view->excursionTable();
    ASSERT_EQ(table->rowCount(),
              static_cast<int>(s.temperature.excursions.size() + s.humidity.excursions.size()));
    const Excursion& warm = s.temperature.excursions.front();
    EXPECT_EQ(table->item(0, 1)->text(), warm.side == Excursion::High ? "High" : "Low");
    EXPECT_EQ(table->item(0, 2)->text(), qs(formatLocalMinutes(warm.start)));
    EXPECT_EQ(table->item(0, 4)->text(), qs(durationText(warm.seconds)));

    // The unit in force: a switch to °F redraws the figures.
    QTest::mouseClick(dlg->Control(IDC_FAHRENHEIT), Qt::LeftButton);
    EXPECT_EQ(view->valueText(0), qs(format("%.2f\u00B0F", *s.mktCelsius * 1.8 + 32)));
    QTest::mouseClick(dlg->Control(IDC_CELSIUS), Qt::LeftButton);

    dlg->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dlg.get()));
    dlg->Tab()->setCurrentWidget(view);
    QApplication::processEvents();
    saveShot(dlg->grab().toImage(), "statistics-tab-en.png");

    // Double-click: back to the chart, the cursor on the excursion's first sample.
    const QRect cell = table->visualItemRect(table->item(0, 2));
    // The view takes a double click only on the index its press went to, as a real double click has it.
    QTest::mousePress(table->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseRelease(table->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, cell.center());
    EXPECT_EQ(dlg->Tab()->currentIndex(), 0);
    const int cursor = dlg->ChartView()->chartGeometry().cursorSample;
    EXPECT_EQ(cursor, warm.firstSample);
    EXPECT_TRUE(
        readout(*dlg).startsWith(qs(formatLocalMinutes(rec_->sampleTime[static_cast<std::size_t>(cursor)]))))
        << readout(*dlg).toStdString();
}

TEST_F(StatisticsTab, ChineseTextsAndAnAlarmThatIsOff) {
    ScopedLanguage chinese(kLanguageChinesePrc);
    auto dlg = makeWindow();
    EXPECT_EQ(dlg->Tab()->tabText(1), qs("统计"));
    // A kind-2 recording has no alarm limits: the times say so and the table stays empty.
    dlg->OpenRecordFile(qs(writeRecordFile("k2.kvlu", KindTempCompact, 50)), "k2.kvlu");
    CStatisticsView* view = dlg->StatisticsView();
    EXPECT_EQ(view->labelText(0), qs("平均动力学温度:"));
    EXPECT_EQ(view->valueText(6), qs("报警未开启"));
    EXPECT_EQ(view->labelText(6), qs("温度高于上限时间:"));  // one text, no space between the words
    EXPECT_EQ(view->excursionTable()->horizontalHeaderItem(0)->text(), qs("测量项目"));
    EXPECT_EQ(view->excursionTable()->rowCount(), 0);

    dlg->OpenRecordFile(qs(writeDemoRecordFile("trip.kvlu")), "trip.kvlu");
    dlg->Tab()->setCurrentWidget(view);
    saveShot(dlg->grab().toImage(), "statistics-tab-zh.png");
    dlg->Tab()->setCurrentIndex(0);
    saveShot(dlg->grab().toImage(), "chart-humidity-zh.png");
}

TEST_F(StatisticsTab, HumidityCurveSwitchReadoutAndListColumnOnlyForKindFour) {
    ScopedLanguage english(kLanguageEnglishUs);
    auto dlg = makeWindow();
    CHisDataView* chart = dlg->ChartView();
    auto* humi = static_cast<QCheckBox*>(chart->control(CHisDataView::IDC_HUMI_SWITCH));
    auto* list = static_cast<QTableView*>(chart->control(CHisDataView::IDC_SAMPLE_LIST));

    dlg->OpenRecordFile(qs(writeRecordFile("k1.kvlu", KindTemp, 40)), "k1.kvlu");
    EXPECT_TRUE(humi->isHidden());
    EXPECT_EQ(list->model()->columnCount(), 3);
    EXPECT_FALSE(chart->chartGeometry().humidityDrawn);
    EXPECT_FALSE(readout(*dlg).contains("%RH"));

    dlg->OpenRecordFile(qs(writeDemoRecordFile("trip.kvlu")), "trip.kvlu");
    dlg->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dlg.get()));
    QApplication::processEvents();
    EXPECT_FALSE(humi->isHidden());
    EXPECT_EQ(humi->text(), "Humidity curve");
    ASSERT_EQ(list->model()->columnCount(), 4);
    EXPECT_EQ(list->model()->headerData(3, Qt::Horizontal).toString(),
              "Humid.");  // four columns share the width
    EXPECT_TRUE(list->model()->index(0, 3).data().toString().endsWith("%RH") ||
                list->model()->index(0, 3).data().toString().endsWith("%RH*"));
    EXPECT_TRUE(chart->chartGeometry().humidityDrawn);
    EXPECT_TRUE(readout(*dlg).endsWith("%RH")) << readout(*dlg).toStdString();
    saveShot(dlg->grab().toImage(), "chart-humidity-en.png");

    const QPoint onTheBox(5, humi->height() / 2);  // the box and its caption take the click, not the free end
    QTest::mouseClick(humi, Qt::LeftButton, {}, onTheBox);
    EXPECT_FALSE(humi->isChecked());
    EXPECT_FALSE(chart->chartGeometry().humidityDrawn);
    EXPECT_FALSE(readout(*dlg).contains("%RH"));
    QTest::mouseClick(humi, Qt::LeftButton, {}, onTheBox);
    EXPECT_TRUE(chart->chartGeometry().humidityDrawn);
}

TEST_F(StatisticsTab, SaveAsXlsxThroughTheThirdFilter) {
    ScopedLanguage english(kLanguageEnglishUs);
    auto dlg = makeWindow();
    dlg->OpenRecordFile(qs(writeDemoRecordFile("trip.kvlu", 300)), "trip.kvlu");
    prompts_.chosenFilter = CDeepColdThermivoDlg::XlsxFilter();
    prompts_.fileNames = {qs(dir_.file("book"))};
    dlg->OnSaveData();
    EXPECT_EQ(status(*dlg), qs(text(37)) + "book.xlsx");
    std::ifstream in(dir_.file("book.xlsx"), std::ios::binary);
    char magic[2] = {};
    in.read(magic, 2);
    EXPECT_EQ(std::string(magic, 2), "PK");  // a zip container
    EXPECT_FALSE(std::filesystem::exists(dir_.file("book.kvlu")));

    prompts_.fileNames = {qs(dir_.file("no/such/dir/book.xlsx"))};
    dlg->OnSaveData();
    EXPECT_EQ(status(*dlg), qs(text(38)) + "book.xlsx");
}

}  // namespace
}  // namespace thermivo::testing
