#include "link/serial/ComPort.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace thermivo::VkComm {

CComPort::~CComPort() {
    close();
}

void CComPort::setDataCallback(DataCallback callback, void* userData) {
    dataCallback_ = callback;
    userData_ = userData;
}

int CComPort::enumerate(const std::function<std::string(int)>& pathOf) {
    int found = 0;
    for (int n = 1; n <= kMaxPorts; ++n) {
        const auto k = static_cast<std::size_t>(n - 1);
        portTable[k] = n;
        const std::string path = pathOf ? pathOf(n) : std::string();
        available[k] = !path.empty() && CSerialPort::canOpen(path) ? 1 : 0;
        found += available[k];
    }
    return found;
}

bool CComPort::open(int portNumber, const std::string& path) {
    close();
    auto serial = std::make_unique<CSerialPort>();
    if (!serial->open(portNumber, path)) return false;
    const int stopFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (stopFd < 0) return false;
    serial_ = std::move(serial);
    stopFd_ = stopFd;
    reader_ = std::make_unique<CReadComThread>(*this, serial_->handle(), stopFd_);
    // A reader that cannot start leaves the port open for writing; close notices and cleans up.
    reader_->start();
    return true;
}

bool CComPort::isOpen() const {
    return serial_ && serial_->isOpen();
}

int CComPort::write(const std::uint8_t* data, int count) {
    if (data == nullptr || count <= 0) return 0;
    std::lock_guard lock(writeMutex_);
    if (!isOpen()) return 0;
    const int fd = serial_->handle();
    const auto deadline = std::chrono::steady_clock::now() + kWriteLimit;
    int total = 0;
    while (total < count) {
        const ssize_t n = ::write(fd, data + total, static_cast<std::size_t>(count - total));
        if (n > 0) {
            total += static_cast<int>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN) break;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) break;
        pollfd p{fd, POLLOUT, 0};
        if (poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
        if ((p.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) break;
    }
    return total;
}

void CComPort::close() {
    if (!serial_) return;
    if (reader_) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(stopFd_, &one, sizeof one);
        if (reader_->started() && !reader_->waitFinished(kCloseLimit)) {
            // The callback is stuck somewhere. The thread still uses the reader object and both
            // descriptors, so none of them may be freed or reused: leave them to it.
            (void)reader_.release();
            stopFd_ = -1;
            std::lock_guard lock(writeMutex_);
            (void)serial_.release();
            return;
        }
        reader_.reset();
    }
    {
        std::lock_guard lock(writeMutex_);
        serial_->close();
        serial_.reset();
    }
    if (stopFd_ >= 0) ::close(stopFd_);
    stopFd_ = -1;
}

bool CComPort::isPresent() const {
    if (!isOpen()) return false;
    if (reader_ && reader_->deviceLost()) return false;
    const int fd = serial_->handle();
    if (fcntl(fd, F_GETFL) < 0) return false;
    pollfd p{fd, 0, 0};
    if (poll(&p, 1, 0) < 0 || (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) return false;
    struct stat st {};
    if (stat(serial_->path().c_str(), &st) != 0) return false;
    return S_ISCHR(st.st_mode) && st.st_rdev == serial_->device();
}

bool CComPort::deviceLost() const {
    return reader_ && reader_->deviceLost();
}

bool CComPort::readerRunning() const {
    return reader_ && reader_->started() && !reader_->finished();
}

int CComPort::portNumber() const {
    return serial_ ? serial_->portNumber() : 0;
}

std::string CComPort::path() const {
    return serial_ ? serial_->path() : std::string();
}

void CComPort::deliver(const std::uint8_t* data, int count) {
    if (dataCallback_ != nullptr) dataCallback_(userData_, data, count);
}

}  // namespace thermivo::VkComm
