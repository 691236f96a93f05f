// One redraw of the chart view for a full recording: thinning, scale and cursor, then painting the
// off-screen bitmap through the Qt canvas exactly as the view does on every interaction.
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>

#include "app/AppSettings.h"
#include "canvas/RecordingCanvas.h"
#include "chart/ChartGeometry.h"
#include "data/Recording.h"

#ifdef THERMIVO_BENCH_QT
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include "QtCanvas.h"
#endif

using namespace thermivo;

namespace {

std::unique_ptr<Recording> fullRecording() {
    auto rec = std::make_unique<Recording>();
    rec->samplesLoaded = rec->sampleCount = Recording::kCapacity;
    rec->startTime = 1400000000;
    rec->intervalSeconds = 60;
    rec->buildSampleTimes();
    for (int i = 0; i < Recording::kCapacity; ++i)
        rec->temperature[static_cast<std::size_t>(i)] = 5.0f +
                                                        2.0f * std::sin(static_cast<float>(i) / 700.0f) +
                                                        0.3f * std::sin(static_cast<float>(i) * 0.37f);
    rec->tempMin = 2.7f;
    rec->tempMax = 7.3f;
    rec->tempUpper = 8.0f;
    rec->tempLower = 2.0f;
    rec->tempAlarmOn = true;
    return rec;
}

ChartViewState viewState(benchmark::State& state) {
    ChartViewState view;
    view.zoom = static_cast<int>(state.range(0));
    view.startIndex = view.zoom > 1 ? 20000 : 0;
    view.clickX = 300;
    return view;
}

void BM_ChartGeometry(benchmark::State& state) {
    const auto rec = fullRecording();
    const ChartViewState view = viewState(state);
    ChartGeometry geometry;
    for (auto _ : state) {
        geometry.compute(*rec, view);
        benchmark::DoNotOptimize(geometry.cursorSample);
    }
}
BENCHMARK(BM_ChartGeometry)->Arg(1)->Arg(16)->Unit(benchmark::kMicrosecond);

void BM_ChartDrawRecorded(benchmark::State& state) {
    const auto rec = fullRecording();
    const ChartViewState view = viewState(state);
    ChartGeometry geometry;
    AppSettings settings;
    for (auto _ : state) {
        RecordingCanvas canvas;
        drawChart(canvas, geometry, *rec, view, settings);
        benchmark::DoNotOptimize(canvas.ops.size());
    }
}
BENCHMARK(BM_ChartDrawRecorded)->Arg(1)->Unit(benchmark::kMicrosecond);

#ifdef THERMIVO_BENCH_QT
void BM_ChartRedraw(benchmark::State& state) {
    const auto rec = fullRecording();
    const ChartViewState view = viewState(state);
    ChartGeometry geometry;
    AppSettings settings;
    QImage image(geometry.layout().bitmapPixelWidth(), geometry.layout().bitmapPixelHeight(),
                 QImage::Format_RGB32);
    for (auto _ : state) {
        QPainter painter(&image);
        QtCanvas canvas(painter, 96, 96);
        drawChart(canvas, geometry, *rec, view, settings);
        painter.end();
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(BM_ChartRedraw)->Arg(1)->Arg(16)->Unit(benchmark::kMicrosecond);
#endif

}  // namespace

int main(int argc, char** argv) {
#ifdef THERMIVO_BENCH_QT
    // Fonts need a GUI application; no display is needed.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
#endif
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
