#include "sim/InstrumentSimulator.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "data/LocalTime.h"
#include "link/Protocol.h"

namespace thermivo {

namespace {

using protocol::Bytes3;

constexpr int kWrap = 32768;  // samples a 16-bit byte address can tell apart

std::uint32_t nextRandom(std::uint32_t& state) {
    state = state * 1664525u + 1013904223u;
    return state >> 8;
}

bool signatureAt(const std::uint8_t* p, const Bytes3& s) {
    return p[1] == s[0] && p[2] == s[1] && p[3] == s[2];
}

void putValue(InstrumentSimulator::Frame& f, std::size_t at, float celsius) {
    const auto v = protocol::encodeValue(celsius);
    f[at] = v[0];
    f[at + 1] = v[1];
}

/// Lead, signature, echo and length; payload zeroed.
InstrumentSimulator::Frame frameHead(const Bytes3& signature, const std::uint8_t echo[3], int payload) {
    InstrumentSimulator::Frame f(static_cast<std::size_t>(payload + protocol::kFrameOverhead), 0);
    f[0] = protocol::kLead;
    std::copy(signature.begin(), signature.end(), f.begin() + 1);
    std::copy(echo, echo + 3, f.begin() + protocol::kEchoOffset);
    f[protocol::kLengthOffset] = static_cast<std::uint8_t>(payload);
    return f;
}

void seal(InstrumentSimulator::Frame& f) {
    const std::size_t summed = f.size() - 2;
    const auto sum = static_cast<std::uint16_t>(protocol::byteSum(f.data(), summed));
    f[summed] = static_cast<std::uint8_t>(sum & 0xFF);
    f[summed + 1] = static_cast<std::uint8_t>(sum >> 8);
}

/// Minute, hour, day, month, year % 100, century of a local time.
void putHeaderTime(InstrumentSimulator::Frame& f, std::size_t at, std::int64_t t) {
    const auto p = toLocal(t);
    if (!p) return;
    f[at] = static_cast<std::uint8_t>(p->minute);
    f[at + 1] = static_cast<std::uint8_t>(p->hour);
    f[at + 2] = static_cast<std::uint8_t>(p->day);
    f[at + 3] = static_cast<std::uint8_t>(p->month);
    f[at + 4] = static_cast<std::uint8_t>(p->year % 100);
    f[at + 5] = static_cast<std::uint8_t>(p->year / 100);
}

}  // namespace

std::vector<float> simulatedCurve(int count, std::uint32_t seed) {
    std::vector<float> out;
    if (count <= 0) return out;
    out.reserve(static_cast<std::size_t>(count));
    std::uint32_t state = seed;
    const double base = 4.0 + static_cast<double>(nextRandom(state) % 2000) / 100.0;
    for (int i = 0; i < count; ++i) {
        const double wave = 3.0 * std::sin(i / 60.0) + 1.5 * std::sin(i / 7.0);
        const double noise = static_cast<double>(static_cast<int>(nextRandom(state) % 41) - 20) / 100.0;
        out.push_back(static_cast<float>(std::round((base + wave + noise) * 100.0) / 100.0));
    }
    return out;
}

bool parseSampleList(const std::string& json, std::vector<float>& out, std::string& error) {
    out.clear();
    const char* p = json.c_str();
    auto skip = [&p] {
        while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r') ++p;
    };
    skip();
    if (*p != '[') {
        error = "expected a list of numbers in [ ]";
        return false;
    }
    ++p;
    skip();
    if (*p == ']') {
        ++p;
    } else {
        for (;;) {
            char* end = nullptr;
            const double v = std::strtod(p, &end);
            if (end == p || !std::isfinite(v)) {
                error = "not a number at character " + std::to_string(p - json.c_str() + 1);
                return false;
            }
            out.push_back(static_cast<float>(v));
            p = end;
            skip();
            if (*p == ',') {
                ++p;
                skip();
                continue;
            }
            if (*p == ']') {
                ++p;
                break;
            }
            error = "expected , or ] at character " + std::to_string(p - json.c_str() + 1);
            return false;
        }
    }
    skip();
    if (*p != '\0') {
        error = "unexpected text after the list";
        return false;
    }
    return true;
}

InstrumentSimulator::InstrumentSimulator(SimConfig config, std::function<std::int64_t()> clock)
    : config_(std::move(config)), clock_(clock ? std::move(clock) : nowSeconds), rng_(config_.garbageSeed) {
    if (config_.start == 0) {
        const std::int64_t span =
            static_cast<std::int64_t>(config_.samples.size()) * config_.intervalMinutes * 60;
        config_.start = (clock_() - span - 3600) / 60 * 60;
    }
}

std::int64_t InstrumentSimulator::instrumentClock() const {
    return clock_() + config_.clockOffset;
}

std::int64_t InstrumentSimulator::stopTime() const {
    const auto n = static_cast<std::int64_t>(config_.samples.size());
    return config_.start + std::max<std::int64_t>(n - 1, 0) * config_.intervalMinutes * 60;
}

void InstrumentSimulator::receive(const std::uint8_t* data, std::size_t count) {
    input_.insert(input_.end(), data, data + count);
    std::size_t i = 0;
    while (i + 4 <= input_.size()) {
        const std::uint8_t* p = input_.data() + i;
        std::size_t size = 0;
        if (p[0] == protocol::kLead) {
            if (signatureAt(p, protocol::kSigHeader) || signatureAt(p, protocol::kSigBlock)) {
                size = protocol::kShortCommand;
            } else if (signatureAt(p, protocol::kSigClock)) {
                size = protocol::kLongCommand;
            }
        }
        if (size == 0) {
            ++i;
            continue;
        }
        if (i + size > input_.size()) break;
        handleCommand(p, size);
        i += size;
    }
    input_.erase(input_.begin(), input_.begin() + static_cast<std::ptrdiff_t>(i));
}

std::vector<InstrumentSimulator::Frame> InstrumentSimulator::takeReplies() {
    std::vector<Frame> out;
    out.swap(replies_);
    return out;
}

void InstrumentSimulator::setClockFromFrame(const std::uint8_t* b) {
    const auto t = fromLocal(100 * b[6] + b[5], b[4], b[3], b[2], b[1], b[0]);
    if (b[0] > 59 || b[4] < 1 || b[4] > 12 || !t) return;  // fill values: the PC had no local time
    config_.clockOffset = *t - clock_();
}

void InstrumentSimulator::handleCommand(const std::uint8_t* f, std::size_t size) {
    ++commands_;
    if (config_.faults.noAnswer) return;
    const std::uint8_t* echo = f + protocol::kEchoOffset;
    if (signatureAt(f, protocol::kSigHeader)) {
        replies_.push_back(headerReply(echo));
        // A download ends the recording; the reply still describes the recording as it was.
        if (echo[0] == protocol::kEchoDownloadHeader[0] && echo[1] == protocol::kEchoDownloadHeader[1]) {
            config_.state = 0;
        }
        return;
    }
    if (signatureAt(f, protocol::kSigBlock)) {
        startStream(static_cast<std::uint16_t>(echo[0] | (echo[1] << 8)));
        return;
    }
    if (size < static_cast<std::size_t>(protocol::kLongCommand)) return;
    const std::uint8_t* clockBlock = f + protocol::kClockBlockOffset;
    if (std::equal(protocol::kEchoStatus.begin(), protocol::kEchoStatus.end(), echo)) {
        replies_.push_back(clockReply(echo));
        return;
    }
    if (echo[0] == 0x00 && echo[1] == protocol::kStartMarker) {
        setClockFromFrame(clockBlock);
        config_.intervalMinutes = echo[2];
        config_.state = 1;
        config_.samples.clear();
        config_.start = instrumentClock() / 60 * 60;
        streaming_ = false;
        replies_.push_back(clockReply(echo));
        return;
    }
    if (echo[0] == 0 && echo[1] == 0 && echo[2] == 0) {
        setClockFromFrame(clockBlock);
        replies_.push_back(clockReply(echo));
    }
}

void InstrumentSimulator::startStream(std::uint16_t address) {
    const int size = static_cast<int>(config_.samples.size());
    const int named = address / 2;
    switch (config_.resend) {
        case SimResend::RestartAtZero:
            next_ = 0;
            break;
        case SimResend::Literal:
            next_ = named;
            break;
        case SimResend::Nearest: {
            // Several samples of the recording share a 16-bit address; take the one nearest to where the
            // stream stands. Samples beyond the recording are no candidates.
            int best = named;
            for (int candidate = named; candidate < size; candidate += kWrap) {
                if (best >= size || std::abs(candidate - next_) < std::abs(best - next_)) best = candidate;
            }
            next_ = best;
            break;
        }
    }
    streaming_ = next_ < size;
    streamBlocks_ = 0;
}

std::vector<InstrumentSimulator::Frame> InstrumentSimulator::nextBlockFrames() {
    std::vector<Frame> out;
    if (!streaming_) return out;
    if (next_ >= static_cast<int>(config_.samples.size())) {
        streaming_ = false;
        return out;
    }
    const int block = next_ / protocol::kSamplesPerBlock;
    Frame f = blockReply(next_);
    next_ += protocol::kSamplesPerBlock;
    lastBlock_ = block;
    auto once = [this, block](const std::set<int>& faults, int tag) {
        if (faults.count(block) == 0) return false;
        return fired_.insert(tag * 1000000 + block).second;
    };
    if (once(config_.faults.dropBlocks, 1)) {
        // Dropped on the way: nothing goes out, the stream carries on.
    } else if (once(config_.faults.corruptBlocks, 2)) {
        f[protocol::kPayloadOffset + 3] ^= 0x5A;
        out.push_back(f);
    } else {
        out.push_back(f);
        if (once(config_.faults.duplicateBlocks, 3)) out.push_back(f);
    }
    if (block == config_.faults.stallAfter && fired_.insert(4 * 1000000 + block).second) streaming_ = false;
    if (cutsDone_ < config_.faults.cuts && ++streamBlocks_ == config_.faults.cutAfter) {
        ++cutsDone_;
        streaming_ = false;
    }
    if (block == config_.faults.unplugAfter) {
        unplugDue_ = true;
        streaming_ = false;
    }
    if (next_ >= static_cast<int>(config_.samples.size())) streaming_ = false;
    return out;
}

InstrumentSimulator::Frame InstrumentSimulator::garbage() {
    Frame g;
    if (!config_.faults.garbage) return g;
    const int n = 1 + static_cast<int>(nextRandom(rng_) % 8);
    for (int i = 0; i < n; ++i) {
        // Stray bytes may hold a lone lead byte, never a whole frame start.
        g.push_back(static_cast<std::uint8_t>(nextRandom(rng_) % 0xFF));
    }
    if (nextRandom(rng_) % 2 == 0) g.push_back(protocol::kLead);
    return g;
}

InstrumentSimulator::Frame InstrumentSimulator::headerReply(const std::uint8_t echo[3]) const {
    Frame f = frameHead(protocol::kSigHeader, echo, protocol::kHeaderPayload);
    for (int k = 0; k < protocol::header::kSerialLength; ++k) {
        const auto idx = static_cast<std::size_t>(k);
        f[static_cast<std::size_t>(protocol::header::kSerial + k)] =
            idx < config_.serial.size() ? static_cast<std::uint8_t>(config_.serial[idx]) : ' ';
    }
    putHeaderTime(f, protocol::header::kStart, config_.start);
    putHeaderTime(f, protocol::header::kStop, stopTime());
    const auto& s = config_.samples;
    float hi = 0, lo = 0;
    std::int64_t sum = 0;
    if (!s.empty()) {
        hi = *std::max_element(s.begin(), s.end());
        lo = *std::min_element(s.begin(), s.end());
    }
    for (float v : s) sum += static_cast<std::int64_t>(std::lround(static_cast<double>(v) * 100.0));
    putValue(f, protocol::header::kMax, hi);
    putValue(f, protocol::header::kMin, lo);
    const auto sum32 = static_cast<std::uint32_t>(static_cast<std::int32_t>(sum));
    for (int k = 0; k < 4; ++k) {
        f[static_cast<std::size_t>(protocol::header::kSum + k)] = static_cast<std::uint8_t>(sum32 >> (8 * k));
    }
    const auto count = static_cast<std::uint16_t>(std::min<std::size_t>(s.size(), 0xFFFF));
    f[protocol::header::kCount] = static_cast<std::uint8_t>(count & 0xFF);
    f[protocol::header::kCount + 1] = static_cast<std::uint8_t>(count >> 8);
    f[protocol::header::kInterval] = static_cast<std::uint8_t>(config_.intervalMinutes);
    f[protocol::header::kState] = static_cast<std::uint8_t>(config_.state);
    seal(f);
    return f;
}

InstrumentSimulator::Frame InstrumentSimulator::blockReply(int firstIndex) const {
    const auto address = static_cast<std::uint16_t>((2 * firstIndex) & 0xFFFF);
    const std::uint8_t echo[3] = {static_cast<std::uint8_t>(address & 0xFF),
                                  static_cast<std::uint8_t>(address >> 8), 0};
    Frame f = frameHead(protocol::kSigBlock, echo, protocol::kBlockPayload);
    for (int k = 0; k < protocol::kSamplesPerBlock; ++k) {
        const auto index = static_cast<std::size_t>(firstIndex + k);
        const float v = index < config_.samples.size() ? config_.samples[index] : 0.0f;
        putValue(f, static_cast<std::size_t>(protocol::kPayloadOffset + 2 * k), v);
    }
    seal(f);
    return f;
}

InstrumentSimulator::Frame InstrumentSimulator::clockReply(const std::uint8_t echo[3]) const {
    Frame f = frameHead(protocol::kSigClock, echo, protocol::kClockPayload);
    f[protocol::clock::kState] = static_cast<std::uint8_t>(config_.state);
    if (const auto p = toLocal(instrumentClock())) {
        const int at = protocol::clock::kTime;
        f[at] = static_cast<std::uint8_t>(p->second);
        f[at + 1] = static_cast<std::uint8_t>(p->minute);
        f[at + 2] = static_cast<std::uint8_t>(p->hour);
        f[at + 3] = static_cast<std::uint8_t>(p->day);
        f[at + 4] = static_cast<std::uint8_t>(p->month);
        f[at + 5] = static_cast<std::uint8_t>(p->year % 100);
        f[at + 6] = static_cast<std::uint8_t>(p->year / 100);
    }
    f[protocol::clock::kBattery] = static_cast<std::uint8_t>(config_.battery & 0xFF);
    f[protocol::clock::kBattery + 1] = static_cast<std::uint8_t>((config_.battery >> 8) & 0xFF);
    seal(f);
    return f;
}

}  // namespace thermivo
