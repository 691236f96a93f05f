#pragma once
#include <QColor>
#include <QFont>
#include <QPainter>
#include <QPoint>

#include "canvas/Canvas.h"

namespace thermivo {

/// The program's Canvas on a QPainter (an off-screen QImage, a QPrinter or a QPdfWriter).
class QtCanvas : public Canvas {
  public:
    /// dpi of 0 takes the resolution of the painter's device.
    explicit QtCanvas(QPainter& painter, int dpiX = 0, int dpiY = 0);

    void setPen(const Pen& pen) override;
    void setBrush(const Brush& brush) override;
    void setFont(const Font& font) override;
    void setTextColor(Rgb color) override { textColor_ = toQColor(color); }
    void setBackgroundColor(Rgb color) override { background_ = toQColor(color); }
    void setBackgroundMode(BackgroundMode mode) override { mode_ = mode; }
    void moveTo(int x, int y) override { pos_ = QPoint(x, y); }
    void lineTo(int x, int y) override;
    void polyline(const std::vector<Point>& points) override;
    void rectangle(const Rect& r) override;
    void fillRect(const Rect& r, Rgb color) override;
    void textOut(int x, int y, std::string_view utf8) override;
    Size textExtent(std::string_view utf8) override;
    int dpiX() const override { return dpiX_; }
    int dpiY() const override { return dpiY_; }

    static QColor toQColor(Rgb c) { return QColor(c.r, c.g, c.b); }
    /// The QFont for a Font, sized so that a negative height is the character height in device pixels.
    static QFont toQFont(const Font& font);

  protected:
    QPainter& painter_;
    int dpiX_, dpiY_;
    QPen pen_;
    QBrush brush_;
    QColor textColor_{Qt::black};
    QColor background_{Qt::white};
    BackgroundMode mode_ = BackgroundMode::Opaque;
    QPoint pos_;
};

}  // namespace thermivo
