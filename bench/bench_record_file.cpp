// Reading and writing a full 60000-sample record file.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <memory>

#include "data/LocalTime.h"
#include "data/RecordFile.h"

using namespace thermivo;

namespace {
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

std::string benchPath() {
    return (std::filesystem::temp_directory_path() / "thermivo-bench.kvlu").string();
}

void BM_Encode60000(benchmark::State& state) {
    auto rec = fullRecording(static_cast<std::int32_t>(state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(RecordFile::encode(*rec, {7, 45, 200, 0, 99}));
}
BENCHMARK(BM_Encode60000)->Arg(KindTemp)->Arg(KindTempHumi)->Unit(benchmark::kMillisecond);

void BM_Decode60000(benchmark::State& state) {
    auto rec = fullRecording(static_cast<std::int32_t>(state.range(0)));
    const auto image = RecordFile::encode(*rec, {7, 45, 200, 0, 99});
    auto back = std::make_unique<Recording>();
    for (auto _ : state) benchmark::DoNotOptimize(RecordFile::decode(image, *back));
}
BENCHMARK(BM_Decode60000)->Arg(KindTemp)->Arg(KindTempHumi)->Unit(benchmark::kMillisecond);

// The whole save and open, file system included (the save ends with fsync, so it measures the disk too).
void BM_WriteFile60000(benchmark::State& state) {
    setenv("TZ", "UTC", 1);
    auto rec = fullRecording(KindTemp);
    for (auto _ : state) {
        RecordFile file(benchPath(), RecordFile::ModeWrite);
        benchmark::DoNotOptimize(file.write(*rec));
    }
}
BENCHMARK(BM_WriteFile60000)->Unit(benchmark::kMillisecond);

void BM_ReadFile60000(benchmark::State& state) {
    setenv("TZ", "UTC", 1);
    auto rec = fullRecording(KindTemp);
    RecordFile(benchPath(), RecordFile::ModeWrite).write(*rec);
    auto back = std::make_unique<Recording>();
    for (auto _ : state) {
        RecordFile file(benchPath(), RecordFile::ModeRead);
        benchmark::DoNotOptimize(file.read(*back));
    }
}
BENCHMARK(BM_ReadFile60000)->Unit(benchmark::kMillisecond);
}  // namespace

BENCHMARK_MAIN();
