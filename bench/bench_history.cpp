// The history: appending one row (goal: at most 2 ms), and verifying a 60000-sample record file against the
// history and its kept original (goal: at most 50 ms).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>

#include "app/Sha256.h"
#include "data/RecordFile.h"
#include "data/RecordingStore.h"
#include "history/FileVerify.h"
#include "history/HistoryLog.h"

using namespace thermivo;

namespace {

// A folder of its own under the temp folder, never the user's data folder.
std::filesystem::path benchFolder() {
    const auto dir =
        std::filesystem::temp_directory_path() / ("thermivo-bench-history-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    return dir;
}

std::unique_ptr<Recording> fullRecording(std::int32_t kind) {
    auto rec = std::make_unique<Recording>();
    rec->kind = kind;
    rec->values[Recording::ValSerial] = kind == KindTempHumi ? "UTH00000001" : "DI000000001";
    rec->startTime = 1393668000;
    rec->stopTime = rec->startTime + 59999 * 60;
    rec->intervalSeconds = 60;
    rec->sampleCount = rec->samplesLoaded = Recording::kCapacity;
    for (std::size_t i = 0; i < Recording::kCapacity; ++i) {
        rec->temperature[i] = static_cast<float>(static_cast<int>(i % 4000) - 2000) / 100.0f;
        rec->humidity[i] = static_cast<float>(i % 10000) / 100.0f;
    }
    rec->dataFlags = Recording::kSamplesPresent;
    return rec;
}

void BM_RecordEvent(benchmark::State& state) {
    const auto dir = benchFolder();
    {
        HistoryLog log((dir / "history.sqlite").string(), "bench");
        HistoryEntry e;
        e.event = HistoryEvent::FileSaved;
        e.serial = "DI000000001";
        e.details = {{"path", "/home/user/records/trip-12.kvlu"}, {"samples", "60000"}};
        e.fileSha256 = std::string(64, 'a');
        e.samplesSha256 = std::string(64, 'b');
        for (auto _ : state) benchmark::DoNotOptimize(log.record(e));
    }
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_RecordEvent)->Unit(benchmark::kMillisecond);

// The saved copy of a kept original, looked up in a history of 10000 rows.
void BM_Verify60000(benchmark::State& state) {
    const auto dir = benchFolder();
    {
        auto rec = fullRecording(static_cast<std::int32_t>(state.range(0)));
        const RecordingStore store((dir / "recordings").string());
        const RecordingStore::Kept kept = store.keep(*rec);
        const std::string copy = (dir / "copy.kvlu").string();
        RecordFile file(copy, RecordFile::ModeWrite);
        if (!kept.ok || !file.write(*rec)) {
            state.SkipWithError("cannot write the files");
            return;
        }
        HistoryLog log((dir / "history.sqlite").string(), "bench");
        HistoryEntry filler;
        filler.event = HistoryEvent::FileExported;
        filler.serial = "DI000000002";
        for (int i = 0; i < 10000; ++i) {
            filler.fileSha256 = sha256Hex(std::to_string(i));
            log.record(filler);
        }
        HistoryEntry download = downloadEntry(HistoryEvent::DownloadComplete, *rec);
        download.fileSha256 = *sha256HexOfFile(kept.path);
        log.record(download);
        recordFile(&log, HistoryEvent::FileSaved, copy, *rec);
        for (auto _ : state) {
            const FileVerdict v = verifyFile(log, store, copy);
            // Written in the same minute, the copy may equal the original byte for byte.
            if (v.samples != FileVerdict::SameAsOriginal || v.origin == FileVerdict::Unknown)
                state.SkipWithError("unexpected verdict");
            benchmark::DoNotOptimize(v);
        }
    }
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_Verify60000)->Arg(KindTemp)->Arg(KindTempHumi)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
