#include "link/serial/ReadComThread.h"

#include <poll.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "link/serial/ComPort.h"

namespace thermivo::VkComm {

CReadComThread::CReadComThread(CComPort& owner, int fd, int stopFd)
    : owner_(owner), fd_(fd), stopFd_(stopFd) {}

CReadComThread::~CReadComThread() {
    // The owner waits before destroying us; a thread that still runs here would outlive its buffer.
    if (thread_.joinable()) thread_.join();
}

bool CReadComThread::start() {
    try {
        thread_ = std::thread([this] { run(); });
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

bool CReadComThread::waitFinished(std::chrono::milliseconds limit) {
    {
        std::unique_lock lock(finishMutex_);
        if (!finishedSignal_.wait_for(lock, limit, [this] { return finished_.load(); })) return false;
    }
    if (thread_.joinable()) thread_.join();
    return true;
}

void CReadComThread::raisePriority() {
    // A higher priority keeps up with the block stream on a busy machine; refusal is no error.
    const auto tid = static_cast<id_t>(syscall(SYS_gettid));
    const int current = getpriority(PRIO_PROCESS, tid);
    setpriority(PRIO_PROCESS, tid, current - 5);
}

void CReadComThread::deliver(int count) {
    if (count <= 0) return;
    // The callback gets its own block, valid only during the call.
    std::vector<std::uint8_t> block(buffer_.begin(), buffer_.begin() + count);
    owner_.deliver(block.data(), count);
}

void CReadComThread::run() {
    raisePriority();
    int pending = 0;
    bool lost = false;
    for (;;) {
        pollfd fds[2] = {{fd_, POLLIN, 0}, {stopFd_, POLLIN, 0}};
        const int r = poll(fds, 2, pending > 0 ? kQuietMs : -1);
        if (r < 0) {
            if (errno == EINTR) continue;
            lost = true;
            break;
        }
        if (fds[1].revents != 0) break;
        if (r == 0) {
            deliver(pending);
            pending = 0;
            continue;
        }
        if ((fds[0].revents & POLLNVAL) != 0) {
            lost = true;
            break;
        }
        if ((fds[0].revents & (POLLIN | POLLHUP | POLLERR)) == 0) continue;
        const ssize_t n =
            read(fd_, buffer_.data() + pending, static_cast<std::size_t>(kBufferSize - pending));
        if (n > 0) {
            pending += static_cast<int>(n);
            if (pending == kBufferSize) {
                deliver(pending);
                pending = 0;
            }
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            if ((fds[0].revents & (POLLHUP | POLLERR)) == 0) continue;
        }
        // End of file, EIO, ENODEV or a hang-up without data: the device is gone.
        lost = true;
        break;
    }
    if (lost) {
        // Bytes that arrived before the loss are real replies; hand them on.
        deliver(pending);
        deviceLost_.store(true);
    } else {
        tcflush(fd_, TCIFLUSH);
    }
    {
        std::lock_guard lock(finishMutex_);
        finished_.store(true);
    }
    finishedSignal_.notify_all();
}

}  // namespace thermivo::VkComm
