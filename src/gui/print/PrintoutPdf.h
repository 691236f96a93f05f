#pragma once
#include <QPageSize>
#include <QString>
#include <cstdint>
#include <optional>

#include "print/PageRender.h"

namespace thermivo {

struct Recording;

/// What `writePrintoutPdf` prints; the same choices the print preview dialog offers.
struct PdfPrintOptions {
    enum class Pages { Text, Curve };
    enum class Unit { Celsius, Fahrenheit };

    Pages pages = Pages::Curve;
    /// Number of curve pages, 1 .. 99 (text pages follow from the selection).
    int curvePages = 1;
    /// Range of the printout, seconds since 1970; the recording's start / stop time when absent.
    std::optional<std::int64_t> from, to;
    Unit unit = Unit::Celsius;
    /// Screen resolution the curve thinning assumes (96 dpi gives 907 points per strip, as the preview).
    int screenDpi = 96;
};

/// Writes the printout of `rec` as a PDF (A4, landscape for curves, portrait for text), the same pages
/// the printer gets. Needs a QGuiApplication (the offscreen platform will do), no widgets. The file is
/// written to a temporary name and renamed into place. False with a message in *error on failure.
bool writePrintoutPdf(const Recording& rec, const PdfPrintOptions& options, const QString& path,
                      QString* error);

/// Writes the pages of a prepared print job as a PDF: the one writer behind `thermivo-cli convert --pdf`,
/// the preview's "Save as PDF…" and the print dialog's file output. Curve pages are landscape, text pages
/// portrait, on `paper`. Temporary file renamed into place; false with a message in *error on failure.
/// When `progress` stops it, false with *stopped set and the file at `path` left as it was.
bool writeJobPdf(const PrintJob& job, PrintMode mode, const QString& path, QString* error,
                 const QPageSize& paper = QPageSize(QPageSize::A4), const PageProgress& progress = {},
                 bool* stopped = nullptr);

}  // namespace thermivo
