#pragma once
#include <QIcon>
#include <QImage>
#include <QRect>

class QPainter;

namespace thermivo {

inline constexpr int kBannerWidth = 1440;
inline constexpr int kBannerHeight = 150;

/// The main window's banner: the program's name on a cold-chain motif, drawn here, 1440 x 150 pixels.
QImage renderBanner();

/// The program icon (a thermometer on a frosted tile) at the given edge length.
QImage renderAppIcon(int size);
QIcon appIcon();

/// Level bars of the instrument indicator for a battery percentage: none at 0 or below, one up to 33,
/// two up to 66, three from 67 up.
int indicatorBars(int batteryPercent);

/// The instrument indicator: a dark tile with the instrument's outline and its level bars for recordings
/// that carry a battery reading (kinds 1, 3, 4); a plain grey tile otherwise.
void drawInstrumentIndicator(QPainter& p, const QRect& area, int kind, int batteryPercent);

}  // namespace thermivo
