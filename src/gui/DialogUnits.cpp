#include "DialogUnits.h"

#include <QFontMetrics>
#include <QStringList>
#include <algorithm>
#include <cmath>

#include "app/AppSettings.h"
#include "chart/ChartGeometry.h"

namespace thermivo {

namespace {
constexpr int kDialogFontPixels = 11;  // 8 points at 96 dpi
constexpr int kMinChinesePixels = 12;  // 9 points at 96 dpi
}  // namespace

QFont dialogFont() {
    QFont font;
    font.setFamilies(QStringList{QStringLiteral("Liberation Sans"), QStringLiteral("Arial"),
                                 QStringLiteral("DejaVu Sans")});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(kDialogFontPixels);
    return font;
}

int readablePixels(int pixels) {
    // Chinese characters need more pixels than Latin letters to stay legible: no smaller than 9 points.
    if (AppSettings::instance().languageId == kLanguageChinesePrc) return std::max(pixels, kMinChinesePixels);
    return std::max(pixels, 1);
}

QFont scaledDialogFont(float factor) {
    QFont font = dialogFont();
    font.setPixelSize(readablePixels(static_cast<int>(static_cast<float>(kDialogFontPixels) * factor)));
    return font;
}

DialogUnits::DialogUnits() {
    static const DialogUnits measured(dialogFont());
    *this = measured;
}

DialogUnits::DialogUnits(const QFont& font) {
    const QFontMetrics fm(font);
    const int alphabet =
        fm.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    baseX_ = std::max(1, (alphabet / 26 + 1) / 2);
    // The character cell in whole pixels, ascent and descent each rounded up as the platform's text
    // metrics round them; plain rounding of the sum loses the pixel the cell really occupies.
    const QFontMetricsF exact(font);
    baseY_ = std::max(1, static_cast<int>(std::ceil(exact.ascent()) + std::ceil(exact.descent())));
}

QRect DialogUnits::toPixels(const QRect& du) const {
    const int left = x(du.x());
    const int top = y(du.y());
    return QRect(left, top, x(du.x() + du.width()) - left, y(du.y() + du.height()) - top);
}

QRect scaleAboutCentre(const QRect& r, float factor) {
    const ControlPlacement p = scaleAboutCentre(r.x(), r.y(), r.width(), r.height(), factor, 0, 0);
    return QRect(p.x, p.y, p.width, p.height);
}

}  // namespace thermivo
