// thermivo-cli's download against the virtual instrument, unpaced: repeated downloads of the same
// instrument around the 16-bit address wrap, cut streams, an unplug after the last block, a part with a
// hole, and the checks made before anything is asked of the instrument.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <tuple>

#include "CliRunner.h"
#include "TestSupport.h"
#include "data/RecordFile.h"
#include "data/RecordingStore.h"
#include "link/Protocol.h"
#include "sim/PtyInstrument.h"

using namespace thermivo;
using namespace thermivo::testing;

namespace {

using Clock = std::chrono::steady_clock;

SimConfig instrument(int samples, SimResend resend = SimResend::Nearest) {
    SimConfig c;
    c.serial = "DI202612001";
    c.samples = simulatedCurve(samples, static_cast<std::uint32_t>(samples));
    c.start = 1764576000;
    c.intervalMinutes = 1;
    c.resend = resend;
    return c;
}

float truth(const SimConfig& c, int i) {
    const auto raw = protocol::encodeValue(c.samples[static_cast<std::size_t>(i)]);
    return protocol::decodeValue(raw[0], raw[1]);
}

std::unique_ptr<Recording> readRecording(const std::string& path) {
    auto rec = std::make_unique<Recording>();
    RecordFile file(path, RecordFile::ModeRead);
    EXPECT_TRUE(file.isOpen() && file.read(*rec)) << path << ": " << file.error();
    return rec;
}

/// Samples of the file that differ from the instrument's; `marked` samples from `from` on must carry the
/// no-value marker instead.
int wrongSamples(const Recording& rec, const SimConfig& c, int from = 0, int marked = 0) {
    int wrong = 0;
    for (int i = 0; i < rec.sampleCount; ++i) {
        const float v = rec.temperature[static_cast<std::size_t>(i)];
        const bool hole = i >= from && i < from + marked;
        if (hole ? v != Recording::kNoValue : v != truth(c, i)) ++wrong;
    }
    return wrong;
}

class TwoDownloads : public ::testing::TestWithParam<std::tuple<SimResend, int>> {};

TEST_P(TwoDownloads, BothAreExactAndTheSecondIsAsQuick) {
    const auto [resend, count] = GetParam();
    TempDir dir;
    const SimConfig c = instrument(count, resend);
    PtyInstrument sim(c, true);
    ASSERT_TRUE(sim.start()) << sim.error();
    double seconds[2] = {};
    for (int run = 0; run < 2; ++run) {
        const std::string out = dir.file("run" + std::to_string(run) + ".kvlu");
        const auto started = Clock::now();
        const CliRun r = cli(dir, "download --port " + sim.path() + " -o '" + out + "'");
        seconds[run] = std::chrono::duration<double>(Clock::now() - started).count();
        ASSERT_EQ(r.status, 0) << "download " << run + 1 << "\n" << r.err;
        const auto rec = readRecording(out);
        EXPECT_EQ(rec->sampleCount, count);
        EXPECT_EQ(wrongSamples(*rec, c), 0) << "download " << run + 1;
    }
    EXPECT_LE(seconds[1], seconds[0] + 5.0) << seconds[0] << " s, then " << seconds[1] << " s";
}

INSTANTIATE_TEST_SUITE_P(AroundTheAddressWrap, TwoDownloads,
                         ::testing::Combine(::testing::Values(SimResend::Nearest, SimResend::Literal,
                                                              SimResend::RestartAtZero),
                                            ::testing::Values(33000, 40000)));

TEST(CliDownloadOutcome, EightStreamCutsEndExact) {
    TempDir dir;
    SimConfig c = instrument(6000);
    c.faults.cutAfter = 4;
    c.faults.cuts = 8;
    PtyInstrument sim(c, true);
    ASSERT_TRUE(sim.start()) << sim.error();
    const std::string out = dir.file("cut.kvlu");
    const CliRun r = cli(dir, "download --port " + sim.path() + " -o '" + out + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    const auto rec = readRecording(out);
    EXPECT_EQ(rec->sampleCount, 6000);
    EXPECT_EQ(wrongSamples(*rec, c), 0);
    EXPECT_GE(sim.commandsReceived(), 10);  // the download header and nine block requests at least
}

TEST(CliDownloadOutcome, AnUnplugRightAfterTheLastBlockIsACompleteDownloadAndKept) {
    TempDir dir;
    SimConfig c = instrument(1000);
    c.faults.unplugAfter = 62;  // the last block: samples 992-999
    PtyInstrument sim(c, true);
    ASSERT_TRUE(sim.start()) << sim.error();
    const std::string out = dir.file("whole.kvlu");
    const CliRun r = cli(dir, "download --port " + sim.path() + " -o '" + out + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(sim.unplugged());
    const auto rec = readRecording(out);
    EXPECT_EQ(rec->sampleCount, 1000);
    EXPECT_EQ(wrongSamples(*rec, c), 0);
    // The original is kept in the recordings folder as the window keeps it.
    const std::string kept = RecordingStore(dir.file("data/thermivo/recordings")).pathFor(c.serial, c.start);
    EXPECT_NE(r.err.find("A copy is kept in " + kept), std::string::npos) << r.err;
    const auto copy = readRecording(kept);
    EXPECT_EQ(copy->sampleCount, 1000);
    EXPECT_EQ(wrongSamples(*copy, c), 0);
}

TEST(CliDownloadOutcome, NoKeepKeepsNoCopy) {
    TempDir dir;
    PtyInstrument sim(instrument(200), true);
    ASSERT_TRUE(sim.start()) << sim.error();
    const CliRun r = cli(dir, "download --no-keep --port " + sim.path() + " -o '" + dir.file("a.kvlu") + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(std::filesystem::exists(dir.file("data") + "/thermivo/recordings"));
}

TEST(CliDownloadOutcome, APartWithBlockZeroLostKeepsEverySampleThatArrivedAndMarksTheHole) {
    // Asked again for block 0 after its stream ran to the end, an instrument far ahead that answers with the
    // copy nearest to its stream sends the samples past the wrap: block 0 cannot be had.
    TempDir dir;
    SimConfig c = instrument(40000);
    c.aheadBlocks = 4000;
    c.faults.corruptBlocks = {0};
    PtyInstrument sim(c, true);
    ASSERT_TRUE(sim.start()) << sim.error();
    const std::string out = dir.file("part.kvlu");
    const CliRun r = cli(dir, "download --port " + sim.path() + " -o '" + out + "' --partial");
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find("Fail to download data"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("saved the 39984 of 40000 samples that arrived: " + out), std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("16 of 40000 samples are missing inside the recording (samples 0 to 15)"),
              std::string::npos)
        << r.err;
    const auto rec = readRecording(out);
    EXPECT_EQ(rec->sampleCount, 40000);
    EXPECT_EQ(wrongSamples(*rec, c, 0, 16), 0);
    // A failed download is no original: nothing is kept.
    EXPECT_FALSE(std::filesystem::exists(dir.file("data") + "/thermivo/recordings"));
}

TEST(CliDownloadOutcome, APartWithoutASampleIsNotWritten) {
    TempDir dir;
    SimConfig c = instrument(1000);
    c.faults.dropBlocks = {0};
    c.faults.unplugAfter = 0;
    PtyInstrument sim(c, true);
    ASSERT_TRUE(sim.start()) << sim.error();
    const std::string out = dir.file("none.kvlu");
    const CliRun r = cli(dir, "download --port " + sim.path() + " -o '" + out + "' --partial");
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find("No sample arrived; nothing was written."), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(out));
}

TEST(CliDownloadOutcome, AnOutputFolderThatCannotTakeTheFileStopsBeforeTheDownload) {
    TempDir dir;
    PtyInstrument sim(instrument(60000), false);
    ASSERT_TRUE(sim.start()) << sim.error();
    const auto started = Clock::now();
    const CliRun r = cli(dir, "download --port " + sim.path() + " -o /no/such/dir/x.kvlu");
    const double seconds = std::chrono::duration<double>(Clock::now() - started).count();
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_LT(seconds, 1.0);
    EXPECT_NE(r.err.find("The output folder /no/such/dir cannot be written: The folder does not exist."),
              std::string::npos)
        << r.err;
    EXPECT_EQ(sim.commandsReceived(), 0);
}

}  // namespace
