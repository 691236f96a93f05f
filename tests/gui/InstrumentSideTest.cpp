// The running program's instrument side against the virtual instrument, and the export as Save uses it.
#include <QAbstractItemView>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "DialogLinkView.h"
#include "HisDataView.h"
#include "InstrumentSide.h"
#include "KelvoraThermivoApp.h"
#include "MainWindowFixture.h"
#include "export/Workbook.h"
#include "sim/PtyInstrument.h"

namespace thermivo::testing {
namespace {

class InstrumentSideTest : public MainWindowFixture {
  protected:
    // A window wired as the program wires it, talking to the instrument at `port`.
    void open(const std::string& port) {
        dlg_ = std::make_unique<CDeepColdThermivoDlg>(*rec_);
        dlg_->SetScreenSize(QSize(1280, 800));
        CKelvoraThermivoApp::ConnectWindow(*dlg_);
        side_ =
            std::make_unique<InstrumentSide>(*dlg_, *rec_, QStringList{QString::fromStdString(port)}, false);
        dlg_->OnInitDialog();
    }
    void TearDown() override {
        side_.reset();
        dlg_.reset();
    }
    bool waitForStatus(const std::string& t, int ms) {
        const bool seen = QTest::qWaitFor([&] { return status(*dlg_) == qs(t); }, ms);
        QApplication::sendPostedEvents();  // the messages posted with the status text
        return seen;
    }
    void click(int id) { static_cast<QPushButton*>(dlg_->Control(id))->click(); }

    std::unique_ptr<CDeepColdThermivoDlg> dlg_;
    std::unique_ptr<InstrumentSide> side_;
};

SimConfig instrument(int samples) {
    SimConfig c;
    c.serial = "DI202612001";
    c.samples = simulatedCurve(samples, 5);
    c.start = 1764576000;
    c.intervalMinutes = 5;
    return c;
}

TEST_F(InstrumentSideTest, ConnectDownloadAndShowTheRecording) {
    // At the real line pace, so the download can be seen half-way.
    PtyInstrument sim(instrument(1600), false);
    ASSERT_TRUE(sim.start()) << sim.error();
    open(sim.path());
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return caption(*dlg_, IDC_CONNECT).startsWith("DI202612001\n"); }, 10000))
        << caption(*dlg_, IDC_CONNECT).toStdString();
    EXPECT_EQ(caption(*dlg_, IDC_CONNECT), "DI202612001\n" + qs(text(77)));
    EXPECT_TRUE(side_->view().timerRunning(TIMER_POLL));
    EXPECT_EQ(bar(*dlg_, IDC_LINK_BAR), 100);
    EXPECT_FALSE(dlg_->Control(IDC_PRINT)->isEnabled());
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return bar(*dlg_, IDC_BATTERY_BAR) > 0; }, 10000));  // first status reply
    QDir().mkpath(THERMIVO_BINARY_DIR "/screenshots");
    dlg_->grab().save(THERMIVO_BINARY_DIR "/screenshots/instrument-idle.png");

    prompts_.yesNo = {true};
    click(IDC_DOWNLOAD);
    EXPECT_EQ(prompts_.questions.value(0), qs(text(148)));
    EXPECT_EQ(status(*dlg_), qs(text(26)));
    ASSERT_TRUE(QTest::qWaitFor([&] { return bar(*dlg_, IDC_DOWNLOAD_BAR) > 50; }, 20000));
    EXPECT_LT(bar(*dlg_, IDC_DOWNLOAD_BAR), 200);
    dlg_->grab().save(THERMIVO_BINARY_DIR "/screenshots/instrument-downloading.png");

    ASSERT_TRUE(waitForStatus(text(28), 30000)) << status(*dlg_).toStdString();
    dlg_->grab().save(THERMIVO_BINARY_DIR "/screenshots/instrument-downloaded.png");
    EXPECT_EQ(rec_->samplesLoaded, 1600);
    EXPECT_EQ(bar(*dlg_, IDC_DOWNLOAD_BAR), 200);
    EXPECT_TRUE(dlg_->Control(IDC_PRINT)->isEnabled());
    EXPECT_TRUE(dlg_->Control(IDC_DOWNLOAD)->isEnabled());
    EXPECT_EQ(value(*dlg_, 0), "DI202612001");
    auto* list = qobject_cast<QAbstractItemView*>(dlg_->ChartView()->control(CHisDataView::IDC_SAMPLE_LIST));
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->model()->rowCount(), 1600);
    const auto expected = instrument(1600).samples;
    for (std::size_t i = 0; i < expected.size(); ++i)
        ASSERT_NEAR(rec_->temperature[i], expected[i], 0.005) << i;
}

TEST_F(InstrumentSideTest, UnplugDuringADownloadSaysTheDownloadFailed) {
    SimConfig c = instrument(3000);
    c.faults.unplugAfter = 20;
    PtyInstrument sim(c);
    ASSERT_TRUE(sim.start()) << sim.error();
    open(sim.path());
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return caption(*dlg_, IDC_CONNECT).startsWith("DI202612001"); }, 10000));
    prompts_.yesNo = {true};
    click(IDC_DOWNLOAD);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !side_->controller().downloadBusy(); }, 30000));
    QApplication::sendPostedEvents();
    // The status line says how many arrived; its tooltip that the download failed.
    EXPECT_EQ(status(*dlg_), qs(textWith(2056, {std::to_string(rec_->samplesLoaded), "3000"})));
    EXPECT_EQ(static_cast<QLabel*>(dlg_->Control(IDC_STATUS))->toolTip(), qs(text(141)));
    EXPECT_EQ(bar(*dlg_, IDC_DOWNLOAD_BAR), 0);
    EXPECT_TRUE(dlg_->Control(IDC_DOWNLOAD)->isEnabled());
    EXPECT_LT(rec_->samplesLoaded, 3000);
    // What arrived before the plug was pulled is kept, and is exactly what the instrument holds.
    EXPECT_GE(rec_->samplesLoaded, 16 * 20);
    for (std::size_t i = 0; i < static_cast<std::size_t>(rec_->samplesLoaded); ++i)
        ASSERT_NEAR(rec_->temperature[i], c.samples[i], 0.005) << i;
}

TEST_F(InstrumentSideTest, StartRecordFromTheWindow) {
    SimConfig c = instrument(10);
    c.state = 0;
    c.battery = 1000;
    PtyInstrument sim(c);
    ASSERT_TRUE(sim.start()) << sim.error();
    open(sim.path());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dlg_->Control(IDC_START_RECORD)->isHidden(); }, 10000));
    // The battery is known only after the first status reply.
    ASSERT_TRUE(QTest::qWaitFor([&] { return bar(*dlg_, IDC_BATTERY_BAR) > 0; }, 10000));
    static_cast<QLineEdit*>(dlg_->Control(IDC_MINUTES))->setText("0");
    click(IDC_START_RECORD);
    EXPECT_EQ(status(*dlg_), qs(text(149)));
    static_cast<QLineEdit*>(dlg_->Control(IDC_MINUTES))->setText("15");
    prompts_.yesNo = {true};
    click(IDC_START_RECORD);
    // The instrument's ten samples were never downloaded: the question says so before asking.
    EXPECT_TRUE(prompts_.questions.last().startsWith(qs(text(2050))));
    EXPECT_TRUE(prompts_.questions.last().endsWith(qs(text(80))));
    ASSERT_TRUE(waitForStatus(text(77), 15000)) << status(*dlg_).toStdString();
}

using MainWindowExport = MainWindowFixture;

TEST_F(MainWindowExport, WorksheetSaveThroughTheRealExport) {
    auto dlg = makeWindow();
    CKelvoraThermivoApp::ConnectWindow(*dlg);
    dlg->OpenRecordFile(qs(writeRecordFile("src.kvlu", KindTemp, 120)), "src.kvlu");
    prompts_.chosenFilter = CDeepColdThermivoDlg::WorksheetFilter();
    prompts_.fileNames = {qs(dir_.file("day1.xls"))};
    dlg->OnSaveData();
    EXPECT_EQ(status(*dlg), qs(text(37)) + "day1.xls");
    Workbook book = Workbook::load(dir_.file("day1.xls"));
    ASSERT_NE(book.find("Data"), nullptr);
    EXPECT_EQ(book.find("Data")->rows.size(), 121u);

    // Saving into the same workbook again meets the existing "Summary": the error is shown, not swallowed.
    prompts_.fileNames = {qs(dir_.file("day1.xls"))};
    dlg->OnSaveData();
    EXPECT_EQ(status(*dlg), qs(text(38)) + "day1.xls");
    ASSERT_FALSE(prompts_.messages.isEmpty());
    EXPECT_TRUE(prompts_.messages.last().contains("Summary")) << prompts_.messages.last().toStdString();
    EXPECT_EQ(Workbook::load(dir_.file("day1.xls")).find("Data")->rows.size(), 121u);
}

}  // namespace
}  // namespace thermivo::testing
