#pragma once
#include <QFont>
#include <QRect>

namespace thermivo {

/// The dialog font of every window of the program: 8 points at 96 dpi (11 pixels), Arial-like.
QFont dialogFont();
/// The dialog font with its pixel height multiplied by `factor` (truncated, at least 1).
QFont scaledDialogFont(float factor);

/// Dialog units of a font: a horizontal unit is a quarter of the average character width, a vertical unit
/// an eighth of the character height, as dialog templates are laid out.
class DialogUnits {
  public:
    /// The units of the template font the windows were designed with: 6 pixels across and 13 down per
    /// character, whatever font stands in for it here (its metrics differ by a pixel or two).
    DialogUnits() : DialogUnits(6, 13) {}
    explicit DialogUnits(const QFont& font);
    DialogUnits(int baseX, int baseY) : baseX_(baseX), baseY_(baseY) {}

    int x(int du) const { return du * baseX_ / 4; }
    int y(int du) const { return du * baseY_ / 8; }
    /// A rectangle given in dialog units (x, y, width, height) in pixels.
    QRect toPixels(const QRect& du) const;
    int baseX() const { return baseX_; }
    int baseY() const { return baseY_; }

  private:
    int baseX_;
    int baseY_;
};

/// Scales a control about its centre: the centre and the half extents are multiplied by `factor`,
/// truncated, so a whole layout keeps its proportions.
QRect scaleAboutCentre(const QRect& r, float factor);

}  // namespace thermivo
