#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTest>
#include <filesystem>

#include "FocusRing.h"
#include "HisDataView.h"
#include "MainWindowFixture.h"
#include "StatisticsView.h"
#include "analysis/Statistics.h"
#include "app/AppSettings.h"
#include "app/Format.h"
#include "chart/ChartLegend.h"
#include "data/LocalTime.h"
#include "print/KvrcPrintDlg.h"

namespace thermivo::testing {
namespace {

class WindowForEveryUser : public MainWindowFixture {
  protected:
    // A week at five minutes around 5 °C with five excursions of different lengths, alternating high and
    // low, so their first samples fall at different places within the chart's buckets.
    std::string writeFiveExcursions() {
        constexpr int kSamples = 2016;
        auto rec = makeRecording(KindTemp, kSamples, 1764576000, 300);
        struct Run {
            int first, length;
            float value;
        };
        const Run runs[] = {
            {301, 7, 9.5f}, {702, 5, 1.0f}, {1101, 80, 10.2f}, {1499, 3, 0.5f}, {1903, 40, 9.1f}};
        for (int i = 0; i < kSamples; ++i) rec->temperature[static_cast<std::size_t>(i)] = 5.0f;
        for (const Run& r : runs)
            for (int i = r.first; i < r.first + r.length; ++i)
                rec->temperature[static_cast<std::size_t>(i)] = r.value;
        rec->tempMax = 10.2f;
        rec->tempMin = 0.5f;
        rec->tempAvg = 5.0f;
        const std::string path = dir_.file("five.kvlu");
        RecordFile file(path, RecordFile::ModeWrite);
        EXPECT_TRUE(file.isOpen() && file.write(*rec)) << file.error();
        return path;
    }
    static QString readout(const CDeepColdThermivoDlg& dlg) {
        return static_cast<QLineEdit*>(dlg.ChartView()->control(CHisDataView::IDC_READOUT))->text();
    }
    static void showActive(CDeepColdThermivoDlg& dlg) {
        dlg.show();
        dlg.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));
    }
    static void saveShot(const QImage& image, const QString& name) {
        const QString dir = QStringLiteral(THERMIVO_BINARY_DIR "/screenshots");
        std::filesystem::create_directories(dir.toStdString());
        image.save(dir + QLatin1Char('/') + name);
    }
};

TEST_F(WindowForEveryUser, EveryExcursionJumpsToItsFirstSampleAtEverySizeAndZoom) {
    ScopedLanguage english(kLanguageEnglishUs);
    AppSettings::instance().currentUnit = AppSettings::instance().unitCelsius;
    const std::string path = writeFiveExcursions();
    for (const QSize screen : {QSize(800, 600), QSize(1024, 768), QSize(1920, 1080)}) {
        SCOPED_TRACE(screen.width());
        auto dlg = makeWindow({}, screen);
        dlg->OpenRecordFile(qs(path), "five.kvlu");
        showActive(*dlg);
        const RecordingStatistics s = computeStatistics(*rec_);
        ASSERT_EQ(s.temperature.excursions.size(), 5u);
        CStatisticsView* view = dlg->StatisticsView();
        QTableWidget* table = view->excursionTable();
        auto* zoomIn = static_cast<QPushButton*>(dlg->ChartView()->control(CHisDataView::IDC_ZOOM_IN));
        for (int row = 0; row < 5; ++row) {
            SCOPED_TRACE(row);
            const Excursion& e = s.temperature.excursions[static_cast<std::size_t>(row)];
            dlg->Tab()->setCurrentWidget(view);
            QApplication::processEvents();
            ASSERT_EQ(table->rowCount(), 5);
            // Double click, Enter and Space take turns.
            if (row % 3 == 0) {
                const QPoint at = table->visualItemRect(table->item(row, 2)).center();
                QTest::mousePress(table->viewport(), Qt::LeftButton, {}, at);
                QTest::mouseRelease(table->viewport(), Qt::LeftButton, {}, at);
                QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, at);
            } else {
                table->setFocus();
                table->setCurrentCell(row, 0);
                QTest::keyClick(table, row % 3 == 1 ? Qt::Key_Return : Qt::Key_Space);
            }
            EXPECT_EQ(dlg->Tab()->currentIndex(), 0);
            EXPECT_EQ(dlg->ChartView()->chartGeometry().cursorSample, e.firstSample);
            const auto i = static_cast<std::size_t>(e.firstSample);
            const QString shown = readout(*dlg);
            EXPECT_TRUE(shown.startsWith(qs(formatLocalMinutes(rec_->sampleTime[i])))) << shown.toStdString();
            EXPECT_TRUE(shown.endsWith(qs(format("%.2f", rec_->temperature[i])))) << shown.toStdString();
            // The next excursion is looked for one zoom level closer.
            QTest::mouseClick(zoomIn, Qt::LeftButton);
            EXPECT_EQ(dlg->ChartView()->viewState().zoom, 1 << (row + 1));
        }
        // A click on the chart takes the cursor back to the mouse.
        const QPoint plot =
            dlg->ChartView()->chartOrigin() + QPoint(dlg->ChartView()->chartImage().width() - 5, 40);
        QTest::mouseClick(dlg->ChartView(), Qt::LeftButton, {}, plot);
        EXPECT_EQ(dlg->ChartView()->viewState().pinnedSample, -1);
    }
}

TEST_F(WindowForEveryUser, TabStepsThroughTheControlsToExitWithAVisibleRing) {
    ScopedLanguage english(kLanguageEnglishUs);
    auto dlg = makeWindow({}, QSize(1366, 768));
    const std::string trip = writeDemoRecordFile("trip.kvlu");
    std::filesystem::create_directories(THERMIVO_BINARY_DIR "/screenshots");
    std::filesystem::copy_file(trip, THERMIVO_BINARY_DIR "/screenshots/kind4-trip.kvlu",
                               std::filesystem::copy_options::overwrite_existing);
    dlg->OpenRecordFile(qs(trip), "trip.kvlu");
    showActive(*dlg);
    auto* ring = dlg->findChild<FocusRing*>();
    ASSERT_NE(ring, nullptr);

    QWidget* first = dlg->Control(IDC_CONNECT);
    ASSERT_TRUE(first->isEnabled());
    first->setFocus(Qt::TabFocusReason);
    QWidget* list = dlg->ChartView()->control(CHisDataView::IDC_SAMPLE_LIST);
    QStringList visited{first->objectName()};
    int steps = 0;
    while (QApplication::focusWidget() != dlg->Control(IDC_EXIT) && steps < 40) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        ++steps;
        QWidget* focused = QApplication::focusWidget();
        ASSERT_NE(focused, nullptr);
        visited << focused->objectName();
        // The ring surrounds whatever has the focus, on top of everything else.
        EXPECT_EQ(ring->target(), focused) << focused->objectName().toStdString();
        EXPECT_TRUE(ring->isVisible());
        const QRect around(focused->mapTo(dlg.get(), QPoint(0, 0)), focused->size());
        EXPECT_EQ(ring->geometry(), around.adjusted(-FocusRing::kWidth, -FocusRing::kWidth, FocusRing::kWidth,
                                                    FocusRing::kWidth));
        if (focused == dlg->ChartView()->control(CHisDataView::IDC_ZOOM_IN))
            saveShot(dlg->grab().toImage(), "focus-zoom-in-en.png");
    }
    EXPECT_EQ(QApplication::focusWidget(), dlg->Control(IDC_EXIT)) << visited.join(' ').toStdString();
    EXPECT_LE(steps, 25) << visited.join(' ').toStdString();
    // The sample list is one stop: Tab comes in and leaves, the arrows stay inside.
    EXPECT_EQ(visited.count(list->objectName()), 1) << visited.join(' ').toStdString();
    const qsizetype at = visited.indexOf(list->objectName());
    ASSERT_GE(at, 0);
    EXPECT_LT(at, visited.indexOf(QString::number(IDC_SAVE)));  // the list comes before the right column
    EXPECT_GT(at, visited.indexOf(QString::number(CHisDataView::IDC_ZOOM_IN)));
    list->setFocus();
    auto* table = static_cast<QTableView*>(list);
    table->setCurrentIndex(table->model()->index(0, 0));
    QTest::keyClick(list, Qt::Key_Down);
    EXPECT_EQ(QApplication::focusWidget(), list);
    EXPECT_EQ(table->currentIndex().row(), 1);
    QTest::keyClick(list, Qt::Key_Tab);
    EXPECT_NE(QApplication::focusWidget(), list);
    // Shift+Tab walks back.
    dlg->Control(IDC_EXIT)->setFocus(Qt::TabFocusReason);
    QTest::keyClick(dlg->Control(IDC_EXIT), Qt::Key_Backtab);
    EXPECT_EQ(QApplication::focusWidget(), dlg->Control(IDC_PRINT));
}

TEST_F(WindowForEveryUser, AllFourListColumnsShowWithoutSidewaysScrollingFrom1024Up) {
    ScopedLanguage english(kLanguageEnglishUs);
    AppSettings::instance().currentUnit = AppSettings::instance().unitFahrenheit;  // the wider unit text
    const std::string trip = writeDemoRecordFile("trip.kvlu");
    for (const QSize screen : {QSize(1024, 768), QSize(1366, 768), QSize(1920, 1080)}) {
        SCOPED_TRACE(screen.width());
        auto dlg = makeWindow({}, screen);
        dlg->OpenRecordFile(qs(trip), "trip.kvlu");
        showActive(*dlg);
        auto* list = static_cast<QTableView*>(dlg->ChartView()->control(CHisDataView::IDC_SAMPLE_LIST));
        ASSERT_EQ(list->model()->columnCount(), 4);
        const QFontMetrics fm(list->font());
        int right = 0;
        for (int c = 0; c < 4; ++c) {
            // Every cell of the last rows (the widest numbers) and the header fit their column.
            for (int row = list->model()->rowCount() - 3; row < list->model()->rowCount(); ++row)
                EXPECT_LE(fm.horizontalAdvance(list->model()->index(row, c).data().toString()) + 2,
                          list->columnWidth(c))
                    << c;
            EXPECT_LE(fm.horizontalAdvance(list->model()->headerData(c, Qt::Horizontal).toString()) + 4,
                      list->columnWidth(c))
                << c;
            right = list->columnViewportPosition(c) + list->columnWidth(c);
        }
        EXPECT_LE(right, list->viewport()->width());
        EXPECT_GE(QFontInfo(list->font()).pixelSize(), 9);
        // The legend names the humidity limits on a second row.
        EXPECT_EQ(dlg->ChartView()->legend()->rows(), 2);
        EXPECT_NE(dlg->ChartView()->legend()->legend().humidityUpper.find("65.00%RH"), std::string::npos);
    }
    AppSettings::instance().currentUnit = AppSettings::instance().unitCelsius;
}

// Roles a screen reader announces as something to operate or read a value from; each needs a name.
bool needsName(QAccessible::Role role) {
    switch (role) {
        case QAccessible::PushButton:
        case QAccessible::CheckBox:
        case QAccessible::RadioButton:
        case QAccessible::Slider:
        case QAccessible::SpinBox:
        case QAccessible::EditableText:
        case QAccessible::ProgressBar:
        case QAccessible::Table:
            return true;
        default:
            return false;
    }
}

void collectUnnamed(QAccessibleInterface* a, QStringList& unnamed, int& checked) {
    if (a == nullptr || a->state().invisible) return;
    if (needsName(a->role())) {
        ++checked;
        const QString name = a->text(QAccessible::Name);
        QString who = a->object() != nullptr ? a->object()->objectName() : QString();
        if (name.trimmed().isEmpty() || name.contains(QLatin1Char('\n')))
            unnamed << QStringLiteral("%1 (role %2) '%3'").arg(who).arg(int(a->role())).arg(name);
    }
    for (int i = 0; i < a->childCount(); ++i) collectUnnamed(a->child(i), unnamed, checked);
}

class ScreenReaderNames : public WindowForEveryUser, public ::testing::WithParamInterface<std::uint16_t> {};

TEST_P(ScreenReaderNames, NoUnnamedControlInTheMainWindowOrThePreview) {
    ScopedLanguage language(GetParam());
    const bool zh = GetParam() == kLanguageChinesePrc;
    const std::string trip = writeDemoRecordFile("trip.kvlu");
    std::unique_ptr<CDeepColdThermivoDlg> dlg;
    for (const QSize screen : {QSize(800, 600), QSize(1366, 768)}) {
        SCOPED_TRACE(screen.width());
        dlg = makeWindow({}, screen);
        dlg->OpenRecordFile(qs(trip), "trip.kvlu");
        showActive(*dlg);
        for (int page = 0; page < 2; ++page) {
            dlg->Tab()->setCurrentIndex(page);
            QApplication::processEvents();
            QStringList unnamed;
            int checked = 0;
            collectUnnamed(QAccessible::queryAccessibleInterface(dlg.get()), unnamed, checked);
            EXPECT_TRUE(unnamed.isEmpty()) << unnamed.join(QStringLiteral(", ")).toStdString();
            EXPECT_GE(checked, page == 0 ? 18 : 12);
            saveShot(dlg->grab().toImage(), QStringLiteral("a11y-%1-%2x%3-%4.png")
                                                .arg(page == 0 ? "chart" : "statistics")
                                                .arg(screen.width())
                                                .arg(screen.height())
                                                .arg(zh ? "zh" : "en"));
        }
    }
    const auto nameOf = [](QWidget* w) {
        return QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name);
    };
    EXPECT_EQ(nameOf(dlg->Control(IDC_DOWNLOAD)), zh ? qs("读取数据") : qs("Download"));
    EXPECT_EQ(nameOf(dlg->ChartView()->control(CHisDataView::IDC_ZOOM_IN)), zh ? qs("放大") : qs("Zoom in"));
    // The connect button's caption, the link state, is its description.
    const QString state =
        QAccessible::queryAccessibleInterface(dlg->Control(IDC_CONNECT))->text(QAccessible::Description);
    EXPECT_EQ(state, qs(text(2200)));

    const std::unique_ptr<Recording> copy = dlg->SnapshotRecording();
    CKvrcPrintDlg preview(*copy, dlg.get(), dlg->LayoutFactor());
    preview.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&preview));
    QStringList unnamed;
    int checked = 0;
    collectUnnamed(QAccessible::queryAccessibleInterface(&preview), unnamed, checked);
    EXPECT_TRUE(unnamed.isEmpty()) << unnamed.join(QStringLiteral(", ")).toStdString();
    EXPECT_GE(checked, 12);
    auto* next = preview.findChild<QWidget*>(QString::number(CKvrcPrintDlg::IDC_NEXT));
    EXPECT_EQ(nameOf(next), zh ? qs("下一页") : qs("Next page"));
}

INSTANTIATE_TEST_SUITE_P(Languages, ScreenReaderNames,
                         ::testing::Values(kLanguageEnglishUs, kLanguageChinesePrc));

}  // namespace
}  // namespace thermivo::testing
