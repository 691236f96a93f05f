#include "sim/PtyInstrument.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>

namespace thermivo {

PtyInstrument::PtyInstrument(SimConfig config, bool fast) : sim_(std::move(config)), fast_(fast) {}

PtyInstrument::~PtyInstrument() {
    stop();
}

bool PtyInstrument::start() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
        error_ = std::string("cannot create a pseudo-terminal: ") + std::strerror(errno);
        closeTerminal();
        return false;
    }
    char name[128] = {};
    if (ptsname_r(master_, name, sizeof name) != 0) {
        error_ = "cannot name the pseudo-terminal";
        closeTerminal();
        return false;
    }
    path_ = name;
    slaveKeep_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slaveKeep_ >= 0) {
        // Raw from the start: an echoing terminal would hand our own replies back to us as commands.
        termios tio{};
        if (tcgetattr(slaveKeep_, &tio) == 0) {
            cfmakeraw(&tio);
            tcsetattr(slaveKeep_, TCSANOW, &tio);
        }
    }
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
    stopFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (stopFd_ < 0) {
        error_ = "cannot create the stop signal";
        closeTerminal();
        return false;
    }
    thread_ = std::thread([this] { run(); });
    return true;
}

void PtyInstrument::stop() {
    if (stopFd_ >= 0) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(stopFd_, &one, sizeof one);
    }
    if (thread_.joinable()) thread_.join();
    closeTerminal();
    if (stopFd_ >= 0) ::close(stopFd_);
    stopFd_ = -1;
}

void PtyInstrument::unplug() {
    unplugged_.store(true);
    if (stopFd_ >= 0) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(stopFd_, &one, sizeof one);
    }
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
    closeTerminal();
}

void PtyInstrument::closeTerminal() {
    std::lock_guard lock(closeMutex_);
    if (slaveKeep_ >= 0) ::close(slaveKeep_);
    if (master_ >= 0) ::close(master_);
    slaveKeep_ = -1;
    master_ = -1;
}

bool PtyInstrument::pause(int ms) {
    if (ms <= 0) return true;
    pollfd p{stopFd_, POLLIN, 0};
    return poll(&p, 1, ms) == 0;
}

bool PtyInstrument::writeAll(const std::uint8_t* data, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(master_, data + done, size - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN) return false;
        // The program is slow to read: wait for room, or for the stop signal.
        pollfd fds[2] = {{master_, POLLOUT, 0}, {stopFd_, POLLIN, 0}};
        if (poll(fds, 2, -1) < 0 && errno != EINTR) return false;
        if (fds[1].revents != 0) return false;
    }
    return true;
}

bool PtyInstrument::sendFrame(const InstrumentSimulator::Frame& frame) {
    const auto stray = sim_.garbage();
    if (!stray.empty() && !writeAll(stray.data(), stray.size())) return false;
    const std::size_t first = sim_.config().faults.split ? frame.size() / 2 : frame.size();
    if (!writeAll(frame.data(), first)) return false;
    if (first < frame.size()) {
        if (!pause(kSplitPauseMs)) return false;
        if (!writeAll(frame.data() + first, frame.size() - first)) return false;
    }
    // At 9600 baud a frame occupies the line for its bytes / 960 seconds.
    if (!fast_) return pause(static_cast<int>((stray.size() + frame.size()) * 1000 / kLineBytesPerSecond));
    return true;
}

void PtyInstrument::run() {
    std::uint8_t buffer[256];
    for (;;) {
        pollfd fds[2] = {{master_, POLLIN, 0}, {stopFd_, POLLIN, 0}};
        const int r = poll(fds, 2, sim_.streaming() ? 0 : -1);
        if (r < 0 && errno != EINTR) break;
        if (fds[1].revents != 0) break;
        if ((fds[0].revents & POLLIN) != 0) {
            const ssize_t n = ::read(master_, buffer, sizeof buffer);
            if (n > 0) {
                sim_.receive(buffer, static_cast<std::size_t>(n));
                commands_.store(sim_.commandsReceived());
            }
        }
        bool ok = true;
        for (const auto& reply : sim_.takeReplies()) ok = ok && sendFrame(reply);
        // An instrument that runs ahead puts several blocks on the line before it reads the next command.
        for (int k = 0; ok && sim_.streaming() && k < std::max(1, sim_.config().aheadBlocks); ++k) {
            for (const auto& frame : sim_.nextBlockFrames()) ok = ok && sendFrame(frame);
            lastBlock_.store(sim_.lastBlock());
            if (sim_.unplugDue()) break;
        }
        if (!ok) break;
        if (sim_.unplugDue()) {
            // Let the last block reach the program before the plug is pulled.
            pause(50);
            unplugged_.store(true);
            closeTerminal();
            break;
        }
    }
    finished_.store(true);
}

}  // namespace thermivo
