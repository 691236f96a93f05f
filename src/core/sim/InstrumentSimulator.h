#pragma once
#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <vector>

namespace thermivo {

/// Faults the virtual instrument can show; block numbers count from 0 and each fault fires once.
struct SimFaults {
    std::set<int> dropBlocks;       ///< block not sent; the stream goes on with the next one
    std::set<int> corruptBlocks;    ///< block sent with a wrong check sum
    std::set<int> duplicateBlocks;  ///< block sent twice in a row
    int stallAfter = -1;            ///< the stream stops after this block until the next block request
    int unplugAfter = -1;           ///< the device goes away after this block
    int cutAfter = 0;               ///< each of the first `cuts` answers stops after this many blocks
    int cuts = 0;
    bool garbage = false;   ///< a few stray bytes before every frame
    bool split = false;     ///< every frame is written in two parts with a pause between them
    bool noAnswer = false;  ///< commands are read and ignored
};

/// How the instrument answers a block request: its addresses are 16 bits wide, so past sample 32767 the
/// address it is given names more than one sample.
enum class SimResend {
    Nearest,        ///< the sample with that address nearest to where its own stream stands
    Literal,        ///< the address taken as it is: twice the sample index, never past sample 32767
    RestartAtZero,  ///< whatever the address, the stream starts again at the first block
};

/// The instrument's memory and settings.
struct SimConfig {
    std::string serial = "DI123456789";  ///< 11 characters; the first letters decide the kind
    std::vector<float> samples;          ///< recorded values in degrees Celsius
    std::int64_t start = 0;              ///< start of the recording, seconds since 1970 (0: an hour back)
    int intervalMinutes = 1;
    int state = 1;                 ///< 0 not started, 1 recording
    int battery = 700;             ///< 10-bit reading of 0-5 V
    std::int64_t clockOffset = 0;  ///< instrument clock minus PC clock, seconds
    std::uint32_t garbageSeed = 1;
    SimResend resend = SimResend::Nearest;
    int aheadBlocks = 1;  ///< blocks put on the line before the next command is looked at
    SimFaults faults;
};

/// A deterministic, plausible temperature curve of count samples (hundredth-degree steps).
std::vector<float> simulatedCurve(int count, std::uint32_t seed);

/// Parses a JSON list of numbers ("[21.5, 22, -3.25]"); false with a message on anything else.
bool parseSampleList(const std::string& json, std::vector<float>& out, std::string& error);

/// The instrument's side of the protocol: it reads command frames and produces reply frames, and after a
/// block request streams data blocks one after another until the end of the recording. Not thread-safe:
/// one thread feeds it and takes its output.
class InstrumentSimulator {
  public:
    using Frame = std::vector<std::uint8_t>;

    explicit InstrumentSimulator(SimConfig config, std::function<std::int64_t()> clock = {});

    /// Command bytes from the program (any chunking).
    void receive(const std::uint8_t* data, std::size_t count);
    /// Replies to the commands received so far, in order; the list is empty afterwards.
    std::vector<Frame> takeReplies();
    /// True while blocks are due.
    bool streaming() const { return streaming_; }
    /// The frames of the next block of the stream (none when it is dropped, two when repeated); advances it.
    std::vector<Frame> nextBlockFrames();
    /// Number of the last block put on the line, -1 before the first.
    int lastBlock() const { return lastBlock_; }
    /// True once the block after which the device goes away has been sent.
    bool unplugDue() const { return unplugDue_; }
    /// Stray bytes to put before a frame (empty without the garbage fault).
    Frame garbage();

    /// Reply frames, built from the current state.
    Frame headerReply(const std::uint8_t echo[3]) const;
    Frame blockReply(int firstIndex) const;
    Frame clockReply(const std::uint8_t echo[3]) const;

    /// The instrument's clock now.
    std::int64_t instrumentClock() const;
    int state() const { return config_.state; }
    int commandsReceived() const { return commands_; }
    const SimConfig& config() const { return config_; }

  private:
    void handleCommand(const std::uint8_t* frame, std::size_t size);
    void startStream(std::uint16_t address);
    std::int64_t stopTime() const;
    void setClockFromFrame(const std::uint8_t* block);

    SimConfig config_;
    std::function<std::int64_t()> clock_;
    std::vector<std::uint8_t> input_;
    std::vector<Frame> replies_;
    bool streaming_ = false;
    int next_ = 0;  ///< index of the next sample to stream
    int lastBlock_ = -1;
    int streamBlocks_ = 0;  ///< blocks sent since the last block request
    int cutsDone_ = 0;
    bool unplugDue_ = false;
    std::set<int> fired_;  ///< faults already shown, as block numbers of stalls/unplugs
    int commands_ = 0;
    std::uint32_t rng_;
};

}  // namespace thermivo
