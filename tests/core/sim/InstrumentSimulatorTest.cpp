#include "sim/InstrumentSimulator.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "link/InstrumentLink.h"
#include "link/Protocol.h"
#include "sim/SimOptions.h"

namespace thermivo {
namespace {

using Frame = InstrumentSimulator::Frame;

int blockIndexOf(const Frame& f) {
    return (f[4] | (f[5] << 8)) / 2;
}

bool sumIsGood(const Frame& f) {
    const std::size_t n = f.size() - 2;
    return protocol::byteSum(f.data(), n) == static_cast<std::uint32_t>(f[n] | (f[n + 1] << 8));
}

/// Sends a command and returns the streamed block frames up to the end (or a stall).
std::vector<Frame> stream(InstrumentSimulator& sim, std::uint16_t address) {
    const auto req = blockRequestFrame(address);
    sim.receive(req.data(), req.size());
    std::vector<Frame> out;
    while (sim.streaming()) {
        for (auto& f : sim.nextBlockFrames()) out.push_back(f);
    }
    return out;
}

TEST(InstrumentSimulator, AnswersCommandsInAnyChunking) {
    SimConfig c;
    c.samples = {20.5f, -3.25f, 0.0f};
    c.intervalMinutes = 5;
    InstrumentSimulator sim(c, [] { return 1'780'000'000; });
    const auto header = headerRequestFrame(false);
    const auto status = statusFrame(0);
    std::vector<std::uint8_t> bytes = {0x00, 0xFF};  // noise before the commands is skipped
    bytes.insert(bytes.end(), header.begin(), header.end());
    bytes.insert(bytes.end(), status.begin(), status.end());
    for (std::uint8_t b : bytes) sim.receive(&b, 1);
    const auto replies = sim.takeReplies();
    ASSERT_EQ(replies.size(), 2u);
    const Frame& h = replies[0];
    ASSERT_EQ(h.size(), 47u);
    EXPECT_TRUE(sumIsGood(h));
    EXPECT_EQ(std::string(h.begin() + 8, h.begin() + 19), "DI123456789");
    EXPECT_EQ(h[41] | (h[42] << 8), 3);
    EXPECT_FLOAT_EQ(protocol::decodeValue(h[33], h[34]), 20.5f);
    EXPECT_FLOAT_EQ(protocol::decodeValue(h[35], h[36]), -3.25f);
    EXPECT_EQ(h[37] | (h[38] << 8), 2050 - 325);
    EXPECT_EQ(h[43], 5);
    EXPECT_EQ(replies[1].size(), 20u);
    EXPECT_TRUE(sumIsGood(replies[1]));
    EXPECT_EQ(replies[1][16] | (replies[1][17] << 8), 700);
}

TEST(InstrumentSimulator, DownloadHeaderStopsTheRecording) {
    SimConfig c;
    c.samples = simulatedCurve(20, 1);
    InstrumentSimulator sim(c);
    const auto req = headerRequestFrame(true);
    sim.receive(req.data(), req.size());
    const auto replies = sim.takeReplies();
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replies[0][44], 1);  // the reply describes the recording as it was
    EXPECT_EQ(replies[0][4], 'S');
    EXPECT_EQ(sim.state(), 0);
}

TEST(InstrumentSimulator, StreamsFromTheRequestedBlockToTheEnd) {
    SimConfig c;
    c.samples = simulatedCurve(100, 2);
    InstrumentSimulator sim(c);
    const auto all = stream(sim, 0);
    ASSERT_EQ(all.size(), 7u);
    for (std::size_t b = 0; b < all.size(); ++b) {
        EXPECT_EQ(blockIndexOf(all[b]), static_cast<int>(16 * b));
        EXPECT_TRUE(sumIsGood(all[b]));
    }
    EXPECT_FLOAT_EQ(protocol::decodeValue(all[6][8 + 6], all[6][9 + 6]), c.samples[99]);
    EXPECT_EQ(stream(sim, blockAddress(48)).size(), 4u);
}

TEST(InstrumentSimulator, WrappedAddressResolvesNearTheStreamPosition) {
    SimConfig c;
    c.samples = simulatedCurve(40000, 3);
    c.faults.stallAfter = 2100;
    InstrumentSimulator sim(c);
    const auto first = stream(sim, 0);
    ASSERT_EQ(first.size(), 2101u);
    // Index 33616 asks with address 67232 & 0xFFFF = 1696, which also names index 848.
    const auto rest = stream(sim, blockAddress(33616));
    ASSERT_FALSE(rest.empty());
    EXPECT_EQ(rest.front(), sim.blockReply(33616));
    EXPECT_EQ(rest.size(), (40000u - 33616u + 15u) / 16u);
}

TEST(InstrumentSimulator, ResendBehavioursPastTheWrap) {
    SimConfig c;
    c.samples = simulatedCurve(60000, 8);
    // Nearest to the stream, never beyond the recording: after the whole stream, block 2047 (address 65504)
    // is the sample 32752 itself, not 65520, which the recording does not hold.
    InstrumentSimulator nearest(c);
    ASSERT_EQ(stream(nearest, 0).size(), 3750u);
    auto again = stream(nearest, blockAddress(32752));
    ASSERT_EQ(again.size(), 3750u - 2047u);
    EXPECT_EQ(again.front(), nearest.blockReply(32752));
    // Address 0 names samples 0 and 32768; at the end of the stream the nearer one is 32768.
    again = stream(nearest, 0);
    ASSERT_FALSE(again.empty());
    EXPECT_EQ(again.front(), nearest.blockReply(32768));

    c.resend = SimResend::Literal;
    InstrumentSimulator literal(c);
    ASSERT_EQ(stream(literal, 0).size(), 3750u);
    again = stream(literal, blockAddress(32800));  // address 64: the samples from 32 on
    ASSERT_EQ(again.size(), 3750u - 2u);
    EXPECT_EQ(again.front(), literal.blockReply(32));

    c.resend = SimResend::RestartAtZero;
    InstrumentSimulator restart(c);
    again = stream(restart, blockAddress(40000));
    ASSERT_EQ(again.size(), 3750u);
    EXPECT_EQ(again.front(), restart.blockReply(0));
}

TEST(InstrumentSimulator, BlockFaultsFireOnce) {
    SimConfig c;
    c.samples = simulatedCurve(160, 4);  // blocks 0..9
    c.faults.dropBlocks = {2};
    c.faults.corruptBlocks = {4};
    c.faults.duplicateBlocks = {6};
    c.faults.stallAfter = 8;
    InstrumentSimulator sim(c);
    auto frames = stream(sim, 0);
    std::vector<int> order;
    for (const auto& f : frames) order.push_back(blockIndexOf(f) / 16);
    EXPECT_EQ(order, (std::vector<int>{0, 1, 3, 4, 5, 6, 6, 7, 8}));
    EXPECT_FALSE(sumIsGood(frames[3]));
    // Asked again, the same blocks come through clean.
    frames = stream(sim, blockAddress(32));
    order.clear();
    for (const auto& f : frames) {
        order.push_back(blockIndexOf(f) / 16);
        EXPECT_TRUE(sumIsGood(f));
    }
    EXPECT_EQ(order, (std::vector<int>{2, 3, 4, 5, 6, 7, 8, 9}));
}

TEST(InstrumentSimulator, StartAndClockSet) {
    std::int64_t pc = 1'780'000'000;
    SimConfig c;
    c.samples = simulatedCurve(10, 5);
    c.clockOffset = 5000;
    c.state = 0;
    InstrumentSimulator sim(c, [&pc] { return pc; });
    const auto set = clockSetFrame(pc);
    sim.receive(set.data(), set.size());
    EXPECT_EQ(sim.instrumentClock(), pc);
    const auto start = startFrame(15, pc);
    sim.receive(start.data(), start.size());
    const auto replies = sim.takeReplies();
    ASSERT_EQ(replies.size(), 2u);
    EXPECT_EQ(replies[1][5], 0x9D);
    EXPECT_EQ(replies[1][6], 15);
    EXPECT_EQ(replies[1][8], 1);
    EXPECT_EQ(sim.state(), 1);
    EXPECT_TRUE(sim.config().samples.empty());
    c.faults.noAnswer = true;
    InstrumentSimulator silent(c);
    silent.receive(set.data(), set.size());
    EXPECT_TRUE(silent.takeReplies().empty());
    EXPECT_EQ(silent.commandsReceived(), 1);
}

TEST(SimOptions, ParsesAndRefuses) {
    SimOptions o;
    std::string error;
    ASSERT_TRUE(parseSimOptions({"--serial",
                                 "DX000000001",
                                 "--samples",
                                 "500",
                                 "--seed",
                                 "9",
                                 "--interval",
                                 "5",
                                 "--state",
                                 "0",
                                 "--battery",
                                 "650",
                                 "--fast",
                                 "--drop-block",
                                 "3",
                                 "--drop-block",
                                 "4",
                                 "--garbage",
                                 "--unplug-after",
                                 "7",
                                 "--resend",
                                 "literal",
                                 "--ahead",
                                 "300"},
                                o, error))
        << error;
    EXPECT_EQ(o.config.serial, "DX000000001");
    EXPECT_EQ(o.config.samples, simulatedCurve(500, 9));
    EXPECT_EQ(o.config.intervalMinutes, 5);
    EXPECT_EQ(o.config.state, 0);
    EXPECT_EQ(o.config.battery, 650);
    EXPECT_TRUE(o.fast);
    EXPECT_EQ(o.config.faults.dropBlocks, (std::set<int>{3, 4}));
    EXPECT_TRUE(o.config.faults.garbage);
    EXPECT_EQ(o.config.faults.unplugAfter, 7);
    EXPECT_EQ(o.config.resend, SimResend::Literal);
    EXPECT_EQ(o.config.aheadBlocks, 300);
    for (const auto& bad : std::vector<std::vector<std::string>>{{"--samples", "60001"},
                                                                 {"--samples", "12x"},
                                                                 {"--state", "2"},
                                                                 {"--start", "2026-13-01 00:00"},
                                                                 {"--serial", "DI1234567890"},
                                                                 {"--interval"},
                                                                 {"--samples-file", "/nonexistent.json"},
                                                                 {"--resend", "backwards"},
                                                                 {"--ahead", "0"},
                                                                 {"--bogus"}}) {
        SimOptions x;
        EXPECT_FALSE(parseSimOptions(bad, x, error)) << bad[0];
        EXPECT_FALSE(error.empty());
    }
}

TEST(SimOptions, SampleListFiles) {
    std::vector<float> v;
    std::string error;
    EXPECT_TRUE(parseSampleList(" [21.5, -3, 1e1 ]\n", v, error));
    EXPECT_EQ(v, (std::vector<float>{21.5f, -3.0f, 10.0f}));
    EXPECT_TRUE(parseSampleList("[]", v, error));
    EXPECT_TRUE(v.empty());
    EXPECT_FALSE(parseSampleList("[1, 2", v, error));
    EXPECT_FALSE(parseSampleList("[1, nan]", v, error));
    EXPECT_FALSE(parseSampleList("{\"a\": 1}", v, error));
    EXPECT_FALSE(parseSampleList("[1] 2", v, error));

    const std::string path = ::testing::TempDir() + "/thermivo-samples.json";
    std::ofstream(path) << "[1.25, 2.5]";
    SimOptions o;
    ASSERT_TRUE(parseSimOptions({"--samples-file", path}, o, error)) << error;
    EXPECT_EQ(o.config.samples, (std::vector<float>{1.25f, 2.5f}));
    std::remove(path.c_str());
}

}  // namespace
}  // namespace thermivo
