#pragma once
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <sys/types.h>

#include "link/LinkView.h"

namespace thermivo {

/// USB vendor and product ids of the CH34x USB-serial bridges.
struct UsbId {
    std::uint16_t vendor;
    std::uint16_t product;
};
constexpr std::array<UsbId, 6> kBridgeUsbIds{{{0x1a86, 0x7523},
                                              {0x1a86, 0x7522},
                                              {0x1a86, 0x5523},
                                              {0x4348, 0x5523},
                                              {0x9986, 0x7523},
                                              {0x2184, 0x0057}}};

/// The bridge ports of the machine: a table of port numbers 1..256 <-> device paths (a number stays while
/// its device stays attached), the check whether a tty belongs to a bridge, and a watcher thread that
/// reports arrivals (+n) and removals (-n).
///
/// A tty is a bridge when its USB device, found by walking sysfs up from class/tty/NAME, has one of the
/// ids above, whatever the node is called. Paths given explicitly (--port, THERMIVO_PORT) count too.
/// Thread-safe: the table is guarded; the notification runs on the watcher thread.
class BridgePorts : public PortDirectory {
  public:
    static constexpr int kMaxPorts = 256;
    using Notify = std::function<void(int value)>;
    enum class Watch { Auto, Udev, Polling };

    /// sysfsRoot and devRoot are injectable so tests can build a fake tree.
    explicit BridgePorts(std::string sysfsRoot = defaultSysfsRoot(), std::string devRoot = defaultDevRoot());
    ~BridgePorts() override;
    BridgePorts(const BridgePorts&) = delete;
    BridgePorts& operator=(const BridgePorts&) = delete;

    /// A device path that counts as a bridge port (the command line's --port).
    void addExplicitPort(const std::string& path);
    /// Adds the paths of THERMIVO_PORT (several separated by ':'); returns how many.
    int addPortsFromEnvironment();
    /// The paths THERMIVO_PORT names, in its order.
    static std::vector<std::string> environmentPorts();
    /// "/sys", or THERMIVO_SYSFS_ROOT where set: whole programs run against a fake tree in tests.
    static std::string defaultSysfsRoot();
    /// "/dev", or THERMIVO_DEV_ROOT where set.
    static std::string defaultDevRoot();
    /// "vvvv:pppp" of the CH34x bridge a tty (name or path below devRoot) belongs to; "" for any other.
    std::string bridgeUsbIdOf(const std::string& nameOrPath) const;

    /// True when the tty (a name such as "ttyUSB0" or a path below devRoot) belongs to a CH34x bridge, or
    /// the path was given explicitly.
    bool nameIsBridge(const std::string& nameOrPath) const;
    /// The bridge device paths present now, sorted.
    std::vector<std::string> scan() const;

    /// Brings the table up to date with a scan; returns the changes (+n arrived, -n removed).
    std::vector<int> refresh();
    /// Path of port n, "" when n is not in the table.
    std::string pathOf(int n) override;
    /// Bridge ports attached now, ascending: those that can be opened, or all of them when none can.
    std::vector<int> bridgePorts() override;
    /// Number of a path in the table, 0 when absent.
    int numberOf(const std::string& path) const;

    /// Starts the watcher: a scan once a second, and a udev monitor that wakes it at once where udev runs
    /// (Auto) or whenever asked (Udev). Calls notify(+n / -n) for every change, on the watcher thread.
    /// Ports already in the table (refresh() before) are not reported again. False when already running.
    bool startWatching(Notify notify, Watch mode = Watch::Auto);
    /// Stops the watcher thread (bounded by one poll period).
    void stopWatching();
    /// True when the running watcher listens to udev.
    bool watchingWithUdev() const { return usingUdev_.load(); }
    /// True when this build can listen to udev at all.
    static bool udevAvailable();
    /// How often the watcher scans.
    static constexpr int kPollMs = 1000;

  private:
    /// What tells one device node from a later one at the same path: a pseudo-terminal number freed by one
    /// program is handed to the next at once, with the same device and inode numbers, but a new ctime.
    struct NodeId {
        dev_t rdev = 0;
        ino_t ino = 0;
        std::int64_t ctimeNs = 0;
        bool operator==(const NodeId&) const = default;
    };
    static NodeId nodeIdOf(const std::string& path);
    std::vector<std::pair<std::string, NodeId>> scanWithIds() const;
    std::string ttyNameOf(const std::string& nameOrPath) const;
    bool sysfsIsBridge(const std::string& name) const;
    bool sysfsUsbId(const std::string& name, UsbId& id) const;
    void watch(Notify notify, bool useUdev);

    const std::string sysfsRoot_;
    const std::string devRoot_;
    mutable std::mutex mutex_;
    std::set<std::string> explicit_;
    std::map<int, std::string> table_;
    std::map<int, NodeId> tableIds_;  ///< the node each table entry was taken from
    std::thread watcher_;
    int stopFd_ = -1;
    std::atomic<bool> usingUdev_{false};
};

}  // namespace thermivo
