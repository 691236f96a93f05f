#include "Artwork.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <algorithm>
#include <cmath>

namespace thermivo {

namespace {

// A six-armed frost crystal with small side branches.
void drawSnowflake(QPainter& p, QPointF c, double r, const QColor& color, double width) {
    p.save();
    p.setPen(QPen(color, width, Qt::SolidLine, Qt::RoundCap));
    for (int k = 0; k < 6; ++k) {
        const double a = k * M_PI / 3.0;
        const QPointF tip(c.x() + r * std::cos(a), c.y() + r * std::sin(a));
        p.drawLine(c, tip);
        const QPointF mid(c.x() + 0.55 * r * std::cos(a), c.y() + 0.55 * r * std::sin(a));
        for (int s = -1; s <= 1; s += 2) {
            const double b = a + s * M_PI / 4.0;
            p.drawLine(mid, QPointF(mid.x() + 0.3 * r * std::cos(b), mid.y() + 0.3 * r * std::sin(b)));
        }
    }
    p.restore();
}

// A refrigerated lorry facing right, its box carrying a frost crystal; `x`, `ground` give the rear wheel
// line.
void drawLorry(QPainter& p, double x, double ground, double scale) {
    p.save();
    p.translate(x, ground);
    p.scale(scale, scale);
    const QColor outline(20, 55, 95);
    p.setPen(QPen(outline, 2.0));
    // Insulated box.
    QLinearGradient boxShade(0, -78, 0, -14);
    boxShade.setColorAt(0, QColor(250, 253, 255));
    boxShade.setColorAt(1, QColor(196, 222, 240));
    p.setBrush(boxShade);
    p.drawRoundedRect(QRectF(0, -80, 150, 64), 4, 4);
    // Cooling unit on the box front.
    p.setBrush(QColor(150, 180, 205));
    p.drawRect(QRectF(150, -76, 8, 22));
    // Cab.
    QPainterPath cab;
    cab.moveTo(160, -16);
    cab.lineTo(160, -62);
    cab.lineTo(190, -62);
    cab.lineTo(210, -36);
    cab.lineTo(212, -16);
    cab.closeSubpath();
    p.setBrush(QColor(35, 120, 190));
    p.drawPath(cab);
    p.setBrush(QColor(200, 232, 250));
    QPainterPath window;
    window.moveTo(168, -56);
    window.lineTo(188, -56);
    window.lineTo(202, -38);
    window.lineTo(168, -38);
    window.closeSubpath();
    p.drawPath(window);
    // Chassis and wheels.
    p.setBrush(outline);
    p.drawRect(QRectF(-2, -18, 216, 6));
    for (double wx : {26.0, 58.0, 186.0}) {
        p.setBrush(QColor(30, 34, 40));
        p.drawEllipse(QPointF(wx, -8), 11, 11);
        p.setBrush(QColor(170, 178, 188));
        p.drawEllipse(QPointF(wx, -8), 4.5, 4.5);
    }
    drawSnowflake(p, QPointF(75, -48), 20, QColor(35, 120, 190), 3.0);
    p.restore();
}

// A thermometer with a cold blue column, bulb at the bottom.
void drawThermometer(QPainter& p, QPointF bulb, double height, double width) {
    p.save();
    const double r = width;
    const QRectF tube(bulb.x() - width / 2, bulb.y() - height, width, height);
    p.setPen(QPen(QColor(235, 245, 255), 2.0));
    p.setBrush(QColor(255, 255, 255, 60));
    p.drawRoundedRect(tube, width / 2, width / 2);
    p.setBrush(QColor(235, 245, 255, 90));
    p.drawEllipse(bulb, r, r);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(60, 200, 255));
    p.drawEllipse(bulb, r * 0.7, r * 0.7);
    p.drawRoundedRect(QRectF(bulb.x() - width * 0.22, bulb.y() - height * 0.45, width * 0.44, height * 0.45),
                      width * 0.2, width * 0.2);
    p.setPen(QPen(QColor(235, 245, 255), 1.5));
    for (int k = 1; k <= 5; ++k) {
        const double y = bulb.y() - height + k * height / 6.5;
        p.drawLine(QPointF(bulb.x() + width / 2 + 2, y), QPointF(bulb.x() + width / 2 + (k % 2 ? 9 : 5), y));
    }
    p.restore();
}

}  // namespace

QImage renderBanner() {
    QImage img(kBannerWidth, kBannerHeight, QImage::Format_RGB32);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    // Night-blue to ice-blue sky.
    QLinearGradient sky(0, 0, kBannerWidth, kBannerHeight);
    sky.setColorAt(0.0, QColor(8, 28, 66));
    sky.setColorAt(0.55, QColor(22, 78, 140));
    sky.setColorAt(1.0, QColor(70, 150, 205));
    p.fillRect(img.rect(), sky);

    // A soft cold glow behind the name.
    QRadialGradient glow(QPointF(1150, 40), 330);
    glow.setColorAt(0, QColor(140, 210, 255, 90));
    glow.setColorAt(1, QColor(140, 210, 255, 0));
    p.fillRect(img.rect(), glow);

    // The chain of the cold chain: links of a chain running along the top of the road.
    p.setPen(QPen(QColor(170, 215, 245, 70), 3.0));
    p.setBrush(Qt::NoBrush);
    for (int k = 0; k < 40; ++k) {
        const double x = 8 + k * 36.0;
        if (k % 2 == 0)
            p.drawRoundedRect(QRectF(x, 106, 44, 14), 7, 7);
        else
            p.drawLine(QPointF(x + 4, 113), QPointF(x + 40, 113));
    }

    // A logged temperature staying between its two alarm limits.
    p.setPen(QPen(QColor(255, 190, 60, 110), 1.5, Qt::DashLine));
    p.drawLine(QPointF(0, 14), QPointF(kBannerWidth, 14));
    p.drawLine(QPointF(0, 98), QPointF(kBannerWidth, 98));
    QPainterPath trace;
    for (int x = 0; x <= kBannerWidth; x += 8) {
        const double y = 58 + 18 * std::sin(x / 97.0) + 9 * std::sin(x / 23.0 + 1.3) + 5 * std::cos(x / 11.0);
        if (x == 0)
            trace.moveTo(x, y);
        else
            trace.lineTo(x, y);
    }
    p.setPen(QPen(QColor(120, 230, 255, 120), 2.5));
    p.drawPath(trace);

    // Frost crystals scattered over the sky (fixed positions, so the banner is the same on every start).
    struct Flake {
        double x, y, r;
    };
    const Flake flakes[] = {{330, 34, 14},  {372, 96, 9},   {620, 30, 12},  {905, 36, 10}, {940, 96, 7},
                            {1395, 120, 9}, {470, 52, 6},   {1010, 116, 8}, {655, 112, 6}, {560, 70, 8},
                            {150, 92, 6},   {1300, 124, 6}, {250, 60, 7},   {860, 80, 6},  {1210, 122, 7}};
    for (const Flake& f : flakes) drawSnowflake(p, QPointF(f.x, f.y), f.r, QColor(225, 242, 255, 150), 1.6);

    // The lorry carrying the goods, and the thermometer that watches them.
    drawLorry(p, 640, 121, 0.68);
    drawThermometer(p, QPointF(905, 106), 70, 12);

    // The name: maker and range small above, the product large.
    QFont small(QStringLiteral("Liberation Sans"));
    small.setPixelSize(18);
    small.setBold(true);
    small.setLetterSpacing(QFont::AbsoluteSpacing, 4);
    p.setFont(small);
    p.setPen(QColor(170, 225, 255));
    p.drawText(QPointF(1000, 25), QStringLiteral("KELVORA DEEP COLD"));
    QFont big(QStringLiteral("Liberation Sans"));
    big.setPixelSize(50);
    big.setBold(true);
    p.setFont(big);
    p.setPen(QColor(0, 20, 50, 140));
    p.drawText(QPointF(1000, 75), QStringLiteral("Thermivo"));
    p.setPen(QColor(250, 253, 255));
    p.drawText(QPointF(997, 72), QStringLiteral("Thermivo"));
    return img;
}

QImage renderAppIcon(int size) {
    QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 64.0, size / 64.0);
    QLinearGradient tile(0, 0, 64, 64);
    tile.setColorAt(0, QColor(22, 78, 140));
    tile.setColorAt(1, QColor(8, 28, 66));
    p.setPen(Qt::NoPen);
    p.setBrush(tile);
    p.drawRoundedRect(QRectF(2, 2, 60, 60), 12, 12);
    drawSnowflake(p, QPointF(42, 22), 13, QColor(200, 235, 255), 2.6);
    drawThermometer(p, QPointF(22, 48), 36, 9);
    return img;
}

QIcon appIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) icon.addPixmap(QPixmap::fromImage(renderAppIcon(size)));
    return icon;
}

int indicatorBars(int batteryPercent) {
    if (batteryPercent <= 0) return 0;
    return std::min(3, (batteryPercent * 3 + 99) / 100);
}

void drawInstrumentIndicator(QPainter& p, const QRect& area, int kind, int batteryPercent) {
    if (kind != 1 && kind != 3 && kind != 4) {
        p.fillRect(area, QColor(132, 155, 168));
        return;
    }
    p.save();
    p.fillRect(area, QColor(10, 10, 40));
    const double w = area.width();
    const double h = area.height();
    const double u = w / 15.0;
    const double q = h / 4.0;
    p.translate(area.topLeft());

    // Level bars, lowest first, stacked upwards across the full width.
    const QColor barColors[3] = {QColor(250, 80, 0), QColor(150, 150, 0), QColor(150, 200, 0)};
    const int bars = indicatorBars(batteryPercent);
    for (int i = 0; i < bars; ++i) {
        const double bottom = 3 * q - i * q;
        p.fillRect(QRectF(0, bottom - 0.98 * q, w, 0.98 * q), barColors[i]);
    }

    // The instrument in the bottom quarter: its body in thin yellow lines, the USB plug in red.
    p.setRenderHint(QPainter::Antialiasing);
    const double top = 3 * q + q * 0.2;
    const double bottom = h - q * 0.2;
    const double mid = (top + bottom) / 2;
    p.setPen(QPen(QColor(250, 250, 50), 1));
    p.drawLine(QPointF(2 * u, top), QPointF(10 * u, top));
    p.drawLine(QPointF(2 * u, bottom), QPointF(10 * u, bottom));
    p.drawLine(QPointF(2 * u, top), QPointF(2 * u, bottom));
    p.setPen(QPen(QColor(250, 50, 50), 3));
    const QPointF plug[9] = {{10 * u, top},           {10 * u, mid - q * 0.2}, {13 * u, mid - q * 0.2},
                             {13 * u, mid + q * 0.2}, {10 * u, mid + q * 0.2}, {10 * u, bottom},
                             {10 * u, mid + q * 0.2}, {10 * u, mid - q * 0.2}, {10 * u, top}};
    p.drawPolyline(plug, 9);
    // The instrument's display.
    p.drawLine(QPointF(4 * u, mid), QPointF(7 * u, mid));
    p.restore();
}

}  // namespace thermivo
