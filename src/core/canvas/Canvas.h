#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace thermivo {

struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

enum class PenStyle { Solid, Dash, Dot, Null };

struct Pen {
    PenStyle style = PenStyle::Solid;
    /// Device pixels; fractions are kept, so a page can ask for the same width on paper at every resolution.
    double width = 1;
    Rgb color{};
    friend bool operator==(const Pen&, const Pen&) = default;
};

struct Brush {
    bool hollow = false;  ///< a hollow brush fills nothing
    Rgb color{255, 255, 255};
    friend bool operator==(const Brush&, const Brush&) = default;
};

/// A font as the drawing code asks for it. `height` follows the classic device-context rule: negative is
/// the character height in device pixels, positive the cell height (ascent + descent).
struct Font {
    std::string family = "Arial";
    int height = -12;
    int weight = 400;
    friend bool operator==(const Font&, const Font&) = default;
};

struct Point {
    int x = 0, y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

struct Size {
    int width = 0, height = 0;
};

/// Rectangle with exclusive right and bottom edges.
struct Rect {
    int left = 0, top = 0, right = 0, bottom = 0;
    friend bool operator==(const Rect&, const Rect&) = default;
};

enum class BackgroundMode { Opaque, Transparent };

/// The drawing surface of this program: what a device context offers to the chart and the printed pages.
/// Text is placed by its top-left corner; "rectangle" outlines with the pen and fills with the brush.
class Canvas {
  public:
    virtual ~Canvas() = default;

    virtual void setPen(const Pen& pen) = 0;
    virtual void setBrush(const Brush& brush) = 0;
    virtual void setFont(const Font& font) = 0;
    virtual void setTextColor(Rgb color) = 0;
    virtual void setBackgroundColor(Rgb color) = 0;
    virtual void setBackgroundMode(BackgroundMode mode) = 0;

    virtual void moveTo(int x, int y) = 0;
    virtual void lineTo(int x, int y) = 0;
    virtual void polyline(const std::vector<Point>& points) = 0;
    virtual void rectangle(const Rect& r) = 0;
    virtual void fillRect(const Rect& r, Rgb color) = 0;
    virtual void textOut(int x, int y, std::string_view utf8) = 0;
    /// Width and height of a text in the current font, device pixels.
    virtual Size textExtent(std::string_view utf8) = 0;

    /// Resolution of the device in dots per inch.
    virtual int dpiX() const = 0;
    virtual int dpiY() const = 0;

    /// Convenience: a line from (x1, y1) to (x2, y2), leaving the pen position at the end.
    void line(int x1, int y1, int x2, int y2) {
        moveTo(x1, y1);
        lineTo(x2, y2);
    }
};

}  // namespace thermivo
