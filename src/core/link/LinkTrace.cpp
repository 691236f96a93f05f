#include "link/LinkTrace.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "app/Format.h"
#include "link/Protocol.h"

namespace thermivo {

namespace {

using protocol::Bytes3;

// A reply longer than this is no frame of the instrument's, whatever its length byte says.
constexpr std::size_t kLongestFrame = 255 + protocol::kFrameOverhead;

bool has(const std::uint8_t* p, const Bytes3& three) {
    return p[0] == three[0] && p[1] == three[1] && p[2] == three[2];
}

bool frameStart(const std::uint8_t* p) {
    if (p[0] != protocol::kLead) return false;
    const std::uint8_t* s = p + 1;
    return has(s, protocol::kSigHeader) || has(s, protocol::kSigBlock) || has(s, protocol::kSigClock) ||
           has(s, protocol::kSigIgnored);
}

unsigned u16(const std::uint8_t* p) {
    return static_cast<unsigned>(p[0] | (p[1] << 8));
}

// Second, minute, hour, day, month, year % 100, century: as the instrument's clock blocks hold them.
std::string clockText(const std::uint8_t* t) {
    return format("%.2d%.2d-%.2d-%.2d %.2d:%.2d:%.2d", t[6], t[5], t[4], t[3], t[2], t[1], t[0]);
}

}  // namespace

LinkTrace::~LinkTrace() {
    close();
}

bool LinkTrace::open(const std::string& path) {
    std::lock_guard lock(mutex_);
    if (file_ != nullptr) std::fclose(file_);
    file_ = path == "-" ? stderr : std::fopen(path.c_str(), "w");
    if (file_ == nullptr) {
        error_ = path + ": " + std::strerror(errno);
        return false;
    }
    start_ = std::chrono::steady_clock::now();
    pending_.clear();
    std::fprintf(file_, "# seconds, direction (-> sent, <- received), bytes, meaning\n");
    std::fflush(file_);
    return true;
}

void LinkTrace::close() {
    std::lock_guard lock(mutex_);
    if (file_ == nullptr) return;
    cutFrames(true);
    if (file_ != stderr) std::fclose(file_);
    file_ = nullptr;
}

bool LinkTrace::isOpen() const {
    std::lock_guard lock(mutex_);
    return file_ != nullptr;
}

void LinkTrace::line(const char* direction, const std::uint8_t* data, std::size_t count,
                     const std::string& meaning) {
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string hex;
    hex.reserve(count * 3);
    for (std::size_t i = 0; i < count; ++i) {
        if (i != 0) hex.push_back(' ');
        hex.push_back(kDigits[data[i] >> 4]);
        hex.push_back(kDigits[data[i] & 0x0F]);
    }
    std::fprintf(file_, "%12.6f %s %s  %s\n", seconds, direction, hex.c_str(), meaning.c_str());
    std::fflush(file_);
}

void LinkTrace::sent(const std::uint8_t* data, int count, int written) {
    std::lock_guard lock(mutex_);
    if (file_ == nullptr || count <= 0) return;
    std::string meaning = describeSent(data, static_cast<std::size_t>(count));
    if (meaning.empty()) meaning = "unknown command";
    if (written != count)
        meaning +=
            written < 0 ? " (not written: the port is gone)" : format(" (only %d bytes written)", written);
    line("->", data, static_cast<std::size_t>(count), meaning);
}

void LinkTrace::received(const std::uint8_t* data, int count) {
    std::lock_guard lock(mutex_);
    if (file_ == nullptr || count <= 0) return;
    pending_.insert(pending_.end(), data, data + count);
    cutFrames(false);
}

void LinkTrace::note(const std::string& text) {
    std::lock_guard lock(mutex_);
    if (file_ == nullptr) return;
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    std::fprintf(file_, "%12.6f -- %s\n", seconds, text.c_str());
    std::fflush(file_);
}

void LinkTrace::cutFrames(bool flush) {
    for (;;) {
        std::size_t at = 0;
        while (at + 3 < pending_.size() && !frameStart(pending_.data() + at)) ++at;
        const bool found = at + 3 < pending_.size();
        // Without a frame start the last three bytes may still begin one.
        const std::size_t noise = found || flush ? at : (pending_.size() > 3 ? pending_.size() - 3 : 0);
        const std::size_t skipped = found ? at : (flush ? pending_.size() : noise);
        if (skipped > 0) {
            line("<-", pending_.data(), skipped, "bytes outside any frame");
            pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(skipped));
        }
        if (!found) return;
        std::size_t size = 0;
        if (pending_.size() > static_cast<std::size_t>(protocol::kLengthOffset))
            size = pending_[protocol::kLengthOffset] + static_cast<std::size_t>(protocol::kFrameOverhead);
        if (size == 0 || size > kLongestFrame || pending_.size() < size) {
            if (!flush) return;
            line("<-", pending_.data(), pending_.size(), "incomplete frame");
            pending_.clear();
            return;
        }
        line("<-", pending_.data(), size, describeReceived(pending_.data(), size));
        pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(size));
    }
}

std::string LinkTrace::describeSent(const std::uint8_t* f, std::size_t n) {
    if (n < 4 || f[0] != protocol::kLead) return {};
    const std::uint8_t* sig = f + 1;
    const std::uint8_t* echo = f + protocol::kEchoOffset;
    if (n == protocol::kShortCommand && has(sig, protocol::kSigHeader))
        return has(echo, protocol::kEchoDownloadHeader) ? "header request (download)" : "header request";
    if (n == protocol::kShortCommand && has(sig, protocol::kSigBlock)) {
        const unsigned address = u16(echo);
        return format("block request 0x%.4X (sample %u)", address, address / 2);
    }
    if (n == protocol::kLongCommand && has(sig, protocol::kSigClock)) {
        const std::string clock = clockText(f + protocol::kClockBlockOffset);
        if (has(echo, protocol::kEchoStatus)) return "status request (clock, state, battery)";
        if (echo[0] == 0x00 && echo[1] == protocol::kStartMarker)
            return format("start request: a sample every %d min, clock %s", echo[2], clock.c_str());
        if (has(echo, protocol::kEchoClockSet)) return "clock set request: " + clock;
    }
    return {};
}

std::string LinkTrace::describeReceived(const std::uint8_t* f, std::size_t n) {
    if (n < static_cast<std::size_t>(protocol::kFrameOverhead) || !frameStart(f)) return "unknown frame";
    const std::size_t payload = f[protocol::kLengthOffset];
    const std::size_t summed = protocol::kPayloadOffset + payload;
    const bool sumOk = summed + 2 <= n && protocol::byteSum(f, summed) == u16(f + summed);
    const std::string sum = sumOk ? "" : " (check sum wrong: dropped)";
    const std::uint8_t* sig = f + 1;
    const std::uint8_t* echo = f + protocol::kEchoOffset;
    if (has(sig, protocol::kSigHeader)) {
        std::string what =
            has(echo, protocol::kEchoDownloadHeader) ? "header reply (download)" : "header reply";
        if (payload == protocol::kHeaderPayload &&
            n >= static_cast<std::size_t>(protocol::header::kState) + 1) {
            std::string serial;
            for (int k = 0; k < protocol::header::kSerialLength; ++k) {
                const auto c = static_cast<char>(f[protocol::header::kSerial + k]);
                if (c >= 0x20 && c < 0x7F) serial.push_back(c);
            }
            what += format(": serial %s, %u samples, a sample every %d min, state %d", serial.c_str(),
                           u16(f + protocol::header::kCount), f[protocol::header::kInterval],
                           f[protocol::header::kState]);
        }
        return what + sum;
    }
    if (has(sig, protocol::kSigBlock)) {
        const unsigned address = u16(echo);
        return format("block reply 0x%.4X (samples %u to %u)", address, address / 2,
                      address / 2 + protocol::kSamplesPerBlock - 1) +
               sum;
    }
    if (has(sig, protocol::kSigClock) && payload == static_cast<std::size_t>(protocol::kClockPayload)) {
        const std::string state =
            format("state %d, clock %s, battery reading %u", f[protocol::clock::kState],
                   clockText(f + protocol::clock::kTime).c_str(), u16(f + protocol::clock::kBattery));
        if (has(echo, protocol::kEchoStatus)) return "status reply: " + state + sum;
        if (echo[0] == 0x00 && echo[1] == protocol::kStartMarker)
            return format("start reply (every %d min): ", echo[2]) + state + sum;
        if (has(echo, protocol::kEchoClockSet)) return "clock set reply: " + state + sum;
        return "clock reply: " + state + sum;
    }
    if (has(sig, protocol::kSigIgnored)) return "reply of no interest" + sum;
    return "unknown frame" + sum;
}

}  // namespace thermivo
