#pragma once
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "data/RecordingLock.h"
#include "link/LinkMessages.h"
#include "link/ReplyDecoder.h"
#include "link/serial/ComPort.h"

namespace thermivo {

struct Recording;
class LinkTrace;

/// What the link writes its frames through: the serial port, or a fake in tests.
class FrameTransport {
  public:
    virtual ~FrameTransport() = default;
    /// Writes the frame; the number of bytes written, 0 on failure.
    virtual int write(const std::uint8_t* data, int count) = 0;
    /// The device is still attached and usable.
    virtual bool isPresent() = 0;
};

/// Which command awaits its reply; the decoder adds kAnswered when the reply arrives.
enum PendingCommand : std::int32_t {
    PendingNone = 0,
    PendingHeader = 1,
    PendingBlock = 2,
    PendingClockSet = 8,
    PendingStart = 10,
    kAnswered = 0x100,
};

/// The link's download mode while a download runs (0 otherwise).
constexpr std::int32_t kDownloadMode = 2;

using ShortFrame = std::array<std::uint8_t, 7>;
using LongFrame = std::array<std::uint8_t, 14>;

/// FF CF BF 5F 00 00 00, or with the letters "ST" for a download.
ShortFrame headerRequestFrame(bool download);
/// FF 5E BE 6E a0 a1 FF.
ShortFrame blockRequestFrame(std::uint16_t address);
/// Block address of a sample index: two bytes per sample, truncated to 16 bits.
std::uint16_t blockAddress(std::int64_t sampleIndex);
/// Second, minute, hour, day, month, year % 100, century of the local time; fill values when it fails.
std::array<std::uint8_t, 7> clockBlock(std::int64_t seconds);
/// FF BD 5D 7D 00 00 00 + clock block.
LongFrame clockSetFrame(std::int64_t now);
/// FF BD 5D 7D 00 9D m + clock block.
LongFrame startFrame(std::uint8_t minutes, std::int64_t now);
/// FF BD 5D 7D 7D BD 5D + clock block.
LongFrame statusFrame(std::int64_t now);

/// The one conversation with the instrument: the port, the command senders, the receive routine and the
/// state shared between the user-interface thread and the serial reader thread.
///
/// Threads: senders and open/close run on the user-interface thread; the decoder runs on the reader
/// thread and sends the first block request of a download from there. The Recording is written by the
/// decoder under lockRecording(); whoever reads it while a port is open takes the same lock.
class InstrumentLink {
  public:
    static constexpr std::int64_t kReplyWaitSeconds = 3;
    static constexpr std::int64_t kStartReplyWaitSeconds = 10;
    static constexpr int kDisconnectTextId = 4;

    InstrumentLink(Recording& recording, MessageSink& sink);
    ~InstrumentLink();
    InstrumentLink(const InstrumentLink&) = delete;
    InstrumentLink& operator=(const InstrumentLink&) = delete;

    /// Opens the device of port n with the receive routine as data callback; the receive buffer starts
    /// empty. Does not change portNumber (the controller sets it once the port is open).
    bool openPort(int n, const std::string& path);
    /// Closes the port (bounded, also when the device vanished).
    void closePort();
    /// The serial port.
    VkComm::CComPort& port() { return port_; }
    /// Writes go through this transport instead of the serial port (tests); nullptr restores the port.
    void setTransport(FrameTransport* transport);

    /// Header request (download letters when asked); bytes written, or -1 when the port is gone.
    int headerRequest(bool download);
    /// Block request for a block address.
    int blockRequest(std::uint16_t address);
    /// Block request for the block at sample `position`; the decoder learns first that a new stream comes,
    /// and whether the old one may still be on the line (lineQuiet false).
    int requestBlocksFrom(int position, bool lineQuiet);
    /// As requestBlocksFrom, then the positions of `then` one after another as each answer begins.
    int requestBlocksThen(int position, bool lineQuiet, std::vector<int> then);
    /// Sets the instrument clock to the PC clock.
    int clockSetRequest();
    /// Starts a recording with an interval of the given minutes.
    int startRequest(std::uint8_t minutes);
    /// Asks for clock, state and battery; leaves the pending command alone and posts no reply wait.
    int statusRequest();
    /// True while the port is there; otherwise marks the link lost and posts WM_PORT_LOST.
    bool portPresenceCheck();

    /// The receive routine: a chunk of bytes from the reader thread.
    void receive(const std::uint8_t* data, int count);
    /// The data callback given to the serial port (userData is the link).
    static void receiveCallback(void* userData, const std::uint8_t* data, int count);

    /// Lock for reading or changing the Recording while the reader may decode into it.
    RecordingLock lockRecording() { return RecordingLock(recordingMutex_); }
    /// The same lock, for the window's views, which read the recording when they paint.
    RecordingMutex& recordingMutex() { return recordingMutex_; }
    /// The recording the decoder fills (take lockRecording() around access while a port is open).
    Recording& recording() { return recording_; }
    /// Where the link posts its messages.
    MessageSink& sink() { return sink_; }
    /// The reply decoder with the receive buffer.
    ReplyDecoder& decoder() { return *decoder_; }

    /// Caption of the connect button after the port was found gone ("" until then).
    std::string disconnectText() const;
    void setDisconnectText(const std::string& text);

    /// Every frame sent and every byte received is also written to this trace (nullptr: none). Set it
    /// before a port is opened; the trace must outlive the link's use of it.
    void setTrace(LinkTrace* trace) { trace_.store(trace); }

    /// Replaces the PC clock (seconds since 1970) used for command clock blocks and reply checks; set it
    /// before a port is opened (the reader thread reads it).
    void setClock(std::function<std::int64_t()> clock);
    /// The PC clock.
    std::int64_t now() const;

    std::atomic<std::int32_t> portNumber{0};    ///< n of the port in use; negated once found gone
    std::atomic<std::int32_t> pendingCode{0};   ///< PendingCommand, plus kAnswered when answered
    std::atomic<std::int32_t> downloadMode{0};  ///< kDownloadMode while a download runs
    std::atomic<std::int32_t> retryCounter{0};  ///< retries left in the current download step
    std::atomic<bool> instrumentConnected{false};

  private:
    int send(const std::uint8_t* frame, int size, std::int32_t pending, std::int64_t replyWait);
    int requestBlocksFrom(int position, bool lineQuiet, std::uint16_t address, std::vector<int> then = {});

    Recording& recording_;
    MessageSink& sink_;
    VkComm::CComPort port_;
    FrameTransport* transport_ = nullptr;
    std::unique_ptr<FrameTransport> portTransport_;
    std::unique_ptr<ReplyDecoder> decoder_;
    RecordingMutex recordingMutex_;
    mutable std::mutex textMutex_;
    std::string disconnectText_;
    std::function<std::int64_t()> clock_;
    std::atomic<LinkTrace*> trace_{nullptr};
};

}  // namespace thermivo
