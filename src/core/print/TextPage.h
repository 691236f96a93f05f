#pragma once
#include <string>

#include "canvas/Canvas.h"
#include "print/PrintJob.h"

namespace thermivo {

/// Rows of a table page.
inline constexpr int kTextRowsPerPage = 60;

/// Portrait page design in millimetres, and the area a printer must offer for factor 1.
inline constexpr double kTextPageWidthMm = 200.0;
inline constexpr double kTextPageHeightMm = 290.0;
inline constexpr double kTextFitWidthMm = 197.3;
inline constexpr double kTextFitHeightMm = 284.3;

/// A text page in device pixels for one target (screen preview or printer).
struct TextLayout {
    double factor = 1.0;
    double pixelsPerMmX = 0, pixelsPerMmY = 0;
    int pageWidth = 0, pageHeight = 0;
    int rowsPerPage = kTextRowsPerPage;
    int textSerialX = 0, textSerialY = 0;
    int numberX = 0, timeX = 0, tempX = 0, humiX = 0;
    int headingY = 0, rowHeight = 0;
    int summaryX = 0, summaryY = 0, summaryStep = 0;
    int pageNumberX = 0, pageNumberY = 0;
    /// Device pixels per pen-width unit, as in the curve layout.
    double penScale = 1.0;
    Font headingFont, tableFont;
};

/// Fills a text layout for a target of the given resolution and factor.
TextLayout ComputeTextLayout(int dpiX, int dpiY, double factor, int rowsPerPage = kTextRowsPerPage);

/// The layout for a printer with a printable area of width x height pixels: the page design scaled by the
/// largest factor that fits 197.3 x 284.3 mm into the area, and the page size set to the area.
TextLayout ComputePrintTextLayout(int dpiX, int dpiY, int width, int height);

/// Rows of table page `page` (2 and later) as (first row index within the selection, row count).
struct TextRows {
    int first = 0;
    int count = 0;
};
TextRows textPageRows(int page, int selCount, int rowsPerPage = kTextRowsPerPage);

/// The temperature cell of a table row: value, unit and the marker of the limit it passed, if any.
std::string textTemperatureCell(const PrintJob& job, float celsius);
/// The humidity cell of a table row, with its limit marker.
std::string textHumidityCell(const PrintJob& job, float humidity);

/// Draws text page `page` (1-based): page 1 is the summary of the selection, later pages the sample table.
void DrawTextPage(const TextLayout& layout, const PrintJob& job, Canvas& canvas, int page);

}  // namespace thermivo
