#pragma once
#include <QPageSize>
#include <QString>

#include "print/PageRender.h"
#include "print/PrintOutcome.h"

class QPrinter;

namespace thermivo {

/// Prints every page of `job` on a printer the user has accepted in the print dialog and finds out what
/// became of it: a file chosen in the dialog is written by the PDF writer, a queue gets the pages and is
/// asked (through CUPS where this build has it) whether it took the job. Only a job the print service
/// confirms counts as sent. `progress` may stop it between pages: nothing is sent then.
PrintOutcome printJobOn(QPrinter& printer, const PrintJob& job, PrintMode mode,
                        const PageProgress& progress = {});

/// Writes the pages of `job` to a PDF file on `paper` and says so; a stopped save leaves the file alone.
PrintOutcome saveJobAsPdf(const PrintJob& job, PrintMode mode, const QString& path, const QPageSize& paper,
                          const PageProgress& progress = {});

}  // namespace thermivo
