#pragma once
#include <variant>

#include "canvas/Canvas.h"

namespace thermivo {

/// A canvas that records every call, so tests can check what a drawing routine produced.
class RecordingCanvas : public Canvas {
  public:
    struct Line {
        Point from, to;
        Pen pen;
    };
    struct Text {
        Point at;
        std::string text;
        Font font;
        Rgb color;
        Rgb background;
        BackgroundMode mode;
    };
    struct Polyline {
        std::vector<Point> points;
        Pen pen;
    };
    struct Rectangle {
        Rect rect;
        Pen pen;
        Brush brush;
    };
    struct Fill {
        Rect rect;
        Rgb color;
    };
    using Op = std::variant<Line, Text, Polyline, Rectangle, Fill>;

    explicit RecordingCanvas(int dpiX = 96, int dpiY = 96) : dpiX_(dpiX), dpiY_(dpiY) {}

    void setPen(const Pen& pen) override { pen_ = pen; }
    void setBrush(const Brush& brush) override { brush_ = brush; }
    void setFont(const Font& font) override { font_ = font; }
    void setTextColor(Rgb color) override { textColor_ = color; }
    void setBackgroundColor(Rgb color) override { background_ = color; }
    void setBackgroundMode(BackgroundMode mode) override { mode_ = mode; }
    void moveTo(int x, int y) override { pos_ = {x, y}; }
    void lineTo(int x, int y) override {
        ops.emplace_back(std::in_place_type<Line>, Line{pos_, {x, y}, pen_});
        pos_ = {x, y};
    }
    void polyline(const std::vector<Point>& points) override {
        ops.emplace_back(std::in_place_type<Polyline>, Polyline{points, pen_});
    }
    void rectangle(const Rect& r) override {
        ops.emplace_back(std::in_place_type<Rectangle>, Rectangle{r, pen_, brush_});
    }
    void fillRect(const Rect& r, Rgb color) override {
        ops.emplace_back(std::in_place_type<Fill>, Fill{r, color});
    }
    void textOut(int x, int y, std::string_view utf8) override {
        ops.emplace_back(std::in_place_type<Text>,
                         Text{{x, y}, std::string(utf8), font_, textColor_, background_, mode_});
    }
    /// A fixed-pitch estimate: each character is half the font height wide.
    Size textExtent(std::string_view utf8) override;
    int dpiX() const override { return dpiX_; }
    int dpiY() const override { return dpiY_; }

    /// All texts drawn, in order.
    std::vector<Text> texts() const;
    std::vector<Line> lines() const;
    std::vector<Polyline> polylines() const;
    /// True when some drawn text equals s.
    bool hasText(std::string_view s) const;

    std::vector<Op> ops;

  private:
    int dpiX_, dpiY_;
    Pen pen_{};
    Brush brush_{};
    Font font_{};
    Rgb textColor_{};
    Rgb background_{255, 255, 255};
    BackgroundMode mode_ = BackgroundMode::Opaque;
    Point pos_{};
};

}  // namespace thermivo
