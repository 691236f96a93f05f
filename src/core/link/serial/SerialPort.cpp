#include "link/serial/SerialPort.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace thermivo::VkComm {

namespace {

bool applyLineSettings(int fd) {
    termios tio{};
    if (tcgetattr(fd, &tio) != 0) return false;
    cfmakeraw(&tio);
    tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    // Reads never block in the driver: the reader thread waits in poll() and does its own timing.
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    cfsetispeed(&tio, B9600);
    cfsetospeed(&tio, B9600);
    if (tcsetattr(fd, TCSANOW, &tio) != 0) return false;
    tcflush(fd, TCIOFLUSH);
    return true;
}

}  // namespace

CSerialPort::~CSerialPort() {
    close();
}

int CSerialPort::openExclusive(const std::string& path, dev_t* device, bool exclusive) {
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return -1;
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode) || !isatty(fd)) {
        ::close(fd);
        return -1;
    }
    // TIOCEXCL keeps other users out, but root passes it; the lock also stops a second open of our own.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return -1;
    }
    if (exclusive && ioctl(fd, TIOCEXCL) != 0) {
        ::close(fd);
        return -1;
    }
    if (device != nullptr) *device = st.st_rdev;
    return fd;
}

bool CSerialPort::open(int portNumber, const std::string& path) {
    close();
    dev_t device = 0;
    const int fd = openExclusive(path, &device, true);
    if (fd < 0) return false;
    if (!applyLineSettings(fd)) {
        ioctl(fd, TIOCNXCL);
        ::close(fd);
        return false;
    }
    fd_ = fd;
    portNumber_ = portNumber;
    path_ = path;
    device_ = device;
    return true;
}

void CSerialPort::close() {
    if (fd_ < 0) return;
    ioctl(fd_, TIOCNXCL);  // fails quietly when the device is gone
    ::close(fd_);
    fd_ = -1;
}

bool CSerialPort::canOpen(const std::string& path) {
    // Only the lock is taken: clearing the tty's exclusive flag afterwards could undo another holder's.
    const int fd = openExclusive(path, nullptr, false);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

}  // namespace thermivo::VkComm
