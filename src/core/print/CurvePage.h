#pragma once
#include <array>
#include <vector>

#include "canvas/Canvas.h"
#include "print/PrintJob.h"

namespace thermivo {

/// Landscape page design in millimetres, and the area a printer must offer for factor 1.
inline constexpr double kCurvePageWidthMm = 290.0;
inline constexpr double kCurvePageHeightMm = 200.0;
inline constexpr double kCurveFitWidthMm = 284.3;
inline constexpr double kCurveFitHeightMm = 197.3;

/// A curve page in device pixels for one target (screen preview or printer).
struct CurveLayout {
    double factor = 1.0;
    double pixelsPerMmX = 0, pixelsPerMmY = 0;
    int pageWidth = 0, pageHeight = 0;
    /// Vertical pixels per degree / per %RH; 0 when the selection is flat (drawn at mid-height).
    double tempPixelsPerDegree = 0, humiPixelsPerUnit = 0;
    bool tempFlat = false, humiFlat = false;
    int plotWidth = 0, stripPitch = 0, plotHeight = 0, plotLeft = 0, plotTop = 0;
    int tempLabelX = 0, tempLabelY = 0, tempLegendX = 0, tempLegendY = 0, legendLength = 0;
    int humiLabelX = 0, humiLabelY = 0, humiLegendX = 0, humiLegendY = 0;
    double labelStep = 0;
    int pageNumberX = 0, pageNumberY = 0;
    int timeLabelX = 0, timeLabelY = 0, tickLength = 0;
    double gridStep = 0;
    int tableLeft = 0, tableTop = 0, tableRowHeight = 0;
    std::array<int, 6> tableColumns{};
    int tempAvgWidth = 0, tempAlarmWidth = 0, humiAvgWidth = 0, humiAlarmWidth = 0;
    int headY = 0, valueY = 0;
    /// Device pixels per pen-width unit. 1 on the screen preview; a printer layout makes every pen as wide on
    /// paper as at 600 dpi, so grid and curves look alike on every printer and in the PDF.
    double penScale = 1.0;
    int descriptionX = 0, serialX = 0, startX = 0, stopX = 0, intervalX = 0, quantityX = 0;
    int tempAvgX = 0, tempAlarmOffset = 0, humiAvgOffset = 0, humiAlarmOffset = 0;
    Font font;
};

/// How the selection spreads over the strips of all pages (the same for every page of a printout).
struct StripGeometry {
    int samplesPerStrip = 0;
    int stripPoints = 0;
    double bucketStep = 1;
    double pointSpacing = 0;
    double timeLabelEvery = 0;
};

/// The thinned samples of one strip: indices relative to the selection's first sample.
struct StripSamples {
    std::vector<int> tempPointSamples, humiPointSamples;
    int stripPointCount = 0;
};

/// Fills a curve layout for a target of the given resolution and factor; the scales come from the selection.
CurveLayout ComputeCurveLayout(const PrintJob& job, int dpiX, int dpiY, double factor);

/// The layout for a printer with a printable area of width x height pixels: the page design scaled by the
/// largest factor that fits 284.3 x 197.3 mm into the area, and the page size set to the area.
CurveLayout ComputePrintCurveLayout(const PrintJob& job, int dpiX, int dpiY, int width, int height);

/// Scale labels from the selection's extremes (°F when the job prints Fahrenheit).
CurveLabels ComputeCurveLabels(const PrintJob& job);

/// Samples per strip, points per strip, bucket width, point spacing and time-label spacing.
StripGeometry ComputeStripGeometry(int selCount, int pageTotal, int screenPlotPixels, int plotWidth);

/// Min/max thinning of strip n (0-based over the whole printout); never more than `stripPoints` points.
StripSamples ComputeStripSamples(const PrintJob& job, const StripGeometry& geometry, int strip);

/// Draws curve page `page` (1-based) of `job.pageTotal`.
void DrawCurvePage(const CurveLayout& layout, const PrintJob& job, Canvas& canvas, int page);

}  // namespace thermivo
