#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace thermivo {

class InstrumentLink;

/// Where a download stands, as the controller needs it (read under the recording lock).
struct DownloadState {
    int samplesLoaded = 0;  ///< samples from the first on without a gap
    int storedBlocks = 0;   ///< blocks stored anywhere in the recording; grows only with new samples
    int heldBlocks = 0;     ///< addresses first held in this download (neither of their samples stored)
    int blocksSeen = 0;     ///< good block replies, placed or not: the line is busy while it grows
    int firstGap = 0;       ///< first sample not stored (= samplesLoaded)
    bool storedBeyondGap = false;  ///< some block after the first gap is already stored
    int streamAt = -1;  ///< sample of the last block the stream brought that could be placed; -1 unknown
    bool heldAtEnd =
        false;  ///< the held run, read as the copy past the address wrap, ends with the recording
};

/// Turns the instrument's byte stream into Recording fields, link state and posted messages.
/// Runs on the serial reader thread only (one chunk at a time); the buffer persists between chunks.
///
/// Framing: find FF + a known signature, wait until the whole frame is buffered, check its sum, handle
/// it, then spoil its lead byte so the next search moves on by one byte. Garbage is dropped; when no
/// frame start is present only the last three bytes stay, since they may begin one.
class ReplyDecoder {
  public:
    static constexpr int kBufferSize = 6144;

    explicit ReplyDecoder(InstrumentLink& link);

    /// Appends a chunk (dropped whole when it does not fit), decodes, posts WM_HEADER_DECODED on a header.
    void receive(const std::uint8_t* data, int count);
    /// Handles every complete frame buffered; 1 when a complete header reply was decoded.
    int decode();
    /// Forgets buffered bytes (before a port is opened).
    void clear() { fill_ = 0; }
    /// Number of buffered bytes.
    int fillCount() const { return fill_; }
    /// Buffered bytes.
    const std::uint8_t* data() const { return buffer_.data(); }

    /// Forgets what a download stored so far, for a recording of `count` samples (lock held).
    void resetDownload(int count);
    /// A block request for sample `position` is about to go out (lock held). On a quiet line whatever comes
    /// next is the new stream; while blocks still flow, the old stream's blocks may come first, so nothing
    /// is placed by following a stream until the requested block itself has been placed for sure.
    void streamRequested(int position, bool lineQuiet);
    /// As streamRequested, and once the answer's first block is in, `then` is asked for at once (from the
    /// reader thread), one after another, each while the previous answer still streams (lock held).
    void streamRequested(int position, bool lineQuiet, std::vector<int> then);
    /// Where to ask for the gap at `position`, in order: a sample only the 16-bit address tells apart from
    /// another is reached through the block where the addresses become unique, then stepping down while the
    /// instrument's stream stands near, so an instrument that answers with the copy nearest to its stream
    /// answers with the one asked for (lock held).
    std::vector<int> requestPlan(int position) const;
    /// The first block request of the next download follows requestPlan(0) instead of asking for block 0
    /// alone: the instrument's stream ended at the end of this recording before (lock held).
    void planFirstRequest(bool planned) { planFirstRequest_ = planned; }
    /// Steps of requestPlan: an instrument standing this many samples past a request still answers with the
    /// nearer copy even after the line and the reader held back a few thousand samples.
    static constexpr int kPlanStep = 8192;
    /// True when no other sample of the recording shares the 16-bit address of `position` (lock held).
    bool addressIsUnique(int position) const;
    /// The download's progress (lock held).
    DownloadState downloadState() const;
    /// The placeable start for a refetch of the gap at `position`: the position itself when its address
    /// names it alone in the recording, else the last sample block before the wrap (lock held).
    int placeableStart(int position) const;

    /// Samples of a download that never arrived, before the last one that did.
    struct Missing {
        int count = 0;
        int first = -1;
        int last = -1;
    };
    /// Ends a download that stopped short (lock held): the recording holds everything up to the last sample
    /// that arrived, and the samples missing among them carry Recording::kNoValue.
    Missing markMissing();

    /// Samples a 16-bit byte address tells apart.
    static constexpr int kAddressWrap = 32768;

    /// Battery percent of a 10-bit reading: 100 x ((r x 5 / 1023 - 3.1) / 0.35)^2, limited to 0..100.
    static int batteryPercent(int reading);

  private:
    void dropFront(int n);
    bool handleHeader(const std::uint8_t* f, int payload, bool& requestFirstBlock);
    void handleBlock(const std::uint8_t* f);
    void placeBlock(const std::uint8_t* f);
    bool heldRunEndsAtRecordingEnd() const;

    using BlockValues = std::array<float, 16>;
    struct Unplaced {
        std::uint16_t address;
        BlockValues values;
    };
    std::optional<int> placeByContent(int sample, const BlockValues& values) const;
    bool sameAsStored(int position, const BlockValues& values) const;
    bool isStored(int position) const;
    void store(int position, const BlockValues& values);
    void placeUnplacedBefore(int position, std::uint16_t address);
    void handleClock(const std::uint8_t* f);
    void hold(std::uint16_t address, const BlockValues& values, int sample);

    InstrumentLink& link_;
    std::array<std::uint8_t, kBufferSize> buffer_{};
    std::array<std::uint8_t, kBufferSize> shift_{};
    int fill_ = 0;

    // Download bookkeeping, guarded by the recording lock.
    int count_ = 0;                     ///< samples of the recording being downloaded
    std::vector<std::uint8_t> stored_;  ///< per block of 16 samples: stored
    int storedBlocks_ = 0;
    int heldBlocks_ = 0;
    int blocksSeen_ = 0;
    int next_ = -1;                       ///< position of the next block of the followed stream; -1: not sure
    int switchTo_ = -1;                   ///< requested position while the old stream may still arrive
    int lastPlaced_ = -1;                 ///< where the last block that arrived was placed; -1 not placed
    std::vector<Unplaced> unplaced_;      ///< blocks of the current stream that could not be placed yet
    std::vector<std::uint8_t> heldSeen_;  ///< per block address: held once in this download
    int requested_ = -1;                  ///< position of the last block request
    std::vector<int> then_;               ///< requests still to go out, the first once the last is answered
    int chained_ = -1;                    ///< a request to send once the lock is let go; -1 none
    bool planFirstRequest_ = false;
};

}  // namespace thermivo
