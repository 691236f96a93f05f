#pragma once
#include <QString>
#include <cstdint>
#include <optional>

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

}  // namespace thermivo
