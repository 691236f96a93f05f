#include "print/PrintoutPdf.h"

#include <QBuffer>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

#include "app/SafeSave.h"
#include "app/UiText.h"
#include "data/Recording.h"
#include "print/CurvePage.h"
#include "print/PageRender.h"
#include "print/TextPage.h"

namespace thermivo {

namespace {
constexpr int kPdfResolution = 600;
constexpr double kPdfMarginMm = 5.0;

bool fail(QString* error, const QString& message) {
    if (error != nullptr) *error = message;
    return false;
}
}  // namespace

bool writePrintoutPdf(const Recording& rec, const PdfPrintOptions& options, const QString& path,
                      QString* error) {
    if (!rec.hasSamples()) return fail(error, QStringLiteral("the recording holds no samples to print"));
    const bool curve = options.pages == PdfPrintOptions::Pages::Curve;
    if (curve && (options.curvePages < 1 || options.curvePages > 99))
        return fail(error, QStringLiteral("the number of curve pages must lie between 1 and 99"));
    if (options.screenDpi <= 0) return fail(error, QStringLiteral("the screen resolution must be positive"));

    PrintJob job(rec);
    job.fahrenheit = options.unit == PdfPrintOptions::Unit::Fahrenheit;
    job.unitText = job.fahrenheit ? "\u00B0F" : "\u00B0C";
    job.humidityUnitText = "%RH";
    job.screenPlotPixels = screenPlotPixelsFor(options.screenDpi);
    if (!SelectRange(rec, options.from.value_or(rec.startTime), options.to.value_or(rec.stopTime),
                     job.selection))
        return fail(error, QString::fromStdString(text(100)));
    if (job.selection.selCount == 0) return fail(error, QStringLiteral("the time range holds no samples"));
    job.curveLabels = ComputeCurveLabels(job);
    job.pageTotal = curve ? options.curvePages : textPageCount(job.selection.selCount);

    return writeJobPdf(job, curve ? PrintMode::Curve : PrintMode::Text, path, error);
}

bool writeJobPdf(const PrintJob& job, PrintMode mode, const QString& path, QString* error,
                 const QPageSize& paper, const PageProgress& progress, bool* stopped) {
    const bool curve = mode == PrintMode::Curve;
    if (stopped != nullptr) *stopped = false;
    // The document is made in memory and saved by the program's one save rule (links followed, permissions
    // kept, temporary file renamed into place).
    QByteArray document;
    QBuffer file(&document);
    file.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&file);
        writer.setResolution(kPdfResolution);
        writer.setTitle(QString::fromStdString(job.rec().serialText()));
        writer.setCreator(QStringLiteral("Thermivo"));
        writer.setPageLayout(QPageLayout(paper.isValid() ? paper : QPageSize(QPageSize::A4),
                                         curve ? QPageLayout::Landscape : QPageLayout::Portrait,
                                         QMarginsF(kPdfMarginMm, kPdfMarginMm, kPdfMarginMm, kPdfMarginMm),
                                         QPageLayout::Millimeter));
        QPainter painter;
        if (!painter.begin(&writer))
            return fail(error, QStringLiteral("cannot start the PDF document %1").arg(path));
        int failedPage = 0;
        const bool printed = printPages(writer, painter, job, mode, &failedPage, progress);
        painter.end();
        if (!printed && failedPage < 0) {
            if (stopped != nullptr) *stopped = true;
            return fail(error, QStringLiteral("stopped before %1 was written").arg(path));
        }
        if (!printed) return fail(error, QStringLiteral("a page of %1 could not be started").arg(path));
    }
    file.close();
    const SaveResult saved =
        saveFileSafely(path.toStdString(),
                       std::string_view(document.constData(), static_cast<std::size_t>(document.size())));
    if (!saved.ok())
        return fail(error, QString::fromStdString(saveProblemMessage(saved.problem, saved.detail)));
    return true;
}

}  // namespace thermivo
