#include "link/BridgePorts.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#ifdef THERMIVO_HAVE_LIBUDEV
#include <libudev.h>
#endif

#include "link/serial/SerialPort.h"

namespace thermivo {

namespace fs = std::filesystem;

namespace {

/// A sysfs attribute holding a hexadecimal id ("1a86\n").
bool readHexId(const fs::path& file, std::uint16_t& out) {
    std::ifstream in(file);
    std::string s;
    if (!(in >> s) || s.empty() || s.size() > 4) return false;
    char* end = nullptr;
    const unsigned long v = std::strtoul(s.c_str(), &end, 16);
    if (*end != '\0') return false;
    out = static_cast<std::uint16_t>(v);
    return true;
}

bool exists(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0;
}

}  // namespace

BridgePorts::BridgePorts(std::string sysfsRoot, std::string devRoot)
    : sysfsRoot_(std::move(sysfsRoot)), devRoot_(std::move(devRoot)) {}

BridgePorts::~BridgePorts() {
    stopWatching();
}

void BridgePorts::addExplicitPort(const std::string& path) {
    if (path.empty()) return;
    std::lock_guard lock(mutex_);
    explicit_.insert(path);
}

std::vector<std::string> BridgePorts::environmentPorts() {
    const char* env = std::getenv("THERMIVO_PORT");
    std::vector<std::string> paths;
    if (env == nullptr) return paths;
    std::string all(env);
    std::size_t start = 0;
    while (start <= all.size()) {
        const std::size_t end = std::min(all.find(':', start), all.size());
        const std::string one = all.substr(start, end - start);
        if (!one.empty() && std::find(paths.begin(), paths.end(), one) == paths.end()) paths.push_back(one);
        start = end + 1;
    }
    return paths;
}

int BridgePorts::addPortsFromEnvironment() {
    const std::vector<std::string> paths = environmentPorts();
    for (const auto& path : paths) addExplicitPort(path);
    return static_cast<int>(paths.size());
}

std::string BridgePorts::defaultSysfsRoot() {
    const char* root = std::getenv("THERMIVO_SYSFS_ROOT");
    return root != nullptr && *root != '\0' ? root : "/sys";
}

std::string BridgePorts::defaultDevRoot() {
    const char* root = std::getenv("THERMIVO_DEV_ROOT");
    return root != nullptr && *root != '\0' ? root : "/dev";
}

std::string BridgePorts::ttyNameOf(const std::string& nameOrPath) const {
    if (nameOrPath.find('/') == std::string::npos) return nameOrPath;
    const std::string prefix = devRoot_ + "/";
    if (nameOrPath.rfind(prefix, 0) != 0) return {};
    const std::string rest = nameOrPath.substr(prefix.size());
    return rest.find('/') == std::string::npos ? rest : std::string();
}

bool BridgePorts::sysfsIsBridge(const std::string& name) const {
    UsbId id{};
    return sysfsUsbId(name, id);
}

std::string BridgePorts::bridgeUsbIdOf(const std::string& nameOrPath) const {
    UsbId id{};
    if (!sysfsUsbId(ttyNameOf(nameOrPath), id)) return {};
    char text[16];
    std::snprintf(text, sizeof text, "%04x:%04x", id.vendor, id.product);
    return text;
}

bool BridgePorts::sysfsUsbId(const std::string& name, UsbId& id) const {
    if (name.empty() || name == "." || name == "..") return false;
    std::error_code ec;
    const fs::path root = fs::canonical(sysfsRoot_, ec);
    if (ec) return false;
    fs::path dir = fs::canonical(fs::path(sysfsRoot_) / "class" / "tty" / name / "device", ec);
    if (ec) return false;
    // Up from the tty's device to the USB device that carries the ids, never above the sysfs root.
    while (dir != root && dir.has_parent_path() && dir.native().rfind(root.native(), 0) == 0) {
        std::uint16_t vendor = 0, product = 0;
        if (readHexId(dir / "idVendor", vendor) && readHexId(dir / "idProduct", product)) {
            id = {vendor, product};
            return std::any_of(kBridgeUsbIds.begin(), kBridgeUsbIds.end(), [&](const UsbId& known) {
                return known.vendor == vendor && known.product == product;
            });
        }
        dir = dir.parent_path();
    }
    return false;
}

bool BridgePorts::nameIsBridge(const std::string& nameOrPath) const {
    {
        std::lock_guard lock(mutex_);
        if (explicit_.count(nameOrPath) != 0) return true;
    }
    return sysfsIsBridge(ttyNameOf(nameOrPath));
}

BridgePorts::NodeId BridgePorts::nodeIdOf(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) return {};
    return {st.st_rdev, st.st_ino,
            static_cast<std::int64_t>(st.st_ctim.tv_sec) * 1000000000 +
                static_cast<std::int64_t>(st.st_ctim.tv_nsec)};
}

std::vector<std::string> BridgePorts::scan() const {
    std::vector<std::string> paths;
    for (auto& [path, id] : scanWithIds()) paths.push_back(path);
    return paths;
}

std::vector<std::pair<std::string, BridgePorts::NodeId>> BridgePorts::scanWithIds() const {
    std::vector<std::string> found;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(fs::path(sysfsRoot_) / "class" / "tty", ec)) {
        const std::string name = entry.path().filename().string();
        if (sysfsIsBridge(name)) found.push_back(devRoot_ + "/" + name);
    }
    {
        std::lock_guard lock(mutex_);
        for (const auto& path : explicit_) {
            if (exists(path)) found.push_back(path);
        }
    }
    std::sort(found.begin(), found.end());
    found.erase(std::unique(found.begin(), found.end()), found.end());
    std::vector<std::pair<std::string, NodeId>> withIds;
    withIds.reserve(found.size());
    for (auto& path : found) withIds.emplace_back(path, nodeIdOf(path));
    return withIds;
}

std::vector<int> BridgePorts::refresh() {
    const std::vector<std::pair<std::string, NodeId>> present = scanWithIds();
    std::vector<int> changes;
    std::lock_guard lock(mutex_);
    // A path that now names another node (unplugged, and the number given to a new device between two
    // scans) is a removal followed by an arrival, not the same port.
    for (auto it = table_.begin(); it != table_.end();) {
        const auto same = std::find_if(present.begin(), present.end(), [&](const auto& p) {
            return p.first == it->second && p.second == tableIds_[it->first];
        });
        if (same == present.end()) {
            changes.push_back(-it->first);
            tableIds_.erase(it->first);
            it = table_.erase(it);
        } else {
            ++it;
        }
    }
    for (const auto& entry : present) {
        const std::string& path = entry.first;
        const auto& id = entry.second;
        const bool known =
            std::any_of(table_.begin(), table_.end(), [&](const auto& e) { return e.second == path; });
        if (known) continue;
        int n = 1;
        while (n <= kMaxPorts && table_.count(n) != 0) ++n;
        if (n > kMaxPorts) break;  // table full: the rest wait for a free number
        table_[n] = path;
        tableIds_[n] = id;
        changes.push_back(n);
    }
    return changes;
}

std::vector<int> BridgePorts::bridgePorts() {
    refresh();
    std::map<int, std::string> table;
    {
        std::lock_guard lock(mutex_);
        table = table_;
    }
    std::vector<int> usable, attached;
    for (const auto& [n, path] : table) {
        if (!nameIsBridge(path)) continue;
        attached.push_back(n);
        if (VkComm::CSerialPort::canOpen(path)) usable.push_back(n);
    }
    // Prefer bridges that can be opened; when none can, hand them all over so that the failed open can
    // tell the user why (permission, or another program holding the port).
    return usable.empty() ? attached : usable;
}

std::string BridgePorts::pathOf(int n) {
    std::lock_guard lock(mutex_);
    const auto it = table_.find(n);
    return it == table_.end() ? std::string() : it->second;
}

int BridgePorts::numberOf(const std::string& path) const {
    std::lock_guard lock(mutex_);
    for (const auto& [n, p] : table_) {
        if (p == path) return n;
    }
    return 0;
}

bool BridgePorts::udevAvailable() {
#ifdef THERMIVO_HAVE_LIBUDEV
    return true;
#else
    return false;
#endif
}

bool BridgePorts::startWatching(Notify notify, Watch mode) {
    if (watcher_.joinable()) return false;
    stopFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (stopFd_ < 0) return false;
    // Only where udev runs does its monitor ever hear anything; Udev asks for the monitor regardless.
    const bool useUdev =
        mode == Watch::Udev || (mode == Watch::Auto && access("/run/udev/control", F_OK) == 0);
    watcher_ = std::thread([this, notify = std::move(notify), useUdev] { watch(notify, useUdev); });
    return true;
}

void BridgePorts::stopWatching() {
    if (!watcher_.joinable()) return;
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(stopFd_, &one, sizeof one);
    watcher_.join();
    ::close(stopFd_);
    stopFd_ = -1;
    usingUdev_.store(false);
}

void BridgePorts::watch(Notify notify, bool useUdev) {
    int monitorFd = -1;
#ifdef THERMIVO_HAVE_LIBUDEV
    udev* context = nullptr;
    udev_monitor* monitor = nullptr;
    if (useUdev) {
        context = udev_new();
        if (context != nullptr) monitor = udev_monitor_new_from_netlink(context, "udev");
        if (monitor != nullptr &&
            udev_monitor_filter_add_match_subsystem_devtype(monitor, "tty", nullptr) >= 0 &&
            udev_monitor_enable_receiving(monitor) >= 0) {
            monitorFd = udev_monitor_get_fd(monitor);
        }
    }
#else
    (void)useUdev;
#endif
    usingUdev_.store(monitorFd >= 0);
    auto report = [&] {
        for (int change : refresh()) {
            if (notify) notify(change);
        }
    };
    for (;;) {
        pollfd fds[2] = {{stopFd_, POLLIN, 0}, {monitorFd, POLLIN, 0}};
        const int r = poll(fds, monitorFd >= 0 ? 2 : 1, kPollMs);
        if (r < 0 && errno != EINTR) break;
        if (fds[0].revents != 0) break;
#ifdef THERMIVO_HAVE_LIBUDEV
        if (monitorFd >= 0 && (fds[1].revents & POLLIN) != 0) {
            if (udev_device* dev = udev_monitor_receive_device(monitor)) udev_device_unref(dev);
        }
#endif
        // Whether woken by udev or by the clock, diff a fresh scan against the table.
        report();
    }
#ifdef THERMIVO_HAVE_LIBUDEV
    if (monitor != nullptr) udev_monitor_unref(monitor);
    if (context != nullptr) udev_unref(context);
#endif
}

}  // namespace thermivo
