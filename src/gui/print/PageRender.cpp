#include "print/PageRender.h"

#include <QLine>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QVector>
#include <algorithm>
#include <utility>
#include <vector>

#include "QtCanvas.h"
#include "print/CurvePage.h"
#include "print/TextPage.h"

namespace thermivo {

namespace {

/// QtCanvas with wide polylines drawn segment by segment: Qt strokes a wide many-point polyline as one
/// self-overlapping outline, which takes some 70 ms for a strip of 900 points; separate segments with
/// round caps look the same and take a few milliseconds.
class PageCanvas : public QtCanvas {
  public:
    PageCanvas(QPainter& painter, int dpiX, int dpiY) : QtCanvas(painter, dpiX, dpiY), painter_(painter) {}

    void setPen(const Pen& pen) override {
        QtCanvas::setPen(pen);
        pen_ = pen;
    }

    void polyline(const std::vector<Point>& points) override {
        if (pen_.width <= 1 || pen_.style != PenStyle::Solid || points.size() < 2) {
            QtCanvas::polyline(points);
            return;
        }
        QVector<QLine> segments;
        segments.reserve(static_cast<qsizetype>(points.size() - 1));
        for (std::size_t i = 1; i < points.size(); ++i)
            segments.append(QLine(points[i - 1].x, points[i - 1].y, points[i].x, points[i].y));
        painter_.setPen(QPen(toQColor(pen_.color), pen_.width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter_.drawLines(segments);
        QtCanvas::setPen(pen_);
    }

  private:
    QPainter& painter_;
    Pen pen_{};
};

}  // namespace

bool printPages(QPagedPaintDevice& device, QPainter& painter, const PrintJob& job, PrintMode mode,
                int* failedPage, const PageProgress& progress) {
    const int dpiX = device.logicalDpiX();
    const int dpiY = device.logicalDpiY();
    const int width = device.width();
    const int height = device.height();
    if (failedPage != nullptr) *failedPage = 1;
    if (dpiX <= 0 || dpiY <= 0 || width <= 0 || height <= 0) return false;
    CurveLayout curve;
    TextLayout text;
    if (mode == PrintMode::Curve)
        curve = ComputePrintCurveLayout(job, dpiX, dpiY, width, height);
    else
        text = ComputePrintTextLayout(dpiX, dpiY, width, height);

    for (int page = 1; page <= job.pageTotal; ++page) {
        if (progress && !progress(page)) {
            if (failedPage != nullptr) *failedPage = -1;
            return false;
        }
        if (failedPage != nullptr) *failedPage = page;
        if (page > 1 && !device.newPage()) return false;
        PageCanvas canvas(painter, dpiX, dpiY);
        if (mode == PrintMode::Curve)
            DrawCurvePage(curve, job, canvas, page);
        else
            DrawTextPage(text, job, canvas, page);
    }
    if (failedPage != nullptr) *failedPage = 0;
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
    PageCanvas canvas(painter, dpiX, dpiY);
    if (mode == PrintMode::Curve)
        DrawCurvePage(curve, job, canvas, page);
    else
        DrawTextPage(text, job, canvas, page);
    return image;
}

QImage stretchBlackOnWhite(const QImage& source, const QRect& from, const QSize& to) {
    QImage out(to, QImage::Format_RGB32);
    out.fill(Qt::white);
    const QRect src = from.intersected(source.rect());
    if (src.isEmpty() || to.isEmpty()) return out;
    const QImage image =
        source.format() == QImage::Format_RGB32 ? source : source.convertToFormat(QImage::Format_RGB32);
    const int sw = src.width(), sh = src.height(), tw = to.width(), th = to.height();
    // Source span [begin, end) of each target column / row; at least one pixel, nearest when enlarging.
    const auto spans = [](int sourceLength, int targetLength, int offset) {
        std::vector<std::pair<int, int>> v(static_cast<std::size_t>(targetLength));
        for (int i = 0; i < targetLength; ++i) {
            const int b = static_cast<int>(static_cast<long long>(i) * sourceLength / targetLength);
            int e = static_cast<int>(static_cast<long long>(i + 1) * sourceLength / targetLength);
            if (e <= b) e = b + 1;
            v[static_cast<std::size_t>(i)] = {offset + b, offset + e};
        }
        return v;
    };
    const auto columns = spans(sw, tw, src.left());
    const auto rows = spans(sh, th, src.top());
    std::vector<QRgb> line(static_cast<std::size_t>(source.width()));
    for (int y = 0; y < th; ++y) {
        const auto [rb, re] = rows[static_cast<std::size_t>(y)];
        // Darkest of the covered rows, channel by channel, then of the covered columns.
        const auto* first = reinterpret_cast<const QRgb*>(image.constScanLine(rb));
        std::copy(first, first + image.width(), line.begin());
        for (int r = rb + 1; r < re; ++r) {
            const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(r));
            for (int x = src.left(); x <= src.right(); ++x) {
                const QRgb a = line[static_cast<std::size_t>(x)], b = row[x];
                line[static_cast<std::size_t>(x)] = qRgb(
                    std::min(qRed(a), qRed(b)), std::min(qGreen(a), qGreen(b)), std::min(qBlue(a), qBlue(b)));
            }
        }
        auto* target = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < tw; ++x) {
            const auto [cb, ce] = columns[static_cast<std::size_t>(x)];
            int r = 255, g = 255, b = 255;
            for (int c = cb; c < ce; ++c) {
                const QRgb v = line[static_cast<std::size_t>(c)];
                r = std::min(r, qRed(v));
                g = std::min(g, qGreen(v));
                b = std::min(b, qBlue(v));
            }
            target[x] = qRgb(r, g, b);
        }
    }
    return out;
}

}  // namespace thermivo
