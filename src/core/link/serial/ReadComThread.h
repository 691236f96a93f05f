#pragma once
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

namespace thermivo::VkComm {

class CComPort;

/// The reader thread of a port: waits in poll() on the device and a stop signal, reads up to 2048 bytes
/// and hands a chunk to the port's data callback once 100 ms pass without a new byte (or the buffer is full).
class CReadComThread {
  public:
    static constexpr int kBufferSize = 2048;
    static constexpr int kQuietMs = 100;

    /// The thread reads fd until stopFd becomes readable; it owns neither descriptor.
    CReadComThread(CComPort& owner, int fd, int stopFd);
    ~CReadComThread();
    CReadComThread(const CReadComThread&) = delete;
    CReadComThread& operator=(const CReadComThread&) = delete;

    /// Starts the thread; false when it could not be created.
    bool start();
    /// Waits up to the limit for the thread function to return; true when it did (the thread is joined).
    bool waitFinished(std::chrono::milliseconds limit);
    /// True once the thread function has returned.
    bool finished() const { return finished_.load(); }
    /// True when the reader ended because the device went away (hang-up, EIO, end of file).
    bool deviceLost() const { return deviceLost_.load(); }
    /// True when the thread was created.
    bool started() const { return thread_.joinable() || finished_.load(); }

  private:
    void run();
    void deliver(int count);
    static void raisePriority();

    CComPort& owner_;
    const int fd_;
    const int stopFd_;
    std::thread thread_;
    std::array<std::uint8_t, kBufferSize> buffer_{};
    std::atomic<bool> finished_{false};
    std::atomic<bool> deviceLost_{false};
    std::mutex finishMutex_;
    std::condition_variable finishedSignal_;
};

}  // namespace thermivo::VkComm
