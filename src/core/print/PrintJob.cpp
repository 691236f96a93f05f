#include "print/PrintJob.h"

#include <algorithm>
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

int mmToPixels(double mm, double factor, int dpi) {
    return static_cast<int>(mm * factor * dpi / 25.4);
}

int textPageCount(int selCount) {
    if (selCount <= 0) return 1;
    return 1 + (selCount + kTextRowsPerPage - 1) / kTextRowsPerPage;
}

double fitFactor(double printableWidthMm, double printableHeightMm, double designWidthMm,
                 double designHeightMm) {
    return std::min(printableWidthMm / designWidthMm, printableHeightMm / designHeightMm);
}

}  // namespace thermivo
