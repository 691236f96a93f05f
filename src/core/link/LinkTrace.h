#pragma once
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

namespace thermivo {

/// A record of the serial exchange to attach to a problem report: one line per frame sent or received,
///   "   12.345678 -> FF CF BF 5F 00 00 00  header request"
/// with the seconds since the trace began (monotonic clock), the direction ("->" sent, "<-" received), the
/// bytes in hex and what they mean. Received bytes are cut into the instrument's frames as they arrive, so a
/// frame split over two reads is one line and bytes between frames get a line of their own.
/// Thread-safe: frames are sent on the user-interface thread and received on the serial reader thread.
class LinkTrace {
  public:
    LinkTrace() = default;
    ~LinkTrace();
    LinkTrace(const LinkTrace&) = delete;
    LinkTrace& operator=(const LinkTrace&) = delete;

    /// Starts a new trace file (an existing one is replaced); false with error() when it cannot be written.
    bool open(const std::string& path);
    /// Writes what is still buffered and closes the file.
    void close();
    bool isOpen() const;
    /// Why open() failed.
    const std::string& error() const { return error_; }

    /// A frame written to the instrument; `written` is what the write returned.
    void sent(const std::uint8_t* data, int count, int written);
    /// A chunk of bytes read from the instrument.
    void received(const std::uint8_t* data, int count);
    /// A line of context (port opened, closed, gone).
    void note(const std::string& text);

    /// What a command frame means ("header request", "block request 0x0040 (sample 32)", ...); "" for none.
    static std::string describeSent(const std::uint8_t* data, std::size_t count);
    /// What a reply frame means ("header reply: ...", "block reply 0x0040 ...", ...); "" for none.
    static std::string describeReceived(const std::uint8_t* data, std::size_t count);

  private:
    void line(const char* direction, const std::uint8_t* data, std::size_t count, const std::string& meaning);
    void cutFrames(bool flush);

    mutable std::mutex mutex_;
    std::FILE* file_ = nullptr;
    std::string error_;
    std::chrono::steady_clock::time_point start_;
    std::vector<std::uint8_t> pending_;  ///< received bytes that do not make a whole frame yet
};

}  // namespace thermivo
