// GCC 12 reports a false out-of-bounds copy in vector::insert once the reply builders are inlined here.
#pragma GCC diagnostic ignored "-Warray-bounds"
#pragma GCC diagnostic ignored "-Wstringop-overread"
#pragma GCC diagnostic ignored "-Wstringop-overflow"
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/file.h>
#include <unistd.h>

#include <map>
#include <memory>
#include <set>

#include "LinkTestSupport.h"
#include "app/AppSettings.h"
#include "app/UiText.h"
#include "data/LocalTime.h"
#include "data/Recording.h"
#include "link/LinkController.h"
#include "sim/InstrumentSimulator.h"

using namespace thermivo;
using namespace thermivo::testing;

namespace {

template <std::size_t N>
Bytes toBytes(const std::array<std::uint8_t, N>& frame) {
    return Bytes(frame.begin(), frame.end());
}

class FakeView : public LinkView {
  public:
    void setText(int id, const std::string& t) override { texts[id] = t; }
    void setTextFromAnyThread(int id, const std::string& t) override { texts[id] = t; }
    std::string text(int id) const override {
        const auto it = texts.find(id);
        return it == texts.end() ? std::string() : it->second;
    }
    void setEnabled(int id, bool e) override { enabled[id] = e; }
    void setShown(int id, bool s) override { shown[id] = s; }
    void setProgress(int id, int p) override { progress[id] = p; }
    void startTimer(int id, int ms) override { timers[id] = ms; }
    void stopTimer(int id) override { timers.erase(id); }
    bool askYesNo(const std::string& q) override {
        questions.push_back(q);
        return answer;
    }
    void redrawIndicator() override { ++indicatorRedraws; }
    void showHumidityRows(bool s) override { humidityRows = s; }
    void refreshSummary(bool) override { ++summaryRefreshes; }
    void refreshChart() override { ++chartRefreshes; }

    bool running(int timer) const { return timers.count(timer) != 0; }

    std::map<int, std::string> texts;
    std::map<int, bool> enabled, shown;
    std::map<int, int> progress, timers;
    std::vector<std::string> questions;
    bool answer = true;
    bool humidityRows = false;
    int indicatorRedraws = 0, summaryRefreshes = 0, chartRefreshes = 0;
};

// Pseudo-terminals stand in for bridge devices: the link really opens them.
class FakePorts : public PortDirectory {
  public:
    ~FakePorts() override {
        for (auto& [n, fds] : ptys) close(fds.first), close(fds.second);
    }
    void attach(int n) {
        int master = -1, slave = -1;
        char name[256] = {};
        ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
        ptys[n] = {master, slave};
        paths[n] = name;
    }
    std::vector<int> bridgePorts() override {
        std::vector<int> v;
        for (const auto& [n, path] : paths) v.push_back(n);
        return v;
    }
    std::string pathOf(int n) override { return paths.count(n) ? paths[n] : std::string(); }

    std::map<int, std::pair<int, int>> ptys;
    std::map<int, std::string> paths;
};

class LinkControllerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        AppSettings::instance().setLanguage(kLanguageEnglishUs);
        link.setTransport(&transport);
    }

    // Delivers every posted message to the controller, as the window's event loop would.
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
    // Port 7 opened, header answered, link connected and idle.
    void connect(const HeaderFields& header = {}) {
        ports.attach(7);
        controller.startupSearch();
        pump();
        feed(headerReply(header));
        tick(TIMER_REPLY);
        ASSERT_TRUE(link.instrumentConnected.load());
        transport.frames.clear();
    }
    int blockRequestsSent() const {
        int n = 0;
        for (const auto& f : transport.frames) n += f.size() == 7 && f[1] == protocol::kSigBlock[0];
        return n;
    }

    std::unique_ptr<Recording> recording = std::make_unique<Recording>();
    MessageQueue sink;
    InstrumentLink link{*recording, sink};
    FakeTransport transport;
    FakeView view;
    FakePorts ports;
    LinkController controller{link, view, ports};
};

TEST_F(LinkControllerTest, StartupPicksTheHighestBridgeAndAsksForTheHeader) {
    ports.attach(3);
    ports.attach(7);
    controller.startupSearch();
    EXPECT_EQ(view.text(IDC_CONNECT), text(3));
    pump();
    EXPECT_EQ(link.portNumber.load(), 7);
    EXPECT_TRUE(link.port().isOpen());
    ASSERT_EQ(transport.frames.size(), 1u);
    EXPECT_EQ(transport.frames[0], toBytes(headerRequestFrame(false)));
    EXPECT_EQ(view.text(IDC_CONNECT), text(142));
    EXPECT_EQ(view.progress[IDC_LINK_BAR], 100);
    EXPECT_EQ(controller.replyCountdown(), 5);  // a 3-second wait is stretched to 5
    EXPECT_TRUE(view.running(TIMER_REPLY));

    controller.onMessage(WM_REPLY_WAIT, 0, 10);
    EXPECT_EQ(controller.replyCountdown(), 10);
}

TEST_F(LinkControllerTest, HeaderWithinTheWaitConnectsWithoutTouchingTheStatusLine) {
    ports.attach(7);
    controller.startupSearch();
    pump();
    view.texts[IDC_STATUS] = "untouched";
    HeaderFields h;
    h.state = 0;
    feed(headerReply(h));
    EXPECT_EQ(view.chartRefreshes, 1);
    EXPECT_TRUE(view.shown[IDC_START_RECORD]);  // kind 1 can start a recording
    tick(TIMER_REPLY);
    EXPECT_EQ(view.text(IDC_CONNECT), "DI123456789\n" + text(76));
    EXPECT_TRUE(view.running(TIMER_POLL));
    EXPECT_FALSE(view.running(TIMER_REPLY));
    EXPECT_EQ(view.text(IDC_STATUS), "untouched");
    EXPECT_EQ(link.pendingCode.load(), PendingNone);

    transport.frames.clear();
    tick(TIMER_POLL);  // idle: asks for the status
    ASSERT_EQ(transport.frames.size(), 1u);
    EXPECT_EQ(transport.frames[0], toBytes(statusFrame(link.now())));
}

TEST_F(LinkControllerTest, UnansweredHeaderReportsAMalfunctionAfterFiveSeconds) {
    ports.attach(7);
    controller.startupSearch();
    pump();
    tick(TIMER_REPLY, 4);
    EXPECT_EQ(view.text(IDC_STATUS), "");
    tick(TIMER_REPLY);
    EXPECT_EQ(view.text(IDC_STATUS), text(27));
    EXPECT_FALSE(link.instrumentConnected.load());
    EXPECT_TRUE(view.enabled[IDC_DOWNLOAD]);
    EXPECT_FALSE(view.running(TIMER_REPLY));
}

TEST_F(LinkControllerTest, DuringADownloadTheReplyTimerNeverReportsNorClearsThePendingCode) {
    connect();
    link.downloadMode.store(kDownloadMode);
    link.pendingCode.store(PendingBlock);
    view.texts[IDC_STATUS] = "downloading";
    controller.onMessage(WM_REPLY_WAIT, 0, 3);
    tick(TIMER_REPLY, 5);
    EXPECT_EQ(view.text(IDC_STATUS), "downloading");
    EXPECT_EQ(link.pendingCode.load(), PendingBlock);
    EXPECT_FALSE(view.running(TIMER_REPLY));
}

TEST_F(LinkControllerTest, DownloadCompletesAndReportsProgress) {
    connect();
    controller.onDownloadClicked();
    ASSERT_EQ(view.questions.size(), 1u);
    EXPECT_EQ(view.questions[0], text(148));
    EXPECT_EQ(view.text(IDC_STATUS), text(26));
    EXPECT_FALSE(view.enabled[IDC_DOWNLOAD]);
    EXPECT_TRUE(view.running(TIMER_DOWNLOAD));

    HeaderFields h;
    h.count = 32;
    h.echo = protocol::kEchoDownloadHeader;
    feed(headerReply(h));
    EXPECT_EQ(blockRequestsSent(), 1);  // the decoder asks for block 0 itself
    feed(blockReply(0, ramp(100)));
    tick(TIMER_DOWNLOAD);
    EXPECT_EQ(view.progress[IDC_DOWNLOAD_BAR], 5 + 195 / 2);
    feed(blockReply(32, ramp(200)));
    tick(TIMER_DOWNLOAD);
    EXPECT_EQ(view.text(IDC_STATUS), text(28));
    EXPECT_EQ(view.progress[IDC_DOWNLOAD_BAR], 200);
    EXPECT_EQ(recording->samplesLoaded, 32);
    EXPECT_EQ(recording->sampleTime[1] - recording->sampleTime[0], 60);
    EXPECT_GE(view.chartRefreshes, 2);
    EXPECT_TRUE(view.enabled[IDC_DOWNLOAD]);
    EXPECT_FALSE(view.running(TIMER_DOWNLOAD));
    EXPECT_FALSE(controller.downloadBusy());

    EXPECT_EQ(LinkController::downloadBarPosition(-1, 500, 1000), 102);
    EXPECT_EQ(LinkController::downloadBarPosition(-1, 5, 0), 0);
    EXPECT_EQ(LinkController::downloadBarPosition(7, 5, 10), 0);
}

TEST_F(LinkControllerTest, AnEmptyInstrumentEndsAtTheFirstTickWithNothingLoaded) {
    connect();
    controller.onDownloadClicked();
    HeaderFields h;
    h.count = 0;
    h.echo = protocol::kEchoDownloadHeader;
    feed(headerReply(h));
    tick(TIMER_DOWNLOAD);
    EXPECT_EQ(view.text(IDC_STATUS), text(2090));
    EXPECT_EQ(view.progress[IDC_DOWNLOAD_BAR], 0);
    EXPECT_FALSE(recording->hasSamples());
    EXPECT_FALSE(controller.downloadBusy());
}

TEST_F(LinkControllerTest, AStallIsRetriedAtSixNineAndTwelveSecondsAndFailsAtFifteen) {
    HeaderFields h;
    h.count = 64;
    connect(h);
    controller.onDownloadClicked();
    h.echo = protocol::kEchoDownloadHeader;
    feed(headerReply(h));
    feed(blockReply(0, ramp(0)));  // 16 of 64, then silence
    transport.frames.clear();
    std::vector<int> resendTicks;
    for (int second = 1; second <= 15; ++second) {
        const std::size_t before = transport.frames.size();
        tick(TIMER_DOWNLOAD);
        if (transport.frames.size() > before) {
            resendTicks.push_back(second);
            EXPECT_EQ(transport.frames.back(), toBytes(blockRequestFrame(32)));
        }
        if (second < 15) {
            EXPECT_TRUE(controller.downloadBusy()) << second;
        }
    }
    EXPECT_EQ(resendTicks, (std::vector<int>{6, 9, 12}));
    EXPECT_EQ(view.text(IDC_STATUS), "Only 16 of 64 samples arrived.");
    EXPECT_EQ(view.progress[IDC_DOWNLOAD_BAR], 0);
    EXPECT_TRUE(view.enabled[IDC_DOWNLOAD]);
    EXPECT_FALSE(view.running(TIMER_DOWNLOAD));
    EXPECT_EQ(recording->samplesLoaded, 16);  // what arrived stays
}

TEST_F(LinkControllerTest, UnplugDuringADownloadFailsAtTheNextTick) {
    connect();
    controller.onDownloadClicked();
    controller.deviceNotification(-7);
    EXPECT_EQ(view.text(IDC_CONNECT), text(4));
    EXPECT_EQ(view.text(IDC_CLOCK_TEXT), std::string(46, ' ') + "0");
    pump();
    EXPECT_EQ(link.portNumber.load(), 0);
    EXPECT_FALSE(link.port().isOpen());
    tick(TIMER_DOWNLOAD);
    EXPECT_EQ(view.text(IDC_STATUS), text(141));
}

TEST_F(LinkControllerTest, RemovalOfAnotherBridgeLeavesTheLinkAlone) {
    connect();
    controller.deviceNotification(-3);
    pump();
    EXPECT_TRUE(link.instrumentConnected.load());
    EXPECT_EQ(link.portNumber.load(), 7);
}

TEST_F(LinkControllerTest, ASecondBridgeReplacesTheFirst) {
    connect();
    ports.attach(9);
    controller.deviceNotification(9);
    pump();
    EXPECT_EQ(link.portNumber.load(), 9);
    EXPECT_EQ(link.port().portNumber(), 9);
    // The first device is free again: nothing of ours holds it.
    const int fd = open(ports.paths[7].c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(flock(fd, LOCK_EX | LOCK_NB), 0);
    close(fd);
}

TEST_F(LinkControllerTest, APortInUseSaysSoInTheStatusLine) {
    ports.attach(7);
    const int holder = open(ports.paths[7].c_str(), O_RDWR | O_NOCTTY);
    ASSERT_EQ(flock(holder, LOCK_EX | LOCK_NB), 0);
    controller.startupSearch();
    pump();
    EXPECT_EQ(view.text(IDC_CONNECT), "");
    EXPECT_EQ(view.progress[IDC_LINK_BAR], 0);
    EXPECT_NE(view.text(IDC_STATUS).find("in use by another program"), std::string::npos)
        << view.text(IDC_STATUS);
    close(holder);
}

TEST_F(LinkControllerTest, StartRecordChecksIntervalAndBatteryBeforeAsking) {
    HeaderFields h;
    h.state = 0;
    connect(h);
    recording->batteryPercent = 80;
    recording->batteryValid = true;
    for (const char* minutes : {"0", "100", "", "abc"}) {
        view.texts[IDC_MINUTES] = minutes;
        view.texts[IDC_STATUS] = "";
        controller.onStartRecordClicked();
        EXPECT_EQ(view.text(IDC_STATUS), text(149)) << minutes;
    }
    view.texts[IDC_MINUTES] = "5";
    recording->batteryPercent = 19;
    controller.onStartRecordClicked();
    EXPECT_EQ(view.text(IDC_STATUS), text(150));
    EXPECT_TRUE(view.questions.empty());
    EXPECT_TRUE(transport.frames.empty());

    recording->batteryPercent = 20;
    view.answer = false;
    controller.onStartRecordClicked();
    EXPECT_EQ(view.questions.back(), text(80));
    EXPECT_TRUE(transport.frames.empty());
    view.answer = true;
    controller.onStartRecordClicked();
    ASSERT_EQ(transport.frames.size(), 1u);
    EXPECT_EQ(transport.frames[0][6], 5);
    EXPECT_EQ(recording->startIntervalMinutes, 5);
    EXPECT_FALSE(view.enabled[IDC_START_RECORD]);
}

TEST_F(LinkControllerTest, CalibrationOnlyWhenNothingIsPendingAndReportsItsOutcome) {
    connect();
    link.pendingCode.store(PendingHeader);
    controller.onCalibrationClicked();
    EXPECT_TRUE(transport.frames.empty());

    link.pendingCode.store(PendingNone);
    controller.onCalibrationClicked();
    ASSERT_EQ(transport.frames.size(), 1u);
    pump();
    tick(TIMER_REPLY, 5);  // no answer within 5 s
    EXPECT_EQ(view.text(IDC_STATUS), text(132));
    EXPECT_TRUE(link.instrumentConnected.load());  // the link stays usable
}

TEST_F(LinkControllerTest, StatusReplyShowsClockBatteryAndState) {
    ScopedTimeZone tz("UTC");
    connect();
    feed(clockReply(protocol::kEchoStatus, ClockTime{5, 4, 3, 2, 1, 2026}, 1, 1023));
    EXPECT_EQ(view.text(IDC_CLOCK_TEXT), "2026-1-2 03:04:05" + std::string(20, ' '));
    EXPECT_EQ(view.progress[IDC_BATTERY_BAR], 100);
    EXPECT_EQ(view.text(IDC_CONNECT), "DI123456789\n" + text(77));
    EXPECT_FALSE(view.enabled[IDC_CALIBRATION]);
}

TEST_F(LinkControllerTest, APollAnswerDoesNotLoseAClockSetThatWentOutAfterIt) {
    ScopedTimeZone tz("UTC");
    connect();
    tick(TIMER_POLL);  // the poll goes out...
    ASSERT_EQ(transport.frames.size(), 1u);
    controller.onCalibrationClicked();  // ...and the user sets the clock before its answer came
    ASSERT_EQ(transport.frames.size(), 2u);
    tick(TIMER_POLL);  // no poll while the clock set waits
    EXPECT_EQ(transport.frames.size(), 2u);
    const auto t = toLocal(link.now()).value();
    const ClockTime now{t.second, t.minute, t.hour, t.day, t.month, t.year};
    feed(clockReply(protocol::kEchoStatus, now, 0, 700));    // the poll's answer
    feed(clockReply(protocol::kEchoClockSet, now, 0, 700));  // the clock set's answer
    tick(TIMER_REPLY);
    EXPECT_EQ(view.text(IDC_STATUS), text(131));
    EXPECT_TRUE(link.instrumentConnected.load());
}

constexpr float kUntouched = 1000.0f;  // far outside any simulated curve

/// Commands from the link go straight into the virtual instrument, and are kept.
class SimWire : public FrameTransport {
  public:
    int write(const std::uint8_t* data, int count) override {
        frames.emplace_back(data, data + count);
        sim->receive(data, static_cast<std::size_t>(count));
        return count;
    }
    bool isPresent() override { return true; }
    InstrumentSimulator* sim = nullptr;
    std::vector<Bytes> frames;
};

// The controller's download against an instrument that answers in its own ways; each tick is one second
// of the line, carrying a chosen number of blocks.
class ControllerDownload : public LinkControllerTest {
  protected:
    void start(SimConfig c) {
        expected = c.samples;
        sim = std::make_unique<InstrumentSimulator>(std::move(c));
        HeaderFields h;
        h.count = static_cast<std::uint16_t>(expected.size());
        connect(h);
        wire.sim = sim.get();
        link.setTransport(&wire);
        recording->temperature.fill(kUntouched);
        controller.onDownloadClicked();
        pump();
        replies();
    }
    void replies() {
        for (const auto& f : sim->takeReplies()) feed(f);
    }
    void line(int blocks) {
        replies();
        for (int i = 0; i < blocks && sim->streaming(); ++i) {
            for (const auto& f : sim->nextBlockFrames()) link.receive(f.data(), static_cast<int>(f.size()));
        }
        pump();
    }
    /// Seconds until the download ended (text 28 or 141), or -1 when it still runs after `limit`.
    int run(int blocksPerSecond, int limit) {
        for (int second = 1; second <= limit; ++second) {
            line(blocksPerSecond);
            tick(TIMER_DOWNLOAD);
            const std::string s = view.text(IDC_STATUS);
            if (s == text(28) || s == text(141)) return second;
        }
        return -1;
    }
    float truth(std::size_t i) const {
        const auto raw = protocol::encodeValue(expected[i]);
        return protocol::decodeValue(raw[0], raw[1]);
    }
    int wrongSamples() const {
        int wrong = 0;
        for (std::size_t i = 0; i < expected.size(); ++i) {
            const float v = recording->temperature[i];
            if (v != truth(i) && !(v == kUntouched && static_cast<int>(i) >= recording->samplesLoaded))
                ++wrong;
        }
        return wrong;
    }
    std::vector<Bytes> blockRequests() const {
        std::vector<Bytes> out;
        for (const auto& f : wire.frames)
            if (f.size() == 7 && f[1] == protocol::kSigBlock[0]) out.push_back(f);
        return out;
    }

    SimWire wire;
    std::unique_ptr<InstrumentSimulator> sim;
    std::vector<float> expected;
};

SimConfig simRecording(int n, SimResend resend) {
    SimConfig c;
    c.samples = simulatedCurve(n, 33);
    c.resend = resend;
    return c;
}

TEST_F(ControllerDownload, AnInstrumentThatRestartsAtZeroCompletesWhileItKeepsProgressing) {
    SimConfig c = simRecording(60000, SimResend::RestartAtZero);
    c.faults.corruptBlocks = {2048};
    // At the line's pace the restarted stream needs a minute and a half to bring the spoiled block again; the
    // blocks past the wrap that it held the first time count as news only once, yet it completes in bound.
    start(c);
    const int seconds = run(22, 2 * LinkController::downloadLimitTicks(60000));
    ASSERT_GT(seconds, 0) << "the download never ended";
    EXPECT_LE(seconds, LinkController::downloadLimitTicks(60000));
    EXPECT_EQ(view.text(IDC_STATUS), text(28));
    EXPECT_EQ(recording->samplesLoaded, 60000);
    EXPECT_EQ(wrongSamples(), 0);
}

TEST_F(ControllerDownload, AnInstrumentFarAheadThatRestartsAtZeroCompletesExactly) {
    SimConfig c = simRecording(60000, SimResend::RestartAtZero);
    c.faults.corruptBlocks = {0, 2048};
    start(c);
    const int seconds = run(4000, 60);
    ASSERT_GT(seconds, 0) << "the download never ended";
    EXPECT_EQ(view.text(IDC_STATUS), text(28));
    EXPECT_EQ(recording->samplesLoaded, 60000);
    EXPECT_EQ(wrongSamples(), 0);
}

TEST_F(ControllerDownload, BlocksAfterAGapAreKeptAndOnlyTheGapsAreAskedFor) {
    SimConfig c = simRecording(1000, SimResend::Nearest);
    c.faults.dropBlocks = {3, 40};
    start(c);
    line(100);
    // Everything but the two lost blocks is there before anything is asked again.
    for (std::size_t i = 16 * 4; i < 16 * 40; ++i) ASSERT_EQ(recording->temperature[i], truth(i)) << i;
    EXPECT_EQ(recording->samplesLoaded, 48);
    ASSERT_EQ(blockRequests().size(), 1u);
    EXPECT_EQ(run(0, 3), -1);
    ASSERT_EQ(blockRequests().size(), 2u);
    EXPECT_EQ(blockRequests().back(), toBytes(blockRequestFrame(blockAddress(48))));
    // The answer brings block 3, then the line loses the rest of that stream.
    line(1);
    while (sim->streaming()) sim->nextBlockFrames();
    EXPECT_EQ(recording->samplesLoaded, 640);
    // The stream stands before the next gap now: it is asked for once the line has been quiet for a look.
    EXPECT_EQ(run(0, 3), -1);
    EXPECT_EQ(blockRequests().size(), 2u);
    run(0, 3);
    ASSERT_EQ(blockRequests().size(), 3u);
    EXPECT_EQ(blockRequests().back(), toBytes(blockRequestFrame(blockAddress(640))));
    EXPECT_GT(run(100, 5), 0);
    EXPECT_EQ(view.text(IDC_STATUS), text(28));
    EXPECT_EQ(recording->samplesLoaded, 1000);
    EXPECT_EQ(wrongSamples(), 0);
}

TEST_F(ControllerDownload, RepliesThatBringNothingNewDoNotKeepADownloadAlive) {
    // An instrument that answers every request with the same block: the old retry counter was reloaded by
    // every reply and never ran out.
    SimConfig c = simRecording(3000, SimResend::RestartAtZero);
    c.faults.stallAfter = 0;
    start(c);
    int seconds = 0;
    for (; seconds < 100 && view.text(IDC_STATUS) == text(26); ++seconds) {
        replies();
        // Block 0 again and again, whatever was asked.
        const Bytes f = blockReply(0, ramp(0));
        link.receive(f.data(), static_cast<int>(f.size()));
        tick(TIMER_DOWNLOAD);
    }
    EXPECT_EQ(view.text(IDC_STATUS), "Only 16 of 3000 samples arrived.");
    EXPECT_LE(seconds, LinkController::kStallTicks + 1);
}

class RepeatedDownload : public ControllerDownload,
                         public ::testing::WithParamInterface<std::tuple<SimResend, int>> {};

TEST_P(RepeatedDownload, TheSecondAndThirdAreExactAndAsQuickAsTheFirst) {
    // The instrument's stream stands at the end after the first download; asked for block 0 again, an
    // instrument that answers with the copy nearest to its stream sends the one past the address wrap.
    const auto [resend, count] = GetParam();
    start(simRecording(count, resend));
    const int first = run(22, LinkController::downloadLimitTicks(count) + 5);
    ASSERT_EQ(view.text(IDC_STATUS), text(28));
    for (int again = 2; again <= 3; ++again) {
        recording->temperature.fill(kUntouched);
        controller.onDownloadClicked();
        pump();
        replies();
        const int seconds = run(22, LinkController::downloadLimitTicks(count) + 5);
        ASSERT_EQ(view.text(IDC_STATUS), text(28)) << "download " << again;
        EXPECT_EQ(recording->samplesLoaded, count);
        EXPECT_EQ(wrongSamples(), 0);
        EXPECT_LE(seconds, first + 5) << "download " << again;
    }
}

INSTANTIATE_TEST_SUITE_P(AroundTheAddressWrap, RepeatedDownload,
                         ::testing::Combine(::testing::Values(SimResend::Nearest, SimResend::Literal,
                                                              SimResend::RestartAtZero),
                                            ::testing::Values(33000, 40000, 60000)));

class CutStream : public ControllerDownload, public ::testing::WithParamInterface<SimResend> {};

TEST_P(CutStream, EightCutsStillCompleteExactly) {
    // Each answer is cut after four blocks; every cut costs a resend, and each answer's news resets the
    // count of resends without progress, so the eight cuts never add up to a failure.
    SimConfig c = simRecording(6000, GetParam());
    c.faults.cutAfter = 4;
    c.faults.cuts = 8;
    start(c);
    EXPECT_GT(run(22, LinkController::downloadLimitTicks(6000) + 5), 0);
    EXPECT_EQ(view.text(IDC_STATUS), text(28));
    EXPECT_EQ(recording->samplesLoaded, 6000);
    EXPECT_EQ(wrongSamples(), 0);
    EXPECT_GE(blockRequests().size(), 9u);
}

// An instrument that restarts at the first block whatever is asked never gets past a cut after four blocks.
INSTANTIATE_TEST_SUITE_P(EveryResendThatMovesOn, CutStream,
                         ::testing::Values(SimResend::Nearest, SimResend::Literal));

TEST(LinkControllerText, LeadingNumberOfTheMinutesEdit) {
    EXPECT_EQ(LinkController::leadingNumber("15"), 15);
    EXPECT_EQ(LinkController::leadingNumber("7x"), 7);
    EXPECT_EQ(LinkController::leadingNumber("x7"), 0);
    EXPECT_EQ(LinkController::leadingNumber(""), 0);
    EXPECT_GT(LinkController::leadingNumber("99999999999999"), 99);
}

}  // namespace
