#include "link/InstrumentLink.h"

#include <cstdlib>

#include "app/UiText.h"
#include "data/LocalTime.h"
#include "link/LinkTrace.h"
#include "link/Protocol.h"

namespace thermivo {

namespace {

/// The serial port as a frame transport.
class PortTransport : public FrameTransport {
  public:
    explicit PortTransport(VkComm::CComPort& port) : port_(port) {}
    int write(const std::uint8_t* data, int count) override { return port_.write(data, count); }
    bool isPresent() override { return port_.isPresent(); }

  private:
    VkComm::CComPort& port_;
};

ShortFrame shortFrame(const protocol::Bytes3& signature, const protocol::Bytes3& args) {
    return {protocol::kLead, signature[0], signature[1], signature[2], args[0], args[1], args[2]};
}

LongFrame longFrame(const protocol::Bytes3& args, std::int64_t now) {
    LongFrame f{};
    const ShortFrame head = shortFrame(protocol::kSigClock, args);
    std::copy(head.begin(), head.end(), f.begin());
    const auto block = clockBlock(now);
    std::copy(block.begin(), block.end(), f.begin() + protocol::kClockBlockOffset);
    return f;
}

}  // namespace

ShortFrame headerRequestFrame(bool download) {
    return shortFrame(protocol::kSigHeader,
                      download ? protocol::kEchoDownloadHeader : protocol::kEchoPlainHeader);
}

ShortFrame blockRequestFrame(std::uint16_t address) {
    return shortFrame(protocol::kSigBlock,
                      {static_cast<std::uint8_t>(address & 0xFF), static_cast<std::uint8_t>(address >> 8),
                       protocol::kBlockRequestTail});
}

std::uint16_t blockAddress(std::int64_t sampleIndex) {
    return static_cast<std::uint16_t>((2 * sampleIndex) & 0xFFFF);
}

std::array<std::uint8_t, 7> clockBlock(std::int64_t seconds) {
    const auto t = toLocal(seconds);
    if (!t) return {0xFF, 0xFF, 0xFF, 0, 0, 0, 0};
    const int century = t->year / 100;
    return {static_cast<std::uint8_t>(t->second), static_cast<std::uint8_t>(t->minute),
            static_cast<std::uint8_t>(t->hour),   static_cast<std::uint8_t>(t->day),
            static_cast<std::uint8_t>(t->month),  static_cast<std::uint8_t>(t->year - 100 * century),
            static_cast<std::uint8_t>(century)};
}

LongFrame clockSetFrame(std::int64_t now) {
    return longFrame(protocol::kEchoClockSet, now);
}

LongFrame startFrame(std::uint8_t minutes, std::int64_t now) {
    return longFrame({0x00, protocol::kStartMarker, minutes}, now);
}

LongFrame statusFrame(std::int64_t now) {
    return longFrame(protocol::kEchoStatus, now);
}

InstrumentLink::InstrumentLink(Recording& recording, MessageSink& sink)
    : recording_(recording),
      sink_(sink),
      portTransport_(std::make_unique<PortTransport>(port_)),
      decoder_(std::make_unique<ReplyDecoder>(*this)),
      clock_(nowSeconds) {
    transport_ = portTransport_.get();
}

InstrumentLink::~InstrumentLink() {
    closePort();
}

bool InstrumentLink::openPort(int n, const std::string& path) {
    closePort();
    decoder_->clear();
    port_.setDataCallback(&InstrumentLink::receiveCallback, this);
    const bool opened = port_.open(n, path);
    if (LinkTrace* trace = trace_.load()) trace->note((opened ? "opened " : "could not open ") + path);
    return opened;
}

void InstrumentLink::closePort() {
    const bool wasOpen = port_.isOpen();
    port_.close();
    if (LinkTrace* trace = trace_.load(); trace != nullptr && wasOpen) trace->note("closed the port");
}

void InstrumentLink::setTransport(FrameTransport* transport) {
    transport_ = transport != nullptr ? transport : portTransport_.get();
}

int InstrumentLink::send(const std::uint8_t* frame, int size, std::int32_t pending, std::int64_t replyWait) {
    if (pending != PendingNone) pendingCode.store(pending);
    if (replyWait > 0) sink_.post(WM_REPLY_WAIT, 0, replyWait);
    if (!portPresenceCheck()) {
        if (LinkTrace* trace = trace_.load()) trace->sent(frame, size, -1);
        return -1;
    }
    const int written = transport_->write(frame, size);
    if (LinkTrace* trace = trace_.load()) trace->sent(frame, size, written);
    return written;
}

int InstrumentLink::headerRequest(bool download) {
    const auto f = headerRequestFrame(download);
    return send(f.data(), static_cast<int>(f.size()), PendingHeader, kReplyWaitSeconds);
}

int InstrumentLink::blockRequest(std::uint16_t address) {
    // Nothing said about the line: whatever comes next is taken as the new stream.
    return requestBlocksFrom(address / 2, true, address);
}

int InstrumentLink::requestBlocksFrom(int position, bool lineQuiet) {
    return requestBlocksFrom(position, lineQuiet, blockAddress(position));
}

int InstrumentLink::requestBlocksThen(int position, bool lineQuiet, std::vector<int> then) {
    return requestBlocksFrom(position, lineQuiet, blockAddress(position), std::move(then));
}

int InstrumentLink::requestBlocksFrom(int position, bool lineQuiet, std::uint16_t address,
                                      std::vector<int> then) {
    {
        auto lock = lockRecording();
        decoder_->streamRequested(position, lineQuiet, std::move(then));
    }
    const auto f = blockRequestFrame(address);
    return send(f.data(), static_cast<int>(f.size()), PendingBlock, kReplyWaitSeconds);
}

int InstrumentLink::clockSetRequest() {
    const auto f = clockSetFrame(now());
    return send(f.data(), static_cast<int>(f.size()), PendingClockSet, kReplyWaitSeconds);
}

int InstrumentLink::startRequest(std::uint8_t minutes) {
    const auto f = startFrame(minutes, now());
    return send(f.data(), static_cast<int>(f.size()), PendingStart, kStartReplyWaitSeconds);
}

int InstrumentLink::statusRequest() {
    const auto f = statusFrame(now());
    return send(f.data(), static_cast<int>(f.size()), PendingNone, 0);
}

bool InstrumentLink::portPresenceCheck() {
    if (portNumber.load() > 0 && transport_->isPresent()) return true;
    instrumentConnected.store(false);
    // Negated once: a port found gone must never name a real port again, however often we ask.
    portNumber.store(-std::abs(portNumber.load()));
    setDisconnectText(text(kDisconnectTextId));
    sink_.post(WM_PORT_LOST, 0, 0);
    sink_.post(WM_LINK_INDICATOR, 0, 0);
    return false;
}

void InstrumentLink::receive(const std::uint8_t* data, int count) {
    if (LinkTrace* trace = trace_.load()) trace->received(data, count);
    decoder_->receive(data, count);
}

void InstrumentLink::receiveCallback(void* userData, const std::uint8_t* data, int count) {
    static_cast<InstrumentLink*>(userData)->receive(data, count);
}

std::string InstrumentLink::disconnectText() const {
    std::lock_guard lock(textMutex_);
    return disconnectText_;
}

void InstrumentLink::setDisconnectText(const std::string& text) {
    std::lock_guard lock(textMutex_);
    disconnectText_ = text;
}

void InstrumentLink::setClock(std::function<std::int64_t()> clock) {
    clock_ = clock ? std::move(clock) : nowSeconds;
}

std::int64_t InstrumentLink::now() const {
    return clock_();
}

}  // namespace thermivo
