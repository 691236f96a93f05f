#pragma once
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "link/InstrumentLink.h"
#include "link/Protocol.h"

namespace thermivo::testing {

using Bytes = std::vector<std::uint8_t>;

/// A reply frame with a correct sum.
inline Bytes replyFrame(const protocol::Bytes3& signature, const protocol::Bytes3& echo,
                        const Bytes& payload) {
    Bytes f = {protocol::kLead, signature[0], signature[1], signature[2],
               echo[0],         echo[1],      echo[2],      static_cast<std::uint8_t>(payload.size())};
    f.insert(f.end(), payload.begin(), payload.end());
    const auto sum = protocol::byteSum(f.data(), f.size());
    f.push_back(static_cast<std::uint8_t>(sum & 0xFF));
    f.push_back(static_cast<std::uint8_t>((sum >> 8) & 0xFF));
    return f;
}

/// Minute, hour, day, month, year.
struct HeaderTime {
    int minute = 0, hour = 0, day = 1, month = 1, year = 2026;
};

/// Fields of a header reply.
struct HeaderFields {
    std::string serial = "DI123456789";
    HeaderTime start{0, 0, 1, 1, 2026};
    HeaderTime stop{0, 10, 1, 1, 2026};
    std::int16_t max = 2500, min = -200;
    std::int32_t sum = 0;
    std::uint16_t count = 601;
    std::uint8_t interval = 1;
    std::uint8_t state = 1;
    protocol::Bytes3 echo = protocol::kEchoPlainHeader;
};

inline Bytes headerReply(const HeaderFields& h) {
    Bytes p(37, 0);
    for (std::size_t k = 0; k < 11; ++k)
        p[k] = k < h.serial.size() ? static_cast<std::uint8_t>(h.serial[k]) : ' ';
    auto time = [&p](std::size_t at, const HeaderTime& t) {
        p[at] = static_cast<std::uint8_t>(t.minute);
        p[at + 1] = static_cast<std::uint8_t>(t.hour);
        p[at + 2] = static_cast<std::uint8_t>(t.day);
        p[at + 3] = static_cast<std::uint8_t>(t.month);
        p[at + 4] = static_cast<std::uint8_t>(t.year % 100);
        p[at + 5] = static_cast<std::uint8_t>(t.year / 100);
    };
    time(12, h.start);
    time(19, h.stop);
    auto put16 = [&p](std::size_t at, std::uint16_t v) {
        p[at] = static_cast<std::uint8_t>(v & 0xFF);
        p[at + 1] = static_cast<std::uint8_t>(v >> 8);
    };
    put16(25, static_cast<std::uint16_t>(h.max));
    put16(27, static_cast<std::uint16_t>(h.min));
    const auto sum = static_cast<std::uint32_t>(h.sum);
    for (std::size_t k = 0; k < 4; ++k) p[29 + k] = static_cast<std::uint8_t>(sum >> (8 * k));
    put16(33, h.count);
    p[35] = h.interval;
    p[36] = h.state;
    return replyFrame(protocol::kSigHeader, h.echo, p);
}

/// A data block reply at a byte address; samples in raw hundredths.
inline Bytes blockReply(std::uint16_t address, const std::vector<std::int16_t>& samples) {
    Bytes p(32, 0);
    for (std::size_t k = 0; k < 16 && k < samples.size(); ++k) {
        const auto v = static_cast<std::uint16_t>(samples[k]);
        p[2 * k] = static_cast<std::uint8_t>(v & 0xFF);
        p[2 * k + 1] = static_cast<std::uint8_t>(v >> 8);
    }
    return replyFrame(protocol::kSigBlock,
                      {static_cast<std::uint8_t>(address & 0xFF), static_cast<std::uint8_t>(address >> 8), 0},
                      p);
}

/// Sixteen raw samples first, first+1, ...
inline std::vector<std::int16_t> ramp(int first) {
    std::vector<std::int16_t> v;
    for (int k = 0; k < 16; ++k) v.push_back(static_cast<std::int16_t>(first + k));
    return v;
}

/// Second, minute, hour, day, month, year.
struct ClockTime {
    int second = 0, minute = 0, hour = 12, day = 6, month = 12, year = 2026;
};

inline Bytes clockReply(const protocol::Bytes3& echo, const ClockTime& t, int state, int battery,
                        int payloadLength = 10) {
    Bytes p(static_cast<std::size_t>(payloadLength), 0);
    const Bytes fields = {static_cast<std::uint8_t>(state),          static_cast<std::uint8_t>(t.second),
                          static_cast<std::uint8_t>(t.minute),       static_cast<std::uint8_t>(t.hour),
                          static_cast<std::uint8_t>(t.day),          static_cast<std::uint8_t>(t.month),
                          static_cast<std::uint8_t>(t.year % 100),   static_cast<std::uint8_t>(t.year / 100),
                          static_cast<std::uint8_t>(battery & 0xFF), static_cast<std::uint8_t>(battery >> 8)};
    for (std::size_t k = 0; k < fields.size() && k < p.size(); ++k) p[k] = fields[k];
    return replyFrame(protocol::kSigClock, echo, p);
}

/// Records frames instead of writing them; presence can be switched off.
class FakeTransport : public FrameTransport {
  public:
    int write(const std::uint8_t* data, int count) override {
        frames.emplace_back(data, data + count);
        return count;
    }
    bool isPresent() override { return present; }

    std::vector<Bytes> frames;
    bool present = true;
};

}  // namespace thermivo::testing
