// The real link (termios port, reader thread, decoder) against the virtual instrument on a pseudo-terminal.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>

#include "data/Recording.h"
#include "link/InstrumentLink.h"
#include "link/Protocol.h"
#include "sim/PtyInstrument.h"

namespace thermivo {
namespace {

using namespace std::chrono_literals;

struct Progress {
    int loaded = 0;
    int count = 0;
};

class LinkE2E : public ::testing::Test {
  protected:
    void serve(SimConfig config, bool fast = true) {
        expected = config.samples;
        pty = std::make_unique<PtyInstrument>(std::move(config), fast);
        ASSERT_TRUE(pty->start()) << pty->error();
        ASSERT_TRUE(link.openPort(3, pty->path()));
        link.portNumber = 3;
    }
    Progress progress() {
        auto lock = link.lockRecording();
        return {rec->samplesLoaded, rec->sampleCount};
    }
    /// Runs a download the way the controller does: download header, then watch; after a quiet spell ask
    /// again from the current position (or for the header while it is unanswered).
    bool download(std::chrono::milliseconds limit = 30000ms, std::chrono::milliseconds quietSpell = 500ms) {
        link.downloadMode = kDownloadMode;
        link.headerRequest(true);
        const auto end = std::chrono::steady_clock::now() + limit;
        Progress last{-1, -1};
        auto lastChange = std::chrono::steady_clock::now();
        bool headerSeen = false;
        while (std::chrono::steady_clock::now() < end) {
            if (sink.waitFor(WM_HEADER_DECODED, 20ms)) headerSeen = true;
            const Progress p = progress();
            if (headerSeen && p.loaded >= p.count) return true;
            if (p.loaded != last.loaded) {
                last = p;
                lastChange = std::chrono::steady_clock::now();
            }
            if (std::chrono::steady_clock::now() - lastChange < quietSpell) continue;
            lastChange = std::chrono::steady_clock::now();
            ++resends;
            if (!headerSeen) {
                link.headerRequest(false);
            } else {
                link.blockRequest(blockAddress(p.loaded));
            }
            if (!link.port().isPresent()) return false;
        }
        return false;
    }
    void expectSamplesMatch(int n) {
        auto lock = link.lockRecording();
        for (int i = 0; i < n; ++i) {
            const auto raw = protocol::encodeValue(expected[static_cast<std::size_t>(i)]);
            ASSERT_EQ(rec->temperature[static_cast<std::size_t>(i)], protocol::decodeValue(raw[0], raw[1]))
                << "sample " << i;
        }
    }
    void downloadAndCheck(SimConfig config) {
        const int n = static_cast<int>(config.samples.size());
        serve(std::move(config));
        ASSERT_TRUE(download());
        EXPECT_EQ(progress().loaded, n);
        expectSamplesMatch(n);
    }

    std::unique_ptr<Recording> rec = std::make_unique<Recording>();
    MessageQueue sink;
    InstrumentLink link{*rec, sink};
    std::unique_ptr<PtyInstrument> pty;
    std::vector<float> expected;
    int resends = 0;
};

SimConfig withSamples(int n, std::uint32_t seed = 7) {
    SimConfig c;
    c.samples = simulatedCurve(n, seed);
    return c;
}

TEST_F(LinkE2E, HeaderOfTheVirtualInstrument) {
    SimConfig c = withSamples(250);
    c.serial = "DI987654321";
    serve(c);
    EXPECT_EQ(link.headerRequest(false), 7);
    ASSERT_TRUE(sink.waitFor(WM_HEADER_DECODED, 3000ms));
    auto lock = link.lockRecording();
    EXPECT_EQ(rec->serialText(), "DI987654321");
    EXPECT_EQ(rec->kind, KindTemp);
    EXPECT_EQ(rec->sampleCount, 250);
    EXPECT_EQ(rec->validMask & Recording::MaskCount, Recording::MaskCount);
    EXPECT_EQ(rec->stopTime - rec->startTime, 249 * 60);
    EXPECT_EQ(link.pendingCode.load(), PendingHeader | kAnswered);
}

TEST_F(LinkE2E, DownloadOfAThousandSamples) {
    downloadAndCheck(withSamples(1000));
    EXPECT_EQ(resends, 0);
    EXPECT_EQ(pty->commandsReceived(), 2);  // the download header and one block request
}

TEST_F(LinkE2E, DownloadAtTheLinePace) {
    // 9600-baud timing: blocks trickle in and the reader gathers them into chunks by its quiet time.
    // A paced block takes 44 ms; a busy machine may hold the reader back for a few hundred more, which is
    // no stall. Only a spell of three seconds without a sample would be one.
    SimConfig c = withSamples(100);
    serve(c, false);
    ASSERT_TRUE(download(30000ms, 3000ms));
    EXPECT_EQ(progress().loaded, 100);
    expectSamplesMatch(100);
    EXPECT_EQ(resends, 0);
}

TEST_F(LinkE2E, DownloadPastTheSixteenBitAddressRange) {
    SimConfig c = withSamples(40000, 11);
    c.faults.dropBlocks = {2100};  // re-requested with a wrapped address
    downloadAndCheck(c);
    EXPECT_GE(resends, 1);
}

TEST_F(LinkE2E, DroppedCorruptedAndRepeatedBlocksLoseNothing) {
    SimConfig c = withSamples(1000);
    c.faults.dropBlocks = {3, 40};
    c.faults.corruptBlocks = {5};
    c.faults.duplicateBlocks = {7, 62};
    downloadAndCheck(c);
    EXPECT_GE(resends, 1);
}

TEST_F(LinkE2E, StallIsOvercomeByAskingAgain) {
    SimConfig c = withSamples(600);
    c.faults.stallAfter = 10;
    downloadAndCheck(c);
    EXPECT_EQ(resends, 1);
}

TEST_F(LinkE2E, GarbageAndSplitFramesOnTheLine) {
    SimConfig c = withSamples(100);
    c.faults.garbage = true;
    c.faults.split = true;
    downloadAndCheck(c);
}

TEST_F(LinkE2E, UnplugInTheMiddleOfADownload) {
    SimConfig c = withSamples(1000);
    c.faults.unplugAfter = 20;
    serve(c);
    EXPECT_FALSE(download(5000ms));
    EXPECT_TRUE(pty->unplugged());
    for (int i = 0; i < 300 && link.port().readerRunning(); ++i) std::this_thread::sleep_for(10ms);
    EXPECT_TRUE(link.port().deviceLost());
    EXPECT_FALSE(link.portPresenceCheck());
    EXPECT_EQ(link.portNumber.load(), -3);
    // What arrived before the plug was pulled is kept, and correct.
    EXPECT_EQ(progress().loaded, 21 * 16);
    expectSamplesMatch(21 * 16);
    const auto before = std::chrono::steady_clock::now();
    link.closePort();
    EXPECT_LT(std::chrono::steady_clock::now() - before, VkComm::CComPort::kCloseLimit);
}

TEST_F(LinkE2E, ClockSetStartAndStatus) {
    SimConfig c = withSamples(10);
    c.clockOffset = -3600;
    c.battery = 690;
    c.state = 0;
    serve(c);
    link.clockSetRequest();
    for (int i = 0; i < 300 && link.pendingCode.load() != (PendingClockSet | kAnswered); ++i) {
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_EQ(link.pendingCode.load(), PendingClockSet | kAnswered);
    {
        auto lock = link.lockRecording();
        rec->startIntervalMinutes = 15;
    }
    link.startRequest(15);
    for (int i = 0; i < 300 && link.pendingCode.load() != (PendingStart | kAnswered); ++i) {
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_EQ(link.pendingCode.load(), PendingStart | kAnswered);
    link.statusRequest();
    ASSERT_TRUE(sink.waitFor(WM_STATUS_DECODED, 3000ms));
    auto lock = link.lockRecording();
    EXPECT_EQ(rec->batteryPercent, 60);
    EXPECT_EQ(rec->instrumentState, 1);
    EXPECT_LE(std::abs(rec->instrumentClock - link.now()), 2);  // the clock was set
    // The status answer leaves the start's acknowledgement for the reply timer to report.
    EXPECT_EQ(link.pendingCode.load(), PendingStart | kAnswered);
}

TEST_F(LinkE2E, SilentInstrumentAnswersNothing) {
    SimConfig c = withSamples(10);
    c.faults.noAnswer = true;
    serve(c);
    EXPECT_EQ(link.headerRequest(false), 7);
    EXPECT_FALSE(sink.waitFor(WM_HEADER_DECODED, 400ms));
    EXPECT_EQ(link.pendingCode.load(), PendingHeader);
    EXPECT_EQ(pty->commandsReceived(), 1);
}

#ifdef THERMIVO_SIM
TEST(SimProgram, PrintsItsDeviceAndServesUntilStopped) {
    int out[2];
    ASSERT_EQ(pipe(out), 0);
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        dup2(out[1], 1);
        close(out[0]);
        execl(THERMIVO_SIM, THERMIVO_SIM, "--fast", "--samples", "300", "--seed", "5", "--serial",
              "DI000000042", "--duplicate-block", "2", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(out[1]);
    FILE* in = fdopen(out[0], "r");
    char line[256] = {};
    ASSERT_NE(std::fgets(line, sizeof line, in), nullptr);
    std::string path(line);
    while (!path.empty() && path.back() == '\n') path.pop_back();
    EXPECT_EQ(path.rfind("/dev/pts/", 0), 0u) << path;

    auto rec = std::make_unique<Recording>();
    MessageQueue sink;
    InstrumentLink link(*rec, sink);
    ASSERT_TRUE(link.openPort(1, path));
    link.portNumber = 1;
    link.downloadMode = kDownloadMode;
    link.headerRequest(true);
    ASSERT_TRUE(sink.waitFor(WM_HEADER_DECODED, 3000ms));
    for (int i = 0; i < 300; ++i) {
        auto lock = link.lockRecording();
        if (rec->samplesLoaded >= 300) break;
        lock.unlock();
        std::this_thread::sleep_for(10ms);
    }
    {
        auto lock = link.lockRecording();
        EXPECT_EQ(rec->serialText(), "DI000000042");
        EXPECT_EQ(rec->samplesLoaded, 300);
        const auto curve = simulatedCurve(300, 5);
        EXPECT_NEAR(rec->temperature[299], curve[299], 0.001);
    }
    link.closePort();
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    std::fclose(in);
}

TEST(SimProgram, RefusesBadOptions) {
    const std::string cmd = std::string(THERMIVO_SIM) + " --samples 70000 2>/dev/null";
    const int status = std::system(cmd.c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2);
}
#endif

}  // namespace
}  // namespace thermivo
