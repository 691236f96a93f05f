#include "sim/SimOptions.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "data/LocalTime.h"

namespace thermivo {

namespace {

bool toInt(const std::string& s, long long lo, long long hi, long long& out) {
    if (s.empty()) return false;
    errno = 0;
    char* end = nullptr;
    const long long v = std::strtoll(s.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || v < lo || v > hi) return false;
    out = v;
    return true;
}

bool parseStart(const std::string& s, std::int64_t& out) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0;
    char tail = 0;
    if (std::sscanf(s.c_str(), "%d-%d-%d %d:%d%c", &y, &mo, &d, &h, &mi, &tail) != 5) return false;
    if (mo < 1 || mo > 12 || d < 1 || d > 31 || h < 0 || h > 23 || mi < 0 || mi > 59) return false;
    const auto t = fromLocal(y, mo, d, h, mi, 0);
    if (!t) return false;
    out = *t;
    return true;
}

}  // namespace

std::string simUsage() {
    return "Usage: thermivo-sim [OPTIONS]\n"
           "A virtual instrument on a pseudo-terminal; prints the device path on its first line and serves "
           "until\n"
           "stopped (Ctrl+C, SIGTERM).\n"
           "\n"
           "Options:\n"
           "  --help, --version      this text; the version\n"
           "  --serial DI123456789   serial number, 1 to 11 characters; its first letters decide the kind:\n"
           "                         DI... or UI...  temperature logger (the default; can be started)\n"
           "                         D... (not DI), I... or i...  compact temperature logger (no alarm\n"
           "                         limits, at most 9999 samples; cannot be started by the programs)\n"
           "                         anything else  an unknown kind, which the programs do not download\n"
           "  --samples N            N samples (0-60000) of a deterministic curve (see --seed)\n"
           "  --seed N               curve seed (default 1)\n"
           "  --samples-file F.json  samples from a JSON list of degrees Celsius\n"
           "  --start \"YYYY-MM-DD HH:MM\"  start of the recording (local time)\n"
           "  --interval MIN         sampling interval in minutes (1-255, default 1)\n"
           "  --state 0|1            0 not started, 1 recording (default 1)\n"
           "  --battery RAW          10-bit battery reading, 0-1023 (default 700)\n"
           "  --clock-offset SECONDS instrument clock minus PC clock\n"
           "  --fast                 no 9600-baud line pacing\n"
           "  --resend nearest|literal|restart\n"
           "                         how a block request is answered: the sample with that 16-bit address\n"
           "                         nearest to the stream (default), the address taken literally, or the\n"
           "                         stream restarted at the first block whatever the address\n"
           "  --ahead N              blocks sent before the next command is read, 1-3750 (default 1)\n"
           "\n"
           "Faults (block numbers from 0, each fires once):\n"
           "  --drop-block K  --corrupt-block K  --duplicate-block K  (each repeatable)\n"
           "  --stall-after K  --unplug-after K  --garbage  --split  --no-answer\n";
}

bool parseSimOptions(const std::vector<std::string>& args, SimOptions& out, std::string& error) {
    long long samples = -1;
    long long seed = 1;
    std::string samplesFile;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& v) {
            if (i + 1 >= args.size()) {
                error = a + " needs a value";
                return false;
            }
            v = args[++i];
            return true;
        };
        auto number = [&](long long lo, long long hi, long long& n) {
            std::string v;
            if (!value(v)) return false;
            if (!toInt(v, lo, hi, n)) {
                error = a + ": not a number in " + std::to_string(lo) + ".." + std::to_string(hi) + ": " + v;
                return false;
            }
            return true;
        };
        long long n = 0;
        std::string v;
        SimFaults& faults = out.config.faults;
        if (a == "--help" || a == "-h") {
            out.help = true;
        } else if (a == "--fast") {
            out.fast = true;
        } else if (a == "--garbage") {
            faults.garbage = true;
        } else if (a == "--split") {
            faults.split = true;
        } else if (a == "--no-answer") {
            faults.noAnswer = true;
        } else if (a == "--resend") {
            if (!value(v)) return false;
            if (v == "nearest") {
                out.config.resend = SimResend::Nearest;
            } else if (v == "literal") {
                out.config.resend = SimResend::Literal;
            } else if (v == "restart") {
                out.config.resend = SimResend::RestartAtZero;
            } else {
                error = "--resend: nearest, literal or restart: " + v;
                return false;
            }
        } else if (a == "--ahead") {
            if (!number(1, 3750, n)) return false;
            out.config.aheadBlocks = static_cast<int>(n);
        } else if (a == "--serial") {
            if (!value(v)) return false;
            if (v.empty() || v.size() > 11) {
                error = "--serial: 1 to 11 characters";
                return false;
            }
            out.config.serial = v;
        } else if (a == "--samples") {
            if (!number(0, 60000, samples)) return false;
        } else if (a == "--seed") {
            if (!number(0, UINT32_MAX, seed)) return false;
        } else if (a == "--samples-file") {
            if (!value(samplesFile)) return false;
        } else if (a == "--start") {
            if (!value(v)) return false;
            if (!parseStart(v, out.config.start)) {
                error = "--start: expected \"YYYY-MM-DD HH:MM\" after 1970: " + v;
                return false;
            }
        } else if (a == "--interval") {
            if (!number(1, 255, n)) return false;
            out.config.intervalMinutes = static_cast<int>(n);
        } else if (a == "--state") {
            if (!number(0, 1, n)) return false;
            out.config.state = static_cast<int>(n);
        } else if (a == "--battery") {
            if (!number(0, 1023, n)) return false;
            out.config.battery = static_cast<int>(n);
        } else if (a == "--clock-offset") {
            if (!number(-10LL * 365 * 86400, 10LL * 365 * 86400, n)) return false;
            out.config.clockOffset = n;
        } else if (a == "--drop-block" || a == "--corrupt-block" || a == "--duplicate-block") {
            if (!number(0, 3749, n)) return false;
            auto& set = a == "--drop-block"      ? faults.dropBlocks
                        : a == "--corrupt-block" ? faults.corruptBlocks
                                                 : faults.duplicateBlocks;
            set.insert(static_cast<int>(n));
        } else if (a == "--stall-after") {
            if (!number(0, 3749, n)) return false;
            faults.stallAfter = static_cast<int>(n);
        } else if (a == "--unplug-after") {
            if (!number(0, 3749, n)) return false;
            faults.unplugAfter = static_cast<int>(n);
        } else {
            error = "unknown option: " + a;
            return false;
        }
    }
    if (!samplesFile.empty() && samples >= 0) {
        error = "--samples and --samples-file exclude each other";
        return false;
    }
    if (!samplesFile.empty()) {
        std::ifstream in(samplesFile, std::ios::binary);
        if (!in) {
            error = "cannot read " + samplesFile;
            return false;
        }
        std::stringstream ss;
        ss << in.rdbuf();
        std::string why;
        if (!parseSampleList(ss.str(), out.config.samples, why)) {
            error = samplesFile + ": " + why;
            return false;
        }
        if (out.config.samples.size() > 60000) {
            error = samplesFile + ": more than 60000 samples";
            return false;
        }
    } else {
        out.config.samples =
            simulatedCurve(samples < 0 ? 100 : static_cast<int>(samples), static_cast<std::uint32_t>(seed));
    }
    return true;
}

}  // namespace thermivo
