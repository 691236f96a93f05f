#include <QAbstractItemView>
#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <filesystem>

#include "Artwork.h"
#include "HisDataView.h"
#include "KelvoraThermivoApp.h"
#include "MainWindowFixture.h"
#include "WindowMessage.h"
#include "app/Format.h"

namespace thermivo::testing {
namespace {

using MainWindow = MainWindowFixture;
namespace fs = std::filesystem;

int sampleRows(const CDeepColdThermivoDlg& dlg) {
    auto* list = qobject_cast<QAbstractItemView*>(dlg.ChartView()->control(CHisDataView::IDC_SAMPLE_LIST));
    return list != nullptr && list->model() != nullptr ? list->model()->rowCount() : -1;
}

TEST_F(MainWindow, EnglishCaptionsAndStartState) {
    auto dlg = makeWindow();
    EXPECT_EQ(dlg->windowTitle(), "Kelvora Deep Cold Thermivo");
    EXPECT_EQ(caption(*dlg, IDC_DOWNLOAD), "D\no\nw\nn\nl\no\na\nd");
    EXPECT_EQ(caption(*dlg, IDC_SAVE), "Save");
    EXPECT_EQ(caption(*dlg, IDC_OPEN), "Open");
    EXPECT_EQ(caption(*dlg, IDC_PRINT), "Print");
    EXPECT_EQ(caption(*dlg, IDC_EXIT), "Exit");
    EXPECT_EQ(caption(*dlg, IDC_CALIBRATION), "Calibration Time");
    EXPECT_EQ(caption(*dlg, IDC_START_RECORD), "Start Record");
    EXPECT_EQ(caption(*dlg, IDC_CELSIUS), QString::fromUtf8("\u00B0C"));
    EXPECT_EQ(caption(*dlg, IDC_FAHRENHEIT), QString::fromUtf8("\u00B0F"));
    EXPECT_EQ(dlg->Tab()->count(), 3);
    EXPECT_EQ(dlg->Tab()->tabText(0), "Recorded Data");
    EXPECT_EQ(dlg->Tab()->tabText(1), "Statistics");
    EXPECT_EQ(dlg->Tab()->tabText(2), "History");
    EXPECT_EQ(dlg->SummaryView()->Label(0)->text(), " Serial Number:");

    EXPECT_FALSE(dlg->Control(IDC_CALIBRATION)->isEnabled());
    EXPECT_FALSE(dlg->Control(IDC_PRINT)->isEnabled());
    for (int id : {IDC_START_RECORD, IDC_MINUTES, IDC_MINUTES_FRAME, IDC_MINUTES_LABEL})
        EXPECT_TRUE(dlg->Control(id)->isHidden()) << id;
    EXPECT_EQ(static_cast<QLineEdit*>(dlg->Control(IDC_MINUTES))->maxLength(), 2);
    EXPECT_EQ(static_cast<QProgressBar*>(dlg->Control(IDC_DOWNLOAD_BAR))->maximum(), 200);
    for (int id : {IDC_DATA_BAR, IDC_LINK_BAR, IDC_BATTERY_BAR})
        EXPECT_EQ(static_cast<QProgressBar*>(dlg->Control(id))->maximum(), 100) << id;
    // English defaults to Fahrenheit, and the pressed unit button says so.
    EXPECT_TRUE(static_cast<QRadioButton*>(dlg->Control(IDC_FAHRENHEIT))->isChecked());
}

TEST_F(MainWindow, ChineseCaptions) {
    ScopedLanguage zh(kLanguageChinesePrc);
    rec_ = std::make_unique<Recording>();
    auto dlg = makeWindow();
    EXPECT_EQ(caption(*dlg, IDC_DOWNLOAD), QString::fromUtf8("读取数据"));
    EXPECT_EQ(caption(*dlg, IDC_SAVE), QString::fromUtf8("保存数据"));
    EXPECT_EQ(caption(*dlg, IDC_OPEN), QString::fromUtf8("打开文件"));
    EXPECT_EQ(caption(*dlg, IDC_PRINT), QString::fromUtf8("打印数据"));
    EXPECT_EQ(caption(*dlg, IDC_EXIT), QString::fromUtf8("退出"));
    EXPECT_EQ(caption(*dlg, IDC_CALIBRATION), QString::fromUtf8("校准时间"));
    EXPECT_EQ(dlg->Tab()->tabText(0), QString::fromUtf8("数据记录"));
    EXPECT_EQ(dlg->SummaryView()->Label(0)->text(), QString::fromUtf8(" ID序列号:"));
    EXPECT_TRUE(static_cast<QRadioButton*>(dlg->Control(IDC_CELSIUS))->isChecked());
}

TEST_F(MainWindow, UnitButtonsRebuildTemperatureTextsOnce) {
    const std::string path = writeRecordFile("unit.kvlu", KindTemp, 20);
    auto dlg = makeWindow();
    dlg->OpenRecordFile(qs(path), "unit.kvlu");
    const int maxRow = 6;
    ASSERT_TRUE(value(*dlg, maxRow).endsWith(QString::fromUtf8("\u00B0F")))
        << value(*dlg, maxRow).toStdString();

    QTest::mouseClick(dlg->Control(IDC_CELSIUS), Qt::LeftButton);
    EXPECT_EQ(AppSettings::instance().currentUnit, "\u00B0C");
    EXPECT_EQ(value(*dlg, maxRow), qs(format("%4.2f\u00B0C", static_cast<double>(rec_->tempMax))));
    EXPECT_TRUE(value(*dlg, 9).endsWith(QString::fromUtf8("\u00B0C")));  // the upper limit follows too

    // A second press of the unit in force refreshes nothing: a marker text survives it.
    dlg->SummaryView()->Value(maxRow)->setText("marker");
    QTest::mouseClick(dlg->Control(IDC_CELSIUS), Qt::LeftButton);
    EXPECT_EQ(value(*dlg, maxRow), "marker");
    QTest::mouseClick(dlg->Control(IDC_FAHRENHEIT), Qt::LeftButton);
    EXPECT_EQ(value(*dlg, maxRow), qs(format("%4.2f\u00B0F", rec_->tempMax * 1.8 + 32.0)));
    AppSettings::instance().setLanguage(kLanguageEnglishUs);
}

TEST_F(MainWindow, PrintOnlyWithARecording) {
    auto dlg = makeWindow();
    int opened = 0;
    dlg->openPrintDialog = [&](CDeepColdThermivoDlg&) { ++opened; };
    dlg->OnPrint();
    EXPECT_EQ(opened, 0);
    EXPECT_FALSE(dlg->Control(IDC_PRINT)->isEnabled());

    dlg->OpenRecordFile(qs(writeRecordFile("p.kvlu", KindTemp, 5)), "p.kvlu");
    EXPECT_TRUE(dlg->Control(IDC_PRINT)->isEnabled());
    QTest::mouseClick(dlg->Control(IDC_PRINT), Qt::LeftButton);
    EXPECT_EQ(opened, 1);
}

TEST_F(MainWindow, ExitAndEscapeAskAndOnlyYesCloses) {
    auto dlg = makeWindow();
    dlg->show();
    prompts_.yesNo = {false};
    QTest::mouseClick(dlg->Control(IDC_EXIT), Qt::LeftButton);
    ASSERT_EQ(prompts_.questions.size(), 1);
    EXPECT_EQ(prompts_.questions[0], "Sure to exit?");
    EXPECT_TRUE(dlg->isVisible());

    prompts_.yesNo = {false};
    QTest::keyClick(dlg.get(), Qt::Key_Escape);
    EXPECT_EQ(prompts_.questions.size(), 2);
    EXPECT_TRUE(dlg->isVisible());

    prompts_.yesNo = {true};
    QTest::keyClick(dlg.get(), Qt::Key_Escape);
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(dlg->result(), QDialog::Rejected);
}

TEST_F(MainWindow, OpenFileDialogFiltersAndFolder) {
    auto dlg = makeWindow();
    const QString before = status(*dlg);
    QTest::mouseClick(dlg->Control(IDC_OPEN), Qt::LeftButton);  // cancelled
    EXPECT_EQ(prompts_.lastFilters, "Kelvora Files (*.kvlu)");
    EXPECT_EQ(prompts_.lastDirectory,
              QCoreApplication::applicationDirPath());  // the build folder is writable
    EXPECT_EQ(status(*dlg), before);

    // The extension is compared exactly: capitals do nothing at all.
    const std::string path = writeRecordFile("good.kvlu", KindTemp, 5);
    const std::string upper = dir_.file("DAY1.KVLU");
    fs::copy_file(path, upper);
    prompts_.fileNames = {qs(upper)};
    dlg->OnOpenFile();
    EXPECT_EQ(status(*dlg), before);
    EXPECT_EQ(rec_->kind, KindNone);
}

TEST_F(MainWindow, OpenGoodFileFillsTheWindow) {
    auto dlg = makeWindow();
    prompts_.fileNames = {qs(writeRecordFile("day1.kvlu", KindTempHumi, 40))};
    QTest::mouseClick(dlg->Control(IDC_OPEN), Qt::LeftButton);
    EXPECT_EQ(status(*dlg), qs(text(39)) + "day1.kvlu");
    EXPECT_EQ(rec_->kind, KindTempHumi);
    EXPECT_EQ(rec_->samplesLoaded, 40);
    EXPECT_EQ(value(*dlg, 0), "UTH00012345");
    EXPECT_EQ(value(*dlg, 4), qs(rec_->values[Recording::ValCount]));
    EXPECT_FALSE(value(*dlg, 1).isEmpty());
    EXPECT_FALSE(value(*dlg, 11).isEmpty());  // humidity maximum
    EXPECT_TRUE(dlg->SummaryView()->HumidityShown());
    EXPECT_FALSE(dlg->SummaryView()->Value(11)->isHidden());
    EXPECT_EQ(rec_->batteryPercent, 0);
    EXPECT_EQ(sampleRows(*dlg), 40);

    // The posted messages leave the data and download bars at 0 once they are handled.
    static_cast<QProgressBar*>(dlg->Control(IDC_DOWNLOAD_BAR))->setValue(150);
    QApplication::sendPostedEvents();
    EXPECT_EQ(bar(*dlg, IDC_DATA_BAR), 0);
    EXPECT_EQ(bar(*dlg, IDC_DOWNLOAD_BAR), 0);

    // A temperature-only file hides the humidity rows again.
    dlg->OpenRecordFile(qs(writeRecordFile("t.kvlu", KindTemp, 4)), "t.kvlu");
    EXPECT_FALSE(dlg->SummaryView()->HumidityShown());
    EXPECT_TRUE(dlg->SummaryView()->Value(11)->isHidden());
}

TEST_F(MainWindow, RejectedFileResetsAndEmptiesTheViews) {
    auto dlg = makeWindow();
    dlg->OpenRecordFile(qs(writeRecordFile("ok.kvlu", KindTemp, 10)), "ok.kvlu");
    ASSERT_FALSE(value(*dlg, 0).isEmpty());

    const std::string bad = dir_.file("bad.kvlu");
    {
        QFile f(qs(bad));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(300, '\x7f'));
    }
    dlg->OpenRecordFile(qs(bad), "bad.kvlu");
    EXPECT_EQ(status(*dlg), qs(text(40)) + "bad.kvlu");
    EXPECT_EQ(rec_->kind, KindNone);
    EXPECT_FALSE(rec_->hasSamples());
    for (int row = 0; row < CSummFormView::kRows; ++row) EXPECT_TRUE(value(*dlg, row).isEmpty()) << row;
    EXPECT_FALSE(dlg->Control(IDC_PRINT)->isEnabled());
    EXPECT_EQ(sampleRows(*dlg), 0);

    // A file that cannot be read at all leaves the recording alone but still says so.
    dlg->OpenRecordFile(qs(writeRecordFile("again.kvlu", KindTemp, 10)), "again.kvlu");
    dlg->OpenRecordFile(qs(dir_.file("missing.kvlu")), "missing.kvlu");
    EXPECT_EQ(status(*dlg), qs(text(40)) + "missing.kvlu");
    EXPECT_EQ(rec_->kind, KindTemp);
    EXPECT_TRUE(rec_->hasSamples());
}

TEST_F(MainWindow, SaveNamesAndStatus) {
    auto dlg = makeWindow();
    prompts_.fileNames = {qs(dir_.file("never"))};
    dlg->OnSaveData();  // nothing loaded: no dialog
    EXPECT_EQ(prompts_.fileNames.size(), 1u);
    prompts_.fileNames.clear();

    dlg->OpenRecordFile(qs(writeRecordFile("src.kvlu", KindTemp, 12)), "src.kvlu");
    struct Case {
        const char* chosen;
        const char* written;
    };
    for (const Case& c : {Case{"day1", "day1.kvlu"}, Case{"day1.KVLU", "day1.KVLU.kvlu"},
                          Case{"my.data.kvlu", "my.data.kvlu.kvlu"}, Case{"plain.kvlu", "plain.kvlu"}}) {
        prompts_.fileNames = {qs(dir_.file(c.chosen))};
        QTest::mouseClick(dlg->Control(IDC_SAVE), Qt::LeftButton);
        EXPECT_EQ(status(*dlg), qs(text(37)) + c.written) << c.chosen;
        ASSERT_TRUE(fs::exists(dir_.file(c.written))) << c.written;
        Recording back;
        RecordFile f(dir_.file(c.written), RecordFile::ModeRead);
        ASSERT_TRUE(f.read(back)) << f.error();
        EXPECT_EQ(back.sampleCount, 12);
    }
    EXPECT_EQ(
        prompts_.lastFilters,
        "Kelvora Files (*.kvlu);;WorkSheet Files (*.xlc *.xls);;Excel Workbook (*.xlsx);;Report (*.pdf)");
    EXPECT_EQ(prompts_.lastDirectory, CDeepColdThermivoDlg::DefaultFileFolder());

    // A folder that does not exist: failure text and the name.
    prompts_.fileNames = {qs(dir_.file("no/such/dir/x"))};
    dlg->OnSaveData();
    EXPECT_EQ(status(*dlg), qs(text(38)) + "x.kvlu");
}

TEST_F(MainWindow, SaveWorksheetBranch) {
    auto dlg = makeWindow();
    dlg->OpenRecordFile(qs(writeRecordFile("src.kvlu", KindTemp, 12)), "src.kvlu");
    QStringList exported;
    int listRows = -1;
    dlg->exportWorksheet = [&](CDeepColdThermivoDlg& w, const QString& path) {
        exported << path;
        listRows = w.SummaryView()->SummaryList()->rowCount();
        return true;
    };
    prompts_.chosenFilter = CDeepColdThermivoDlg::WorksheetFilter();
    prompts_.fileNames = {qs(dir_.file("day1"))};
    dlg->OnSaveData();
    EXPECT_EQ(exported, QStringList{qs(dir_.file("day1.xls"))});
    EXPECT_EQ(listRows, 10);
    EXPECT_FALSE(fs::exists(dir_.file("day1.kvlu")));
    EXPECT_EQ(status(*dlg), qs(text(37)) + "day1.xls");

    // A record file named as a worksheet writes both, and the worksheet never replaces the record file.
    exported.clear();
    prompts_.chosenFilter = CDeepColdThermivoDlg::RecordFileFilter();
    prompts_.fileNames = {qs(dir_.file("both.xls"))};
    dlg->OnSaveData();
    EXPECT_TRUE(fs::exists(dir_.file("both.xls.kvlu")));
    EXPECT_EQ(exported, QStringList{qs(dir_.file("both.xls"))});

    // A record file name with the worksheet filter writes the record file and exports next to it.
    exported.clear();
    prompts_.chosenFilter = CDeepColdThermivoDlg::WorksheetFilter();
    prompts_.fileNames = {qs(dir_.file("a.kvlu"))};
    dlg->OnSaveData();
    EXPECT_TRUE(fs::exists(dir_.file("a.kvlu")));
    EXPECT_EQ(exported, QStringList{qs(dir_.file("a.kvlu.xls"))});
    EXPECT_EQ(status(*dlg), qs(text(37)) + "a.kvlu.xls");

    // Without an exporter the worksheet is reported as not saved.
    dlg->exportWorksheet = nullptr;
    prompts_.chosenFilter = CDeepColdThermivoDlg::WorksheetFilter();
    prompts_.fileNames = {qs(dir_.file("day2"))};
    dlg->OnSaveData();
    EXPECT_EQ(status(*dlg), qs(text(38)) + "day2.xls");
}

TEST_F(MainWindow, CommandLineFileOpensAfterTheInstrumentSearch) {
    const std::string path = writeRecordFile("cmd line.kvlu", KindTemp, 8);
    auto dlg = std::make_unique<CDeepColdThermivoDlg>(*rec_);
    dlg->SetScreenSize(QSize(1280, 800));
    dlg->SetCommandLine("\"" + qs(path) + "\"");
    int kindAtSearch = -1;
    dlg->startInstrumentSearch = [&](CDeepColdThermivoDlg& w) { kindAtSearch = w.GetRecording().kind; };
    dlg->OnInitDialog();
    EXPECT_EQ(kindAtSearch, KindNone);
    EXPECT_EQ(status(*dlg), qs(text(39)) + "cmd line.kvlu");
    EXPECT_EQ(rec_->samplesLoaded, 8);

    // Capital letters in the extension are not a data file.
    auto rec2 = std::make_unique<Recording>();
    CDeepColdThermivoDlg other(*rec2);
    other.SetScreenSize(QSize(1280, 800));
    other.SetCommandLine(qs(dir_.file("DAY.KVLU")));
    other.OnInitDialog();
    EXPECT_TRUE(status(other).isEmpty());
}

TEST_F(MainWindow, DownloadAndDataBarMessages) {
    auto dlg = makeWindow();
    QStringList forwarded;
    dlg->linkMessageHandler = [&](std::uint32_t m, std::int64_t w, std::int64_t l) {
        forwarded << QString("%1:%2:%3").arg(m).arg(w).arg(l);
    };
    rec_->sampleCount = 1000;
    rec_->samplesLoaded = 500;
    dlg->post(WM_DOWNLOAD_PROGRESS, 0, -1);
    dlg->post(WM_DATA_INDICATOR, 0, 1);
    dlg->post(WM_PORT_CHANGE, 0, 3);
    QApplication::sendPostedEvents();
    EXPECT_EQ(bar(*dlg, IDC_DOWNLOAD_BAR), 102);
    EXPECT_EQ(bar(*dlg, IDC_DATA_BAR), 100);
    EXPECT_EQ(forwarded, QStringList{"1127:0:3"});

    rec_->samplesLoaded = 1015;  // the last block of 16 overshoots
    dlg->OnWindowMessage(WM_DOWNLOAD_PROGRESS, 0, -1);
    EXPECT_EQ(bar(*dlg, IDC_DOWNLOAD_BAR), 200);
    dlg->OnWindowMessage(WM_DOWNLOAD_PROGRESS, 0, 7);
    EXPECT_EQ(bar(*dlg, IDC_DOWNLOAD_BAR), 0);
    dlg->OnWindowMessage(WM_DOWNLOAD_PROGRESS, 0, 1);
    EXPECT_EQ(bar(*dlg, IDC_DOWNLOAD_BAR), 200);
    rec_->sampleCount = 0;
    dlg->OnWindowMessage(WM_DOWNLOAD_PROGRESS, 0, -1);
    EXPECT_EQ(bar(*dlg, IDC_DOWNLOAD_BAR), 0);
}

TEST(Indicator, BarsFollowTheBatteryPercentage) {
    const std::pair<int, int> cases[] = {{-5, 0}, {0, 0},  {1, 1},   {33, 1}, {34, 2},
                                         {66, 2}, {67, 3}, {100, 3}, {250, 3}};
    for (auto [percent, bars] : cases) EXPECT_EQ(indicatorBars(percent), bars) << percent;

    // Bar i is drawn in its own colour in its own quarter; a kind without battery gets the plain tile.
    auto pixelAt = [](int kind, int percent, double yFraction) {
        QImage img(60, 80, QImage::Format_RGB32);
        QPainter p(&img);
        drawInstrumentIndicator(p, img.rect(), kind, percent);
        p.end();
        return QColor(img.pixel(30, static_cast<int>(80 * yFraction))).rgb();
    };
    EXPECT_EQ(pixelAt(KindTemp, 67, 0.12), QColor(150, 200, 0).rgb());
    EXPECT_EQ(pixelAt(KindTemp, 66, 0.12), QColor(10, 10, 40).rgb());
    EXPECT_EQ(pixelAt(KindTemp, 66, 0.40), QColor(150, 150, 0).rgb());
    EXPECT_EQ(pixelAt(KindTempHumi, 1, 0.62), QColor(250, 80, 0).rgb());
    EXPECT_EQ(pixelAt(KindTempUT, 0, 0.62), QColor(10, 10, 40).rgb());
    EXPECT_EQ(pixelAt(KindTempCompact, 100, 0.12), QColor(132, 155, 168).rgb());
}

TEST(Artwork, BannerIsOurOwnDrawingOfTheRightSize) {
    const QImage banner = renderBanner();
    EXPECT_EQ(banner.size(), QSize(kBannerWidth, kBannerHeight));
    // Not a flat fill: the motif and the name put light pixels on the dark sky.
    EXPECT_NE(banner.pixel(10, 10), banner.pixel(1100, 70));
    banner.save(QStringLiteral(THERMIVO_BINARY_DIR "/banner.png"));
    const QImage icon = renderAppIcon(256);
    EXPECT_EQ(icon.size(), QSize(256, 256));
    EXPECT_EQ(qAlpha(icon.pixel(0, 0)), 0);  // rounded corners stay transparent
    icon.save(QStringLiteral(THERMIVO_BINARY_DIR "/thermivo.png"));
}

TEST_F(MainWindow, SummaryListRowsByKind) {
    auto dlg = makeWindow();
    dlg->OpenRecordFile(qs(writeRecordFile("k1.kvlu", KindTemp, 5)), "k1.kvlu");
    dlg->SummaryView()->FillSummaryList();
    QTableWidget* list = dlg->SummaryView()->SummaryList();
    EXPECT_EQ(list->rowCount(), 10);
    EXPECT_EQ(list->horizontalHeaderItem(0)->text(), "Item");
    EXPECT_EQ(list->horizontalHeaderItem(1)->text(), "State");
    EXPECT_EQ(list->item(0, 0)->text(), qs(text(5)));
    EXPECT_EQ(list->item(0, 1)->text(), "DI000012345");
    EXPECT_TRUE(list->isHidden());

    dlg->OpenRecordFile(qs(writeRecordFile("k4.kvlu", KindTempHumi, 5)), "k4.kvlu");
    dlg->SummaryView()->FillSummaryList();
    EXPECT_EQ(list->rowCount(), 15);
    EXPECT_EQ(list->item(14, 0)->text(), qs(text(19)));
}

TEST_F(MainWindow, AboutItemOpensTheAboutBox) {
    auto dlg = makeWindow();
    auto* about = dlg->findChild<QAction*>(QString::number(IDM_ABOUTBOX));
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(about->text(), "&About Kelvora Deep Cold Thermivo...");
    QString seen;
    QTimer::singleShot(0, [&] {
        if (auto* box = qobject_cast<CAboutDlg*>(QApplication::activeModalWidget())) {
            seen = box->windowTitle();
            box->accept();
        }
    });
    dlg->OnSysCommand(IDM_ABOUTBOX | 0x3);  // the low four bits do not matter
    EXPECT_EQ(seen, "About Kelvora Deep Cold Thermivo");
}

TEST(LaunchOptions, OptionsFirstThenTheFile) {
    const auto o = parseLaunchOptions(
        {"--port", "/dev/ttyUSB0", "--simulate", "--port=/tmp/pty", "/data/my", "day.kvlu"});
    EXPECT_TRUE(o.error.isEmpty());
    EXPECT_EQ(o.portPaths, (QStringList{"/dev/ttyUSB0", "/tmp/pty"}));
    EXPECT_TRUE(o.simulate);
    EXPECT_EQ(o.commandLine, "/data/my day.kvlu");
    // Once the file has started, what follows belongs to it.
    EXPECT_EQ(parseLaunchOptions({"a.kvlu", "--simulate"}).commandLine, "a.kvlu --simulate");
    EXPECT_EQ(parseLaunchOptions({"--", "--odd.kvlu"}).commandLine, "--odd.kvlu");
    EXPECT_FALSE(parseLaunchOptions({"--port"}).error.isEmpty());
    EXPECT_FALSE(parseLaunchOptions({"--bogus"}).error.isEmpty());
    EXPECT_TRUE(parseLaunchOptions({}).commandLine.isEmpty());
    const auto traced = parseLaunchOptions({"--trace", "link.trace", "day.kvlu"});
    EXPECT_EQ(traced.tracePath, "link.trace");
    EXPECT_EQ(traced.commandLine, "day.kvlu");
    EXPECT_EQ(parseLaunchOptions({"--trace=-"}).tracePath, "-");
    EXPECT_FALSE(parseLaunchOptions({"--trace"}).error.isEmpty());
}

}  // namespace
}  // namespace thermivo::testing
