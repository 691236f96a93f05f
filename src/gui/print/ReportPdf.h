#pragma once
#include <QString>

#include "report/Report.h"

namespace thermivo {

struct Recording;

/// Writes the report of `rec` as an A4 portrait PDF with the text of `content`: the one writer behind
/// `thermivo-cli report` and the window's "Report…". Needs a QGuiApplication (offscreen will do). Made in
/// memory and saved by the program's save rule (temporary file renamed into place); false with a message in
/// *error on failure, and `path` is then left as it was.
bool writeReportPdf(const Recording& rec, const ReportContent& content, const QString& path, QString* error);

}  // namespace thermivo
