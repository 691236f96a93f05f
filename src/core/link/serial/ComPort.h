#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "link/serial/ReadComThread.h"
#include "link/serial/SerialPort.h"

namespace thermivo::VkComm {

/// The port as the rest of the program sees it: open, write, close, the data callback and the port list.
/// open/close/enumerate belong to one thread (the user-interface thread); write may be called from any
/// thread and is serialized.
class CComPort {
  public:
    /// Receives every chunk read, on the reader thread; the block is valid only during the call.
    using DataCallback = void (*)(void* userData, const std::uint8_t* data, int count);
    static constexpr int kMaxPorts = 256;
    /// How long close waits for the reader before leaving it to end by itself.
    static constexpr std::chrono::milliseconds kCloseLimit{3000};
    /// How long a write may wait for room in the driver's queue.
    static constexpr std::chrono::milliseconds kWriteLimit{2000};

    CComPort() = default;
    virtual ~CComPort();
    CComPort(const CComPort&) = delete;
    CComPort& operator=(const CComPort&) = delete;

    /// Sets the data callback and its first argument; takes effect at the next open.
    void setDataCallback(DataCallback callback, void* userData);

    /// Tries ports 1..256 (paths from pathOf, "" for none): fills portTable and available, returns the count.
    int enumerate(const std::function<std::string(int)>& pathOf);

    /// Opens the device of port n exclusively and starts the reader; false when it could not be opened.
    bool open(int portNumber, const std::string& path);
    /// True while a device is open (also after the device vanished, until close).
    bool isOpen() const;
    /// Writes all bytes; returns the number written (0 on failure).
    int write(const std::uint8_t* data, int count);
    /// Stops the reader (bounded wait) and closes the device; does nothing when closed.
    void close();

    /// The path still names the device we opened and our descriptor is healthy.
    bool isPresent() const;
    /// True when the reader thread has ended because the device went away.
    bool deviceLost() const;
    /// True while the reader thread runs.
    bool readerRunning() const;
    /// n of the open port, 0 when closed.
    int portNumber() const;
    /// Path of the open port, "" when closed.
    std::string path() const;

    std::array<std::int32_t, kMaxPorts> portTable{};
    std::array<std::int32_t, kMaxPorts> available{};

  private:
    friend class CReadComThread;
    void deliver(const std::uint8_t* data, int count);

    std::unique_ptr<CSerialPort> serial_;
    std::unique_ptr<CReadComThread> reader_;
    DataCallback dataCallback_ = nullptr;
    void* userData_ = nullptr;
    int stopFd_ = -1;
    mutable std::mutex writeMutex_;
};

}  // namespace thermivo::VkComm
