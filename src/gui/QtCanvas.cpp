#include "QtCanvas.h"

#include <QFontMetrics>
#include <QPaintDevice>
#include <QPolygon>
#include <cstdlib>

namespace thermivo {

QtCanvas::QtCanvas(QPainter& painter, int dpiX, int dpiY) : painter_(painter) {
    const QPaintDevice* device = painter.device();
    dpiX_ = dpiX > 0 ? dpiX : (device != nullptr ? device->logicalDpiX() : 96);
    dpiY_ = dpiY > 0 ? dpiY : (device != nullptr ? device->logicalDpiY() : 96);
    setPen(Pen{});
    setBrush(Brush{});
    setFont(Font{});
}

void QtCanvas::setPen(const Pen& pen) {
    Qt::PenStyle style = Qt::SolidLine;
    switch (pen.style) {
        case PenStyle::Solid:
            style = Qt::SolidLine;
            break;
        case PenStyle::Dash:
            style = Qt::DashLine;
            break;
        case PenStyle::Dot:
            style = Qt::DotLine;
            break;
        case PenStyle::Null:
            style = Qt::NoPen;
            break;
    }
    // A width of 0 or less would be Qt's cosmetic pen, one device pixel whatever the transformation.
    pen_ = QPen(toQColor(pen.color), pen.width > 0 ? pen.width : 1.0, style, Qt::SquareCap, Qt::MiterJoin);
    if (pen.style == PenStyle::Dot) {
        // One on, one off, in pen widths; square caps would lengthen every dot by a width and close the gaps.
        pen_.setDashPattern({1.0, 1.0});
        pen_.setCapStyle(Qt::FlatCap);
    }
    painter_.setPen(pen_);
}

void QtCanvas::setBrush(const Brush& brush) {
    brush_ = brush.hollow ? QBrush(Qt::NoBrush) : QBrush(toQColor(brush.color));
    painter_.setBrush(brush_);
}

QFont QtCanvas::toQFont(const Font& font) {
    QFont f(QString::fromStdString(font.family));
    f.setStyleHint(QFont::SansSerif);
    f.setWeight(font.weight >= 600 ? QFont::Bold : QFont::Normal);
    const int h = std::abs(font.height);
    f.setPixelSize(h > 0 ? h : 12);
    if (font.height > 0) {
        // A positive height is the whole cell; shrink the em size until ascent + descent fits it.
        const QFontMetrics metrics(f);
        if (metrics.height() > font.height && metrics.height() > 0)
            f.setPixelSize(std::max(1, font.height * font.height / metrics.height()));
    }
    return f;
}

void QtCanvas::setFont(const Font& font) {
    painter_.setFont(toQFont(font));
}

void QtCanvas::lineTo(int x, int y) {
    painter_.setPen(pen_);
    painter_.drawLine(pos_, QPoint(x, y));
    pos_ = QPoint(x, y);
}

void QtCanvas::polyline(const std::vector<Point>& points) {
    if (points.empty()) return;
    QPolygon polygon(static_cast<int>(points.size()));
    for (std::size_t i = 0; i < points.size(); ++i)
        polygon.setPoint(static_cast<int>(i), points[i].x, points[i].y);
    painter_.setPen(pen_);
    painter_.drawPolyline(polygon);
}

void QtCanvas::rectangle(const Rect& r) {
    painter_.setPen(pen_);
    painter_.setBrush(brush_);
    painter_.drawRect(QRect(r.left, r.top, r.right - r.left - 1, r.bottom - r.top - 1));
}

void QtCanvas::fillRect(const Rect& r, Rgb color) {
    painter_.fillRect(QRect(r.left, r.top, r.right - r.left, r.bottom - r.top), toQColor(color));
}

void QtCanvas::textOut(int x, int y, std::string_view utf8) {
    const QString s = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
    const QFontMetrics metrics(painter_.font(), painter_.device());
    const QRect box(x, y, metrics.horizontalAdvance(s), metrics.height());
    if (mode_ == BackgroundMode::Opaque) painter_.fillRect(box, background_);
    painter_.setPen(textColor_);
    painter_.drawText(QPoint(x, y + metrics.ascent()), s);
    painter_.setPen(pen_);
}

Size QtCanvas::textExtent(std::string_view utf8) {
    const QString s = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
    const QFontMetrics metrics(painter_.font(), painter_.device());
    return {metrics.horizontalAdvance(s), metrics.height()};
}

}  // namespace thermivo
