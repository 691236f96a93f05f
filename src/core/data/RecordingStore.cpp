#include "data/RecordingStore.h"

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <system_error>

#include "app/Format.h"
#include "data/LocalTime.h"
#include "data/RecordFile.h"

namespace thermivo {

namespace fs = std::filesystem;

namespace {

// A record file holds 11 serial characters, padded with blanks.
std::string fileSerial(std::string serial) {
    if (serial.size() > 11) serial.resize(11);
    while (!serial.empty() && serial.back() == ' ') serial.pop_back();
    return serial;
}

}  // namespace

RecordingStore::RecordingStore(std::string root) : root_(std::move(root)) {}

std::string RecordingStore::defaultRoot() {
    const char* data = std::getenv("XDG_DATA_HOME");
    fs::path base;
    if (data != nullptr && data[0] == '/') {
        base = data;
    } else {
        const char* home = std::getenv("HOME");
        base = fs::path(home != nullptr && home[0] != '\0' ? home : "/tmp") / ".local" / "share";
    }
    return (base / "thermivo" / "recordings").string();
}

std::string RecordingStore::folderName(const std::string& serial) {
    std::string name;
    for (const char c : serial) {
        const bool safe = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                          c == '-' || c == '_' || c == '.';
        name += safe ? c : '_';
    }
    // A name of dots alone would climb out of the folder.
    if (name.find_first_not_of('.') == std::string::npos) name = "unknown-serial";
    if (name[0] == '.') name[0] = '_';
    return name;
}

std::string RecordingStore::startName(std::int64_t startTime) {
    const auto t = startTime != 0 ? toLocal(startTime) : std::nullopt;
    if (!t) return "unknown-start";
    return format("%04d-%02d-%02d_%02d-%02d", t->year, t->month, t->day, t->hour, t->minute);
}

std::string RecordingStore::folderFor(const std::string& serial) const {
    return (fs::path(root_) / folderName(serial)).string();
}

std::string RecordingStore::pathFor(const std::string& serial, std::int64_t startTime) const {
    return (fs::path(folderFor(serial)) / (startName(startTime) + ".kvlu")).string();
}

bool RecordingStore::holdsCopy(const std::string& serial, std::int64_t startTime,
                               std::int32_t sampleCount) const {
    const std::string path = pathFor(serial, startTime);
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) return false;
    RecordFile file(path, RecordFile::ModeRead);
    if (!file.isOpen()) return false;
    auto copy = std::make_unique<Recording>();
    const bool ok = file.read(*copy);
    file.close();
    return ok && fileSerial(copy->serialText()) == fileSerial(serial) && copy->startTime == startTime &&
           copy->sampleCount == sampleCount;
}

RecordingStore::Kept RecordingStore::keep(const Recording& rec) const {
    Kept kept;
    kept.path = pathFor(rec.serialText(), rec.startTime);
    if (holdsCopy(rec.serialText(), rec.startTime, rec.sampleCount)) {
        kept.ok = true;
        return kept;
    }
    std::error_code ec;
    fs::create_directories(folderFor(rec.serialText()), ec);
    if (ec) {
        kept.error = ec.message();
        return kept;
    }
    RecordFile file(kept.path, RecordFile::ModeWrite);
    kept.ok = file.isOpen() && file.write(rec);
    if (!kept.ok) kept.error = file.error().empty() ? "the folder takes no file" : file.error();
    file.close();
    return kept;
}

RecordingStore::Kept keepCompleteDownload(const RecordingStore& store, const Recording& rec) {
    return store.keep(rec);
}

}  // namespace thermivo
