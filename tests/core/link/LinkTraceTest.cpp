#include "link/LinkTrace.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "link/InstrumentLink.h"
#include "sim/InstrumentSimulator.h"

namespace thermivo {
namespace {

using testing::TempDir;

std::vector<std::string> traceLines(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        if (!line.empty() && line[0] != '#')  // without the time stamp
            lines.push_back(line.substr(line.find(' ', line.find_first_not_of(' ')) + 1));
    return lines;
}

TEST(LinkTrace, ReceivedBytesAreCutIntoFramesWhateverTheChunks) {
    TempDir dir;
    SimConfig config;
    config.samples = simulatedCurve(40, 3);
    const InstrumentSimulator sim(config);
    const std::uint8_t plain[3] = {0, 0, 0};
    const auto header = sim.headerReply(plain);
    auto block = sim.blockReply(16);
    std::vector<std::uint8_t> stream = {0x12, 0x34};  // line noise before the first frame
    stream.insert(stream.end(), header.begin(), header.end());
    stream.insert(stream.end(), block.begin(), block.end());
    block[20] ^= 0x01;  // the same block once more, spoiled on the line
    stream.insert(stream.end(), block.begin(), block.end());
    stream.insert(stream.end(), {0xFF, 0x5E, 0xBE, 0x6E, 0x40});  // a frame cut off by an unplug

    LinkTrace trace;
    ASSERT_TRUE(trace.open(dir.file("t")));
    const auto frame = headerRequestFrame(true);
    trace.sent(frame.data(), static_cast<int>(frame.size()), static_cast<int>(frame.size()));
    // Chunks that split the header inside its signature and the block inside its payload.
    const std::size_t cuts[] = {0, 3, 5, 30, 70, 101, stream.size()};
    for (std::size_t k = 0; k + 1 < std::size(cuts); ++k)
        trace.received(stream.data() + cuts[k], static_cast<int>(cuts[k + 1] - cuts[k]));
    trace.sent(frame.data(), static_cast<int>(frame.size()), -1);
    trace.close();

    const auto lines = traceLines(dir.file("t"));
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[0], "-> FF CF BF 5F 53 54 00  header request (download)");
    EXPECT_EQ(lines[1], "<- 12 34  bytes outside any frame");
    EXPECT_NE(lines[2].find("  header reply: serial DI123456789, 40 samples, a sample every 1 min, state 1"),
              std::string::npos)
        << lines[2];
    EXPECT_EQ(lines[2].find("  header"), 3 + header.size() * 3 - 1);  // every byte of the frame, on one line
    EXPECT_NE(lines[3].find("  block reply 0x0020 (samples 16 to 31)"), std::string::npos) << lines[3];
    EXPECT_EQ(lines[3].find("check sum"), std::string::npos) << lines[3];
    EXPECT_NE(lines[4].find("  block reply 0x0020 (samples 16 to 31) (check sum wrong: dropped)"),
              std::string::npos)
        << lines[4];
    EXPECT_EQ(lines[5], "-> FF CF BF 5F 53 54 00  header request (download) (not written: the port is gone)");
    EXPECT_EQ(lines[6], "<- FF 5E BE 6E 40  incomplete frame");
}

TEST(LinkTrace, CommandsSayWhatTheyAsk) {
    const auto block = blockRequestFrame(blockAddress(4096));
    EXPECT_EQ(LinkTrace::describeSent(block.data(), block.size()), "block request 0x2000 (sample 4096)");
    const auto start = startFrame(15, 0);
    EXPECT_NE(
        LinkTrace::describeSent(start.data(), start.size()).find("start request: a sample every 15 min"),
        std::string::npos);
    const auto status = statusFrame(0);
    EXPECT_EQ(LinkTrace::describeSent(status.data(), status.size()),
              "status request (clock, state, battery)");
    const auto clock = clockSetFrame(0);
    EXPECT_EQ(LinkTrace::describeSent(clock.data(), clock.size()).rfind("clock set request: ", 0), 0u);
    const std::uint8_t junk[] = {0xFF, 0x00, 0x01, 0x02, 0x03, 0x04, 0x05};
    EXPECT_EQ(LinkTrace::describeSent(junk, sizeof junk), "");
}

}  // namespace
}  // namespace thermivo
