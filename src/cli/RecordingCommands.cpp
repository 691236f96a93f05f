#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>

#include "Commands.h"
#include "RecordingJson.h"
#include "analysis/Statistics.h"
#include "analysis/StatisticsText.h"
#include "app/AppSettings.h"
#include "app/SafeSave.h"
#include "app/Sha256.h"
#include "app/UiText.h"
#include "data/LocalTime.h"
#include "data/RecordFile.h"
#include "history/FileVerify.h"

namespace thermivo::cli {

namespace {

// Summary rows in the order the summary band shows them: value index and its mask bit.
constexpr std::pair<int, std::uint32_t> kSummaryRows[] = {
    {Recording::ValSerial, Recording::MaskSerial},
    {Recording::ValStart, Recording::MaskStart},
    {Recording::ValStop, Recording::MaskStop},
    {Recording::ValInterval, Recording::MaskInterval},
    {Recording::ValCount, Recording::MaskCount},
    {Recording::ValDescription, Recording::MaskDescription},
    {Recording::ValTempMax, Recording::MaskTempMax},
    {Recording::ValTempMin, Recording::MaskTempMin},
    {Recording::ValTempAvg, Recording::MaskTempAvg},
    {Recording::ValTempUpper, Recording::MaskTempUpper},
    {Recording::ValTempLower, Recording::MaskTempLower},
    {Recording::ValHumiMax, Recording::MaskHumiMax},
    {Recording::ValHumiMin, Recording::MaskHumiMin},
    {Recording::ValHumiAvg, Recording::MaskHumiAvg},
    {Recording::ValHumiUpper, Recording::MaskHumiUpper},
    {Recording::ValHumiLower, Recording::MaskHumiLower},
};

// A JSON string of a text that holds no control characters (zone names, hex digits).
std::string jsonString(const std::string& s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

std::string trimLeft(const std::string& s) {
    const auto first = s.find_first_not_of(' ');
    return first == std::string::npos ? std::string() : s.substr(first);
}

}  // namespace

namespace {

// A pipe, FIFO or device can be read once only: its bytes are taken whole into a private file, which is read
// as a record file and named by the digest of exactly those bytes. Nothing when the input cannot be read.
struct StreamCopy {
    std::string path, digest, error;
    ~StreamCopy() {
        if (!path.empty()) ::unlink(path.c_str());
    }
};

bool copyStream(const std::string& from, StreamCopy& copy) {
    const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        copy.error = std::strerror(errno);
        return false;
    }
    const char* tmp = std::getenv("TMPDIR");
    std::string templ = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/thermivo-input.XXXXXX";
    const int out = ::mkstemp(templ.data());
    if (out < 0) {
        copy.error = std::strerror(errno);
        ::close(in);
        return false;
    }
    copy.path = templ;
    Sha256 hash;
    char buf[65536];
    bool ok = true;
    for (;;) {
        const ssize_t n = ::read(in, buf, sizeof buf);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            copy.error = std::strerror(errno);
            ok = false;
            break;
        }
        hash.update(buf, static_cast<std::size_t>(n));
        if (::write(out, buf, static_cast<std::size_t>(n)) != n) {
            copy.error = std::strerror(errno);
            ok = false;
            break;
        }
    }
    ::close(in);
    if (::close(out) != 0 && ok) {
        copy.error = std::strerror(errno);
        ok = false;
    }
    copy.digest = hash.finishHex();
    return ok;
}

}  // namespace

bool loadRecording(const std::string& path, Recording& rec, std::string* digest) {
    // "-" is the standard input: a file redirected into it, or a pipe read to its end.
    const std::string source = path == "-" ? "/dev/stdin" : path;
    struct stat st {};
    const bool regular = ::stat(source.c_str(), &st) == 0 && S_ISREG(st.st_mode);
    StreamCopy copy;
    if (!regular && !copyStream(source, copy)) {
        std::fprintf(stderr, "%s%s\n(%s)\n", text(40).c_str(), path.c_str(), copy.error.c_str());
        return false;
    }
    RecordFile file(regular ? source : copy.path, RecordFile::ModeRead);
    if (file.isOpen() && file.read(rec)) {
        rec.buildSampleTimes();
        rec.formatTemperatureTexts();
        // The digest of the bytes as read: a regular file is hashed where it lies, a stream by its copy.
        if (digest != nullptr) *digest = regular ? sha256HexOfFile(source).value_or("") : copy.digest;
        return true;
    }
    std::fprintf(stderr, "%s%s\n", text(40).c_str(), path.c_str());
    if (!file.error().empty()) std::fprintf(stderr, "(%s)\n", file.error().c_str());
    return false;
}

bool applyUnit(const std::string& unit) {
    AppSettings& settings = AppSettings::instance();
    if (unit == "C" || unit == "c") {
        settings.currentUnit = settings.unitCelsius;
    } else if (unit == "F" || unit == "f") {
        settings.currentUnit = settings.unitFahrenheit;
    } else {
        return false;
    }
    return true;
}

int runInfo(const InfoRequest& request) {
    const std::string& path = request.path;
    const bool json = request.json;
    const double activationEnergy = request.activationEnergy;
    if (!request.unit.empty()) applyUnit(request.unit);
    // The option checks already refused malformed times.
    std::optional<std::int64_t> from, to;
    if (!request.from.empty()) from = parseMinuteTime(request.from);
    if (!request.to.empty()) to = parseMinuteTime(request.to);
    if (from && to && *from > *to) return usage("--from lies after --to");
    auto rec = std::make_unique<Recording>();
    std::string digest;
    if (!loadRecording(path, *rec, &digest)) return kExitFailure;
    const RecordingStatistics stats =
        computeStatistics(*rec, sampleRangeBetween(*rec, from, to), activationEnergy);
    // Unix seconds mean nothing to a reader in another zone without the zone they were shown in.
    const std::string zone = localZoneName();
    const int offset = utcOffsetSeconds(rec->startTime);
    if (json) {
        const std::string timeZone =
            "{\"name\": " + jsonString(zone) + ", \"utcOffsetSeconds\": " + std::to_string(offset) + "}";
        std::fputs(recordingToJson(*rec, {{"timeZone", timeZone},
                                          {"sha256", jsonString(digest)},
                                          {"statistics", statisticsJson(stats)}})
                       .c_str(),
                   stdout);
        return kExitOk;
    }
    for (const auto& [index, bit] : kSummaryRows) {
        if ((rec->validMask & bit) == 0) continue;
        const auto k = static_cast<std::size_t>(index);
        std::printf("%s %s\n", trimLeft(rec->labels[k]).c_str(), rec->values[k].c_str());
    }
    std::printf("%s %s (UTC%s)\n", text(2559).c_str(), zone.c_str(), formatUtcOffset(offset).c_str());
    std::printf("%s: %s\n", text(2512).c_str(), digest.c_str());
    std::printf("%s\n", text(2300).c_str());
    for (const auto& line : statisticsLines(stats, AppSettings::instance())) {
        if (line.second.empty())
            std::printf("  %s\n", line.first.c_str());
        else
            std::printf("  %s%s%s\n", line.first.c_str(), line.first.empty() ? "  " : " ",
                        line.second.c_str());
    }
    return kExitOk;
}

int runCreate(const CreateRequest& request) {
    const std::string &input = request.input, &output = request.output;
    std::stringstream buffer;
    if (input == "-") {
        buffer << std::cin.rdbuf();
    } else {
        std::ifstream in(input, std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "thermivo-cli: cannot read %s\n", input.c_str());
            return kExitFailure;
        }
        buffer << in.rdbuf();
    }
    JsonProblem problem;
    auto rec = std::make_unique<Recording>();
    if (!recordingFromJson(buffer.str(), *rec, &problem)) {
        std::fprintf(stderr, "thermivo-cli: %s: %s\n", input.c_str(), problem.describe().c_str());
        return kExitUsage;
    }
    RecordFile file(output, RecordFile::ModeWrite);
    if (!file.isOpen() || !file.write(*rec)) {
        std::fprintf(stderr, "%s%s\n%s\n(%s)\n", text(38).c_str(), output.c_str(),
                     saveProblemText(file.problem()).c_str(), file.error().c_str());
        return kExitFailure;
    }
    recordFile(&history(), HistoryEvent::FileSaved, output, *rec, {{"from", input}});
    sayDone(text(37) + output);
    return kExitOk;
}

}  // namespace thermivo::cli
