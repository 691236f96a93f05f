#include "history/FileVerify.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <future>
#include <memory>
#include <vector>

#include "app/Format.h"
#include "app/Sha256.h"
#include "app/UiText.h"
#include "data/LocalTime.h"
#include "data/RecordFile.h"
#include "data/Recording.h"
#include "data/RecordingStore.h"

namespace thermivo {

namespace {

constexpr int kTextOriginal = 2901;
constexpr int kTextWrittenFromOriginal = 2902;
constexpr int kTextWrittenOther = 2903;
constexpr int kTextUnknown = 2904;
constexpr int kTextSameSamples = 2905;
constexpr int kTextSampleDiffers = 2906;
constexpr int kTextNoKeptOriginal = 2907;
constexpr int kTextKeptUnreadable = 2908;
constexpr int kTextKeptUnrecorded = 2909;
constexpr int kTextUnreadable = 2917;
constexpr int kTextCountDiffers = 2918;
constexpr int kTextShortOriginal = 2940;
constexpr int kTextShortFromOriginal = 2941;
constexpr int kTextShortWritten = 2942;
constexpr int kTextShortUnknown = 2943;
constexpr int kTextShortDiffers = 2944;
constexpr int kTextShortUnreadable = 2945;

// The record file keeps serial numbers of 11 characters, padded with blanks.
std::string fileSerial(std::string serial) {
    if (serial.size() > 11) serial.resize(11);
    while (!serial.empty() && serial.back() == ' ') serial.pop_back();
    return serial;
}

// A sample as the record file keeps it: hundredths.
std::int64_t hundredths(float v) {
    return Recording::hasValue(v) ? std::llround(static_cast<double>(v) * 100.0) : INT64_MIN;
}

std::string sampleText(float v) {
    return Recording::hasValue(v) ? format("%.2f", static_cast<double>(v)) : "-";
}

}  // namespace

std::string historyUtcText(std::int64_t seconds) {
    const time_t t = static_cast<time_t>(seconds);
    tm parts{};
    if (gmtime_r(&t, &parts) == nullptr) return std::to_string(seconds);
    return format("%04d-%02d-%02dT%02d:%02dZ", parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday,
                  parts.tm_hour, parts.tm_min);
}

namespace {

std::string localText(std::int64_t seconds) {
    const auto t = toLocal(seconds);
    if (!t) return std::to_string(seconds);
    return format("%04d-%02d-%02d %02d:%02d:%02d", t->year, t->month, t->day, t->hour, t->minute, t->second);
}

bool readBytes(const std::string& path, std::vector<std::uint8_t>& bytes) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) return false;
    const std::streamoff size = in.tellg();
    if (size < 0) return false;
    bytes.resize(static_cast<std::size_t>(size));
    in.seekg(0);
    in.read(reinterpret_cast<char*>(bytes.data()), size);
    return in.gcount() == size;
}

std::string hexOf(const std::vector<std::uint8_t>& bytes) {
    Sha256 h;
    h.update(bytes.data(), bytes.size());
    return h.finishHex();
}

void compareWithKept(HistoryLog& log, const RecordingStore& store, const Recording& rec, FileVerdict& v) {
    v.serial = fileSerial(rec.serialText());
    v.startTime = rec.startTime;
    v.keptPath = store.pathFor(v.serial, rec.startTime);
    std::error_code ec;
    if (!std::filesystem::is_regular_file(v.keptPath, ec)) {
        v.samples = FileVerdict::NoKeptOriginal;
        return;
    }
    std::vector<std::uint8_t> keptBytes;
    auto kept = std::make_unique<Recording>();
    if (!readBytes(v.keptPath, keptBytes)) {
        v.samples = FileVerdict::KeptOriginalUnreadable;
        return;
    }
    // Hashing and decoding are independent: on a second core the check takes the time of the longer one.
    auto keptSha = std::async(std::launch::async, [&keptBytes] { return hexOf(keptBytes); });
    if (!RecordFile::decode(keptBytes, *kept)) {
        v.samples = FileVerdict::KeptOriginalUnreadable;
        return;
    }
    bool recorded = false;
    for (const HistoryRow& row : log.writersOf(keptSha.get()))
        recorded = recorded || row.event == historyEventName(HistoryEvent::DownloadComplete);
    v.keptOriginalUnrecorded = !recorded;
    kept->buildSampleTimes();
    const int here = rec.usableSamples(), there = kept->usableSamples();
    const bool humidity = rec.kind == KindTempHumi || kept->kind == KindTempHumi;
    for (int i = 0; i < std::min(here, there); ++i) {
        const auto k = static_cast<std::size_t>(i);
        const bool tempDiffers = hundredths(rec.temperature[k]) != hundredths(kept->temperature[k]);
        if (!tempDiffers && (!humidity || hundredths(rec.humidity[k]) == hundredths(kept->humidity[k])))
            continue;
        v.samples = FileVerdict::DifferFromOriginal;
        v.firstDifference = i + 1;
        v.differenceTime = kept->sampleTime[k];
        v.fileValue = tempDiffers ? sampleText(rec.temperature[k]) : sampleText(rec.humidity[k]) + " %RH";
        v.keptValue = tempDiffers ? sampleText(kept->temperature[k]) : sampleText(kept->humidity[k]) + " %RH";
        return;
    }
    if (here != there) {
        v.samples = FileVerdict::DifferFromOriginal;
        v.firstDifference = 0;
        v.fileValue = std::to_string(here);
        v.keptValue = std::to_string(there);
        return;
    }
    v.samples = FileVerdict::SameAsOriginal;
}

}  // namespace

std::string recordingFingerprint(const Recording& rec) {
    Sha256 h;
    const int n = rec.usableSamples();
    // The start as the record file keeps it, local wall time: a file read in another time zone still
    // matches the download it was written from.
    h.update(format("%s|%s|%lld|%d|", fileSerial(rec.serialText()).c_str(),
                    RecordingStore::startName(rec.startTime).c_str(),
                    static_cast<long long>(rec.intervalSeconds), n));
    const bool humidity = rec.kind == KindTempHumi;
    std::vector<std::int64_t> values;
    values.reserve(static_cast<std::size_t>(n) * (humidity ? 2 : 1));
    for (int i = 0; i < n; ++i) {
        const auto k = static_cast<std::size_t>(i);
        values.push_back(hundredths(rec.temperature[k]));
        if (humidity) values.push_back(hundredths(rec.humidity[k]));
    }
    h.update(values.data(), values.size() * sizeof(std::int64_t));
    return h.finishHex();
}

HistoryEntry downloadEntry(HistoryEvent event, const Recording& rec) {
    HistoryEntry e;
    e.event = event;
    e.serial = fileSerial(rec.serialText());
    e.details.emplace_back("samples", std::to_string(rec.arrivedSamples()));
    e.details.emplace_back("announced", std::to_string(rec.sampleCount));
    if (rec.startTime != 0) e.details.emplace_back("start", historyUtcText(rec.startTime));
    e.details.emplace_back("interval", std::to_string(rec.intervalSeconds) + " s");
    if (event == HistoryEvent::DownloadComplete) e.samplesSha256 = recordingFingerprint(rec);
    return e;
}

HistoryEntry recordingEntry(HistoryEvent event, const Recording& rec, const HistoryDetails& details) {
    HistoryEntry e;
    e.event = event;
    e.serial = fileSerial(rec.serialText());
    e.details = details;
    e.details.emplace_back("samples", std::to_string(rec.usableSamples()));
    if (rec.startTime != 0) e.details.emplace_back("start", historyUtcText(rec.startTime));
    e.samplesSha256 = recordingFingerprint(rec);
    return e;
}

HistoryEntry fileEntry(HistoryEvent event, const std::string& path, const Recording& rec,
                       const HistoryDetails& extra) {
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(path, ec);
    HistoryDetails details = {{"path", ec ? path : absolute.lexically_normal().string()}};
    details.insert(details.end(), extra.begin(), extra.end());
    HistoryEntry e = recordingEntry(event, rec, details);
    if (const auto sha = sha256HexOfFile(path)) {
        e.fileSha256 = *sha;
    } else {
        e.details.emplace_back("unreadable", "yes");
    }
    return e;
}

void recordFile(HistoryLog* log, HistoryEvent event, const std::string& path, const Recording& rec,
                const HistoryDetails& extra) {
    if (log == nullptr) return;
    log->record(fileEntry(event, path, rec, extra));
}

FileVerdict verifyFile(HistoryLog& log, const RecordingStore& store, const std::string& path) {
    FileVerdict v;
    std::vector<std::uint8_t> bytes;
    if (!readBytes(path, bytes)) {
        v.origin = FileVerdict::Unreadable;
        v.error = std::strerror(errno);
        return v;
    }
    auto rec = std::make_unique<Recording>();
    auto sha = std::async(std::launch::async, [&bytes] { return hexOf(bytes); });
    const bool recordFile = RecordFile::decode(bytes, *rec);
    v.fileSha256 = sha.get();
    std::string error;
    const std::vector<HistoryRow> writers = log.writersOf(v.fileSha256, &error);
    v.error = error;
    v.origin = FileVerdict::Unknown;
    for (const HistoryRow& row : writers) {
        if (row.event != historyEventName(HistoryEvent::DownloadComplete)) continue;
        v.origin = FileVerdict::OriginalDownload;
        v.row = row;
        break;
    }
    if (v.origin == FileVerdict::Unknown && !writers.empty()) {
        v.row = writers.front();
        v.original = log.downloadWithSamples(v.row.samplesSha256);
        v.origin = v.original ? FileVerdict::WrittenFromOriginal : FileVerdict::WrittenOther;
    }
    if (recordFile) compareWithKept(log, store, *rec, v);
    return v;
}

std::string verdictText(const FileVerdict& v) {
    std::string out;
    switch (v.origin) {
        case FileVerdict::Unreadable:
            return textWith(kTextUnreadable, {v.error});
        case FileVerdict::OriginalDownload:
            out = textWith(kTextOriginal, {v.row.serial, localText(v.row.seconds()), v.row.user});
            break;
        case FileVerdict::WrittenFromOriginal:
            out = textWith(kTextWrittenFromOriginal,
                           {localText(v.row.seconds()), v.row.user, localText(v.original->seconds())});
            break;
        case FileVerdict::WrittenOther:
            out = textWith(kTextWrittenOther, {localText(v.row.seconds()), v.row.user});
            break;
        case FileVerdict::Unknown:
            out = text(kTextUnknown);
            break;
    }
    switch (v.samples) {
        case FileVerdict::NotARecordFile:
            break;
        case FileVerdict::NoKeptOriginal:
            out += "\n";
            out += textWith(kTextNoKeptOriginal, {v.serial, formatLocalMinutes(v.startTime)});
            break;
        case FileVerdict::KeptOriginalUnreadable:
            out += "\n";
            out += textWith(kTextKeptUnreadable, {v.keptPath});
            break;
        case FileVerdict::SameAsOriginal:
            out += "\n";
            out += textWith(kTextSameSamples, {v.keptPath});
            break;
        case FileVerdict::DifferFromOriginal:
            out += "\n";
            out +=
                (v.firstDifference > 0 ? textWith(kTextSampleDiffers, {std::to_string(v.firstDifference),
                                                                       formatLocalMinutes(v.differenceTime),
                                                                       v.keptPath, v.fileValue, v.keptValue})
                                       : textWith(kTextCountDiffers, {v.keptPath, v.fileValue, v.keptValue}));
            break;
    }
    // Appended piece by piece: GCC 12 at -O3 warns falsely (-Wrestrict) about "\n" + string.
    if (v.keptOriginalUnrecorded) {
        out += "\n";
        out += textWith(kTextKeptUnrecorded, {v.keptPath});
    }
    return out;
}

std::string verdictShortText(const FileVerdict& v) {
    // A changed sample says more than where the file came from.
    if (v.samples == FileVerdict::DifferFromOriginal)
        return textWith(kTextShortDiffers, {std::to_string(std::max(v.firstDifference, 1))});
    switch (v.origin) {
        case FileVerdict::Unreadable:
            return text(kTextShortUnreadable);
        case FileVerdict::OriginalDownload:
            return text(kTextShortOriginal);
        case FileVerdict::WrittenFromOriginal:
            return text(kTextShortFromOriginal);
        case FileVerdict::WrittenOther:
            return text(kTextShortWritten);
        case FileVerdict::Unknown:
            break;
    }
    return text(kTextShortUnknown);
}

}  // namespace thermivo
