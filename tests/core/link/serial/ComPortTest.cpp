#include "link/serial/ComPort.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "core/link/LinkTestSupport.h"
#include "data/Recording.h"
#include "link/InstrumentLink.h"
#include "sim/PtyInstrument.h"

namespace thermivo {
namespace {

using namespace std::chrono_literals;
using VkComm::CComPort;
using VkComm::CSerialPort;

/// Collects the chunks the reader delivers.
struct Chunks {
    static void callback(void* user, const std::uint8_t* data, int count) {
        auto* self = static_cast<Chunks*>(user);
        {
            std::lock_guard lock(self->mutex);
            self->chunks.emplace_back(data, data + count);
        }
        self->arrived.notify_all();
    }
    bool waitFor(std::size_t n, std::chrono::milliseconds limit = 3000ms) {
        std::unique_lock lock(mutex);
        return arrived.wait_for(lock, limit, [&] { return chunks.size() >= n; });
    }
    std::vector<std::vector<std::uint8_t>> take() {
        std::lock_guard lock(mutex);
        return chunks;
    }
    std::mutex mutex;
    std::condition_variable arrived;
    std::vector<std::vector<std::uint8_t>> chunks;
};

class RealSerial : public ::testing::Test {
  protected:
    void SetUp() override {
        SimConfig config;
        config.samples = simulatedCurve(40, 3);
        pty = std::make_unique<PtyInstrument>(config);
        ASSERT_TRUE(pty->start()) << pty->error();
    }
    std::unique_ptr<PtyInstrument> pty;
};

TEST_F(RealSerial, OpenIsExclusive) {
    CComPort port;
    ASSERT_TRUE(port.open(1, pty->path()));
    EXPECT_TRUE(port.isOpen());
    EXPECT_TRUE(port.readerRunning());
    EXPECT_EQ(port.portNumber(), 1);
    // A second open, of another port object or just a test open, is refused while we hold it.
    CComPort second;
    EXPECT_FALSE(second.open(2, pty->path()));
    EXPECT_FALSE(second.isOpen());
    EXPECT_FALSE(CSerialPort::canOpen(pty->path()));
    const int found = second.enumerate([this](int n) { return n == 5 ? pty->path() : std::string(); });
    EXPECT_EQ(found, 0);
    EXPECT_EQ(second.portTable[4], 5);
    EXPECT_EQ(second.available[4], 0);
    port.close();
    EXPECT_FALSE(port.isOpen());
    EXPECT_TRUE(CSerialPort::canOpen(pty->path()));
    EXPECT_EQ(second.enumerate([this](int n) { return n == 5 ? pty->path() : std::string(); }), 1);
    EXPECT_EQ(second.available[4], 1);
}

TEST_F(RealSerial, MissingDeviceLeavesThePortClosed) {
    CComPort port;
    EXPECT_FALSE(port.open(9, "/dev/thermivo-no-such-device"));
    EXPECT_FALSE(port.isOpen());
    EXPECT_FALSE(port.isPresent());
    EXPECT_EQ(port.write(reinterpret_cast<const std::uint8_t*>("x"), 1), 0);
    port.close();                                     // nothing to do, nothing to show
    EXPECT_FALSE(CSerialPort::canOpen("/dev/null"));  // a character device, but no terminal
}

TEST_F(RealSerial, ShortReplyArrivesAsOneChunk) {
    Chunks chunks;  // outlives the port, whose reader calls into it
    CComPort port;
    port.setDataCallback(&Chunks::callback, &chunks);
    ASSERT_TRUE(port.open(1, pty->path()));
    const auto status = statusFrame(0);
    EXPECT_EQ(port.write(status.data(), static_cast<int>(status.size())), 14);
    ASSERT_TRUE(chunks.waitFor(1));
    std::this_thread::sleep_for(200ms);  // a second chunk would have come by now
    const auto got = chunks.take();
    ASSERT_EQ(got.size(), 1u);
    ASSERT_EQ(got[0].size(), 20u);
    EXPECT_EQ(got[0][0], 0xFF);
    EXPECT_EQ(got[0][1], 0xBD);
    EXPECT_TRUE(port.isPresent());
}

TEST_F(RealSerial, CloseEndsTheReaderPromptly) {
    CComPort port;
    ASSERT_TRUE(port.open(1, pty->path()));
    const auto before = std::chrono::steady_clock::now();
    port.close();
    // Bounded by CComPort::kCloseLimit; a reader that ignored the stop signal would use all of it.
    EXPECT_LT(std::chrono::steady_clock::now() - before, CComPort::kCloseLimit);
    EXPECT_FALSE(port.readerRunning());
    EXPECT_FALSE(port.isOpen());
}

TEST_F(RealSerial, UnplugEndsTheReaderQuietlyAndThePresenceCheckFails) {
    auto rec = std::make_unique<Recording>();
    MessageQueue sink;
    InstrumentLink link(*rec, sink);
    ASSERT_TRUE(link.openPort(7, pty->path()));
    link.portNumber = 7;
    link.instrumentConnected = true;
    EXPECT_TRUE(link.portPresenceCheck());
    pty->unplug();
    for (int i = 0; i < 300 && link.port().readerRunning(); ++i) std::this_thread::sleep_for(10ms);
    EXPECT_FALSE(link.port().readerRunning());
    EXPECT_TRUE(link.port().deviceLost());
    EXPECT_EQ(link.statusRequest(), -1);
    EXPECT_EQ(link.portNumber.load(), -7);
    EXPECT_FALSE(link.instrumentConnected.load());
    EXPECT_EQ(sink.count(WM_PORT_LOST), 1);
    link.closePort();
    EXPECT_FALSE(link.port().isOpen());
}

}  // namespace
}  // namespace thermivo
