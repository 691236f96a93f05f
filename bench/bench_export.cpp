// Speed of the worksheet save of a full 60000-sample recording (goal: well under half a second).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>

#include "data/Recording.h"
#include "export/ListExport.h"
#include "export/RecordingExport.h"
#include "export/Workbook.h"

using namespace thermivo;

namespace {

std::unique_ptr<Recording> fullRecording() {
    auto rec = std::make_unique<Recording>();
    rec->kind = KindTemp;
    rec->sampleCount = rec->samplesLoaded = Recording::kCapacity;
    rec->dataFlags = Recording::kSamplesPresent;
    rec->startTime = 1400000000;
    rec->intervalSeconds = 60;
    rec->buildSampleTimes();
    for (int i = 0; i < Recording::kCapacity; ++i)
        rec->temperature[static_cast<std::size_t>(i)] = 2.0f + static_cast<float>(i % 700) * 0.01f;
    return rec;
}

std::string tempPath(const char* name) {
    return "/tmp/thermivo-bench-" + std::to_string(::getpid()) + "-" + name;
}

void BM_ExportRecording60000(benchmark::State& state) {
    const auto rec = fullRecording();
    const std::string path = tempPath("export.xls");
    for (auto _ : state) {
        state.PauseTiming();
        std::remove(path.c_str());
        state.ResumeTiming();
        const ExportResult r = exportRecordingToWorkbook(*rec, path);
        if (!r.ok) state.SkipWithError(r.error.c_str());
    }
    std::remove(path.c_str());
}
BENCHMARK(BM_ExportRecording60000)->Unit(benchmark::kMillisecond);

void BM_SerializeWorkbook60000(benchmark::State& state) {
    const auto rec = fullRecording();
    const std::string path = tempPath("serialize.xls");
    std::remove(path.c_str());
    exportRecordingToWorkbook(*rec, path);
    const Workbook wb = Workbook::load(path);
    std::remove(path.c_str());
    for (auto _ : state) benchmark::DoNotOptimize(wb.toXls());
}
BENCHMARK(BM_SerializeWorkbook60000)->Unit(benchmark::kMillisecond);

void BM_ReadWorkbook60000(benchmark::State& state) {
    const auto rec = fullRecording();
    const std::string path = tempPath("read.xls");
    std::remove(path.c_str());
    exportRecordingToWorkbook(*rec, path);
    const std::string bytes = readWholeFile(path);
    std::remove(path.c_str());
    for (auto _ : state) benchmark::DoNotOptimize(Workbook::fromXls(bytes));
}
BENCHMARK(BM_ReadWorkbook60000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
