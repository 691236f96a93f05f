#include "print/PageRender.h"

#include <QPagedPaintDevice>
#include <QPainter>

#include "QtCanvas.h"
#include "print/CurvePage.h"
#include "print/TextPage.h"

namespace thermivo {

bool printPages(QPagedPaintDevice& device, QPainter& painter, const PrintJob& job, PrintMode mode) {
    const int dpiX = device.logicalDpiX();
    const int dpiY = device.logicalDpiY();
    const int width = device.width();
    const int height = device.height();
    if (dpiX <= 0 || dpiY <= 0 || width <= 0 || height <= 0) return false;
    const double widthMm = width * 25.4 / dpiX;
    const double heightMm = height * 25.4 / dpiY;

    CurveLayout curve;
    TextLayout text;
    if (mode == PrintMode::Curve) {
        curve = ComputeCurveLayout(job, dpiX, dpiY,
                                   fitFactor(widthMm, heightMm, kCurveFitWidthMm, kCurveFitHeightMm));
        curve.pageWidth = width;
        curve.pageHeight = height;
    } else {
        text = ComputeTextLayout(dpiX, dpiY, fitFactor(widthMm, heightMm, kTextFitWidthMm, kTextFitHeightMm));
        text.pageWidth = width;
        text.pageHeight = height;
    }

    for (int page = 1; page <= job.pageTotal; ++page) {
        if (page > 1 && !device.newPage()) return false;
        QtCanvas canvas(painter, dpiX, dpiY);
        if (mode == PrintMode::Curve)
            DrawCurvePage(curve, job, canvas, page);
        else
            DrawTextPage(text, job, canvas, page);
    }
    return true;
}

QImage renderPageImage(const PrintJob& job, PrintMode mode, int page, int dpiX, int dpiY) {
    const CurveLayout curve = ComputeCurveLayout(job, dpiX, dpiY, 1.0);
    const TextLayout text = ComputeTextLayout(dpiX, dpiY, 1.0);
    const QSize size = mode == PrintMode::Curve ? QSize(curve.pageWidth, curve.pageHeight)
                                                : QSize(text.pageWidth, text.pageHeight);
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    // Screen-resolution text on the image measures like on the screen.
    image.setDotsPerMeterX(static_cast<int>(dpiX / 0.0254 + 0.5));
    image.setDotsPerMeterY(static_cast<int>(dpiY / 0.0254 + 0.5));
    QPainter painter(&image);
    QtCanvas canvas(painter, dpiX, dpiY);
    if (mode == PrintMode::Curve)
        DrawCurvePage(curve, job, canvas, page);
    else
        DrawTextPage(text, job, canvas, page);
    return image;
}

}  // namespace thermivo
