// The auditor's report of 60000 samples (kind 4, excursions and gaps): the figures and the page layout as
// bare drawing calls, then the whole PDF as `thermivo-cli report` writes it (600 dpi, saved to a file).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "app/AppSettings.h"
#include "canvas/RecordingCanvas.h"
#include "data/Recording.h"
#include "report/Report.h"

#ifdef THERMIVO_HAVE_QT
#include <QGuiApplication>
#include <QString>

#include "print/ReportPdf.h"
#endif

using namespace thermivo;

namespace {

std::unique_ptr<Recording> makeRecording(int count) {
    auto rec = std::make_unique<Recording>();
    rec->kind = KindTempHumi;
    rec->values[Recording::ValSerial] = "UTH12345678";
    rec->startTime = 1393668000;
    rec->intervalSeconds = 60;
    rec->sampleCount = rec->samplesLoaded = count;
    rec->dataFlags = Recording::kSamplesPresent;
    rec->buildSampleTimes();
    rec->stopTime = rec->sampleTime[static_cast<std::size_t>(count - 1)];
    rec->tempAlarmOn = rec->humiAlarmOn = true;
    rec->tempLower = 2;
    rec->tempUpper = 8;
    rec->humiLower = 30;
    rec->humiUpper = 70;
    for (int i = 0; i < count; ++i) {
        const auto k = static_cast<std::size_t>(i);
        // A daily swing that crosses the upper limit on some days, and a gap of an hour every 10000 samples.
        rec->temperature[k] =
            static_cast<float>(5.0 + 3.2 * std::sin(i * 2 * M_PI / 1440.0) * std::sin(i / 9000.0));
        rec->humidity[k] = static_cast<float>(50.0 + 22.0 * std::sin(i * 2 * M_PI / 2880.0));
        if (i % 10000 >= 5000 && i % 10000 < 5060)
            rec->temperature[k] = rec->humidity[k] = Recording::kNoValue;
    }
    return rec;
}

ReportRequest makeRequest() {
    ReportRequest r;
    r.sourceName = "bench.kvlu";
    r.sourceSha256 = std::string(64, 'a');
    r.madeAt = 1393668000;
    r.user = "bench";
    r.program = "Thermivo bench";
    r.comment = "Benchmark";
    return r;
}

void BM_Report60000Calls(benchmark::State& state) {
    auto rec = makeRecording(60000);
    AppSettings settings;
    settings.currentUnit = settings.unitCelsius;
    for (auto _ : state) {
        const ReportDocument doc(*rec, buildReportContent(*rec, makeRequest(), settings), 600, 600, 4724,
                                 6780);
        RecordingCanvas canvas;
        for (int page = 1; page <= doc.pageCount(); ++page) doc.drawPage(canvas, page);
        benchmark::DoNotOptimize(canvas.ops.size());
    }
}
BENCHMARK(BM_Report60000Calls)->Unit(benchmark::kMillisecond);

#ifdef THERMIVO_HAVE_QT
void BM_Report60000Pdf(benchmark::State& state) {
    auto rec = makeRecording(60000);
    AppSettings settings;
    settings.currentUnit = settings.unitCelsius;
    const std::string path = (std::filesystem::temp_directory_path() / "thermivo-bench-report.pdf").string();
    for (auto _ : state) {
        const ReportContent content = buildReportContent(*rec, makeRequest(), settings);
        QString error;
        if (!writeReportPdf(*rec, content, QString::fromStdString(path), &error))
            state.SkipWithError("not written");
    }
    std::filesystem::remove(path);
}
BENCHMARK(BM_Report60000Pdf)->Unit(benchmark::kMillisecond);
#endif

}  // namespace

int main(int argc, char** argv) {
#ifdef THERMIVO_HAVE_QT
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QGuiApplication app(argc, argv);
#endif
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
