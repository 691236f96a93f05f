#include "link/InstrumentLink.h"

#include <gtest/gtest.h>

#include <memory>

#include "app/UiText.h"
#include "core/link/LinkTestSupport.h"
#include "data/LocalTime.h"
#include "data/Recording.h"

namespace thermivo {
namespace {

using testing::Bytes;
using testing::FakeTransport;

Bytes bytes(const auto& frame) {
    return Bytes(frame.begin(), frame.end());
}

TEST(CommandFrames, ShortFramesByteForByte) {
    EXPECT_EQ(bytes(headerRequestFrame(false)), (Bytes{0xFF, 0xCF, 0xBF, 0x5F, 0x00, 0x00, 0x00}));
    EXPECT_EQ(bytes(headerRequestFrame(true)), (Bytes{0xFF, 0xCF, 0xBF, 0x5F, 0x53, 0x54, 0x00}));
    EXPECT_EQ(bytes(blockRequestFrame(blockAddress(48))), (Bytes{0xFF, 0x5E, 0xBE, 0x6E, 0x60, 0x00, 0xFF}));
    // 2 x 40000 = 80000 does not fit 16 bits: the instrument sees 0x3880.
    EXPECT_EQ(bytes(blockRequestFrame(blockAddress(40000))),
              (Bytes{0xFF, 0x5E, 0xBE, 0x6E, 0x80, 0x38, 0xFF}));
}

TEST(CommandFrames, ClockCarryingFramesUseLocalTime) {
    testing::ScopedTimeZone tz("Europe/Berlin");
    const std::int64_t t = *fromLocal(2026, 12, 6, 9, 5, 7);
    EXPECT_EQ(bytes(clockSetFrame(t)),
              (Bytes{0xFF, 0xBD, 0x5D, 0x7D, 0x00, 0x00, 0x00, 0x07, 0x05, 0x09, 0x06, 0x0C, 0x1A, 0x14}));
    EXPECT_EQ(bytes(startFrame(15, t)),
              (Bytes{0xFF, 0xBD, 0x5D, 0x7D, 0x00, 0x9D, 0x0F, 0x07, 0x05, 0x09, 0x06, 0x0C, 0x1A, 0x14}));
    EXPECT_EQ(bytes(statusFrame(t)),
              (Bytes{0xFF, 0xBD, 0x5D, 0x7D, 0x7D, 0xBD, 0x5D, 0x07, 0x05, 0x09, 0x06, 0x0C, 0x1A, 0x14}));
    // A summer instant is converted with daylight saving: 2026-07-01 12:00 UTC is 14:00 in Berlin.
    const auto summer = clockBlock(1782907200);
    EXPECT_EQ(summer[2], 14);
    EXPECT_EQ(summer[4], 7);
    // A time the calendar cannot convert gives the fill values.
    EXPECT_EQ(bytes(clockBlock(INT64_MAX)), (Bytes{0xFF, 0xFF, 0xFF, 0, 0, 0, 0}));
}

class LinkSend : public ::testing::Test {
  protected:
    void SetUp() override {
        link.setTransport(&transport);
        link.portNumber = 3;
    }
    std::unique_ptr<Recording> recording = std::make_unique<Recording>();
    MessageQueue sink;
    InstrumentLink link{*recording, sink};
    FakeTransport transport;
};

TEST_F(LinkSend, SendersSetPendingCodeAndPostReplyWait) {
    EXPECT_EQ(link.headerRequest(false), 7);
    EXPECT_EQ(link.pendingCode.load(), PendingHeader);
    EXPECT_EQ(link.blockRequest(96), 7);
    EXPECT_EQ(link.pendingCode.load(), PendingBlock);
    EXPECT_EQ(link.clockSetRequest(), 14);
    EXPECT_EQ(link.pendingCode.load(), PendingClockSet);
    EXPECT_EQ(link.startRequest(15), 14);
    EXPECT_EQ(link.pendingCode.load(), PendingStart);
    EXPECT_EQ(
        sink.drain(),
        (std::vector<PostedMessage>{
            {WM_REPLY_WAIT, 0, 3}, {WM_REPLY_WAIT, 0, 3}, {WM_REPLY_WAIT, 0, 3}, {WM_REPLY_WAIT, 0, 10}}));
    ASSERT_EQ(transport.frames.size(), 4u);
    EXPECT_EQ(transport.frames[1], (Bytes{0xFF, 0x5E, 0xBE, 0x6E, 0x60, 0x00, 0xFF}));
    EXPECT_EQ(transport.frames[3][6], 15);
}

TEST_F(LinkSend, StatusRequestLeavesPendingCodeAndPostsNothing) {
    link.pendingCode = PendingClockSet;
    EXPECT_EQ(link.statusRequest(), 14);
    EXPECT_EQ(link.pendingCode.load(), PendingClockSet);
    EXPECT_TRUE(sink.drain().empty());
}

TEST_F(LinkSend, PortGoneWritesNothingAndNegatesPortOnce) {
    link.instrumentConnected = true;
    transport.present = false;
    EXPECT_EQ(link.headerRequest(false), -1);
    EXPECT_TRUE(transport.frames.empty());
    EXPECT_EQ(link.portNumber.load(), -3);
    EXPECT_FALSE(link.instrumentConnected.load());
    EXPECT_EQ(link.disconnectText(), text(4));
    // The reply wait is announced before the check finds the port gone.
    EXPECT_EQ(sink.drain(), (std::vector<PostedMessage>{
                                {WM_REPLY_WAIT, 0, 3}, {WM_PORT_LOST, 0, 0}, {WM_LINK_INDICATOR, 0, 0}}));
    // Further sends fail the same way and never turn the number positive again, even if the device
    // reappears: a negated number names no port.
    transport.present = true;
    EXPECT_EQ(link.statusRequest(), -1);
    EXPECT_EQ(link.blockRequest(0), -1);
    EXPECT_EQ(link.portNumber.load(), -3);
    EXPECT_TRUE(transport.frames.empty());
}

}  // namespace
}  // namespace thermivo
