#pragma once
#include <QPageSize>
#include <QString>

#include "print/PageRender.h"
#include "print/PrintOutcome.h"

class QPrinter;

namespace thermivo {

/// Prints every page of `job` on a printer the user has accepted in the print dialog and finds out what
/// became of it: a file chosen in the dialog is written by the PDF writer, a queue gets the pages and is
/// asked (through CUPS where this build has it) whether it took the job.
PrintOutcome printJobOn(QPrinter& printer, const PrintJob& job, PrintMode mode);

/// Writes the pages of `job` to a PDF file on `paper` and says so.
PrintOutcome saveJobAsPdf(const PrintJob& job, PrintMode mode, const QString& path, const QPageSize& paper);

}  // namespace thermivo
