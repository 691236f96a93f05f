#pragma once
#include <QImage>
#include <functional>

#include "print/PrintJob.h"

class QPagedPaintDevice;
class QPainter;

namespace thermivo {

/// What a printout holds: curve pages (landscape) or text pages (portrait).
enum class PrintMode { Curve = 1, Text = 2 };

/// Told before each page is drawn (1-based); false stops the printout before that page.
using PageProgress = std::function<bool(int page)>;

/// Draws pages 1 .. job.pageTotal on a printer or PDF writer whose painter is already active, each page
/// scaled to fit the device's printable area. False as soon as a page cannot be started (its number goes
/// to *failedPage) or `progress` says stop (*failedPage is then -1).
bool printPages(QPagedPaintDevice& device, QPainter& painter, const PrintJob& job, PrintMode mode,
                int* failedPage = nullptr, const PageProgress& progress = {});

/// One page at screen resolution (factor 1) as an image of the page's design size.
QImage renderPageImage(const PrintJob& job, PrintMode mode, int page, int dpiX, int dpiY);

/// Scales `from` of `source` to `to`, keeping dark pixels when shrinking (each target pixel takes the
/// darkest of the pixels it covers), so one-pixel lines survive the preview's reduction.
QImage stretchBlackOnWhite(const QImage& source, const QRect& from, const QSize& to);

}  // namespace thermivo
