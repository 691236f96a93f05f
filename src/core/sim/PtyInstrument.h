#pragma once
#include <atomic>
#include <mutex>
#include <string>
#include <thread>

#include "sim/InstrumentSimulator.h"

namespace thermivo {

/// The virtual instrument served on a pseudo-terminal, so the program's real serial code talks to it.
/// Its own thread reads commands from the master side and writes the simulator's replies and blocks.
class PtyInstrument {
  public:
    /// Bytes per second of the line at 9600 baud, 8N1.
    static constexpr int kLineBytesPerSecond = 960;
    /// Pause between the two parts of a split frame: longer than the reader's quiet time.
    static constexpr int kSplitPauseMs = 150;

    /// fast: no line pacing (blocks as quickly as the terminal takes them).
    explicit PtyInstrument(SimConfig config, bool fast = true);
    ~PtyInstrument();
    PtyInstrument(const PtyInstrument&) = delete;
    PtyInstrument& operator=(const PtyInstrument&) = delete;

    /// Creates the pseudo-terminal and starts serving; false (with error()) when that fails.
    bool start();
    /// Stops serving and closes the terminal; the device path disappears.
    void stop();
    /// Closes the terminal at once, as a pulled plug would.
    void unplug();
    /// Path of the device the program opens (/dev/pts/N).
    const std::string& path() const { return path_; }
    /// True once the terminal was closed by unplug() or by the unplug fault.
    bool unplugged() const { return unplugged_.load(); }
    /// Why start() failed.
    const std::string& error() const { return error_; }
    /// Number of the last block put on the line, -1 before the first.
    int lastBlock() const { return lastBlock_.load(); }
    /// Number of commands received.
    int commandsReceived() const { return commands_.load(); }
    /// True until the serving thread ended (stop, unplug, or a failed write).
    bool serving() const { return !thread_.joinable() ? false : !finished_.load(); }

  private:
    void run();
    bool writeAll(const std::uint8_t* data, std::size_t size);
    bool sendFrame(const InstrumentSimulator::Frame& frame);
    bool pause(int ms);
    void closeTerminal();

    InstrumentSimulator sim_;
    const bool fast_;
    std::string path_;
    std::string error_;
    int master_ = -1;
    int slaveKeep_ = -1;  // keeps the terminal alive while no program has it open
    int stopFd_ = -1;
    std::thread thread_;
    std::mutex closeMutex_;
    std::atomic<bool> unplugged_{false};
    std::atomic<bool> finished_{false};
    std::atomic<int> lastBlock_{-1};
    std::atomic<int> commands_{0};
};

}  // namespace thermivo
