#include "print/PrintSubmit.h"

#include <QPainter>
#include <QPrinter>

#include "print/CupsJobs.h"
#include "print/PrintoutPdf.h"

namespace thermivo {

PrintOutcome saveJobAsPdf(const PrintJob& job, PrintMode mode, const QString& path, const QPageSize& paper) {
    QString error;
    if (!writeJobPdf(job, mode, path, &error, paper))
        return PrintOutcome::failure(PrintOutcome::Result::SaveFailed, path.toStdString(),
                                     error.toStdString());
    return PrintOutcome::saved(job.pageTotal, path.toStdString());
}

PrintOutcome printJobOn(QPrinter& printer, const PrintJob& job, PrintMode mode) {
    using Result = PrintOutcome::Result;
    if (printer.outputFormat() == QPrinter::PdfFormat) {
        // The same writer as the command line's PDF, so a file from the dialog holds the very same pages.
        return saveJobAsPdf(job, mode, printer.outputFileName(), printer.pageLayout().pageSize());
    }
    const std::string name = printer.printerName().toStdString();
    const CupsJobWatch watch(name);
    QPainter painter;
    if (!painter.begin(&printer)) {
        printer.abort();
        return PrintOutcome::failure(Result::NotStarted, name);
    }
    int failedPage = 0;
    const bool printed = printPages(printer, painter, job, mode, &failedPage);
    if (!printed) printer.abort();
    painter.end();
    if (!printed) return PrintOutcome::failure(Result::PageFailed, name, {}, failedPage);
    if (printer.printerState() == QPrinter::Error || printer.printerState() == QPrinter::Aborted)
        return PrintOutcome::failure(Result::Refused, name);
    const SubmittedJob submitted = watch.afterSubmit();
    if (submitted.known && !submitted.accepted)
        return PrintOutcome::failure(Result::Refused, name, submitted.reason);
    return PrintOutcome::sent(job.pageTotal, name);
}

}  // namespace thermivo
