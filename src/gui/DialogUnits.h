#pragma once
#include <QFont>
#include <QRect>

namespace thermivo {

/// The dialog font of every window of the program: 8 points at 96 dpi (11 pixels), Arial-like.
QFont dialogFont();
/// The dialog font with its pixel height multiplied by `factor` (truncated, at least 1, and in Chinese at
/// least 9 points).
QFont scaledDialogFont(float factor);
/// A font pixel size raised to what the user's language needs to stay legible.
int readablePixels(int pixels);

/// Dialog units of a font: a horizontal unit is a quarter of the average character width, a vertical unit
/// an eighth of the character height, as dialog templates are laid out. Every window of the program turns
/// its template into pixels through this one conversion, so the same numbers land on the same pixels.
class DialogUnits {
  public:
    /// The units of the dialog font every window is laid out in, measured once.
    DialogUnits();
    explicit DialogUnits(const QFont& font);
    DialogUnits(int baseX, int baseY) : baseX_(baseX), baseY_(baseY) {}

    /// Dialog units to pixels, rounded to the nearest pixel (half away from zero for positive values).
    int x(int du) const { return roundedDiv(du * baseX_, 4); }
    int y(int du) const { return roundedDiv(du * baseY_, 8); }
    /// A rectangle given in dialog units (x, y, width, height) in pixels. Its edges convert, not its size,
    /// so controls that touch in the template touch on the screen too.
    QRect toPixels(const QRect& du) const;
    int baseX() const { return baseX_; }
    int baseY() const { return baseY_; }

  private:
    static int roundedDiv(int value, int divisor) {
        return value >= 0 ? (value + divisor / 2) / divisor : -((-value + divisor / 2) / divisor);
    }
    int baseX_;
    int baseY_;
};

/// Scales a control about its centre: the centre and the half extents are multiplied by `factor`,
/// truncated, so a whole layout keeps its proportions.
QRect scaleAboutCentre(const QRect& r, float factor);

}  // namespace thermivo
