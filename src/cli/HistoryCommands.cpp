// The history of this computer: list it, check its chain, and check a file against it.
#include <cstdio>

#include <nlohmann/json.hpp>

#include "Commands.h"
#include "app/UiText.h"
#include "data/LocalTime.h"
#include "data/RecordingStore.h"
#include "history/FileVerify.h"
#include "history/HistoryLog.h"

#ifndef THERMIVO_VERSION
#define THERMIVO_VERSION "unknown"
#endif

namespace thermivo::cli {

namespace {

using nlohmann::ordered_json;

std::string localTime(std::int64_t seconds) {
    const auto t = toLocal(seconds);
    if (!t) return std::to_string(seconds);
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d", t->year, t->month, t->day, t->hour,
                  t->minute, t->second);
    return buffer;
}

ordered_json rowJson(const HistoryRow& row) {
    ordered_json details = ordered_json::object();
    for (const auto& [key, value] : decodeHistoryDetails(row.details)) details[key] = value;
    return {{"id", row.id},
            {"time_utc", row.timeUtc},
            {"user", row.user},
            {"host", row.host},
            {"program", row.program},
            {"event", row.event},
            {"serial", row.serial},
            {"details", details},
            {"file_sha256", row.fileSha256},
            {"samples_sha256", row.samplesSha256},
            {"previous_hash", row.previousHash},
            {"hash", row.hash}};
}

std::string detailsLine(const std::string& details) {
    std::string line;
    for (const auto& [key, value] : decodeHistoryDetails(details))
        line += (line.empty() ? "" : "; ") + key + "=" + value;
    return line;
}

const char* problemName(ChainCheck::Problem p) {
    switch (p) {
        case ChainCheck::None:
            return "none";
        case ChainCheck::Unreadable:
            return "unreadable";
        case ChainCheck::Changed:
            return "changed";
        case ChainCheck::Deleted:
            return "deleted";
        case ChainCheck::Relinked:
            return "rewritten";
        case ChainCheck::TailDeleted:
            return "end-deleted";
    }
    return "unknown";
}

std::string chainText(const ChainCheck& c, const std::string& path) {
    const std::string row = std::to_string(c.row);
    switch (c.problem) {
        case ChainCheck::None:
            return textWith(2911, {std::to_string(c.rows)});
        case ChainCheck::Unreadable:
            return textWith(2916, {path, c.error});
        case ChainCheck::Changed:
            return textWith(2912, {row});
        case ChainCheck::Deleted:
            return textWith(2913, {row});
        case ChainCheck::Relinked:
            return textWith(2915, {row});
        case ChainCheck::TailDeleted:
            return textWith(2914, {row});
    }
    return {};
}

const char* originName(FileVerdict::Origin o) {
    switch (o) {
        case FileVerdict::Unreadable:
            return "unreadable";
        case FileVerdict::OriginalDownload:
            return "original-download";
        case FileVerdict::WrittenFromOriginal:
            return "written-from-original";
        case FileVerdict::WrittenOther:
            return "written";
        case FileVerdict::Unknown:
            return "unknown";
    }
    return "unknown";
}

const char* samplesName(FileVerdict::Samples s) {
    switch (s) {
        case FileVerdict::NotARecordFile:
            return "not-a-record-file";
        case FileVerdict::NoKeptOriginal:
            return "no-kept-original";
        case FileVerdict::SameAsOriginal:
            return "same-as-original";
        case FileVerdict::DifferFromOriginal:
            return "differ";
        case FileVerdict::KeptOriginalUnreadable:
            return "kept-original-unreadable";
    }
    return "unknown";
}

}  // namespace

HistoryLog& history() {
    static HistoryLog log(HistoryLog::defaultPath(), "thermivo-cli " THERMIVO_VERSION);
    static const bool noticeSet = [] {
        log.setFailureNotice(
            [](const std::string& m) { std::fprintf(stderr, "thermivo-cli: %s\n", m.c_str()); });
        return true;
    }();
    (void)noticeSet;
    return log;
}

int runHistory(const HistoryRequest& request) {
    HistoryLog& log = history();
    if (request.verify) {
        const ChainCheck c = log.verifyChain();
        if (request.json) {
            ordered_json out = {{"ok", c.ok()}, {"rows", c.rows}, {"problem", problemName(c.problem)}};
            if (!c.ok()) out["row"] = c.row;
            std::printf("%s\n", out.dump(2).c_str());
        } else {
            std::printf("%s\n", chainText(c, log.path()).c_str());
        }
        return c.ok() ? kExitOk : kExitFailure;
    }
    std::string error;
    const std::vector<HistoryRow> rows = log.rows(request.serial, &error);
    if (!error.empty()) {
        std::fprintf(stderr, "thermivo-cli: %s\n", textWith(2916, {log.path(), error}).c_str());
        return kExitFailure;
    }
    if (request.json) {
        ordered_json out = ordered_json::array();
        for (const HistoryRow& row : rows) out.push_back(rowJson(row));
        std::printf("%s\n", out.dump(2).c_str());
        return kExitOk;
    }
    for (const HistoryRow& row : rows) {
        std::printf("%lld  %s  %s@%s  %s  %s  %s  %s\n", static_cast<long long>(row.id),
                    localTime(row.seconds()).c_str(), row.user.c_str(), row.host.c_str(), row.program.c_str(),
                    historyEventText(row.event).c_str(), row.serial.c_str(),
                    detailsLine(row.details).c_str());
    }
    return kExitOk;
}

int runVerify(const VerifyRequest& request) {
    HistoryLog& log = history();
    const RecordingStore store(RecordingStore::defaultRoot());
    const FileVerdict v = verifyFile(log, store, request.path);
    if (request.json) {
        ordered_json out = {{"file", request.path},
                            {"sha256", v.fileSha256},
                            {"origin", originName(v.origin)},
                            {"samples", samplesName(v.samples)}};
        if (v.origin == FileVerdict::OriginalDownload || v.origin == FileVerdict::WrittenFromOriginal ||
            v.origin == FileVerdict::WrittenOther)
            out["row"] = rowJson(v.row);
        if (v.original) out["original"] = rowJson(*v.original);
        if (v.samples != FileVerdict::NotARecordFile) {
            out["serial"] = v.serial;
            out["kept_original"] = v.keptPath;
        }
        if (v.samples == FileVerdict::DifferFromOriginal) {
            out["first_differing_sample"] = v.firstDifference;
            out["value"] = v.fileValue;
            out["original_value"] = v.keptValue;
        }
        if (v.keptOriginalUnrecorded) out["kept_original_unrecorded"] = true;
        out["text"] = verdictText(v);
        std::printf("%s\n", out.dump(2).c_str());
    } else {
        std::printf("%s\n", verdictText(v).c_str());
    }
    const bool failed = v.origin == FileVerdict::Unreadable || v.samples == FileVerdict::DifferFromOriginal;
    return failed ? kExitFailure : kExitOk;
}

}  // namespace thermivo::cli
