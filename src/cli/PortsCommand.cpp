#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <vector>

#include "Commands.h"
#include "app/UiText.h"
#include "link/BridgePorts.h"
#include "link/serial/SerialPort.h"

namespace thermivo::cli {

namespace {

constexpr int kTextNoPort = 2800;
constexpr int kTextSeveralPorts = 2801;
constexpr int kTextNoEnvironmentPort = 2802;

bool present(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

/// A port the tool could talk to, and why it is one.
struct Candidate {
    std::string path;
    std::string source;  ///< "THERMIVO_PORT" or "CH34x"
    std::string usbId;   ///< "1a86:7523" for a bridge
};

/// THERMIVO_PORT's paths when it is set (those present), else the CH34x bridges attached: the same ports
/// the window looks at.
std::vector<Candidate> candidates(bool& fromEnvironment) {
    BridgePorts ports;
    std::vector<Candidate> found;
    const std::vector<std::string> named = BridgePorts::environmentPorts();
    fromEnvironment = !named.empty();
    if (fromEnvironment) {
        for (const auto& path : named)
            if (present(path)) found.push_back({path, "THERMIVO_PORT", ports.bridgeUsbIdOf(path)});
        return found;
    }
    for (const auto& path : ports.scan()) found.push_back({path, "CH34x", ports.bridgeUsbIdOf(path)});
    return found;
}

}  // namespace

int choosePort(const std::string& requested, std::string& port) {
    if (!requested.empty()) {
        port = requested;
        return kExitOk;
    }
    const std::vector<std::string> named = BridgePorts::environmentPorts();
    // One path named is taken as it is: if it cannot be opened, the open says why.
    if (named.size() == 1) {
        port = named.front();
        return kExitOk;
    }
    bool fromEnvironment = false;
    const std::vector<Candidate> found = candidates(fromEnvironment);
    if (found.size() == 1) {
        port = found.front().path;
        return kExitOk;
    }
    if (found.empty()) {
        std::string all;
        for (const auto& path : named) all += (all.empty() ? "" : ", ") + path;
        std::fprintf(stderr, "thermivo-cli: %s\n",
                     (fromEnvironment ? textWith(kTextNoEnvironmentPort, {all}) : text(kTextNoPort)).c_str());
        return kExitFailure;
    }
    std::fprintf(stderr, "thermivo-cli: %s\n", text(kTextSeveralPorts).c_str());
    for (const auto& c : found) std::fprintf(stderr, "  %s\n", c.path.c_str());
    return kExitUsage;
}

int runPorts(bool json) {
    bool fromEnvironment = false;
    const std::vector<Candidate> found = candidates(fromEnvironment);
    if (json) {
        std::string out = "[";
        for (const auto& c : found) {
            out += std::string(out.size() > 1 ? "," : "") + "\n  {\"path\": \"" + jsonEscape(c.path) +
                   "\", \"source\": \"" + c.source +
                   "\", \"usbId\": " + (c.usbId.empty() ? std::string("null") : "\"" + c.usbId + "\"") +
                   ", \"canOpen\": " + (VkComm::CSerialPort::canOpen(c.path) ? "true" : "false") + "}";
        }
        out += found.empty() ? "]\n" : "\n]\n";
        std::fputs(out.c_str(), stdout);
        return kExitOk;
    }
    for (const auto& c : found) {
        std::string line = c.path + "  " + c.source;
        if (!c.usbId.empty() && c.source != "CH34x")
            line += " (CH34x " + c.usbId + ")";
        else if (!c.usbId.empty())
            line += " " + c.usbId;
        if (!VkComm::CSerialPort::canOpen(c.path)) line += "  (cannot be opened now)";
        std::printf("%s\n", line.c_str());
    }
    if (!found.empty()) return kExitOk;
    std::string named;
    for (const auto& path : BridgePorts::environmentPorts()) named += (named.empty() ? "" : ", ") + path;
    std::fprintf(stderr, "thermivo-cli: %s\n",
                 (fromEnvironment ? textWith(kTextNoEnvironmentPort, {named}) : text(kTextNoPort)).c_str());
    return kExitFailure;
}

std::string jsonEscape(const std::string& s) {
    std::string out;
    for (const char c : s) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20) {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "\\u%04x", u);
            out += buffer;
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace thermivo::cli
