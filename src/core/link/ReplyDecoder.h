#pragma once
#include <array>
#include <cstdint>

namespace thermivo {

class InstrumentLink;

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

    /// Battery percent of a 10-bit reading: 100 x ((r x 5 / 1023 - 3.1) / 0.35)^2, limited to 0..100.
    static int batteryPercent(int reading);

private:
    void dropFront(int n);
    bool handleHeader(const std::uint8_t* f, int payload, bool& requestFirstBlock);
    void handleBlock(const std::uint8_t* f);
    void handleClock(const std::uint8_t* f);

    InstrumentLink& link_;
    std::array<std::uint8_t, kBufferSize> buffer_{};
    std::array<std::uint8_t, kBufferSize> shift_{};
    int fill_ = 0;
};

}  // namespace thermivo
