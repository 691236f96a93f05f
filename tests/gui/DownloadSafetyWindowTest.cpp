// The window around a download against the virtual instrument: the file buttons, Save of what arrived,
// the kept copy, and the warning before Start Record erases a recording.
#include <QAbstractItemView>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <filesystem>

#include "DialogLinkView.h"
#include "HisDataView.h"
#include "InstrumentSide.h"
#include "KelvoraThermivoApp.h"
#include "MainWindowFixture.h"
#include "data/RecordingStore.h"
#include "export/XlsxExport.h"
#include "sim/PtyInstrument.h"

namespace thermivo::testing {
namespace {

namespace fs = std::filesystem;

class DownloadWindow : public MainWindowFixture {
  protected:
    void open(const std::string& port) {
        dlg_ = std::make_unique<CDeepColdThermivoDlg>(*rec_);
        dlg_->SetScreenSize(QSize(1280, 800));
        CKelvoraThermivoApp::ConnectWindow(*dlg_);
        side_ =
            std::make_unique<InstrumentSide>(*dlg_, *rec_, QStringList{QString::fromStdString(port)}, false);
        dlg_->OnInitDialog();
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return caption(*dlg_, IDC_CONNECT).startsWith("DI202612001\n"); }, 10000))
            << caption(*dlg_, IDC_CONNECT).toStdString();
    }
    void TearDown() override {
        side_.reset();
        dlg_.reset();
    }
    bool waitForStatus(const std::string& t, int ms) {
        const bool seen = QTest::qWaitFor([&] { return status(*dlg_) == qs(t); }, ms);
        QApplication::sendPostedEvents();
        return seen;
    }
    void click(int id) { static_cast<QPushButton*>(dlg_->Control(id))->click(); }
    bool enabled(int id) const { return dlg_->Control(id)->isEnabled(); }
    std::string recordingsFolder() const {
        return (dir_.path() / "data" / "thermivo" / "recordings").string();
    }

    std::unique_ptr<CDeepColdThermivoDlg> dlg_;
    std::unique_ptr<InstrumentSide> side_;
};

SimConfig instrument(int samples) {
    SimConfig c;
    c.serial = "DI202612001";
    c.samples = simulatedCurve(samples, 11);
    c.start = 1764576000;
    c.intervalMinutes = 5;
    c.state = 0;
    c.battery = 1000;
    return c;
}

// Every row of both sheets of a workbook as "sheet|first cell|second cell", and "sheet|rows|n" per sheet.
std::string sheetRows(const std::string& path) {
    const std::string script =
        "import sys, openpyxl\n"
        "wb = openpyxl.load_workbook(sys.argv[1], read_only=True)\n"
        "for n, name in enumerate(wb.sheetnames[:2]):\n"
        "    rows = 0\n"
        "    for row in wb[name].iter_rows(values_only=True):\n"
        "        rows += 1\n"
        "        cells = ['' if v is None else str(int(v)) if isinstance(v, (int, float)) and "
        "float(v).is_integer()"
        " else str(v) for v in row[:2]]\n"
        "        if n == 0: print('%d|%s' % (n, '|'.join(cells)))\n"
        "    print('%d|rows|%d' % (n, rows))\n";
    QProcess p;
    p.start("/usr/bin/python3", {"-c", qs(script), qs(path)});
    p.waitForFinished(60000);
    return p.readAllStandardOutput().toStdString() + p.readAllStandardError().toStdString();
}

std::string trimmedLabel(int index) {
    std::string s = Recording().labels[static_cast<std::size_t>(index)];
    while (!s.empty() && (s.back() == ' ' || s.back() == ':')) s.pop_back();
    while (!s.empty() && s.front() == ' ') s.erase(s.begin());
    return s;
}

std::unique_ptr<Recording> readFile(const std::string& path) {
    auto rec = std::make_unique<Recording>();
    RecordFile file(path, RecordFile::ModeRead);
    EXPECT_TRUE(file.isOpen() && file.read(*rec)) << path << ": " << file.error();
    return rec;
}

TEST_F(DownloadWindow, SaveWaitsForARecordingWithSamples) {
    auto dlg = makeWindow();
    EXPECT_FALSE(dlg->Control(IDC_SAVE)->isEnabled());
    EXPECT_FALSE(dlg->Control(IDC_PRINT)->isEnabled());
    dlg->OnSaveData();
    EXPECT_TRUE(prompts_.lastFilters.isEmpty());  // no dialog was shown
    dlg->OpenRecordFile(qs(writeRecordFile("a.kvlu", KindTemp, 20)), "a.kvlu");
    EXPECT_TRUE(dlg->Control(IDC_SAVE)->isEnabled());
    EXPECT_TRUE(dlg->Control(IDC_PRINT)->isEnabled());
    dlg->OpenRecordFile(qs(writeRecordFile("empty.kvlu", KindTemp, 0)), "empty.kvlu");
    EXPECT_FALSE(dlg->Control(IDC_SAVE)->isEnabled());
}

TEST_F(DownloadWindow, AFailedDownloadLocksTheFileButtonsThenOffersWhatArrived) {
    SimConfig c = instrument(3000);
    // At the line's pace the reader hands over about 48 blocks every two seconds; unplugged after 150 blocks,
    // the download runs long enough to be watched.
    c.faults.unplugAfter = 150;
    PtyInstrument sim(c, false);
    ASSERT_TRUE(sim.start()) << sim.error();
    open(sim.path());
    dlg_->OpenRecordFile(qs(writeRecordFile("before.kvlu", KindTemp, 50)), "before.kvlu");
    ASSERT_TRUE(enabled(IDC_SAVE) && enabled(IDC_PRINT));

    prompts_.yesNo = {true};
    click(IDC_DOWNLOAD);
    for (const int id : {IDC_SAVE, IDC_OPEN, IDC_PRINT, IDC_CELSIUS, IDC_FAHRENHEIT, IDC_DOWNLOAD})
        EXPECT_FALSE(enabled(id)) << id;
    // Called directly (a shortcut, a script), they still do nothing while the download runs.
    prompts_.fileNames = {qs(dir_.file("during.kvlu"))};
    dlg_->OnSaveData();
    dlg_->OnOpenFile();
    EXPECT_EQ(prompts_.fileNames.size(), 1u);
    // The progress messages keep coming and must not re-enable them.
    ASSERT_TRUE(QTest::qWaitFor([&] { return bar(*dlg_, IDC_DOWNLOAD_BAR) > 20; }, 10000))
        << bar(*dlg_, IDC_DOWNLOAD_BAR) << " " << status(*dlg_).toStdString() << " " << rec_->samplesLoaded;
    ASSERT_TRUE(side_->controller().downloadBusy());
    for (const int id : {IDC_SAVE, IDC_OPEN, IDC_PRINT, IDC_CELSIUS, IDC_FAHRENHEIT})
        EXPECT_FALSE(enabled(id)) << id;

    ASSERT_TRUE(QTest::qWaitFor([&] { return !side_->controller().downloadBusy(); }, 30000));
    QApplication::sendPostedEvents();
    const int received = rec_->samplesLoaded;
    ASSERT_GE(received, 16 * 150);
    ASSERT_LT(received, 3000);
    // The status line says what arrived, also after the removal of the unplugged port went through.
    QTest::qWait(1500);
    const QString arrived = qs(textWith(2056, {std::to_string(received), "3000"}));
    EXPECT_EQ(status(*dlg_), arrived);
    EXPECT_EQ(static_cast<QLabel*>(dlg_->Control(IDC_STATUS))->toolTip(), qs(text(141)));
    // The chart shows the samples that arrived: its list holds one row per sample.
    auto* list = dlg_->ChartView()->findChild<QAbstractItemView*>();
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->model()->rowCount(), received);
    EXPECT_TRUE(enabled(IDC_SAVE));
    EXPECT_TRUE(enabled(IDC_OPEN));
    EXPECT_FALSE(enabled(IDC_PRINT));  // only whole recordings are printed

    // Declined: nothing is written.
    prompts_.fileNames = {qs(dir_.file("partial.kvlu"))};
    prompts_.yesNo = {false};
    dlg_->OnSaveData();
    EXPECT_EQ(prompts_.questions.last(), qs(textWith(2055, {std::to_string(received), "3000"})));
    EXPECT_FALSE(fs::exists(dir_.file("partial.kvlu")));

    prompts_.yesNo = {true};
    click(IDC_SAVE);
    EXPECT_EQ(status(*dlg_), qs(text(37)) + "partial.kvlu");
    const auto saved = readFile(dir_.file("partial.kvlu"));
    EXPECT_EQ(saved->sampleCount, received);
    EXPECT_EQ(saved->stopTime, c.start + static_cast<std::int64_t>(received - 1) * 300);
    for (int i = 0; i < received; ++i)
        ASSERT_NEAR(saved->temperature[static_cast<std::size_t>(i)], c.samples[static_cast<std::size_t>(i)],
                    0.005)
            << i;
    // The recording in the window still says what the instrument announced.
    EXPECT_EQ(rec_->sampleCount, 3000);

    // A workbook of the part: its Summary counts only the samples it holds, its Data has one row each.
    if (xlsxExportAvailable()) {
        prompts_.fileNames = {qs(dir_.file("partial.xlsx"))};
        prompts_.chosenFilter = CDeepColdThermivoDlg::XlsxFilter();
        prompts_.yesNo = {true};
        dlg_->OnSaveData();
        prompts_.chosenFilter.clear();
        const std::string rows = sheetRows(dir_.file("partial.xlsx"));
        EXPECT_NE(rows.find("0|" + trimmedLabel(Recording::ValCount) + "|" + std::to_string(received) + "\n"),
                  std::string::npos)
            << rows;
        EXPECT_NE(rows.find("1|rows|" + std::to_string(received + 1) + "\n"), std::string::npos) << rows;
    }
    // And a failed download keeps nothing in the recordings folder.
    EXPECT_FALSE(fs::exists(recordingsFolder()));
}

TEST_F(DownloadWindow, WhileADownloadRunsNothingCanEraseTheRecordingAndExitAsks) {
    SimConfig c = instrument(3000);
    PtyInstrument sim(c, false);  // at the line's pace the download runs for a while
    ASSERT_TRUE(sim.start()) << sim.error();
    open(sim.path());
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return enabled(IDC_START_RECORD) && enabled(IDC_CALIBRATION); }, 10000));
    static_cast<QLineEdit*>(dlg_->Control(IDC_MINUTES))->setText("15");
    const int commandsBefore = sim.commandsReceived();
    prompts_.yesNo = {true};
    click(IDC_DOWNLOAD);
    ASSERT_TRUE(QTest::qWaitFor([&] { return bar(*dlg_, IDC_DOWNLOAD_BAR) > 10; }, 10000));
    for (const int id : {IDC_START_RECORD, IDC_CALIBRATION, IDC_CONNECT}) EXPECT_FALSE(enabled(id)) << id;

    // The controller refuses them too, whoever asks.
    const int questions = static_cast<int>(prompts_.questions.size());
    side_->controller().onStartRecordClicked();
    EXPECT_EQ(status(*dlg_), qs(text(2421)));
    side_->controller().onCalibrationClicked();
    EXPECT_EQ(status(*dlg_), qs(text(2420)));
    EXPECT_EQ(prompts_.questions.size(), questions);

    // Exit asks whether to lose the download; No (the default) keeps the window and the download.
    prompts_.yesNo = {false};
    dlg_->show();
    dlg_->reject();
    EXPECT_EQ(prompts_.questions.last(), qs(text(2422)));
    EXPECT_TRUE(dlg_->isVisible());
    EXPECT_TRUE(side_->controller().downloadBusy());

    ASSERT_TRUE(waitForStatus(text(28), 120000)) << status(*dlg_).toStdString();
    EXPECT_EQ(rec_->samplesLoaded, 3000);
    // The download header and one block request: no start, no clock set.
    EXPECT_EQ(sim.commandsReceived(), commandsBefore + 2);
    for (const int id : {IDC_START_RECORD, IDC_CALIBRATION, IDC_CONNECT}) EXPECT_TRUE(enabled(id)) << id;
    prompts_.yesNo = {false};
    dlg_->reject();
    EXPECT_EQ(prompts_.questions.last(), qs(text(130)));
}

TEST_F(DownloadWindow, AnUnplugRightAfterTheLastBlockLeavesACompleteKeptDownload) {
    SimConfig c = instrument(400);
    c.faults.unplugAfter = 24;  // the last block: samples 384-399
    PtyInstrument sim(c);
    ASSERT_TRUE(sim.start()) << sim.error();
    open(sim.path());
    prompts_.yesNo = {true};
    click(IDC_DOWNLOAD);
    ASSERT_TRUE(waitForStatus(text(28), 30000)) << status(*dlg_).toStdString();
    EXPECT_EQ(rec_->samplesLoaded, 400);
    EXPECT_TRUE(QTest::qWaitFor([&] { return sim.unplugged(); }, 5000));
    const auto copy = readFile(RecordingStore(recordingsFolder()).pathFor(c.serial, c.start));
    EXPECT_EQ(copy->sampleCount, 400);
    for (int i = 0; i < 400; ++i)
        ASSERT_NEAR(copy->temperature[static_cast<std::size_t>(i)], c.samples[static_cast<std::size_t>(i)],
                    0.005)
            << i;
}

TEST_F(DownloadWindow, AnEmptyInstrumentLoadsNothing) {
    PtyInstrument sim(instrument(0));
    ASSERT_TRUE(sim.start()) << sim.error();
    open(sim.path());
    prompts_.yesNo = {true};
    click(IDC_DOWNLOAD);
    ASSERT_TRUE(waitForStatus(text(2090), 10000)) << status(*dlg_).toStdString();
    EXPECT_FALSE(rec_->hasSamples());
    EXPECT_FALSE(enabled(IDC_SAVE));
    EXPECT_FALSE(enabled(IDC_PRINT));
}

TEST_F(DownloadWindow, ACompleteDownloadIsKeptAndConnectDoesNotLoseIt) {
    const SimConfig c = instrument(400);
    PtyInstrument sim(c);
    ASSERT_TRUE(sim.start()) << sim.error();
    open(sim.path());
    prompts_.yesNo = {true};
    click(IDC_DOWNLOAD);
    ASSERT_TRUE(waitForStatus(text(28), 30000)) << status(*dlg_).toStdString();
    const std::string kept = RecordingStore(recordingsFolder()).pathFor("DI202612001", c.start);
    EXPECT_EQ(status(*dlg_), qs(text(28)));
    EXPECT_EQ(static_cast<QLabel*>(dlg_->Control(IDC_STATUS))->toolTip(), qs(textWith(2053, {kept})));
    EXPECT_TRUE(enabled(IDC_SAVE) && enabled(IDC_OPEN) && enabled(IDC_PRINT));

    click(IDC_CONNECT);
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return caption(*dlg_, IDC_CONNECT).startsWith("DI202612001\n"); }, 10000));
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return rec_->samplesLoaded == 0; }, 5000));  // the header reply empties it
    const auto copy = readFile(kept);
    EXPECT_EQ(copy->sampleCount, 400);
    for (int i = 0; i < 400; ++i)
        ASSERT_NEAR(copy->temperature[static_cast<std::size_t>(i)], c.samples[static_cast<std::size_t>(i)],
                    0.005)
            << i;

    // The Open dialog offers the folder.
    dlg_->OnOpenFile();
    EXPECT_EQ(prompts_.lastSidebar, QStringList{qs(recordingsFolder())});
}

TEST_F(DownloadWindow, StartRecordWarnsAboutARecordingThatWasNeverDownloaded) {
    PtyInstrument sim(instrument(120));
    ASSERT_TRUE(sim.start()) << sim.error();
    open(sim.path());
    ASSERT_TRUE(QTest::qWaitFor([&] { return bar(*dlg_, IDC_BATTERY_BAR) > 0; }, 10000));
    static_cast<QLineEdit*>(dlg_->Control(IDC_MINUTES))->setText("15");
    prompts_.yesNo = {false};
    click(IDC_START_RECORD);
    ASSERT_EQ(prompts_.questions.size(), 1);
    EXPECT_TRUE(prompts_.questions[0].startsWith(qs(text(2050)))) << prompts_.questions[0].toStdString();
    EXPECT_TRUE(prompts_.questions[0].contains("120")) << prompts_.questions[0].toStdString();
    EXPECT_TRUE(prompts_.questions[0].endsWith(qs(text(80))));

    // No left the recording alone: it downloads whole. Downloaded (and so kept), the plain question is back.
    prompts_.yesNo = {true};
    click(IDC_DOWNLOAD);
    ASSERT_TRUE(waitForStatus(text(28), 30000)) << status(*dlg_).toStdString();
    EXPECT_EQ(rec_->samplesLoaded, 120);
    prompts_.yesNo = {false};
    click(IDC_START_RECORD);
    EXPECT_EQ(prompts_.questions.last(), qs(text(80)));
}

}  // namespace
}  // namespace thermivo::testing
