// The controller's part in keeping downloads safe: the copy kept at once, the file buttons locked while a
// download runs, the samples that arrived when it failed, the warning before a start erases a recording,
// and the battery check.
#pragma GCC diagnostic ignored "-Warray-bounds"
#pragma GCC diagnostic ignored "-Wstringop-overread"
#pragma GCC diagnostic ignored "-Wstringop-overflow"
#include <gtest/gtest.h>
#include <pty.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>

#include "LinkTestSupport.h"
#include "app/AppSettings.h"
#include "app/UiText.h"
#include "data/RecordFile.h"
#include "data/Recording.h"
#include "data/RecordingStore.h"
#include "link/LinkController.h"
#include "link/ReplyDecoder.h"

using namespace thermivo;
using namespace thermivo::testing;

namespace {

class View : public LinkView {
  public:
    void setText(int id, const std::string& t) override {
        texts[id] = t;
        tips.erase(id);  // as the window's status line: a new text brings its own tooltip
    }
    void setTextFromAnyThread(int id, const std::string& t) override { setText(id, t); }
    std::string text(int id) const override {
        const auto it = texts.find(id);
        return it == texts.end() ? std::string() : it->second;
    }
    void setEnabled(int id, bool e) override { enabled[id] = e; }
    void setShown(int, bool) override {}
    void setProgress(int, int) override {}
    void startTimer(int, int) override {}
    void stopTimer(int) override {}
    bool askYesNo(const std::string& q) override {
        questions.push_back(q);
        defaultNo.push_back(false);
        return answer;
    }
    bool askYesNoDefaultNo(const std::string& q) override {
        questions.push_back(q);
        defaultNo.push_back(true);
        return answer;
    }
    void redrawIndicator() override {}
    void showHumidityRows(bool) override {}
    void refreshSummary(bool) override {}
    void refreshChart() override {}
    void setToolTip(int id, const std::string& t) override { tips[id] = t; }
    void showMessage(const std::string& t) override { messages.push_back(t); }

    std::map<int, std::string> texts, tips;
    std::vector<std::string> messages;
    std::map<int, bool> enabled;
    std::vector<std::string> questions;
    std::vector<bool> defaultNo;
    bool answer = true;
};

class OnePort : public PortDirectory {
  public:
    OnePort() { openpty(&master_, &slave_, name_, nullptr, nullptr); }
    ~OnePort() override {
        close(master_);
        close(slave_);
    }
    std::vector<int> bridgePorts() override { return {7}; }
    std::string pathOf(int n) override { return n == 7 ? name_ : ""; }

  private:
    int master_ = -1, slave_ = -1;
    char name_[256] = {};
};

class DownloadSafety : public ::testing::Test {
  protected:
    void SetUp() override {
        AppSettings::instance().setLanguage(kLanguageEnglishUs);
        link.setTransport(&transport);
        controller.setRecordingStore(&store);
    }
    void pump() {
        for (int round = 0; round < 10; ++round) {
            const auto messages = sink.drain();
            if (messages.empty()) return;
            for (const auto& m : messages) controller.onMessage(m.message, m.wParam, m.lParam);
        }
    }
    void tick(int timer, int times = 1) {
        for (int i = 0; i < times; ++i) {
            controller.onTimer(timer);
            pump();
        }
    }
    void feed(const Bytes& bytes) {
        link.receive(bytes.data(), static_cast<int>(bytes.size()));
        pump();
    }
    void connect(const HeaderFields& header) {
        controller.startupSearch();
        pump();
        feed(headerReply(header));
        tick(TIMER_REPLY);
        ASSERT_TRUE(link.instrumentConnected.load());
        transport.frames.clear();
    }
    // Download of a 32-sample recording; `blocks` of its two blocks arrive, then the link stays silent.
    void download(HeaderFields h, int blocks) {
        controller.onDownloadClicked();
        h.echo = protocol::kEchoDownloadHeader;
        feed(headerReply(h));
        for (int b = 0; b < blocks; ++b)
            feed(blockReply(static_cast<std::uint16_t>(32 * b), ramp(100 * (b + 1))));
        for (int second = 0; second < 30 && controller.downloadBusy(); ++second) tick(TIMER_DOWNLOAD);
    }
    bool fileButtons(bool state) {
        for (const int id : {IDC_SAVE, IDC_OPEN, IDC_CELSIUS, IDC_FAHRENHEIT, IDC_PRINT})
            if (view.enabled.count(id) == 0 || view.enabled[id] != state) return false;
        return true;
    }
    static HeaderFields stopped(std::uint16_t count) {
        HeaderFields h;
        h.count = count;
        h.state = 0;
        return h;
    }

    ScopedTimeZone tz{"UTC"};
    TempDir dir;
    RecordingStore store{dir.file("recordings")};
    std::unique_ptr<Recording> recording = std::make_unique<Recording>();
    MessageQueue sink;
    InstrumentLink link{*recording, sink};
    FakeTransport transport;
    View view;
    OnePort ports;
    LinkController controller{link, view, ports};
};

TEST_F(DownloadSafety, ACompleteDownloadIsKeptAtOnceAndOutlivesAConnect) {
    connect(stopped(32));
    controller.onDownloadClicked();
    EXPECT_TRUE(fileButtons(false));
    view.questions.clear();
    controller.onDownloadClicked();  // a second click while it runs changes nothing
    download(stopped(32), 2);
    ASSERT_EQ(view.text(IDC_STATUS), text(28));
    EXPECT_TRUE(fileButtons(true));
    const std::string path = store.pathFor("DI123456789", recording->startTime);
    EXPECT_EQ(path, dir.file("recordings/DI123456789/2026-01-01_00-00.kvlu"));
    EXPECT_EQ(view.tips[IDC_STATUS], "A copy is kept in " + path);
    ASSERT_TRUE(store.holdsCopy("DI123456789", recording->startTime, 32));

    // Connect asks for the header again, which empties the recording in memory; the copy stays.
    controller.onConnectClicked();
    pump();
    feed(headerReply(stopped(32)));
    tick(TIMER_REPLY);
    EXPECT_EQ(recording->samplesLoaded, 0);
    auto back = std::make_unique<Recording>();
    RecordFile file(path, RecordFile::ModeRead);
    ASSERT_TRUE(file.isOpen() && file.read(*back)) << file.error();
    EXPECT_EQ(back->sampleCount, 32);
    EXPECT_FLOAT_EQ(back->temperature[0], 1.00f);
    EXPECT_FLOAT_EQ(back->temperature[31], 2.15f);

    // Downloading the same recording again keeps one file.
    download(stopped(32), 2);
    std::size_t files = 0;
    for (const auto& e : std::filesystem::recursive_directory_iterator(store.root()))
        files += e.is_regular_file();
    EXPECT_EQ(files, 1u);
}

TEST_F(DownloadSafety, AFailedDownloadSaysHowManySamplesArrivedAndKeepsNothing) {
    connect(stopped(32));
    download(stopped(32), 1);
    ASSERT_FALSE(controller.downloadBusy());
    EXPECT_EQ(view.text(IDC_STATUS), "Only 16 of 32 samples arrived.");
    EXPECT_EQ(view.tips[IDC_STATUS], text(141));
    EXPECT_TRUE(fileButtons(true));
    EXPECT_TRUE(recording->isIncomplete());
    EXPECT_EQ(recording->arrivedSamples(), 16);
    EXPECT_FALSE(std::filesystem::exists(store.root()));
    // The removal of the port that follows an unplug leaves the count said.
    controller.onMessage(WM_PORT_CHANGE, 0, -7);
    EXPECT_EQ(view.text(IDC_STATUS), "Only 16 of 32 samples arrived.");
}

TEST_F(DownloadSafety, AHoleBeforeTheLastSampleThatArrivedIsMarkedAsNoValue) {
    // Block 0 never comes; block 1 does.
    connect(stopped(48));
    controller.onDownloadClicked();
    HeaderFields h = stopped(48);
    h.echo = protocol::kEchoDownloadHeader;
    feed(headerReply(h));
    feed(blockReply(32, ramp(200)));
    for (int second = 0; second < 30 && controller.downloadBusy(); ++second) tick(TIMER_DOWNLOAD);
    ASSERT_FALSE(controller.downloadBusy());
    EXPECT_EQ(view.text(IDC_STATUS), "Only 16 of 48 samples arrived.");
    EXPECT_EQ(recording->samplesLoaded, 32);  // up to the last sample that arrived
    EXPECT_EQ(recording->samplesMissing, 16);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(recording->temperature[static_cast<std::size_t>(i)], Recording::kNoValue) << i;
    EXPECT_FLOAT_EQ(recording->temperature[16], 2.00f);
    // Cut to what arrived, the summary speaks of the 16 samples only.
    auto cut = std::make_unique<Recording>(*recording);
    cut->cutToReceivedSamples();
    EXPECT_EQ(cut->sampleCount, 32);
    EXPECT_FLOAT_EQ(cut->tempMin, 2.00f);
    EXPECT_FLOAT_EQ(cut->tempMax, 2.15f);
}

TEST_F(DownloadSafety, WhileADownloadRunsTheRecordingCannotBeErasedNorTheLinkReplaced) {
    connect(stopped(32));
    recording->batteryPercent = 80;
    recording->batteryValid = true;
    view.texts[IDC_MINUTES] = "5";
    controller.onDownloadClicked();
    for (const int id : {IDC_START_RECORD, IDC_CALIBRATION, IDC_CONNECT})
        EXPECT_FALSE(view.enabled[id]) << id;
    // The download header reply re-enables nothing while the download runs.
    HeaderFields h = stopped(32);
    h.echo = protocol::kEchoDownloadHeader;
    feed(headerReply(h));
    for (const int id : {IDC_START_RECORD, IDC_CALIBRATION, IDC_CONNECT})
        EXPECT_FALSE(view.enabled[id]) << id;

    // Called all the same (a shortcut, the command line), each is refused in so many words.
    transport.frames.clear();
    view.questions.clear();
    controller.onStartRecordClicked();
    EXPECT_EQ(view.text(IDC_STATUS), text(2421));
    controller.onCalibrationClicked();
    EXPECT_EQ(view.text(IDC_STATUS), text(2420));
    controller.onConnectClicked();
    EXPECT_EQ(view.text(IDC_STATUS), text(2423));
    EXPECT_TRUE(transport.frames.empty());
    EXPECT_TRUE(view.questions.empty());
    EXPECT_TRUE(controller.downloadBusy());
    for (const int id : {2420, 2421, 2422, 2423}) {
        EXPECT_FALSE(text(id, kLanguageChinesePrc).empty()) << id;
        EXPECT_NE(text(id, kLanguageChinesePrc), text(id, kLanguageEnglishUs)) << id;
    }

    // The download ends as it would have; then the instrument may be started again.
    feed(blockReply(0, ramp(100)));
    feed(blockReply(32, ramp(200)));
    tick(TIMER_DOWNLOAD);
    ASSERT_EQ(view.text(IDC_STATUS), text(28));
    for (const int id : {IDC_START_RECORD, IDC_CALIBRATION, IDC_CONNECT}) EXPECT_TRUE(view.enabled[id]) << id;
    controller.onStartRecordClicked();
    EXPECT_EQ(view.questions.size(), 1u);
}

TEST_F(DownloadSafety, AnEmptyInstrumentLoadsNothing) {
    connect(stopped(0));
    download(stopped(0), 0);
    EXPECT_EQ(view.text(IDC_STATUS), text(2090));
    EXPECT_FALSE(recording->hasSamples());
    EXPECT_FALSE(std::filesystem::exists(store.root()));
}

TEST_F(DownloadSafety, StartRecordRightAfterConnectingAsksForTheBatteryFirst) {
    connect(stopped(0));
    ASSERT_FALSE(recording->batteryValid);
    view.texts[IDC_MINUTES] = "5";
    controller.onStartRecordClicked();
    EXPECT_EQ(view.text(IDC_STATUS), text(2424));
    EXPECT_TRUE(view.questions.empty());
    ASSERT_EQ(transport.frames.size(), 1u);  // the status request, no start
    feed(clockReply(protocol::kEchoStatus, ClockTime{}, 0, 1000));
    ASSERT_EQ(view.questions.size(), 1u);
    EXPECT_EQ(view.questions[0], text(80));
    EXPECT_EQ(transport.frames.size(), 2u);  // now the start went out
}

TEST_F(DownloadSafety, AFolderThatTakesNoFileIsNamedInTheTooltip) {
    RecordingStore blocked(dir.file("file-not-folder"));
    std::ofstream(dir.file("file-not-folder")) << "a file where the folder should be";
    controller.setRecordingStore(&blocked);
    connect(stopped(32));
    download(stopped(32), 2);
    EXPECT_EQ(view.text(IDC_STATUS), text(28));
    EXPECT_EQ(view.tips[IDC_STATUS].rfind(
                  "No copy could be kept in " + blocked.pathFor("DI123456789", recording->startTime), 0),
              0u)
        << view.tips[IDC_STATUS];
    // Said in a box too, once a run however often it fails.
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0].rfind("The recordings folder " + blocked.root() + " cannot be written", 0), 0u)
        << view.messages[0];
    download(stopped(32), 2);
    EXPECT_EQ(view.messages.size(), 1u);
}

TEST_F(DownloadSafety, StartRecordWarnsAboutARecordingNeverDownloaded) {
    connect(stopped(601));
    recording->batteryPercent = 80;
    recording->batteryValid = true;
    view.texts[IDC_MINUTES] = "5";
    view.answer = false;
    controller.onStartRecordClicked();
    ASSERT_EQ(view.questions.size(), 1u);
    EXPECT_TRUE(view.defaultNo[0]);
    EXPECT_EQ(view.questions[0],
              text(2050) + "\nDI123456789  2026-1-1  00:00  601 samples\n" + text(2052) + "\n" + text(80));
    EXPECT_TRUE(transport.frames.empty());

    // Chinese too.
    AppSettings::instance().setLanguage(kLanguageChinesePrc);
    controller.onStartRecordClicked();
    AppSettings::instance().setLanguage(kLanguageEnglishUs);
    EXPECT_NE(view.questions[1].find("共 601 个数据"), std::string::npos) << view.questions[1];
    EXPECT_NE(view.questions[1].find(text(2052, kLanguageChinesePrc)), std::string::npos);

    // Once a copy with that serial number, start time and count is in the folder, the plain question.
    auto copy = std::make_unique<Recording>(*recording);
    copy->samplesLoaded = copy->sampleCount;
    copy->dataFlags = Recording::kSamplesPresent;
    ASSERT_TRUE(store.keep(*copy).ok);
    controller.onStartRecordClicked();
    EXPECT_EQ(view.questions.back(), text(80));
    EXPECT_FALSE(view.defaultNo.back());

    // A copy with fewer samples (downloaded before the instrument went on recording) is not the same.
    copy->sampleCount = 600;
    copy->samplesLoaded = 600;
    ASSERT_TRUE(store.keep(*copy).ok);
    controller.onStartRecordClicked();
    EXPECT_TRUE(view.defaultNo.back());
}

TEST_F(DownloadSafety, AnEmptyInstrumentStartsWithoutAWarning) {
    connect(stopped(0));
    recording->batteryPercent = 80;
    recording->batteryValid = true;
    view.texts[IDC_MINUTES] = "5";
    controller.onStartRecordClicked();
    ASSERT_EQ(view.questions.size(), 1u);
    EXPECT_EQ(view.questions[0], text(80));
    EXPECT_EQ(transport.frames.size(), 1u);
}

TEST_F(DownloadSafety, ABatteryBelowTheTableReadsEmptyAndStopsAStart) {
    for (const int reading : {0, 1, 300, 634}) EXPECT_EQ(ReplyDecoder::batteryPercent(reading), 0) << reading;
    EXPECT_EQ(ReplyDecoder::batteryPercent(676), 33);  // the table itself is unchanged
    connect(stopped(0));
    feed(clockReply(protocol::kEchoStatus, ClockTime{}, 0, 120));
    EXPECT_EQ(recording->batteryPercent, 0);
    view.texts[IDC_MINUTES] = "5";
    controller.onStartRecordClicked();
    EXPECT_EQ(view.text(IDC_STATUS), text(150));
    EXPECT_TRUE(view.questions.empty());
    EXPECT_TRUE(transport.frames.empty());
}

}  // namespace
