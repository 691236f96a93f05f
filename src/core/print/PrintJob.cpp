#include "print/PrintJob.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "app/AppSettings.h"
#include "print/TextPage.h"

namespace thermivo {

PrintJob makePrintJob(const Recording& rec, const AppSettings& settings) {
    PrintJob job(rec);
    job.unitText = settings.currentUnit;
    job.humidityUnitText = settings.humidityUnit;
    job.fahrenheit = settings.isFahrenheit();
    return job;
}

int screenPlotPixelsFor(int screenDpiX) {
    return screenDpiX * 240 * 10 / 254;
}

int mulDiv(int a, int b, int c) {
    if (c == 0) return -1;
    const long long p = static_cast<long long>(a) * b;
    const long long half = std::llabs(static_cast<long long>(c)) / 2;
    const bool negative = (p < 0) != (c < 0);
    const long long q = (std::llabs(p) + half) / std::llabs(static_cast<long long>(c));
    return static_cast<int>(negative ? -q : q);
}

// Millimetres are decimal and 25.4 has no exact binary form, so a length that is a whole number of pixels
// can come out a hair below it; the tiny allowance keeps truncation from losing that pixel.
int mmToPixels(double mm, double factor, int dpi) {
    return static_cast<int>(mm * factor * dpi / 25.4 + 1e-7);
}

int textPageCount(int selCount) {
    if (selCount <= 0) return 1;
    return 1 + (selCount + kTextRowsPerPage - 1) / kTextRowsPerPage;
}

double printPenScale(int dpi) {
    return dpi > 0 ? static_cast<double>(dpi) / kPenDesignDpi : 1.0;
}

double fitFactor(double printableWidthMm, double printableHeightMm, double designWidthMm,
                 double designHeightMm) {
    // Rounded to nine decimals so that an area of exactly the design size gives exactly 1, not 0.999...
    const double factor = std::min(printableWidthMm / designWidthMm, printableHeightMm / designHeightMm);
    return std::round(factor * 1e9) / 1e9;
}

}  // namespace thermivo
