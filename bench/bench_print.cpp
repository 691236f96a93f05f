// Drawing one printed page: a curve page of 60000 samples and a text page, first as bare drawing calls
// (the page logic alone), then painted by Qt into a screen-resolution image and into a 600 dpi PDF.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>

#include "canvas/RecordingCanvas.h"
#include "data/Recording.h"
#include "print/CurvePage.h"
#include "print/TextPage.h"

#ifdef THERMIVO_HAVE_QT
#include <QBuffer>
#include <QGuiApplication>
#include <QPainter>
#include <QPdfWriter>

#include "print/PageRender.h"
#endif

using namespace thermivo;

namespace {

std::unique_ptr<Recording> makeRecording(int count, std::int32_t kind) {
    auto rec = std::make_unique<Recording>();
    rec->kind = kind;
    rec->values[Recording::ValSerial] = "UTH12345678";
    rec->startTime = 1393668000;
    rec->intervalSeconds = 60;
    rec->sampleCount = rec->samplesLoaded = count;
    rec->dataFlags = Recording::kSamplesPresent;
    rec->buildSampleTimes();
    rec->stopTime = rec->sampleTime[static_cast<std::size_t>(count - 1)];
    rec->tempAlarmOn = rec->humiAlarmOn = true;
    rec->tempLower = 0;
    rec->tempUpper = 25;
    rec->humiLower = 30;
    rec->humiUpper = 70;
    std::srand(7);
    for (int i = 0; i < count; ++i) {
        rec->temperature[static_cast<std::size_t>(i)] =
            -10.0f + static_cast<float>(std::rand() % 4000) / 100.0f;
        rec->humidity[static_cast<std::size_t>(i)] = 20.0f + static_cast<float>(std::rand() % 6000) / 100.0f;
    }
    return rec;
}

PrintJob makeJob(const Recording& rec, int pageTotal) {
    PrintJob job(rec);
    SelectRange(rec, rec.startTime, rec.stopTime, job.selection);
    job.curveLabels = ComputeCurveLabels(job);
    job.pageTotal = pageTotal;
    return job;
}

void BM_CurvePage60000Calls(benchmark::State& state) {
    auto rec = makeRecording(60000, KindTempHumi);
    const PrintJob job = makeJob(*rec, 1);
    for (auto _ : state) {
        RecordingCanvas canvas;
        DrawCurvePage(ComputeCurveLayout(job, 96, 96, 1.0), job, canvas, 1);
        benchmark::DoNotOptimize(canvas.ops.data());
    }
}
BENCHMARK(BM_CurvePage60000Calls)->Unit(benchmark::kMillisecond);

void BM_TextPageCalls(benchmark::State& state) {
    auto rec = makeRecording(60000, KindTempHumi);
    const PrintJob job = makeJob(*rec, textPageCount(60000));
    for (auto _ : state) {
        RecordingCanvas canvas;
        DrawTextPage(ComputeTextLayout(96, 96, 1.0), job, canvas, 500);
        benchmark::DoNotOptimize(canvas.ops.data());
    }
}
BENCHMARK(BM_TextPageCalls)->Unit(benchmark::kMillisecond);

#ifdef THERMIVO_HAVE_QT
void BM_CurvePage60000Preview(benchmark::State& state) {
    auto rec = makeRecording(60000, KindTempHumi);
    const PrintJob job = makeJob(*rec, 1);
    for (auto _ : state) benchmark::DoNotOptimize(renderPageImage(job, PrintMode::Curve, 1, 96, 96));
}
BENCHMARK(BM_CurvePage60000Preview)->Unit(benchmark::kMillisecond);

void BM_TextPagePreview(benchmark::State& state) {
    auto rec = makeRecording(60000, KindTempHumi);
    const PrintJob job = makeJob(*rec, textPageCount(60000));
    for (auto _ : state) benchmark::DoNotOptimize(renderPageImage(job, PrintMode::Text, 500, 96, 96));
}
BENCHMARK(BM_TextPagePreview)->Unit(benchmark::kMillisecond);

void BM_PreviewStretch(benchmark::State& state) {
    auto rec = makeRecording(60000, KindTempHumi);
    const PrintJob job = makeJob(*rec, 1);
    const QImage page = renderPageImage(job, PrintMode::Curve, 1, 96, 96);
    for (auto _ : state) benchmark::DoNotOptimize(stretchBlackOnWhite(page, page.rect(), QSize(862, 519)));
}
BENCHMARK(BM_PreviewStretch)->Unit(benchmark::kMillisecond);

// What one frame of the preview costs when a curve page is shown: the page drawn and fitted to the frame.
void BM_CurvePage60000PreviewShown(benchmark::State& state) {
    auto rec = makeRecording(60000, KindTempHumi);
    const PrintJob job = makeJob(*rec, 1);
    for (auto _ : state) {
        const QImage page = renderPageImage(job, PrintMode::Curve, 1, 96, 96);
        benchmark::DoNotOptimize(stretchBlackOnWhite(page, page.rect(), QSize(862, 519)));
    }
}
BENCHMARK(BM_CurvePage60000PreviewShown)->Unit(benchmark::kMillisecond);

void pdfPage(benchmark::State& state, PrintMode mode) {
    auto rec = makeRecording(60000, KindTempHumi);
    PrintJob job = makeJob(*rec, 1);
    for (auto _ : state) {
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter writer(&buffer);
        writer.setResolution(600);
        if (mode == PrintMode::Text)
            writer.setPageOrientation(QPageLayout::Portrait);
        else
            writer.setPageOrientation(QPageLayout::Landscape);
        QPainter painter(&writer);
        printPages(writer, painter, job, mode);  // page 1 of 1: for text the summary, so draw a table page
        painter.end();
        benchmark::DoNotOptimize(buffer.data().size());
    }
}

void BM_CurvePage60000Pdf(benchmark::State& state) {
    pdfPage(state, PrintMode::Curve);
}
BENCHMARK(BM_CurvePage60000Pdf)->Unit(benchmark::kMillisecond);

// The longest text printout: 60000 samples make a summary page and 1000 table pages, as
// `thermivo-cli convert --pdf --pages text` writes them (A4 portrait, 600 dpi, document ended).
void BM_TextPages1001Pdf(benchmark::State& state) {
    auto rec = makeRecording(60000, KindTempHumi);
    const PrintJob job = makeJob(*rec, textPageCount(60000));
    for (auto _ : state) {
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter writer(&buffer);
        writer.setResolution(600);
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                         QMarginsF(5, 5, 5, 5), QPageLayout::Millimeter));
        QPainter painter(&writer);
        printPages(writer, painter, job, PrintMode::Text);
        painter.end();
        benchmark::DoNotOptimize(buffer.data().size());
    }
}
BENCHMARK(BM_TextPages1001Pdf)->Unit(benchmark::kMillisecond)->Iterations(3);
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
