#pragma once
#include <array>
#include <string>
#include <vector>

#include "canvas/Canvas.h"

namespace thermivo {

struct AppSettings;
struct Recording;

/// Layout constants of the chart in bitmap pixels, at one layout factor.
struct ChartLayout {
    float scale = 1.0f;
    float bitmapWidth = 550.0f;
    float bitmapHeight = 250.0f;
    float plotLeft = 60.0f;        ///< x of the first curve point
    float tickStart = 55.0f;       ///< left end of the labelled grid lines
    float gridStep = 50.0f;        ///< distance between labelled grid lines
    float plotWidth = 490.0f;      ///< pixels available to the curve
    float pointCapacity = 495.0f;  ///< entries of the point arrays
    int topValueLine = 25;         ///< y of the highest labelled grid line
    int bottomValueLine = 225;     ///< y of the lowest labelled grid line, where the scale base lies
    float bitmapOffset = 50.0f;    ///< y at which the bitmap sits in the view

    /// The base constants multiplied by factor; the two value lines truncated after the multiplication.
    static ChartLayout scaled(float factor);
    /// Entries the point arrays need: the point capacity, and never fewer than one drawing can fill.
    int pointArraySize() const;
    /// Bitmap size in whole pixels.
    int bitmapPixelWidth() const { return static_cast<int>(bitmapWidth); }
    int bitmapPixelHeight() const { return static_cast<int>(bitmapHeight); }
    /// Pixels between the top and the bottom value line, the span of the vertical scale.
    float valueSpan() const { return 200.0f * scale; }
};

/// What the user's zoom, pan, check box and clicks leave behind between drawings.
struct ChartViewState {
    bool showTemperature = true;
    bool autoScale = false;
    int zoom = 1;              ///< 1 fits the whole recording into the plot width
    int startIndex = 0;        ///< first sample drawn
    int clickX = 60;           ///< x of the last accepted click; the plot's left edge before the first
    bool showHumidity = true;  ///< draw the humidity curve of a kind-4 recording
    /// A sample the cursor was sent to (an excursion's first sample), or -1. While it lies in the drawn part
    /// the cursor stays on exactly that sample, whatever bucket and pixel it shares; a click releases it.
    int pinnedSample = -1;
};

/// How the visible samples are cut into buckets for one drawing.
struct Thinning {
    int visible = 0;     ///< samples that the zoom level fits into the plot width
    int sampleStep = 2;  ///< samples per bucket
    int pixelStep = 1;   ///< pixels between consecutive points
    int maxPoints = 0;   ///< buckets are taken while fewer points than this exist
};

/// Bucket and pixel steps for drawnSamples at a zoom level over plotWidth pixels.
Thinning planThinning(int drawnSamples, int zoom, float plotWidth);

/// Min/max thinning: from each bucket starting at startIndex, its first maximum and last minimum in time
/// order (one point when they coincide). Clears `out` and fills it without growing it past its capacity.
void thinSamples(const float* temperature, int drawnSamples, int startIndex, const Thinning& plan,
                 std::vector<int>& out);

/// Linear vertical scale: value `base` lies on the bottom value line, `unitsPerPixel` degrees per pixel.
struct VerticalScale {
    float base = 0.0f;
    float unitsPerPixel = 1.0f;
    bool flat = false;  ///< low and high were equal: widened so the values lie at mid-height
};

/// Scale from low to high over `span` pixels. Equal bounds are widened by one degree either side, swapped
/// bounds are put in order, and non-finite bounds fall back to a flat scale, so no division by zero occurs.
VerticalScale verticalScale(float low, float high, float span);

/// Pixel row of a temperature, truncated toward zero; far-off and undefined values stay within int range.
int valueToY(float celsius, const VerticalScale& scale, int bottomValueLine);

/// Values of the five labelled grid lines, bottom first.
std::array<float, 5> tickValues(const VerticalScale& scale, float gridStep);

/// Row of an alarm-limit line; a line above the top value line sits 5 pixels above it, one below the bottom
/// value line 5 pixels below it.
float alarmLineY(float limit, const VerticalScale& scale, int topValueLine, int bottomValueLine);

/// Curve point nearest to clickX (a fraction of exactly one half goes left), within 0 .. pointCount - 1.
int cursorPointAt(int clickX, float plotLeft, int pixelStep, int pointCount);

/// The curve point that stands for `sample`: the last point whose sample does not lie after it. -1 when the
/// sample lies before the first point or after `lastCovered`, the last sample the drawing's buckets hold.
int pointOfSample(const std::vector<int>& pointSamples, int sample, int lastCovered);

/// Zoom after the zoom-in and zoom-out buttons, kept within 1 .. drawnSamples.
int zoomIn(int zoom, int drawnSamples);
int zoomOut(int zoom, int drawnSamples);

/// "%4.2f" of a scale value in the display unit.
std::string scaleLabel(float celsius, const AppSettings& settings);

/// Readout of one sample: local time and "   %.2f" of the temperature in the display unit; empty when the
/// curve is hidden, nothing is loaded or the sample does not exist.
std::string readoutText(const Recording& rec, int sample, bool showTemperature, const AppSettings& settings);

/// "   %.2f%RH" of the humidity of a kind-4 sample, for the readout; empty for other kinds, a sample without
/// value or an index outside the loaded samples.
std::string humidityReadoutText(const Recording& rec, int sample, const AppSettings& settings);

/// "%4.1f" of a humidity scale value.
std::string humidityScaleLabel(float percent);

/// Where the chart's texts go. Below layout factor 1 the chart font shrinks with the label strip, never
/// below a readable size, and every text stays inside the area it labels.
namespace chart_text {
inline constexpr int kFontHeight = 16;    ///< cell height of the chart font at layout factor 1 and above
inline constexpr int kMinFontHeight = 9;  ///< smallest cell height that stays readable
/// Cell height of the chart font at a layout factor.
int fontHeight(float scale);
/// Widest label the strip holds: from its left edge to just before the ticks that reach into it.
int labelRoom(const ChartLayout& layout);
/// Top-left corner of scale label k (0 at the bottom value line) that is `width` pixels wide in a font of
/// cell height `fontHeight`: at 10 x scale, moved left as far as needed to end before the ticks.
Point labelAt(const ChartLayout& layout, int k, int width, int fontHeight);
/// Top-left corner of the first sample's number: just inside the plot's bottom-left corner.
Point firstSampleAt(const ChartLayout& layout, int fontHeight);
}  // namespace chart_text

/// The legend under the chart: what the dotted alarm lines and the list's "*" mean, with the limits in the
/// display unit. Not shown while nothing is loaded or the recording has no alarm limits.
struct AlarmLegend {
    bool shown = false;
    std::string upper;   ///< "Upper limit 30.00°C"
    std::string lower;   ///< "Lower limit -10.00°C"
    std::string marker;  ///< "* outside the alarm limits"
    /// A kind-4 recording with humidity limits: the dotted humidity lines, named in their own colour.
    bool humidityShown = false;
    std::string humidityUpper;  ///< "Humidity upper limit 65.00%RH"
    std::string humidityLower;
};
AlarmLegend alarmLegend(const Recording& rec, const AppSettings& settings);

/// One label of the time axis under the plot: its text and the x of the moment it names.
struct TimeLabel {
    int x = 0;
    std::string text;
};

/// Labels of the time axis for the drawn points: the first and the last drawn sample in the recording's
/// time format (the last one the drawing's buckets cover, `lastSample`), and between them round local times
/// (every 5 minutes ... every week) as far apart as `labelWidth` pixels allow. A round time shows its hour
/// and minute, and at midnight its date.
std::vector<TimeLabel> timeAxisLabels(const Recording& rec, const std::vector<int>& pointSamples,
                                      int lastSample, float plotLeft, int pixelStep, int labelWidth);

/// Placement of a control scaled about its centre: (x, y, width, height) in the parent's coordinates.
struct ControlPlacement {
    int x = 0, y = 0, width = 0, height = 0;
    friend bool operator==(const ControlPlacement&, const ControlPlacement&) = default;
};

/// A control whose window rectangle on the screen is (left, top, width, height), scaled about its centre by
/// factor; offsetX/offsetY are the parent's scaled screen origin (truncate(factor * origin)).
ControlPlacement scaleAboutCentre(int left, int top, int width, int height, float factor, int offsetX,
                                  int offsetY);

/// The geometry of one drawing of the chart: thinned points, vertical scale, alarm lines and cursor.
/// Its arrays are sized by the layout and are not reallocated by a drawing.
class ChartGeometry {
  public:
    explicit ChartGeometry(const ChartLayout& layout = {});

    /// New layout constants; the point arrays are reallocated for the new capacity.
    void setLayout(const ChartLayout& layout);
    const ChartLayout& layout() const { return layout_; }

    /// Selects and thins the visible samples, then sets the scale, the alarm lines and the cursor.
    void compute(const Recording& rec, const ChartViewState& state);

    int drawnSamples = 0;
    Thinning thinning;
    /// Pixels the curve may use and x of the plot's right edge: a kind-4 recording gives up a band on the
    /// right, as wide as the strip on the left, to its humidity scale.
    float plotWidth = 0.0f;
    int plotRight = 0;
    bool humidityBand = false;
    int pointCount() const { return static_cast<int>(pointSamples.size()); }
    std::vector<int> pointSamples;  ///< sample index of each curve point
    std::vector<Point> points;      ///< curve points in bitmap pixels
    VerticalScale scale;
    std::array<float, 5> ticks{};
    float upperAlarmY = 0.0f;
    float lowerAlarmY = 0.0f;
    int cursorPoint = 0;
    int cursorSample = 0;  ///< sample under the cursor; 0 when nothing is drawn
    int lastSample = 0;    ///< last sample the drawing's buckets cover

    /// The humidity curve of a kind-4 recording, thinned with the same buckets, on its own scale.
    bool humidityDrawn = false;
    std::vector<int> humiSamples;
    std::vector<Point> humiPoints;
    VerticalScale humiScale;
    std::array<float, 5> humiTicks{};
    float humiUpperY = 0.0f;
    float humiLowerY = 0.0f;

  private:
    void computeHumidity(const Recording& rec, const ChartViewState& state);
    ChartLayout layout_;
};

/// Colours, pens and the font of the chart.
namespace chart_style {
inline constexpr Rgb kPlotBackground{0, 0, 0};
inline constexpr Rgb kLabelStrip{200, 150, 20};
inline constexpr Pen kGridPen{PenStyle::Solid, 1, {0, 100, 150}};
inline constexpr Pen kCurvePen{PenStyle::Solid, 1, {183, 50, 183}};
inline constexpr Pen kAlarmPen{PenStyle::Dot, 1, {183, 50, 183}};
inline constexpr Pen kCursorPen{PenStyle::Dot, 1, {82, 105, 118}};
inline constexpr Rgb kScaleText{183, 50, 183};
inline constexpr Rgb kUnitText{193, 50, 193};
/// Humidity: a cyan that stands apart from the magenta temperature on black.
inline constexpr Pen kHumiCurvePen{PenStyle::Solid, 1, {0, 200, 200}};
inline constexpr Pen kHumiAlarmPen{PenStyle::Dot, 1, {0, 200, 200}};
inline constexpr Rgb kHumiText{0, 200, 200};
/// The humidity scale's band right of the plot and its texts: dark teal on pale cyan reads well and is
/// plainly the curve's family.
inline constexpr Rgb kHumiBand{215, 240, 240};
inline constexpr Rgb kHumiBandText{0, 100, 110};
/// Times under the plot: light grey on the black plot.
inline constexpr Rgb kTimeText{215, 215, 215};
/// The chart font: Arial with a 16-pixel cell, regular weight, at layout factor 1 and above; `height`
/// gives the smaller cell of a smaller layout.
inline Font chartFont(int height = chart_text::kFontHeight) {
    return Font{"Arial", height, 400};
}
}  // namespace chart_style

/// Computes the geometry and draws the whole chart bitmap (background, grid, scale, alarm lines, cursor,
/// curve, first sample number) onto the canvas, origin at the bitmap's top-left corner.
void drawChart(Canvas& canvas, ChartGeometry& geometry, const Recording& rec, const ChartViewState& state,
               const AppSettings& settings);

}  // namespace thermivo
