#include "print/PageRender.h"

#include <QGlyphRun>
#include <QLine>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QRawFont>
#include <QVector>
#include <algorithm>
#include <array>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <cmath>
#include <memory>
#include <utility>
#include <vector>

#include "QtCanvas.h"
#include "print/CurvePage.h"
#include "print/TextPage.h"

namespace thermivo {

namespace {

/// The glyphs of one font for the Latin-1 characters, looked up once per printout. Laying out a string
/// with Qt's shaper for every cell of a table costs more than writing it (1001 text pages hold some
/// 250000 strings); digits, signs and unit letters need no shaping, so such strings are placed glyph by
/// glyph from this table. Any other character sends the string through Qt's own text layout.
struct FontGlyphs {
    QFont font;
    QRawFont raw;
    int ascent = 0, height = 0;
    std::array<quint32, 256> glyph{};  ///< 0: not in the font, use Qt's layout
    std::array<qreal, 256> advance{};
};

class GlyphCache {
  public:
    const FontGlyphs& forFont(const QFont& font, const QPaintDevice* device) {
        for (const auto& f : fonts_)
            if (f->font == font) return *f;
        auto f = std::make_unique<FontGlyphs>();
        f->font = font;
        const QFontMetrics metrics(font, device);
        f->ascent = metrics.ascent();
        f->height = metrics.height();
        f->raw = QRawFont::fromFont(font);
        if (f->raw.isValid()) {
            for (int c = 0x20; c < 0x100; ++c) {
                if (c >= 0x7F && c < 0xA0) continue;
                const QList<quint32> index = f->raw.glyphIndexesForString(QString(QChar(c)));
                if (index.size() != 1 || index[0] == 0) continue;
                const QList<QPointF> advance = f->raw.advancesForGlyphIndexes(index);
                f->glyph[static_cast<std::size_t>(c)] = index[0];
                f->advance[static_cast<std::size_t>(c)] = advance.isEmpty() ? 0 : advance[0].x();
            }
        }
        fonts_.push_back(std::move(f));
        return *fonts_.back();
    }

  private:
    std::vector<std::unique_ptr<FontGlyphs>> fonts_;
};

/// QtCanvas for the printed pages. Wide polylines are drawn segment by segment: Qt strokes a wide
/// many-point polyline as one self-overlapping outline, which takes some 70 ms for a strip of 900 points;
/// separate segments look the same and take a few milliseconds. Their caps are square: a round cap is a
/// curve Qt flattens anew for each of the 2 x 900 segment ends, half the time of a curve page preview,
/// and at three pixels wide the two cannot be told apart. Text of Latin-1
/// characters is placed from the glyph cache.
class PageCanvas : public QtCanvas {
  public:
    PageCanvas(QPainter& painter, int dpiX, int dpiY, GlyphCache& glyphs)
        : QtCanvas(painter, dpiX, dpiY), glyphs_(glyphs) {}

    void setPen(const Pen& pen) override {
        QtCanvas::setPen(pen);
        pen_ = pen;
    }

    void setFont(const Font& font) override {
        flush();
        QtCanvas::setFont(font);
        font_ = nullptr;
    }

    void polyline(const std::vector<Point>& points) override {
        flush();
        if (pen_.width <= 1 || pen_.style != PenStyle::Solid || points.size() < 2) {
            QtCanvas::polyline(points);
            return;
        }
        QVector<QLine> segments;
        segments.reserve(static_cast<qsizetype>(points.size() - 1));
        for (std::size_t i = 1; i < points.size(); ++i)
            segments.append(QLine(points[i - 1].x, points[i - 1].y, points[i].x, points[i].y));
        painter_.setPen(QPen(toQColor(pen_.color), pen_.width, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
        painter_.drawLines(segments);
        QtCanvas::setPen(pen_);
    }

    ~PageCanvas() override { flush(); }

    void textOut(int x, int y, std::string_view utf8) override {
        if (!layOut(utf8)) {
            flush();
            QtCanvas::textOut(x, y, utf8);
            return;
        }
        // The cells of a table row go out as one glyph run: a PDF spends a state block on every run. Their
        // boxes lie side by side, so painting all boxes of the row before its glyphs changes no pixel.
        if (pendingY_ != y || pendingColor_ != textColor_ || (!boxes_.isEmpty() && boxColor_ != background_))
            flush();
        if (mode_ == BackgroundMode::Opaque) {
            boxes_.append(QRect(x, y, static_cast<int>(std::lround(width_)), font_->height));
            boxColor_ = background_;
        }
        for (qsizetype i = 0; i < indexes_.size(); ++i) {
            runIndexes_.append(indexes_[i]);
            runPositions_.append(positions_[i] + QPointF(x, y + font_->ascent));
        }
        pendingY_ = y;
        pendingColor_ = textColor_;
    }

    Size textExtent(std::string_view utf8) override {
        if (!layOut(utf8)) return QtCanvas::textExtent(utf8);
        return {static_cast<int>(std::lround(width_)), font_->height};
    }

    void setTextColor(Rgb color) override {
        flush();
        QtCanvas::setTextColor(color);
    }
    void lineTo(int x, int y) override {
        flush();
        QtCanvas::lineTo(x, y);
    }
    void rectangle(const Rect& r) override {
        flush();
        QtCanvas::rectangle(r);
    }
    void fillRect(const Rect& r, Rgb color) override {
        flush();
        QtCanvas::fillRect(r, color);
    }

  private:
    /// Glyphs and positions of `utf8` from the cache; false when a character needs Qt's text layout.
    bool layOut(std::string_view utf8) {
        if (font_ == nullptr) font_ = &glyphs_.forFont(painter_.font(), painter_.device());
        if (!font_->raw.isValid()) return false;
        indexes_.clear();
        positions_.clear();
        width_ = 0;
        for (std::size_t i = 0; i < utf8.size(); ++i) {
            unsigned c = static_cast<unsigned char>(utf8[i]);
            if (c >= 0x80) {
                // Two-byte UTF-8 of U+0080 .. U+00FF (the degree sign); anything longer is not Latin-1.
                if ((c & 0xE0) != 0xC0 || c > 0xC3 || i + 1 >= utf8.size()) return false;
                c = ((c & 0x1F) << 6) | (static_cast<unsigned char>(utf8[++i]) & 0x3F);
            }
            const quint32 glyph = font_->glyph[c];
            if (glyph == 0) return false;
            if (c == ' ') {
                // A space leaves no ink; the next glyph's position keeps its width (a tenth of a table row's
                // glyphs are spaces).
                width_ += font_->advance[c];
                continue;
            }
            indexes_.append(glyph);
            // Whole device pixels (1/600 inch on paper): a PDF then writes each glyph's step as a short
            // integer, which makes the page stream a third smaller.
            positions_.append(QPointF(std::round(width_), 0));
            width_ += font_->advance[c];
        }
        return true;
    }

    void flush() {
        if (!boxes_.isEmpty()) {
            // One fill for the row's boxes instead of a colour and a fill for each.
            painter_.setPen(Qt::NoPen);
            painter_.setBrush(boxColor_);
            painter_.drawRects(boxes_.constData(), static_cast<int>(boxes_.size()));
            painter_.setBrush(brush_);
            boxes_.clear();
        }
        if (runIndexes_.isEmpty()) return;
        // Lines and rectangles set their own pen, so the text pen stays until the colour changes: every
        // pen change costs a state block in a PDF.
        if (painter_.pen().color() != pendingColor_ || painter_.pen().style() != Qt::SolidLine)
            painter_.setPen(pendingColor_);
        QGlyphRun run;
        run.setRawFont(font_->raw);
        run.setGlyphIndexes(runIndexes_);
        run.setPositions(runPositions_);
        painter_.drawGlyphRun(QPointF(0, 0), run);
        runIndexes_.clear();
        runPositions_.clear();
    }

    GlyphCache& glyphs_;
    const FontGlyphs* font_ = nullptr;
    QList<quint32> runIndexes_;
    QList<QPointF> runPositions_;
    int pendingY_ = 0;
    QColor pendingColor_;
    QList<QRect> boxes_;
    QColor boxColor_;
    Pen pen_{};
    QList<quint32> indexes_;
    QList<QPointF> positions_;
    qreal width_ = 0;
};

/// A PDF (and the print engine's spool file, which is one) compresses every page with a fresh zlib stream:
/// some 270 KB allocated and freed per page. glibc returns such blocks to the kernel at once and faults the
/// pages in again on the next one, a third of the time of a long printout; larger thresholds keep them.
void keepPageMemory() {
#ifdef __GLIBC__
    static const bool once = [] {
        mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
        mallopt(M_TRIM_THRESHOLD, 64 * 1024 * 1024);
        return true;
    }();
    (void)once;
#endif
}

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

    keepPageMemory();
    GlyphCache glyphs;
    for (int page = 1; page <= job.pageTotal; ++page) {
        if (progress && !progress(page)) {
            if (failedPage != nullptr) *failedPage = -1;
            return false;
        }
        if (failedPage != nullptr) *failedPage = page;
        if (page > 1 && !device.newPage()) return false;
        PageCanvas canvas(painter, dpiX, dpiY, glyphs);
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
    {
        QPainter painter(&image);
        GlyphCache glyphs;
        PageCanvas canvas(painter, dpiX, dpiY, glyphs);
        if (mode == PrintMode::Curve)
            DrawCurvePage(curve, job, canvas, page);
        else
            DrawTextPage(text, job, canvas, page);
    }  // the canvas writes its last glyphs as it goes
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
