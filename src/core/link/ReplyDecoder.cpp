#include "link/ReplyDecoder.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>

#include "app/Format.h"
#include "data/LocalTime.h"
#include "data/Recording.h"
#include "link/InstrumentLink.h"
#include "link/Protocol.h"

namespace thermivo {

namespace {

using protocol::Bytes3;

constexpr int kMinBuffered = 10;
constexpr int kMaxCount = Recording::kCapacity;
constexpr std::int32_t kStatusUnknown = -1;
constexpr std::int32_t kStateIdle = 0;
constexpr std::int32_t kStateRecording = 1;
constexpr int kRetriesAfterBlock = 5;
constexpr int kBlock = protocol::kSamplesPerBlock;
/// A stream skips at most this many samples between two blocks that arrive (lost or spoiled ones); more
/// and the block is taken as the start of something else.
constexpr int kMaxSkip = 1024 * kBlock;
constexpr int kMaxUnplaced = Recording::kCapacity / kBlock + 1;
constexpr std::int64_t kAckWindowSeconds = 10;

enum class Reply { None, Header, Block, Clock, Ignored };

Reply replyAt(const std::uint8_t* p) {
    if (p[0] != protocol::kLead) return Reply::None;
    auto is = [p](const Bytes3& s) { return p[1] == s[0] && p[2] == s[1] && p[3] == s[2]; };
    if (is(protocol::kSigHeader)) return Reply::Header;
    if (is(protocol::kSigBlock)) return Reply::Block;
    if (is(protocol::kSigClock)) return Reply::Clock;
    if (is(protocol::kSigIgnored)) return Reply::Ignored;
    return Reply::None;
}

bool echoIs(const std::uint8_t* f, const Bytes3& echo) {
    return std::equal(echo.begin(), echo.end(), f + protocol::kEchoOffset);
}

std::uint16_t u16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::int32_t s32(const std::uint8_t* p) {
    const std::uint32_t v = static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
                            (static_cast<std::uint32_t>(p[2]) << 16) |
                            (static_cast<std::uint32_t>(p[3]) << 24);
    return static_cast<std::int32_t>(v);
}

float value(const std::uint8_t* p) {
    return protocol::decodeValue(p[0], p[1]);
}

bool plausible(int year, int month, int day, int hour, int minute, int second) {
    return year >= 1900 && year <= 3000 && month >= 1 && month <= 12 && day >= 1 && day <= 31 && hour <= 23 &&
           minute <= 59 && second <= 59;
}

/// Local time of the instrument's bytes; nothing when implausible or not representable after 1970.
std::optional<std::int64_t> instrumentTime(int year, int month, int day, int hour, int minute, int second) {
    if (!plausible(year, month, day, hour, minute, second)) return std::nullopt;
    const auto t = fromLocal(year, month, day, hour, minute, second);
    if (!t || *t < 0) return std::nullopt;
    return t;
}

/// Start or stop time of a header: minute, hour, day, month, year % 100, century.
std::optional<std::int64_t> headerTime(const std::uint8_t* p) {
    return instrumentTime(100 * p[5] + p[4], p[3], p[2], p[1], p[0], 0);
}

std::string headerTimeText(std::int64_t t) {
    const auto p = toLocal(t);
    if (!p) return {};
    return format("%d-%d-%d  %.2d:%.2d", p->year, p->month, p->day, p->hour, p->minute);
}

RecordingKind kindOfSerial(const std::string& s) {
    const char c0 = s.size() > 0 ? s[0] : '\0';
    const char c1 = s.size() > 1 ? s[1] : '\0';
    if (c0 == 'D') return c1 == 'I' ? KindTemp : KindTempCompact;
    if (c0 == 'I' || c0 == 'i') return KindTempCompact;
    if (c0 == 'U' && c1 == 'I') return KindTemp;
    return KindNone;
}

}  // namespace

ReplyDecoder::ReplyDecoder(InstrumentLink& link) : link_(link) {}

int ReplyDecoder::batteryPercent(int reading) {
    const double volts = reading * 5.0 / 1023.0 - 3.1;
    // Below the bottom of the table the square would turn a flat battery into a full one.
    if (volts <= 0.0) return 0;
    const double ratio = volts / 0.35;
    const double percent = std::trunc(100.0 * ratio * ratio);
    return static_cast<int>(std::clamp(percent, 0.0, 100.0));
}

void ReplyDecoder::receive(const std::uint8_t* data, int count) {
    if (data != nullptr && count > 0 && count <= kBufferSize - fill_) {
        std::memcpy(buffer_.data() + fill_, data, static_cast<std::size_t>(count));
        fill_ += count;
    }
    if (decode() == 1) link_.sink().post(WM_HEADER_DECODED, 1, 1);
}

void ReplyDecoder::dropFront(int n) {
    if (n <= 0) return;
    const int rest = fill_ - n;
    std::memcpy(shift_.data(), buffer_.data() + n, static_cast<std::size_t>(rest));
    std::memcpy(buffer_.data(), shift_.data(), static_cast<std::size_t>(rest));
    fill_ = rest;
}

int ReplyDecoder::decode() {
    int result = 0;
    if (fill_ < kMinBuffered) return result;
    bool requestFirstBlock = false;
    int chained = -1;
    std::vector<int> chainedThen, firstPlan;
    {
        auto lock = link_.lockRecording();
        for (;;) {
            int i = 0;
            bool found = false;
            for (; i + 3 < fill_; ++i) {
                if (replyAt(buffer_.data() + i) != Reply::None) {
                    found = true;
                    break;
                }
            }
            if (!found) i = std::max(0, fill_ - 3);
            dropFront(i);
            if (!found || fill_ <= kMinBuffered) break;

            std::uint8_t* f = buffer_.data();
            const int payload = f[protocol::kLengthOffset];
            if (fill_ < payload + protocol::kFrameOverhead) break;

            const Reply reply = replyAt(f);
            const bool wanted = reply == Reply::Block || reply == Reply::Clock ||
                                (reply == Reply::Header && (echoIs(f, protocol::kEchoPlainHeader) ||
                                                            echoIs(f, protocol::kEchoDownloadHeader)));
            const int summed = protocol::kPayloadOffset + payload;
            if (wanted && protocol::byteSum(f, static_cast<std::size_t>(summed)) == u16(f + summed)) {
                if (reply == Reply::Header) {
                    if (handleHeader(f, payload, requestFirstBlock)) result = 1;
                } else if (reply == Reply::Block) {
                    handleBlock(f);
                } else if (payload == protocol::kClockPayload) {
                    handleClock(f);
                }
            }
            // Spoil the lead byte: the next search moves on by one byte and drops the rest as it goes.
            f[0] = 0;
        }
        // An instrument whose stream ended with the last download stands at the end of the recording; one
        // that answers with the copy nearest to its stream must first be brought back below the wrap.
        if (requestFirstBlock && planFirstRequest_) firstPlan = requestPlan(0);
        if (chained_ >= 0) {
            chained = chained_;
            chainedThen = then_;
            chained_ = -1;
        }
    }
    // Written outside the lock: a slow write must not hold up the user-interface thread's reads.
    if (!firstPlan.empty()) {
        const int first = firstPlan.front();
        firstPlan.erase(firstPlan.begin());
        link_.requestBlocksThen(first, true, std::move(firstPlan));
    } else if (requestFirstBlock) {
        link_.blockRequest(blockAddress(0));
    }
    if (chained >= 0) link_.requestBlocksThen(chained, false, std::move(chainedThen));
    return result;
}

bool ReplyDecoder::handleHeader(const std::uint8_t* f, int payload, bool& requestFirstBlock) {
    Recording& rec = link_.recording();
    const int n = payload + 8;
    int expected = PendingHeader;
    link_.pendingCode.compare_exchange_strong(expected, PendingHeader | kAnswered);
    rec.instrumentState = kStatusUnknown;
    rec.values[Recording::ValSerial].clear();
    if (n >= 43) {
        rec.validMask = 0;
        std::string serial;
        for (int k = 0; k < protocol::header::kSerialLength; ++k) {
            // A NUL would cut the text short wherever it is shown; leave it out.
            const auto c = static_cast<char>(f[protocol::header::kSerial + k]);
            if (c != '\0') serial.push_back(c);
        }
        rec.values[Recording::ValSerial] = serial;
        rec.validMask |= Recording::MaskSerial;
        rec.kind = kindOfSerial(serial);
        rec.setDefaultDescription();
        rec.validMask |= Recording::MaskDescription;
    }
    if ((rec.kind != KindTemp && rec.kind != KindTempCompact) || n != 45) return false;

    const auto start = headerTime(f + protocol::header::kStart);
    rec.startTime = start.value_or(0);
    rec.values[Recording::ValStart] = start ? headerTimeText(*start) : std::string();
    if (start) rec.validMask |= Recording::MaskStart;
    const auto stop = headerTime(f + protocol::header::kStop);
    rec.stopTime = stop.value_or(0);
    rec.values[Recording::ValStop] = stop ? headerTimeText(*stop) : std::string();
    if (stop) rec.validMask |= Recording::MaskStop;

    rec.intervalSeconds = 60 * static_cast<std::int64_t>(f[protocol::header::kInterval]);
    rec.values[Recording::ValInterval] = intervalText(rec.intervalSeconds);
    rec.validMask |= Recording::MaskInterval;

    const int count = u16(f + protocol::header::kCount);
    if (count <= kMaxCount) {
        rec.sampleCount = count;
        rec.validMask |= Recording::MaskCount;
    } else {
        std::int64_t span = 0;
        if (rec.intervalSeconds > 0) span = (rec.stopTime - rec.startTime) / rec.intervalSeconds + 1;
        // Below 1 (stop before start) is as empty as above the capacity is impossible.
        rec.sampleCount = span >= 1 && span <= kMaxCount ? static_cast<std::int32_t>(span) : 0;
    }
    rec.values[Recording::ValCount] = format("%d", rec.sampleCount);

    rec.tempMax = value(f + protocol::header::kMax);
    rec.validMask |= Recording::MaskTempMax;
    rec.tempMin = value(f + protocol::header::kMin);
    rec.validMask |= Recording::MaskTempMin;
    const std::int32_t sum = s32(f + protocol::header::kSum);
    rec.tempAvg = rec.sampleCount >= 1 ? static_cast<float>(sum / 100.0 / rec.sampleCount) : 0.0f;
    rec.validMask |= Recording::MaskTempAvg;
    rec.tempUpper = 0.0f;
    rec.tempLower = 0.0f;
    rec.instrumentState = f[protocol::header::kState];

    if (!(rec.startTime != 0 && rec.stopTime != 0 && rec.startTime <= rec.stopTime)) {
        rec.validMask = Recording::MaskSerial;
    }
    if (rec.instrumentState == kStateIdle) {
        if (rec.kind == KindTempCompact) {
            rec.sampleCount = 0;
            rec.validMask = Recording::MaskSerial;
        }
        link_.sink().post(WM_CALIBRATION_ENABLE, 1, 0);
    }
    rec.formatTemperatureTexts();
    rec.buildSampleTimes();
    rec.tempAlarmOn = false;
    rec.humiAlarmOn = false;
    rec.samplesLoaded = 0;
    rec.samplesMissing = 0;
    resetDownload(rec.sampleCount);
    if (link_.downloadMode.load() == kDownloadMode) {
        link_.retryCounter.store(kRetriesAfterBlock);
        requestFirstBlock = true;
    }
    return true;
}

void ReplyDecoder::resetDownload(int count) {
    count_ = std::clamp(count, 0, Recording::kCapacity);
    stored_.assign(static_cast<std::size_t>((count_ + kBlock - 1) / kBlock), 0);
    storedBlocks_ = 0;
    heldBlocks_ = 0;
    next_ = -1;
    switchTo_ = -1;
    lastPlaced_ = -1;
    unplaced_.clear();
    heldSeen_.assign(65536 / (2 * kBlock), 0);
    requested_ = -1;
    then_.clear();
    chained_ = -1;
}

void ReplyDecoder::streamRequested(int position, bool lineQuiet) {
    streamRequested(position, lineQuiet, {});
}

void ReplyDecoder::streamRequested(int position, bool lineQuiet, std::vector<int> then) {
    next_ = -1;
    unplaced_.clear();
    switchTo_ = lineQuiet ? -1 : position;
    requested_ = position;
    then_ = std::move(then);
    chained_ = -1;
}

std::vector<int> ReplyDecoder::requestPlan(int position) const {
    if (position < 0 || position >= count_ || addressIsUnique(position)) return {std::max(position, 0)};
    if (position >= kAddressWrap) return {placeableStart(position)};
    // Below the first unique block every address names two samples.
    const int firstUnique = (count_ - kAddressWrap + kBlock - 1) / kBlock * kBlock;
    std::vector<int> plan{firstUnique};
    for (int at = firstUnique - kPlanStep; at > position; at -= kPlanStep)
        plan.push_back(at / kBlock * kBlock);
    plan.push_back(position);
    return plan;
}

bool ReplyDecoder::heldRunEndsAtRecordingEnd() const {
    if (unplaced_.empty() || count_ <= kAddressWrap) return false;
    const int lastBlock = (count_ - 1) / kBlock * kBlock;
    // Read as the copy past the wrap, the run ends with the recording: the instrument stops there, while the
    // copy below the wrap would go on with the first block whose address is unique.
    return unplaced_.back().address == blockAddress(lastBlock);
}

DownloadState ReplyDecoder::downloadState() const {
    DownloadState s;
    s.samplesLoaded = link_.recording().samplesLoaded;
    s.storedBlocks = storedBlocks_;
    s.heldBlocks = heldBlocks_;
    s.streamAt = lastPlaced_;
    s.blocksSeen = blocksSeen_;
    s.heldAtEnd = heldRunEndsAtRecordingEnd();
    s.firstGap = s.samplesLoaded;
    for (std::size_t b = static_cast<std::size_t>(s.firstGap / kBlock) + 1; b < stored_.size(); ++b) {
        if (stored_[b] != 0) {
            s.storedBeyondGap = true;
            break;
        }
    }
    return s;
}

ReplyDecoder::Missing ReplyDecoder::markMissing() {
    Recording& rec = link_.recording();
    Missing m;
    int end = 0;
    for (std::size_t b = stored_.size(); b > 0; --b) {
        if (stored_[b - 1] != 0) {
            end = std::min(static_cast<int>(b) * kBlock, count_);
            break;
        }
    }
    if (end == 0) return m;
    for (int i = 0; i < end; ++i) {
        if (isStored(i)) continue;
        rec.temperature[static_cast<std::size_t>(i)] = Recording::kNoValue;
        if (m.count == 0) m.first = i;
        m.last = i;
        ++m.count;
    }
    rec.samplesLoaded = end;
    rec.samplesMissing = m.count;
    return m;
}

bool ReplyDecoder::addressIsUnique(int position) const {
    return position >= 0 && position < count_ && position + kAddressWrap >= count_ &&
           position - kAddressWrap < 0;
}

int ReplyDecoder::placeableStart(int position) const {
    if (addressIsUnique(position) || position < kAddressWrap) return position;
    // Past the wrap every address is shared; the last block before the wrap never is (60000 < 2 x 32768 -
    // 16), and a stream followed from there crosses the wrap at a known position.
    return kAddressWrap - kBlock;
}

bool ReplyDecoder::isStored(int position) const {
    const auto b = static_cast<std::size_t>(position / kBlock);
    return position >= 0 && b < stored_.size() && stored_[b] != 0;
}

bool ReplyDecoder::sameAsStored(int position, const BlockValues& values) const {
    const Recording& rec = link_.recording();
    for (int k = 0; k < kBlock && position + k < count_; ++k) {
        if (rec.temperature[static_cast<std::size_t>(position + k)] != values[static_cast<std::size_t>(k)])
            return false;
    }
    return true;
}

std::optional<int> ReplyDecoder::placeByContent(int sample, const BlockValues& values) const {
    // At most two samples of a recording share an address (the capacity is below twice the wrap).
    const int low = sample, high = sample + kAddressWrap;
    if (low >= count_) return std::nullopt;
    if (high >= count_) return low;
    // Both exist: a block whose samples differ from what is stored at one of them is the other one.
    const bool lowFits = !isStored(low) || sameAsStored(low, values);
    const bool highFits = !isStored(high) || sameAsStored(high, values);
    if (lowFits && !highFits) return low;
    if (highFits && !lowFits) return high;
    return std::nullopt;
}

void ReplyDecoder::store(int position, const BlockValues& values) {
    Recording& rec = link_.recording();
    if (isStored(position) || position < 0 || position >= count_) return;
    rec.dataFlags |= Recording::kSamplesPresent;
    for (int k = 0; k < kBlock && position + k < count_; ++k) {
        rec.temperature[static_cast<std::size_t>(position + k)] = values[static_cast<std::size_t>(k)];
    }
    stored_[static_cast<std::size_t>(position / kBlock)] = 1;
    ++storedBlocks_;
    auto b = static_cast<std::size_t>(std::max(rec.samplesLoaded, 0) / kBlock);
    while (b < stored_.size() && stored_[b] != 0) ++b;
    rec.samplesLoaded = std::min(static_cast<int>(b) * kBlock, count_);
}

void ReplyDecoder::placeUnplacedBefore(int position, std::uint16_t address) {
    // The unplaced blocks came earlier in the same stream: each lies before its successor by the
    // difference of their addresses.
    int at = position;
    std::uint16_t next = address;
    for (auto it = unplaced_.rbegin(); it != unplaced_.rend(); ++it) {
        const int back = static_cast<std::uint16_t>(next - it->address) / 2;
        if (back == 0) continue;  // the same block twice
        if (back > kMaxSkip || at - back < 0) break;
        at -= back;
        next = it->address;
        // Samples that contradict what is stored there say this run is not the stream we think.
        if (isStored(at) && !sameAsStored(at, it->values)) break;
        store(at, it->values);
    }
    unplaced_.clear();
}

void ReplyDecoder::handleBlock(const std::uint8_t* f) {
    const std::uint16_t address = u16(f + protocol::kEchoOffset);
    const bool answer = requested_ >= 0 && address == blockAddress(requested_);
    placeBlock(f);
    if (!answer) return;
    // The answer to the last request has begun: the next request of its plan goes out now, while the
    // instrument's stream still stands near the sample it was asked for.
    requested_ = -1;
    while (!then_.empty() && isStored(then_.front())) then_.erase(then_.begin());
    if (then_.empty()) return;
    chained_ = then_.front();
    then_.erase(then_.begin());
}

void ReplyDecoder::hold(std::uint16_t address, const BlockValues& values, int sample) {
    if (static_cast<int>(unplaced_.size()) >= kMaxUnplaced) return;
    unplaced_.push_back({address, values});
    // Samples that neither place holds yet are news the first time their address comes, wherever they turn
    // out to belong; the same address held again after a resend is not.
    // Outside a download (or with a stray address) there is no table to mark, and nothing counts as news.
    const std::size_t block = address / (2 * kBlock);
    if (block >= heldSeen_.size()) return;
    auto& seen = heldSeen_[block];
    if (seen == 0 && !isStored(sample) && !isStored(sample + kAddressWrap)) {
        seen = 1;
        ++heldBlocks_;
    }
}

void ReplyDecoder::placeBlock(const std::uint8_t* f) {
    Recording& rec = link_.recording();
    int expected = PendingBlock;
    link_.pendingCode.compare_exchange_strong(expected, PendingBlock | kAnswered);
    ++blocksSeen_;
    // A block outside a download that follows no header of this size: start the bookkeeping afresh.
    if (count_ != std::clamp(rec.sampleCount, 0, Recording::kCapacity)) {
        resetDownload(rec.sampleCount);
        rec.samplesLoaded = 0;
        rec.samplesMissing = 0;
    }
    const std::uint16_t address = u16(f + protocol::kEchoOffset);
    BlockValues values{};
    for (int k = 0; k < kBlock; ++k)
        values[static_cast<std::size_t>(k)] = value(f + protocol::kPayloadOffset + 2 * k);

    // Requests always name the first sample of a block; anything else cannot be placed on our blocks.
    lastPlaced_ = -1;
    if (address % (2 * kBlock) != 0) {
        next_ = -1;
        unplaced_.clear();
        return;
    }
    const int sample = address / 2;

    if (switchTo_ >= 0) {
        // The old stream may still be arriving: only what the address or the samples prove is stored, and
        // following starts at the requested block.
        const auto at = placeByContent(sample, values);
        if (at) {
            store(*at, values);
            lastPlaced_ = *at;
            if (*at == switchTo_) {
                switchTo_ = -1;
                next_ = *at + kBlock;
            }
            return;
        }
        if (address != blockAddress(switchTo_)) return;
        // The block asked for, of a sample its address does not tell apart: the new stream begins here and is
        // held until it reaches a block that can be placed.
        switchTo_ = -1;
        next_ = -1;
        unplaced_.clear();
    }

    std::optional<int> at;
    bool following = false;
    if (next_ >= 0) {
        const int ahead = static_cast<std::uint16_t>(address - blockAddress(next_)) / 2;
        if (ahead <= kMaxSkip && next_ + ahead < count_) {
            at = next_ + ahead;
            following = true;
            // The samples contradict the stream: it is not the one we followed.
            if (isStored(*at) && !sameAsStored(*at, values)) {
                at.reset();
                following = false;
            }
        } else if (next_ >= kBlock && address == blockAddress(next_ - kBlock)) {
            return;  // the last block once more
        }
    }
    if (!following) at = placeByContent(sample, values);
    if (!at) {
        next_ = -1;
        if (!unplaced_.empty()) {
            const int ahead = static_cast<std::uint16_t>(address - unplaced_.back().address) / 2;
            if (ahead == 0 && unplaced_.back().values == values) return;  // the same block twice
            // The same address with other samples is the other copy: a new stream began.
            if (ahead == 0 || ahead > kMaxSkip) unplaced_.clear();
        }
        hold(address, values, sample);
        return;
    }
    if (!following) placeUnplacedBefore(*at, address);
    unplaced_.clear();
    store(*at, values);
    lastPlaced_ = *at;
    next_ = *at + kBlock;
}

void ReplyDecoder::handleClock(const std::uint8_t* f) {
    Recording& rec = link_.recording();
    const std::uint8_t* t = f + protocol::clock::kTime;
    auto clock = instrumentTime(100 * t[6] + t[5], t[4], t[3], t[2], t[1], t[0]);
    if (!clock) clock = fromLocal(2001, 1, 1, 0, 0, 0);
    const std::int64_t instrument = clock.value_or(0);
    rec.instrumentState = f[protocol::clock::kState];
    rec.batteryValid = true;
    rec.batteryPercent = batteryPercent(u16(f + protocol::clock::kBattery));

    const bool timely = link_.now() - instrument < kAckWindowSeconds;
    const std::uint8_t* echo = f + protocol::kEchoOffset;
    if (echoIs(f, protocol::kEchoClockSet)) {
        int expected = PendingClockSet;
        if (timely) link_.pendingCode.compare_exchange_strong(expected, PendingClockSet | kAnswered);
    } else if (echo[0] == 0x00 && echo[1] == protocol::kStartMarker) {
        rec.kind = KindTemp;
        int expected = PendingStart;
        if (timely && echo[2] == rec.startIntervalMinutes && rec.instrumentState == kStateRecording) {
            link_.pendingCode.compare_exchange_strong(expected, PendingStart | kAnswered);
        }
    } else if (echoIs(f, protocol::kEchoStatus)) {
        // A status request is never pending itself; a clock set or start that went out after the poll
        // still waits for its own answer.
        rec.instrumentClock = instrument;
        link_.sink().post(WM_STATUS_DECODED, 1, 0);
    }
}

}  // namespace thermivo
