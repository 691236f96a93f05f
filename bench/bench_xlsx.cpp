// Speed of the .xlsx export of a full 60000-sample temperature-and-humidity recording (goal: under 0.5 s).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <string>

#include "app/AppSettings.h"
#include "data/Recording.h"
#include "export/XlsxExport.h"

using namespace thermivo;

namespace {

std::unique_ptr<Recording> fullRecording() {
    auto rec = std::make_unique<Recording>();
    rec->kind = KindTempHumi;
    rec->sampleCount = rec->samplesLoaded = Recording::kCapacity;
    rec->dataFlags = Recording::kSamplesPresent;
    rec->validMask = 0xFFFF;
    rec->startTime = 1400000000;
    rec->intervalSeconds = 60;
    rec->buildSampleTimes();
    rec->tempAlarmOn = rec->humiAlarmOn = true;
    rec->tempLower = 2;
    rec->tempUpper = 8;
    rec->humiLower = 30;
    rec->humiUpper = 70;
    for (int i = 0; i < Recording::kCapacity; ++i) {
        const auto k = static_cast<std::size_t>(i);
        rec->temperature[k] = static_cast<float>(std::round(500.0 + 450.0 * std::sin(i * 0.003)) / 100.0);
        rec->humidity[k] = static_cast<float>(std::round(500.0 + 250.0 * std::cos(i * 0.002)) / 10.0);
    }
    return rec;
}

void BM_XlsxExport60000(benchmark::State& state) {
    if (!xlsxExportAvailable()) {
        state.SkipWithError("built without libxlsxwriter");
        return;
    }
    const auto rec = fullRecording();
    AppSettings settings;
    settings.currentUnit = settings.unitCelsius;
    const std::string path = "/tmp/thermivo-bench-" + std::to_string(::getpid()) + ".xlsx";
    for (auto _ : state) {
        std::string error;
        if (!writeRecordingXlsx(*rec, path, settings, &error)) state.SkipWithError(error.c_str());
    }
    std::remove(path.c_str());
}
BENCHMARK(BM_XlsxExport60000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
