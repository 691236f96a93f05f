// The decoder against the virtual instrument, in one thread: the instrument answers block requests in its
// own ways (it knows nothing of how the decoder places blocks), and every sample the decoder stores must be
// the instrument's sample at that index.
#include <gtest/gtest.h>

#include <memory>

#include "LinkTestSupport.h"
#include "data/Recording.h"
#include "link/InstrumentLink.h"
#include "sim/InstrumentSimulator.h"

namespace thermivo {
namespace {

constexpr float kUntouched = 1000.0f;  // far outside any simulated curve

/// Commands from the link go straight into the instrument.
class Wire : public FrameTransport {
  public:
    int write(const std::uint8_t* data, int count) override {
        sim->receive(data, static_cast<std::size_t>(count));
        return count;
    }
    bool isPresent() override { return true; }
    InstrumentSimulator* sim = nullptr;
};

class StreamPlacement : public ::testing::Test {
  protected:
    void start(SimConfig c) {
        expected = c.samples;
        sim = std::make_unique<InstrumentSimulator>(std::move(c));
        wire.sim = sim.get();
        link.setTransport(&wire);
        link.portNumber = 4;
        rec->temperature.fill(kUntouched);
        link.downloadMode = kDownloadMode;
        link.headerRequest(true);
        replies();  // the header, and with it the decoder's own request for the first block
    }
    void replies() {
        for (const auto& f : sim->takeReplies()) link.receive(f.data(), static_cast<int>(f.size()));
    }
    /// Puts up to `blocks` blocks of the instrument's stream on the line.
    void stream(int blocks = 1 << 30) {
        for (int i = 0; i < blocks && sim->streaming(); ++i) {
            for (const auto& f : sim->nextBlockFrames()) link.receive(f.data(), static_cast<int>(f.size()));
        }
    }
    /// The instrument's sample i as the line carries it.
    float truth(std::size_t i) const {
        const auto raw = protocol::encodeValue(expected[i]);
        return protocol::decodeValue(raw[0], raw[1]);
    }
    /// Every index holds either nothing or the instrument's sample; the loaded run holds no gap.
    void expectOnlyTrueSamples() {
        auto lock = link.lockRecording();
        int wrong = 0, first = -1;
        for (std::size_t i = 0; i < expected.size(); ++i) {
            const float v = rec->temperature[i];
            const bool ok = v == truth(i) || (v == kUntouched && static_cast<int>(i) >= rec->samplesLoaded);
            if (!ok && wrong++ == 0) first = static_cast<int>(i);
        }
        EXPECT_EQ(wrong, 0) << "first wrong sample at " << first << " of " << expected.size();
    }
    int loaded() {
        auto lock = link.lockRecording();
        return rec->samplesLoaded;
    }

    std::unique_ptr<Recording> rec = std::make_unique<Recording>();
    MessageQueue sink;
    InstrumentLink link{*rec, sink};
    Wire wire;
    std::unique_ptr<InstrumentSimulator> sim;
    std::vector<float> expected;
};

SimConfig recording(int n, SimResend resend, std::uint32_t seed = 21) {
    SimConfig c;
    c.samples = simulatedCurve(n, seed);
    c.resend = resend;
    return c;
}

TEST_F(StreamPlacement, AnAliasedBlockIsNeverStoredAsTheBlockOneWrapBelow) {
    // Block 0 spoiled; when it is asked for again, an instrument at the end of its stream answers address 0
    // with block 2048 (sample 32768), which carries the same address.
    SimConfig c = recording(60000, SimResend::Nearest);
    c.faults.corruptBlocks = {0};
    start(c);
    stream();
    EXPECT_EQ(loaded(), 0);
    link.blockRequest(0);
    stream();
    EXPECT_EQ(loaded(), 0);
    expectOnlyTrueSamples();
    // Blocks after the gap were kept, across the wrap too.
    EXPECT_EQ(rec->temperature[16], truth(16));
    EXPECT_EQ(rec->temperature[59999], truth(59999));
}

TEST_F(StreamPlacement, ALiteralAnswerPastTheWrapIsPlacedWhereItBelongs) {
    // Sample 32800 lost; asked with address 65600 & 0xFFFF = 64, this instrument sends the samples from 32
    // on, and its stream then runs on across the wrap to the lost block.
    SimConfig c = recording(33000, SimResend::Literal);
    c.faults.dropBlocks = {2050};
    start(c);
    stream();
    EXPECT_EQ(loaded(), 32800);
    link.blockRequest(blockAddress(32800));
    stream(1);  // its first answer alone: block 2 under block 2050's address
    expectOnlyTrueSamples();
    EXPECT_EQ(loaded(), 32800);
    stream();
    EXPECT_EQ(loaded(), 33000);
    expectOnlyTrueSamples();
}

TEST_F(StreamPlacement, ARestartAtZeroIsFollowedAcrossTheWrap) {
    SimConfig c = recording(50000, SimResend::RestartAtZero);
    c.faults.dropBlocks = {2048, 2049};
    start(c);
    stream();
    EXPECT_EQ(loaded(), 32768);
    link.blockRequest(blockAddress(32768));  // answered from sample 0, whose address is the same
    stream(2048);                            // up to the wrap: nothing new
    EXPECT_EQ(loaded(), 32768);
    expectOnlyTrueSamples();
    stream();
    EXPECT_EQ(loaded(), 50000);
    expectOnlyTrueSamples();
}

TEST_F(StreamPlacement, BlocksBeforeTheFirstPlaceableOneArePlacedOnceItComes) {
    // Below sample 27232 every address of a 60000-sample recording is shared with a sample past the wrap;
    // the stream is placed from its first block whose address no other sample has, back to its start.
    SimConfig c = recording(60000, SimResend::Nearest);
    c.faults.duplicateBlocks = {5, 2048};
    c.faults.dropBlocks = {1900, 2047};
    start(c);
    stream(1701);  // blocks 0 to 1700 (block 5 twice)
    EXPECT_EQ(loaded(), 0);
    stream(2);  // block 1702 starts at sample 27232, the first address of its own
    EXPECT_EQ(loaded(), 1703 * 16);
    stream();
    expectOnlyTrueSamples();
    EXPECT_EQ(loaded(), 1900 * 16);
    link.blockRequest(blockAddress(1900 * 16));  // its stream passes block 2047 again
    stream();
    EXPECT_EQ(loaded(), 60000);
    expectOnlyTrueSamples();
}

TEST_F(StreamPlacement, SmallRecordingsAreUnchanged) {
    SimConfig c = recording(32768, SimResend::Nearest);
    c.faults.corruptBlocks = {0, 2047};
    c.faults.duplicateBlocks = {7};
    start(c);
    stream();
    EXPECT_EQ(loaded(), 0);
    link.blockRequest(0);
    stream();
    EXPECT_EQ(loaded(), 32768);
    expectOnlyTrueSamples();
}

}  // namespace
}  // namespace thermivo
