#include "link/BridgePorts.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>
#include <vector>

#include "link/serial/ComPort.h"
#include "sim/PtyInstrument.h"

namespace thermivo {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

/// A throw-away sysfs tree with USB devices and their ttys.
class FakeSysfs {
  public:
    FakeSysfs() {
        root = fs::temp_directory_path() /
               ("thermivo-sysfs-" + std::to_string(getpid()) + "-" + std::to_string(counter++));
        fs::create_directories(root / "class" / "tty");
    }
    ~FakeSysfs() { fs::remove_all(root); }

    /// A tty below a USB device with the given ids (vendor "" for no ids on the way up).
    void addUsbTty(const std::string& name, const std::string& vendor, const std::string& product,
                   int bus = 1) {
        const fs::path usb =
            root / "devices" / "pci0000:00" / ("usb" + std::to_string(bus)) / (name + "-dev");
        const fs::path port = usb / "1-1:1.0" / name;
        fs::create_directories(port);
        if (!vendor.empty()) {
            std::ofstream(usb / "idVendor") << vendor << "\n";
            std::ofstream(usb / "idProduct") << product << "\n";
        }
        fs::create_directories(root / "class" / "tty" / name);
        fs::create_directory_symlink(port, root / "class" / "tty" / name / "device");
    }
    /// A tty without a device (a virtual console).
    void addPlainTty(const std::string& name) { fs::create_directories(root / "class" / "tty" / name); }
    void remove(const std::string& name) { fs::remove_all(root / "class" / "tty" / name); }

    fs::path root;
    static inline int counter = 0;
};

/// Notifications from the watcher thread.
struct Events {
    void operator()(int v) {
        {
            std::lock_guard lock(mutex);
            values.push_back(v);
        }
        changed.notify_all();
    }
    bool waitFor(int v, std::chrono::milliseconds limit = 5000ms) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, limit,
                                [&] { return std::find(values.begin(), values.end(), v) != values.end(); });
    }
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<int> values;
};

TEST(BridgePorts, NameCheckWalksUpToTheUsbIds) {
    FakeSysfs sys;
    sys.addUsbTty("ttyUSB0", "1a86", "7523");
    sys.addUsbTty("ttyCH341USB0", "1a86", "5523", 2);
    sys.addUsbTty("ttyUSB1", "0403", "6001", 3);  // another maker's bridge
    sys.addUsbTty("ttyACM0", "", "", 4);          // no ids anywhere up to the root
    sys.addPlainTty("tty1");
    BridgePorts ports(sys.root.string(), "/dev");
    EXPECT_TRUE(ports.nameIsBridge("ttyUSB0"));
    EXPECT_TRUE(ports.nameIsBridge("/dev/ttyUSB0"));
    EXPECT_TRUE(ports.nameIsBridge("ttyCH341USB0"));
    EXPECT_FALSE(ports.nameIsBridge("ttyUSB1"));
    EXPECT_FALSE(ports.nameIsBridge("ttyACM0"));
    EXPECT_FALSE(ports.nameIsBridge("tty1"));
    EXPECT_FALSE(ports.nameIsBridge("/dev/other/ttyUSB0"));
    EXPECT_FALSE(ports.nameIsBridge("../../class/tty/ttyUSB0"));
    EXPECT_FALSE(ports.nameIsBridge("/tmp/sim"));
    ports.addExplicitPort("/tmp/sim");
    EXPECT_TRUE(ports.nameIsBridge("/tmp/sim"));
    EXPECT_EQ(ports.scan(), (std::vector<std::string>{"/dev/ttyCH341USB0", "/dev/ttyUSB0"}));
    for (const auto& id : kBridgeUsbIds) {
        FakeSysfs one;
        char v[8], p[8];
        std::snprintf(v, sizeof v, "%04x", id.vendor);
        std::snprintf(p, sizeof p, "%04x", id.product);
        one.addUsbTty("ttyUSB9", v, p);
        EXPECT_TRUE(BridgePorts(one.root.string()).nameIsBridge("ttyUSB9")) << v << ":" << p;
    }
}

TEST(BridgePorts, NumbersStayWhileTheirDeviceStays) {
    FakeSysfs sys;
    sys.addUsbTty("ttyUSB0", "1a86", "7523", 1);
    sys.addUsbTty("ttyUSB1", "1a86", "7523", 2);
    BridgePorts ports(sys.root.string(), "/dev");
    EXPECT_EQ(ports.refresh(), (std::vector<int>{1, 2}));
    EXPECT_EQ(ports.pathOf(1), "/dev/ttyUSB0");
    EXPECT_EQ(ports.numberOf("/dev/ttyUSB1"), 2);
    EXPECT_TRUE(ports.refresh().empty());
    sys.remove("ttyUSB0");
    EXPECT_EQ(ports.refresh(), (std::vector<int>{-1}));
    EXPECT_EQ(ports.pathOf(1), "");
    sys.addUsbTty("ttyUSB2", "1a86", "7523", 3);
    EXPECT_EQ(ports.refresh(), (std::vector<int>{1}));  // the lowest free number
    EXPECT_EQ(ports.pathOf(1), "/dev/ttyUSB2");
    EXPECT_EQ(ports.pathOf(2), "/dev/ttyUSB1");
}

TEST(BridgePorts, ANewNodeAtAKnownPathIsARemovalAndAnArrival) {
    // A pseudo-terminal number freed by an unplugged instrument can be handed to another program before
    // the next scan; the path exists throughout, but it is no longer our port.
    FakeSysfs sys;
    const fs::path node = sys.root / "pts-7";
    std::ofstream(node) << "first";
    BridgePorts ports(sys.root.string(), "/dev");
    ports.addExplicitPort(node.string());
    EXPECT_EQ(ports.refresh(), (std::vector<int>{1}));
    EXPECT_TRUE(ports.refresh().empty());
    const fs::path other = sys.root / "pts-other";
    std::ofstream(other) << "second";
    fs::rename(other, node);  // another inode at the same path
    EXPECT_EQ(ports.refresh(), (std::vector<int>{-1, 1}));
    EXPECT_TRUE(ports.refresh().empty());
    // Same inode number, recreated later: only its change time tells (devpts reuses both numbers).
    std::this_thread::sleep_for(20ms);
    fs::permissions(node, fs::perms::owner_read, fs::perm_options::remove);
    EXPECT_EQ(ports.refresh(), (std::vector<int>{-1, 1}));
    EXPECT_EQ(ports.pathOf(1), node.string());
}

TEST(BridgePorts, EnvironmentAddsExplicitPorts) {
    setenv("THERMIVO_PORT", "/dev/pts/91:/dev/pts/92", 1);
    BridgePorts ports("/nonexistent-sysfs");
    EXPECT_EQ(ports.addPortsFromEnvironment(), 2);
    unsetenv("THERMIVO_PORT");
    EXPECT_TRUE(ports.nameIsBridge("/dev/pts/92"));
    EXPECT_TRUE(ports.scan().empty());  // explicit, but not there
}

TEST(BridgePorts, StartupListHasOnlyPortsThatCanBeOpened) {
    FakeSysfs sys;
    sys.addUsbTty("ttyUSB0", "1a86", "7523");  // in sysfs, but its node does not exist here
    BridgePorts ports(sys.root.string(), sys.root.string());
    PtyInstrument a{SimConfig{}}, b{SimConfig{}};
    ASSERT_TRUE(a.start());
    ASSERT_TRUE(b.start());
    ports.addExplicitPort(a.path());
    ports.addExplicitPort(b.path());
    const std::vector<int> all = ports.bridgePorts();
    ASSERT_EQ(all.size(), 2u);
    const int held = ports.numberOf(a.path());
    EXPECT_NE(held, 0);
    VkComm::CComPort port;
    ASSERT_TRUE(port.open(held, a.path()));
    EXPECT_EQ(ports.bridgePorts(), (std::vector<int>{ports.numberOf(b.path())}));
    EXPECT_EQ(ports.pathOf(ports.numberOf(sys.root.string() + "/ttyUSB0")), sys.root.string() + "/ttyUSB0");
}

TEST(BridgePorts, PollingWatcherReportsArrivalAndRemoval) {
    FakeSysfs sys;
    BridgePorts ports(sys.root.string(), "/dev");
    Events events;
    ASSERT_TRUE(ports.startWatching(std::ref(events), BridgePorts::Watch::Polling));
    EXPECT_FALSE(ports.watchingWithUdev());
    sys.addUsbTty("ttyUSB0", "1a86", "7523");
    EXPECT_TRUE(events.waitFor(1));
    sys.remove("ttyUSB0");
    EXPECT_TRUE(events.waitFor(-1));
    ports.stopWatching();
}

TEST(BridgePorts, UdevWatcherReportsAnExplicitVirtualInstrument) {
    FakeSysfs sys;
    BridgePorts ports(sys.root.string(), "/dev");
    PtyInstrument pty(SimConfig{});
    ASSERT_TRUE(pty.start());
    ports.addExplicitPort(pty.path());
    Events events;
    ASSERT_TRUE(ports.startWatching(std::ref(events), BridgePorts::Watch::Udev));
    EXPECT_TRUE(events.waitFor(1));
    EXPECT_EQ(ports.pathOf(1), pty.path());
    EXPECT_EQ(ports.watchingWithUdev(), BridgePorts::udevAvailable());
    pty.unplug();
    EXPECT_TRUE(events.waitFor(-1));
    ports.stopWatching();
}

}  // namespace
}  // namespace thermivo

namespace thermivo {
namespace {

namespace fs = std::filesystem;

TEST(BridgePorts, UdevRuleCoversEveryBridgeId) {
    // tests/data may not exist, so go up by name rather than through it.
    const fs::path repo = fs::path(THERMIVO_TEST_DATA_DIR).parent_path().parent_path();
    std::ifstream in(repo / "packaging" / "60-thermivo-ch34x.rules");
    ASSERT_TRUE(in);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    for (const auto& id : kBridgeUsbIds) {
        char want[96];
        std::snprintf(want, sizeof want, "ATTRS{idVendor}==\"%04x\", ATTRS{idProduct}==\"%04x\"", id.vendor,
                      id.product);
        const bool covered = std::any_of(lines.begin(), lines.end(), [&](const std::string& l) {
            return l.find(want) == 0 && l.find("TAG+=\"uaccess\"") != std::string::npos &&
                   l.find("ENV{ID_MM_DEVICE_IGNORE}=\"1\"") != std::string::npos;
        });
        EXPECT_TRUE(covered) << want;
    }
}

}  // namespace
}  // namespace thermivo
