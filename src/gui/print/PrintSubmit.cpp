#include "print/PrintSubmit.h"

#include <QPainter>
#include <QPrinter>

#include "print/CupsJobs.h"
#include "print/PrintoutPdf.h"

namespace thermivo {

PrintOutcome saveJobAsPdf(const PrintJob& job, PrintMode mode, const QString& path, const QPageSize& paper,
                          const PageProgress& progress) {
    QString error;
    bool stopped = false;
    if (!writeJobPdf(job, mode, path, &error, paper, progress, &stopped))
        return PrintOutcome::failure(
            stopped ? PrintOutcome::Result::SaveStopped : PrintOutcome::Result::SaveFailed,
            path.toStdString(), stopped ? std::string() : error.toStdString());
    return PrintOutcome::saved(job.pageTotal, path.toStdString());
}

PrintOutcome printJobOn(QPrinter& printer, const PrintJob& job, PrintMode mode,
                        const PageProgress& progress) {
    using Result = PrintOutcome::Result;
    if (printer.outputFormat() == QPrinter::PdfFormat) {
        // The same writer as the command line's PDF, so a file from the dialog holds the very same pages.
        return saveJobAsPdf(job, mode, printer.outputFileName(), printer.pageLayout().pageSize(), progress);
    }
    const std::string name = printer.printerName().toStdString();
    const CupsJobWatch watch(name);
    QPainter painter;
    if (!painter.begin(&printer)) {
        printer.abort();
        return PrintOutcome::failure(Result::NotStarted, name);
    }
    int failedPage = 0;
    const bool printed = printPages(printer, painter, job, mode, &failedPage, progress);
    // Aborted before the painter ends, the print engine throws the spooled pages away unsent.
    if (!printed) printer.abort();
    painter.end();
    if (!printed) {
        // Qt's engine hands the pages drawn so far to the print service all the same; take them back.
        const bool withdrawn = watch.withdrawNewJobs();
        if (failedPage < 0)
            return PrintOutcome::failure(withdrawn ? Result::Stopped : Result::StoppedNotWithdrawn, name);
        return PrintOutcome::failure(Result::PageFailed, name, {}, failedPage);
    }
    const SubmittedJob submitted = watch.afterSubmit();
    switch (submitted.state) {
        case SubmittedJob::State::Accepted:
            return PrintOutcome::sent(job.pageTotal, name);
        case SubmittedJob::State::Refused:
            return PrintOutcome::failure(Result::Refused, name, submitted.reason);
        case SubmittedJob::State::NoAnswer:
            return PrintOutcome::failure(Result::NoAnswer, name);
        case SubmittedJob::State::ServiceDown:
            return PrintOutcome::failure(Result::ServiceDown, name);
        case SubmittedJob::State::Unconfirmed:
            break;
    }
    if (printer.printerState() == QPrinter::Error || printer.printerState() == QPrinter::Aborted)
        return PrintOutcome::failure(Result::Refused, name);
    PrintOutcome handed = PrintOutcome::failure(Result::Unconfirmed, name);
    handed.pages = job.pageTotal;
    return handed;
}

}  // namespace thermivo
