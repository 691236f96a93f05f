// Speed of the statistics of a full 60000-sample recording (goal: under 2 ms).
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>

#include "analysis/Statistics.h"
#include "data/Recording.h"

using namespace thermivo;

namespace {

std::unique_ptr<Recording> fullRecording() {
    auto rec = std::make_unique<Recording>();
    rec->kind = KindTempHumi;
    rec->sampleCount = rec->samplesLoaded = Recording::kCapacity;
    rec->dataFlags = Recording::kSamplesPresent;
    rec->startTime = 1400000000;
    rec->intervalSeconds = 60;
    rec->buildSampleTimes();
    rec->tempAlarmOn = rec->humiAlarmOn = true;
    rec->tempLower = 2;
    rec->tempUpper = 8;
    rec->humiLower = 30;
    rec->humiUpper = 70;
    // A wave that leaves the limits on both sides many times, so the excursion list is long.
    for (int i = 0; i < Recording::kCapacity; ++i) {
        const auto k = static_cast<std::size_t>(i);
        rec->temperature[k] = 5.0f + 4.0f * static_cast<float>(std::sin(i * 0.01));
        rec->humidity[k] = 50.0f + 25.0f * static_cast<float>(std::cos(i * 0.013));
    }
    return rec;
}

void BM_Statistics60000(benchmark::State& state) {
    const auto rec = fullRecording();
    for (auto _ : state) {
        const auto s = computeStatistics(*rec);
        benchmark::DoNotOptimize(s.mktCelsius);
    }
}
BENCHMARK(BM_Statistics60000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
