#pragma once
#include <array>
#include <string>

#include "data/Recording.h"
#include "print/Selection.h"

namespace thermivo {

struct AppSettings;

/// Scale labels of the curve strips, in the display unit (humidity only for kind 4).
struct CurveLabels {
    float scaleTop = 0, scaleStep = 0;
    std::array<float, 5> tempLabels{};
    float humiScaleTop = 0, humiScaleStep = 0;
    std::array<float, 5> humiLabels{};
};

/// Everything a printed page reads besides its layout: the recording, the selection, the page total and
/// the unit texts copied when the printout was set up.
struct PrintJob {
    explicit PrintJob(const Recording& rec) : recording(&rec) {}

    const Recording* recording;
    Selection selection;
    int pageTotal = 1;
    std::string unitText = "\u00B0C";
    std::string humidityUnitText = "%RH";
    bool fahrenheit = false;
    /// Pixels of 240 mm on the screen; decides how many points a curve strip holds.
    int screenPlotPixels = 907;
    CurveLabels curveLabels;

    const Recording& rec() const { return *recording; }
    /// A Celsius value in the unit of this printout.
    double toDisplay(double celsius) const { return fahrenheit ? celsius * 1.8 + 32.0 : celsius; }
};

/// A print job for `rec` with the unit texts of `settings` (the current unit decides Celsius/Fahrenheit).
PrintJob makePrintJob(const Recording& rec, const AppSettings& settings);

/// truncate(dpi * 240 mm * 10 / 254): the pixels of the 240 mm time axis on a screen of this resolution.
int screenPlotPixelsFor(int screenDpiX);

/// Windows-style MulDiv: a * b / c rounded to the nearest integer (half away from zero).
int mulDiv(int a, int b, int c);

/// Pixels of `mm` millimetres at `dpi` and `factor`, truncated toward zero.
int mmToPixels(double mm, double factor, int dpi);

/// Number of text pages of a selection: a summary page plus one page per 60 rows begun.
int textPageCount(int selCount);

/// Resolution at which the pen widths of the printed pages are given: a pen of width 1 is 1/600 inch on
/// paper.
inline constexpr int kPenDesignDpi = 600;

/// Device pixels per pen-width unit on a printer of `dpi` (fractions below 600 dpi, e.g. 0.5 at 300 dpi).
double printPenScale(int dpi);

/// Factor that fits a page designed for `designWidthMm` x `designHeightMm` into the printable area.
double fitFactor(double printableWidthMm, double printableHeightMm, double designWidthMm,
                 double designHeightMm);

}  // namespace thermivo
