#pragma once
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <vector>

namespace thermivo {

/// Private messages of the main window; other threads reach the window only through these.
enum LinkMessage : std::uint32_t {
    WM_DOWNLOAD_PROGRESS = 0x466,
    WM_PORT_CHANGE = 0x467,
    WM_HEADER_DECODED = 0x468,
    WM_REPLY_WAIT = 0x469,
    WM_CALIBRATION_ENABLE = 0x46A,
    WM_PORT_LOST = 0x46B,
    WM_STATUS_DECODED = 0x46C,
    WM_DATA_INDICATOR = 0x46D,
    WM_LINK_INDICATOR = 0x46E,
};

/// One posted message.
struct PostedMessage {
    std::uint32_t message = 0;
    std::int64_t wParam = 0;
    std::int64_t lParam = 0;
    bool operator==(const PostedMessage&) const = default;
};

/// Where the link posts its messages. post() is called from any thread and must not block for long.
class MessageSink {
  public:
    virtual ~MessageSink() = default;
    /// Queue a message for the receiving (user-interface) thread.
    virtual void post(std::uint32_t message, std::int64_t wParam, std::int64_t lParam) = 0;
};

/// A sink that keeps messages until its owner drains them: tests and the command-line tool use it.
class MessageQueue : public MessageSink {
  public:
    void post(std::uint32_t message, std::int64_t wParam, std::int64_t lParam) override;
    /// Everything posted so far, oldest first; the queue is empty afterwards.
    std::vector<PostedMessage> drain();
    /// Waits until a message with this number is queued (or the timeout passes); removes and returns it.
    std::optional<PostedMessage> waitFor(std::uint32_t message, std::chrono::milliseconds timeout);
    /// Number of queued messages with this number.
    int count(std::uint32_t message) const;

  private:
    mutable std::mutex mutex_;
    std::condition_variable posted_;
    std::deque<PostedMessage> queue_;
};

}  // namespace thermivo
