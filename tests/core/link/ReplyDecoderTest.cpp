#include "link/ReplyDecoder.h"

#include <gtest/gtest.h>

#include <memory>

#include "core/link/LinkTestSupport.h"
#include "data/LocalTime.h"
#include "data/Recording.h"
#include "link/InstrumentLink.h"

namespace thermivo {
namespace {

using testing::blockReply;
using testing::Bytes;
using testing::clockReply;
using testing::ClockTime;
using testing::HeaderFields;
using testing::headerReply;
using testing::ramp;

class Decoder : public ::testing::Test {
  protected:
    void SetUp() override {
        link.setTransport(&transport);
        link.portNumber = 4;
        link.setClock([this] { return pcNow; });
    }
    void feed(const Bytes& b) { link.receive(b.data(), static_cast<int>(b.size())); }
    static Bytes join(std::initializer_list<Bytes> parts) {
        Bytes out;
        for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
        return out;
    }
    /// Announces a recording of count samples with a plain header.
    void announce(std::uint16_t count) {
        HeaderFields h;
        h.count = count;
        feed(headerReply(h));
        sink.drain();
    }
    int headersPosted() { return sink.count(WM_HEADER_DECODED); }

    testing::ScopedTimeZone tz{"UTC"};
    std::unique_ptr<Recording> rec = std::make_unique<Recording>();
    MessageQueue sink;
    InstrumentLink link{*rec, sink};
    testing::FakeTransport transport;
    std::int64_t pcNow = *fromLocal(2026, 12, 6, 12, 0, 0);
};

TEST_F(Decoder, HeaderSplitOverTwoChunksFillsTheRecording) {
    HeaderFields h;
    h.count = 601;
    h.sum = 601 * 2150;  // average 21.50
    link.pendingCode = PendingHeader;
    const Bytes f = headerReply(h);
    ASSERT_EQ(f.size(), 47u);
    feed(Bytes(f.begin(), f.begin() + 20));
    EXPECT_EQ(headersPosted(), 0);
    EXPECT_EQ(link.decoder().fillCount(), 20);
    feed(Bytes(f.begin() + 20, f.end()));
    EXPECT_EQ(sink.drain(), (std::vector<PostedMessage>{{WM_HEADER_DECODED, 1, 1}}));
    EXPECT_EQ(link.pendingCode.load(), PendingHeader | kAnswered);
    EXPECT_EQ(rec->serialText(), "DI123456789");
    EXPECT_EQ(rec->kind, KindTemp);
    EXPECT_EQ(rec->values[Recording::ValStart], "2026-1-1  00:00");
    EXPECT_EQ(rec->values[Recording::ValStop], "2026-1-1  10:00");
    EXPECT_EQ(rec->startTime, *fromLocal(2026, 1, 1, 0, 0));
    EXPECT_EQ(rec->values[Recording::ValInterval], "00:01:00");
    EXPECT_EQ(rec->intervalSeconds, 60);
    EXPECT_EQ(rec->sampleCount, 601);
    EXPECT_EQ(rec->values[Recording::ValCount], "601");
    EXPECT_FLOAT_EQ(rec->tempMax, 25.0f);
    EXPECT_FLOAT_EQ(rec->tempMin, -2.0f);
    EXPECT_FLOAT_EQ(rec->tempAvg, 21.5f);
    EXPECT_EQ(rec->instrumentState, 1);
    EXPECT_EQ(rec->validMask, 0x1FFu);  // serial .. average, no alarm limits
    EXPECT_EQ(rec->sampleTime[600], rec->startTime + 600 * 60);
    EXPECT_FALSE(rec->description().empty());
}

TEST_F(Decoder, HeaderTimesAreTheInstrumentsLocalTimeInAZoneWithSummerTime) {
    // The instrument keeps local time; read as UTC, Berlin would be two hours off in summer and one in
    // winter.
    testing::ScopedTimeZone berlin("Europe/Berlin");
    HeaderFields h;
    h.start = {0, 12, 1, 7, 2026};
    h.stop = {0, 13, 1, 7, 2026};
    h.count = 61;
    feed(headerReply(h));
    EXPECT_EQ(rec->startTime, 1782900000);  // 2026-07-01 10:00 UTC
    EXPECT_EQ(rec->stopTime, 1782900000 + 3600);
    EXPECT_EQ(rec->values[Recording::ValStart], "2026-7-1  12:00");
    h.start = {0, 0, 1, 1, 2026};
    h.stop = {0, 1, 1, 1, 2026};
    feed(headerReply(h));
    EXPECT_EQ(rec->startTime, 1767222000);  // 2025-12-31 23:00 UTC
    EXPECT_EQ(rec->sampleTime[60], 1767222000 + 3600);
    // The status reply's clock too.
    feed(clockReply(protocol::kEchoStatus, ClockTime{30, 15, 12, 1, 7, 2026}, 0, 700));
    EXPECT_EQ(rec->instrumentClock, 1782900000 + 15 * 60 + 30);
}

TEST_F(Decoder, KindFromSerialLetters) {
    const struct {
        const char* serial;
        int kind;
        int decoded;
    } cases[] = {{"DI000000001", KindTemp, 1},
                 {"DX000000001", KindTempCompact, 1},
                 {"i0000000001", KindTempCompact, 1},
                 {"UI000000001", KindTemp, 1},
                 {"UX000000001", KindNone, 0}};
    for (const auto& c : cases) {
        rec->sampleCount = 77;
        HeaderFields h;
        h.serial = c.serial;
        feed(headerReply(h));
        EXPECT_EQ(rec->kind, c.kind) << c.serial;
        EXPECT_EQ(headersPosted(), c.decoded) << c.serial;
        // Kind 0: nothing after the serial number is decoded.
        EXPECT_EQ(rec->sampleCount, c.decoded ? 601 : 77) << c.serial;
        EXPECT_EQ(rec->serialText(), c.serial);
        sink.drain();
    }
}

TEST_F(Decoder, ImplausibleCountFallsBackToTheSpan) {
    HeaderFields h;
    h.count = 65535;
    feed(headerReply(h));
    EXPECT_EQ(rec->sampleCount, 601);
    EXPECT_EQ(rec->validMask & Recording::MaskCount, 0u);
    EXPECT_EQ(rec->values[Recording::ValCount], "601");
    // Stop before start: the span is negative, which must read as an empty recording, not a count.
    h.start = {0, 10, 1, 1, 2026};
    h.stop = {0, 0, 1, 1, 2026};
    feed(headerReply(h));
    EXPECT_EQ(rec->sampleCount, 0);
    EXPECT_EQ(rec->validMask, Recording::MaskSerial);
}

TEST_F(Decoder, InvalidHeaderTimesLeaveOnlyTheSerialValid) {
    HeaderFields h;
    h.start = {0, 10, 1, 5, 1965};  // before 1970: no conversion
    feed(headerReply(h));
    EXPECT_EQ(rec->startTime, 0);
    EXPECT_EQ(rec->values[Recording::ValStart], "");
    EXPECT_EQ(rec->validMask, Recording::MaskSerial);
    h.start = {60, 0, 1, 1, 2026};  // minute 60
    feed(headerReply(h));
    EXPECT_EQ(rec->startTime, 0);
    h.start = {0, 0, 31, 2, 2026};  // day beyond the month's end carries into March
    feed(headerReply(h));
    EXPECT_EQ(rec->values[Recording::ValStart], "2026-3-3  00:00");
}

TEST_F(Decoder, IdleCompactInstrumentHasNoSamplesAndEnablesCalibration) {
    HeaderFields h;
    h.serial = "DX000000001";
    h.state = 0;
    feed(headerReply(h));
    EXPECT_EQ(rec->sampleCount, 0);
    EXPECT_EQ(rec->validMask, Recording::MaskSerial);
    EXPECT_EQ(sink.drain(),
              (std::vector<PostedMessage>{{WM_CALIBRATION_ENABLE, 1, 0}, {WM_HEADER_DECODED, 1, 1}}));
}

TEST_F(Decoder, GarbageIsDroppedAndFramesResynchronise) {
    // Garbage without a frame start shrinks to its last three bytes (they may begin one).
    feed(Bytes{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 0xFF, 0xCF});
    EXPECT_EQ(link.decoder().fillCount(), 3);
    // Exactly 10 bytes of a clock frame start: wait for more.
    link.decoder().clear();
    const Bytes clock = clockReply(protocol::kEchoStatus, ClockTime{}, 1, 700);
    feed(Bytes(clock.begin(), clock.begin() + 10));
    EXPECT_EQ(link.decoder().fillCount(), 10);
    EXPECT_EQ(sink.count(WM_STATUS_DECODED), 0);
    feed(Bytes(clock.begin() + 10, clock.end()));
    EXPECT_EQ(sink.count(WM_STATUS_DECODED), 1);
    // Stray bytes, a lone lead byte and an ignored frame before a good frame.
    const Bytes ignored = testing::replyFrame(protocol::kSigIgnored, {0, 0, 0}, Bytes(10, 0));
    const Bytes badEcho = [] {
        HeaderFields h;
        h.echo = {1, 2, 3};
        return headerReply(h);
    }();
    feed(join({Bytes{0x00, 0xFF, 0x12, 0xFF}, ignored, badEcho, clock}));
    EXPECT_EQ(sink.count(WM_STATUS_DECODED), 2);
    EXPECT_EQ(headersPosted(), 0);
}

TEST_F(Decoder, TwoFramesInOneChunkAndBadSumBeforeGoodFrame) {
    announce(64);
    Bytes corrupt = blockReply(0, ramp(100));
    corrupt[20] ^= 0x01;
    feed(join({corrupt, blockReply(0, ramp(0)), blockReply(32, ramp(16))}));
    EXPECT_EQ(rec->samplesLoaded, 32);
    EXPECT_FLOAT_EQ(rec->temperature[0], 0.0f);
    EXPECT_FLOAT_EQ(rec->temperature[31], 0.31f);
}

TEST_F(Decoder, FalseFrameStartInsideSampleData) {
    announce(96);
    // Samples whose bytes read FF 5E BE 6E, then a length of 200: a frame start the search will find.
    std::vector<std::int16_t> tricky = ramp(0);
    tricky[2] = static_cast<std::int16_t>(0xFF00);
    tricky[3] = static_cast<std::int16_t>(0xBE5E);
    tricky[4] = static_cast<std::int16_t>(0x006E);
    tricky[6] = 0x00C8;  // offset 7 of the false frame: a length of 200
    feed(join({blockReply(0, tricky), blockReply(32, ramp(16))}));
    // The false frame waits for its 210 bytes and holds up the block behind it...
    EXPECT_EQ(rec->samplesLoaded, 16);
    EXPECT_FLOAT_EQ(rec->temperature[2], -2.56f);
    // ...until enough bytes arrive; then its sum rejects it and everything behind it is handled in order.
    feed(join({blockReply(64, ramp(32)), blockReply(96, ramp(48)), blockReply(128, ramp(64)),
               blockReply(160, ramp(80))}));
    EXPECT_EQ(rec->samplesLoaded, 96);
    for (int i = 16; i < 96; ++i)
        EXPECT_FLOAT_EQ(rec->temperature[static_cast<std::size_t>(i)], i / 100.0f) << i;
}

TEST_F(Decoder, RepeatedBlocksStoreNothingAndBlocksAfterALostOneAreKept) {
    announce(64);
    link.pendingCode = PendingBlock;
    feed(blockReply(0, ramp(0)));
    EXPECT_EQ(link.pendingCode.load(), PendingBlock | kAnswered);
    feed(blockReply(0, ramp(500)));  // repeated: the first copy stays
    EXPECT_FLOAT_EQ(rec->temperature[0], 0.0f);
    feed(blockReply(64, ramp(32)));  // one lost before it: kept, but the loaded run stops at the gap
    EXPECT_EQ(rec->samplesLoaded, 16);
    EXPECT_FLOAT_EQ(rec->temperature[32], 0.32f);
    feed(blockReply(32, ramp(16)));  // the gap filled
    EXPECT_EQ(rec->samplesLoaded, 48);
    feed(blockReply(96, ramp(48)));
    EXPECT_EQ(rec->samplesLoaded, 64);
    for (int i = 0; i < 64; ++i)
        EXPECT_FLOAT_EQ(rec->temperature[static_cast<std::size_t>(i)], i / 100.0f) << i;
    EXPECT_TRUE(rec->dataFlags & Recording::kSamplesPresent);
}

TEST_F(Decoder, LastBlockIsCutAtTheCount) {
    announce(100);
    for (int b = 0; b < 7; ++b) feed(blockReply(blockAddress(16 * b), ramp(16 * b)));
    EXPECT_EQ(rec->samplesLoaded, 100);
    EXPECT_FLOAT_EQ(rec->temperature[99], 0.99f);
    // Nothing was announced: blocks store nothing lasting and never run away.
    announce(0);
    feed(blockReply(0, ramp(0)));
    EXPECT_EQ(rec->samplesLoaded, 0);
}

TEST_F(Decoder, BlocksBeyondSample32767AreAcceptedAfterTheAddressWraps) {
    announce(40000);
    for (int first = 0; first < 40000; first += 16) {
        std::vector<std::int16_t> s(16);
        for (int k = 0; k < 16; ++k)
            s[static_cast<std::size_t>(k)] = static_cast<std::int16_t>((first + k) % 30000);
        feed(blockReply(blockAddress(first), s));
    }
    EXPECT_EQ(rec->samplesLoaded, 40000);
    EXPECT_FLOAT_EQ(rec->temperature[32767], 27.67f);
    EXPECT_FLOAT_EQ(rec->temperature[32768], 27.68f);
    EXPECT_FLOAT_EQ(rec->temperature[39999], 99.99f);
}

TEST_F(Decoder, NeverWritesBeyondTheArrays) {
    announce(59990);  // the last block carries 6 samples of the recording and 10 beyond it
    for (int first = 0; first < 59990; first += 16) {
        std::vector<std::int16_t> s(16);
        for (int k = 0; k < 16; ++k)
            s[static_cast<std::size_t>(k)] = static_cast<std::int16_t>((first + k) % 30000);
        feed(blockReply(blockAddress(first), s));
    }
    EXPECT_EQ(rec->samplesLoaded, 59990);
    EXPECT_FLOAT_EQ(rec->temperature[59989], 299.89f);
    EXPECT_FLOAT_EQ(rec->temperature[59990], 0.0f);
    feed(blockReply(blockAddress(60000), ramp(7)));
    EXPECT_EQ(rec->samplesLoaded, 59990);
    EXPECT_FLOAT_EQ(rec->temperature[27232], 272.32f);
    // A chunk larger than the free space is dropped whole; what was buffered stays.
    const int before = link.decoder().fillCount();
    feed(Bytes(ReplyDecoder::kBufferSize - before + 1, 0xFF));
    EXPECT_EQ(link.decoder().fillCount(), before);
}

TEST_F(Decoder, SampleEncoding) {
    announce(16);
    std::vector<std::int16_t> s(16, 0);
    s[0] = static_cast<std::int16_t>(0xFF38);
    s[1] = 0x0960;
    s[2] = static_cast<std::int16_t>(0x8000);
    s[3] = static_cast<std::int16_t>(0x8001);
    feed(blockReply(0, s));
    EXPECT_FLOAT_EQ(rec->temperature[0], -2.0f);
    EXPECT_FLOAT_EQ(rec->temperature[1], 24.0f);
    EXPECT_FLOAT_EQ(rec->temperature[2], 0.0f);
    EXPECT_FLOAT_EQ(rec->temperature[3], -327.67f);
}

TEST_F(Decoder, DownloadHeaderSendsTheFirstBlockRequest) {
    link.downloadMode = kDownloadMode;
    HeaderFields h;
    h.echo = protocol::kEchoDownloadHeader;
    feed(headerReply(h));
    EXPECT_EQ(link.retryCounter.load(), 5);
    ASSERT_EQ(transport.frames.size(), 1u);
    EXPECT_EQ(transport.frames[0], (Bytes{0xFF, 0x5E, 0xBE, 0x6E, 0x00, 0x00, 0xFF}));
    EXPECT_EQ(link.pendingCode.load(), PendingBlock);
}

TEST_F(Decoder, BatteryAndStatus) {
    const struct {
        int reading, percent;
    } cases[] = {{706, 100}, {690, 60}, {676, 33}, {634, 0}, {1023, 100}};
    for (const auto& c : cases) EXPECT_EQ(ReplyDecoder::batteryPercent(c.reading), c.percent) << c.reading;
    link.pendingCode = PendingClockSet;
    feed(clockReply(protocol::kEchoStatus, ClockTime{5, 4, 3, 2, 1, 2026}, 1, 690));
    EXPECT_EQ(rec->batteryPercent, 60);
    EXPECT_TRUE(rec->batteryValid);
    EXPECT_EQ(rec->instrumentState, 1);
    EXPECT_EQ(rec->instrumentClock, *fromLocal(2026, 1, 2, 3, 4, 5));
    // The poll's answer leaves a clock set that went out after the poll waiting for its own answer.
    EXPECT_EQ(link.pendingCode.load(), PendingClockSet);
    EXPECT_EQ(sink.drain(), (std::vector<PostedMessage>{{WM_STATUS_DECODED, 1, 0}}));
    link.pendingCode = PendingStart;
    feed(clockReply(protocol::kEchoStatus, ClockTime{5, 4, 3, 2, 1, 2026}, 1, 690));
    EXPECT_EQ(link.pendingCode.load(), PendingStart);
    feed(clockReply(protocol::kEchoStatus, ClockTime{0, 0, 0, 1, 13, 2026}, 0, 690));
    EXPECT_EQ(rec->instrumentClock, *fromLocal(2001, 1, 1, 0, 0, 0));
    // A clock reply of another length is dropped.
    feed(clockReply(protocol::kEchoStatus, ClockTime{}, 1, 706, 11));
    EXPECT_EQ(rec->batteryPercent, 60);
}

TEST_F(Decoder, AcknowledgementsCountOnlyWhenTimely) {
    const auto t = toLocal(pcNow).value();
    const ClockTime now{t.second, t.minute, t.hour, t.day, t.month, t.year};
    const ClockTime late{t.second, t.minute - 1, t.hour, t.day, t.month, t.year};
    link.pendingCode = PendingClockSet;
    feed(clockReply(protocol::kEchoClockSet, late, 0, 700));
    EXPECT_EQ(link.pendingCode.load(), PendingClockSet);
    feed(clockReply(protocol::kEchoClockSet, now, 0, 700));
    EXPECT_EQ(link.pendingCode.load(), PendingClockSet | kAnswered);

    rec->startIntervalMinutes = 15;
    link.pendingCode = PendingStart;
    feed(clockReply({0x00, 0x9D, 14}, now, 1, 700));  // wrong interval
    EXPECT_EQ(link.pendingCode.load(), PendingStart);
    EXPECT_EQ(rec->kind, KindTemp);
    feed(clockReply({0x00, 0x9D, 15}, now, 0, 700));  // not recording
    EXPECT_EQ(link.pendingCode.load(), PendingStart);
    feed(clockReply({0x00, 0x9D, 15}, now, 1, 700));
    EXPECT_EQ(link.pendingCode.load(), PendingStart | kAnswered);
}

}  // namespace
}  // namespace thermivo
