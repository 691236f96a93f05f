// The command line as people expect it: ports found by themselves, "-" for stdin/stdout, a failed command
// that leaves files alone, a trace to attach to a report, and output fit for a terminal or a log.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "CliRunner.h"
#include "TestSupport.h"
#include "app/Sha256.h"
#include "data/RecordFile.h"
#include "export/Workbook.h"
#include "sim/PtyInstrument.h"

using namespace thermivo;
using namespace thermivo::testing;
namespace fs = std::filesystem;

namespace {

SimConfig config(int samples, int state = 0) {
    SimConfig c;
    c.samples = simulatedCurve(samples, 11);
    c.start = 1764576000;  // 2025-12-01 08:00 UTC
    c.intervalMinutes = 5;
    c.state = state;
    c.battery = 1023;
    return c;
}

/// Sets an environment variable for one test (or removes it with nullptr), restoring it afterwards.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) previous_ = old, had_ = true;
        if (value != nullptr)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~ScopedEnv() {
        if (had_)
            setenv(name_.c_str(), previous_.c_str(), 1);
        else
            unsetenv(name_.c_str());
    }

  private:
    std::string name_, previous_;
    bool had_ = false;
};

/// A fake sysfs with USB-serial bridges and a device folder whose nodes lead to real terminals.
struct FakeMachine {
    explicit FakeMachine(const TempDir& dir) : sys(dir.path() / "sys"), dev(dir.path() / "dev") {
        fs::create_directories(sys / "class" / "tty");
        fs::create_directories(dev);
    }
    /// A tty named `name` on a USB device vendor:product, its node a link to `device`.
    void addBridge(const std::string& name, const std::string& vendor, const std::string& product,
                   const std::string& device) {
        const fs::path usb = sys / "devices" / "pci0000:00" / ("usb-" + name);
        const fs::path port = usb / "1-1:1.0" / name;
        fs::create_directories(port);
        std::ofstream(usb / "idVendor") << vendor << "\n";
        std::ofstream(usb / "idProduct") << product << "\n";
        fs::create_directories(sys / "class" / "tty" / name);
        fs::create_directory_symlink(port, sys / "class" / "tty" / name / "device");
        fs::create_symlink(device, dev / name);
    }
    fs::path sys, dev;
};

std::string recordingFile(const TempDir& dir) {
    writeText(dir.file("in.json"), R"({"kind": 1, "serial": "DI201400007", "startTime": 1393668000,
        "intervalSeconds": 300, "temperature": [5.5, 6, 6.5, 7]})");
    const CliRun r =
        cli(dir, "create --from-json - -o '" + dir.file("r.kvlu") + "' < '" + dir.file("in.json") + "'");
    EXPECT_EQ(r.status, 0) << r.err;
    return dir.file("r.kvlu");
}

}  // namespace

TEST(CliConventions, PortsAreFoundLikeTheWindowFindsThem) {
    TempDir dir;
    FakeMachine machine(dir);
    PtyInstrument instrument(config(10));
    ASSERT_TRUE(instrument.start()) << instrument.error();
    ScopedEnv sys("THERMIVO_SYSFS_ROOT", machine.sys.c_str());
    ScopedEnv dev("THERMIVO_DEV_ROOT", machine.dev.c_str());
    ScopedEnv port("THERMIVO_PORT", nullptr);

    // No bridge at all: a plain reason, nothing that looks like an answer.
    CliRun r = cli(dir, "status");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("No instrument port found"), std::string::npos) << r.err;
    EXPECT_TRUE(r.out.empty()) << r.out;

    // One CH34x bridge (another maker's beside it does not count): found by itself.
    machine.addBridge("ttyUSB0", "1a86", "7523", instrument.path());
    machine.addBridge("ttyUSB1", "0403", "6001", "/dev/null");
    r = cli(dir, "status");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("serial: DI123456789\n"), std::string::npos) << r.out;
    r = cli(dir, "ports --json");
    ASSERT_EQ(r.status, 0) << r.err;
    const auto list = nlohmann::json::parse(r.out);
    ASSERT_EQ(list.size(), 1u) << r.out;
    EXPECT_EQ(list[0]["path"], (machine.dev / "ttyUSB0").string());
    EXPECT_EQ(list[0]["usbId"], "1a86:7523");
    EXPECT_EQ(list[0]["canOpen"], true);

    // Two bridges: which to choose from, and no guess.
    machine.addBridge("ttyCH341USB0", "1a86", "5523", "/dev/null");
    r = cli(dir, "status");
    EXPECT_EQ(r.status, 2) << r.err;
    EXPECT_NE(r.err.find("Several instrument ports"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find((machine.dev / "ttyUSB0").string()), std::string::npos) << r.err;
    EXPECT_NE(r.err.find((machine.dev / "ttyCH341USB0").string()), std::string::npos) << r.err;
    r = cli(dir, "ports");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("ttyCH341USB0  CH34x 1a86:5523"), std::string::npos) << r.out;

    // THERMIVO_PORT names the port, as it does for the window; --port still comes first.
    {
        ScopedEnv named("THERMIVO_PORT", instrument.path().c_str());
        r = cli(dir, "status --json");
        ASSERT_EQ(r.status, 0) << r.err;
        const auto status = nlohmann::json::parse(r.out);
        EXPECT_EQ(status["serial"], "DI123456789");
        EXPECT_EQ(status["state"], "idle");
        EXPECT_EQ(status["batteryPercent"], 100);
        EXPECT_EQ(status["port"], instrument.path());
        r = cli(dir, "status --port /dev/null/none");
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find("/dev/null/none"), std::string::npos) << r.err;
    }
    ScopedEnv none("THERMIVO_PORT", "/dev/null/a:/dev/null/b");
    r = cli(dir, "status");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("None of the ports THERMIVO_PORT names exists: /dev/null/a, /dev/null/b"),
              std::string::npos)
        << r.err;
}

TEST(CliConventions, DashIsTheStandardStreamAndAStreamIsReadAsOne) {
    TempDir dir;
    const std::string rec = recordingFile(dir);
    CliRun r = cli(dir, "info - < '" + rec + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("DI201400007"), std::string::npos) << r.out;
    r = cli(dir, "info - --json < '" + rec + "'");
    EXPECT_EQ(nlohmann::json::parse(r.out)["serial"], "DI201400007");
    EXPECT_EQ(nlohmann::json::parse(r.out)["sha256"], *sha256HexOfFile(rec));
    // A pipe and a FIFO are streams, not folders.
    r = cli(dir, "info /dev/stdin < '" + rec + "'");
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string piped =
        "cat '" + rec + "' | " THERMIVO_CLI " info - > '" + dir.file("pipe.out") + "' 2>&1";
    EXPECT_EQ(std::system(piped.c_str()), 0) << slurp(dir.file("pipe.out"));
    EXPECT_NE(slurp(dir.file("pipe.out")).find("DI201400007"), std::string::npos);
    // A stream is named by the digest of the bytes read, as the file itself is (the file cannot be read
    // again).
    const std::string pipedJson =
        "cat '" + rec + "' | " THERMIVO_CLI " info - --json > '" + dir.file("pipe.json") + "'";
    ASSERT_EQ(std::system(pipedJson.c_str()), 0);
    EXPECT_EQ(nlohmann::json::parse(slurp(dir.file("pipe.json")))["sha256"], *sha256HexOfFile(rec));
    ASSERT_EQ(mkfifo(dir.file("fifo").c_str(), 0600), 0);
    const std::string cmd = "(cat '" + rec + "' > '" + dir.file("fifo") + "' &) ; " THERMIVO_CLI " info '" +
                            dir.file("fifo") + "' > '" + dir.file("fifo.out") + "' 2>&1";
    EXPECT_EQ(std::system(cmd.c_str()), 0) << slurp(dir.file("fifo.out"));
    EXPECT_NE(slurp(dir.file("fifo.out")).find("DI201400007"), std::string::npos);
    r = cli(dir, "info /dev/null");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.find("Is a directory"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("file too short"), std::string::npos) << r.err;
    r = cli(dir, "info '" + dir.path().string() + "'");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Is a directory"), std::string::npos) << r.err;

    // Outputs: "-" and /dev/stdout are the standard output, never a file of that name.
    r = cli(dir, "convert '" + rec + "' --csv - --unit C");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("5.50"), std::string::npos) << r.out;  // the first sample, in the unit asked for
    EXPECT_TRUE(r.err.empty()) << r.err;
    r = cli(dir, "convert '" + rec + "' --csv /dev/stdout --unit C");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("7.00"), std::string::npos) << r.out;
    EXPECT_FALSE(fs::exists(dir.path() / "-"));
    r = cli(dir, "convert - --xlsx - < '" + rec + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.substr(0, 2), "PK");  // a zip container
    r = cli(dir, "convert '" + rec + "' --xls -");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("standard output"), std::string::npos) << r.err;
    r = cli(dir, "convert '" + rec + "' --csv - --xlsx -");
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(r.out.empty());
}

TEST(CliConventions, AFailedWorkbookExportLeavesTheWorkbookAsItWas) {
    TempDir dir;
    const std::string rec = recordingFile(dir);
    const std::string book = dir.file("book.xls");
    CliRun r = cli(dir, "convert '" + rec + "' --xls '" + book + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string before = slurp(book);
    struct stat st {};
    ASSERT_EQ(stat(book.c_str(), &st), 0);

    r = cli(dir, "convert '" + rec + "' --xls '" + book + "'");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("already holds the worksheet \"Summary\"; it was left unchanged"), std::string::npos)
        << r.err;
    EXPECT_EQ(r.err.find("has saved"), std::string::npos) << r.err;
    EXPECT_TRUE(slurp(book) == before);  // byte for byte: no backup sheet, nothing added
    struct stat after {};
    ASSERT_EQ(stat(book.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, st.st_ino);  // not even rewritten
    const std::string chinese = dir.file("zh.xls");
    ASSERT_EQ(cli(dir, "convert '" + rec + "' --xls '" + chinese + "'", "zh_CN.UTF-8").status, 0);
    const std::string chineseBefore = slurp(chinese);
    r = cli(dir, "convert '" + rec + "' --xls '" + chinese + "'", "zh_CN.UTF-8");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("未作改动"), std::string::npos) << r.err;
    EXPECT_TRUE(slurp(chinese) == chineseBefore);

    // --replace: a new workbook with only our sheets, in place of the old one.
    r = cli(dir, "convert '" + rec + "' --xls '" + book + "' --replace");
    ASSERT_EQ(r.status, 0) << r.err;
    const Workbook replaced = Workbook::load(book);
    ASSERT_EQ(replaced.sheets().size(), 2u);
    EXPECT_NE(replaced.find("Summary"), nullptr);
    EXPECT_NE(replaced.find("Data"), nullptr);
    EXPECT_EQ(replaced.find("CSpreadSheetBackup"), nullptr);
    EXPECT_EQ(cli(dir, "convert '" + rec + "' --csv x.csv --replace").status, 2);
}

TEST(CliConventions, TraceOfADownloadHoldsEveryFrameWithItsMeaning) {
    TempDir dir;
    PtyInstrument instrument(config(100));
    ASSERT_TRUE(instrument.start()) << instrument.error();
    const std::string trace = dir.file("link.trace");
    const CliRun r = cli(dir, "--trace '" + trace + "' download --port " + instrument.path() + " -o '" +
                                  dir.file("dl.kvlu") + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string t = slurp(trace);
    // The header request of the download and the first block's request and reply, in hex and in words.
    EXPECT_NE(t.find(" -> FF CF BF 5F 53 54 00  header request (download)\n"), std::string::npos) << t;
    EXPECT_NE(t.find(" <- FF CF BF 5F 53 54 00 25 "), std::string::npos) << t;
    EXPECT_NE(t.find("header reply (download): serial DI123456789, 100 samples, a sample every 5 min"),
              std::string::npos)
        << t;
    EXPECT_NE(t.find(" -> FF 5E BE 6E 00 00 FF  block request 0x0000 (sample 0)\n"), std::string::npos) << t;
    EXPECT_NE(t.find("block reply 0x0000 (samples 0 to 15)\n"), std::string::npos) << t;
    EXPECT_NE(t.find("block reply 0x00C0 (samples 96 to 111)\n"), std::string::npos) << t;
    EXPECT_EQ(t.find("check sum wrong"), std::string::npos) << t;
    EXPECT_EQ(t.find("outside any frame"), std::string::npos) << t;
    // Time stamps never go back.
    std::istringstream lines(t);
    std::string line;
    double last = -1;
    int frames = 0;
    while (std::getline(lines, line)) {
        if (line.empty() || line[0] == '#') continue;
        const double at = std::stod(line);
        EXPECT_GE(at, last) << line;
        last = at;
        ++frames;
    }
    EXPECT_GT(frames, 14);
}

TEST(CliConventions, ProgressInALogIsPlainLinesAndQuietSaysNothing) {
    TempDir dir;
    {
        // Paced like the real line (about 4.4 s), so the progress is shown on the way, not only at the end.
        PtyInstrument paced(config(1600), false);
        ASSERT_TRUE(paced.start()) << paced.error();
        const CliRun r = cli(dir, "download --port " + paced.path() + " -o '" + dir.file("a.kvlu") + "'");
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err.find('\r'), std::string::npos) << r.err;
        std::istringstream lines(r.err);
        std::string line;
        int shown = 0, last = 0;
        while (std::getline(lines, line)) {
            if (line.rfind("download: ", 0) != 0) continue;
            const int percent = std::stoi(line.substr(10));
            EXPECT_GT(percent, last) << r.err;
            EXPECT_EQ(percent % 10, 0) << line;
            last = percent;
            ++shown;
        }
        EXPECT_GE(shown, 2) << r.err;  // one on the way at least, and the end
        EXPECT_NE(r.err.find("download: 100 % (1600 of 1600 samples)\n"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("1600 samples in "), std::string::npos) << r.err;
    }
    PtyInstrument instrument(config(2000));
    ASSERT_TRUE(instrument.start()) << instrument.error();
    CliRun r;
    r = cli(dir, "download --port " + instrument.path() + " -o '" + dir.file("b.kvlu") + "'", "zh_CN.UTF-8");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("2000 个数据，用时 "), std::string::npos) << r.err;

    r = cli(dir, "-q download --port " + instrument.path() + " -o '" + dir.file("c.kvlu") + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(r.err.empty()) << r.err;
    EXPECT_TRUE(fs::exists(dir.file("c.kvlu")));
}

TEST(CliConventions, StartSaysWhatHappened) {
    TempDir dir;
    PtyInstrument recording(config(10, 1));
    ASSERT_TRUE(recording.start()) << recording.error();
    CliRun r = cli(dir, "start --port " + recording.path() + " --interval 5");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("The instrument is already recording; it was not started again."), std::string::npos)
        << r.err;
    EXPECT_EQ(r.err.find("has been activate"), std::string::npos) << r.err;
    r = cli(dir, "start --port " + recording.path() + " --interval 5", "zh_CN.UTF-8");
    EXPECT_NE(r.err.find("记录仪正在记录，未重新启动。"), std::string::npos) << r.err;
    for (const char* bad : {"100", "abc", "-3", "0", "2.5"}) {
        r = cli(dir, std::string("start --port ") + recording.path() + " --interval " + bad);
        EXPECT_EQ(r.status, 2) << bad << "\n" << r.err;
        EXPECT_NE(r.err.find("1 to 99"), std::string::npos) << bad << "\n" << r.err;
    }
    r = cli(dir, "start --help");
    EXPECT_NE(r.out.find("--interval 1..99"), std::string::npos) << r.out;
}
