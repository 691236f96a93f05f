#pragma once
#include <sys/types.h>

#include <string>

namespace thermivo::VkComm {

/// The tty device of the port and its line settings: exclusive, raw 9600 8N1, no flow control.
class CSerialPort {
  public:
    CSerialPort() = default;
    ~CSerialPort();
    CSerialPort(const CSerialPort&) = delete;
    CSerialPort& operator=(const CSerialPort&) = delete;

    /// Opens the device exclusively and applies the line settings; false leaves the port closed.
    bool open(int portNumber, const std::string& path);
    /// Closes the device; harmless when closed.
    void close();
    /// True while a device is open.
    bool isOpen() const { return fd_ >= 0; }
    /// The descriptor, -1 when closed.
    int handle() const { return fd_; }
    /// n of the port table.
    int portNumber() const { return portNumber_; }
    /// The device path opened.
    const std::string& path() const { return path_; }
    /// Device number (st_rdev) of the node at open time.
    dev_t device() const { return device_; }

    /// Opens the path as open() would and closes it again: false when absent or held by anyone.
    static bool canOpen(const std::string& path);

  private:
    static int openExclusive(const std::string& path, dev_t* device, bool exclusive);

    int fd_ = -1;
    int portNumber_ = 0;
    std::string path_;
    dev_t device_ = 0;
};

}  // namespace thermivo::VkComm
