#include "chart/ZoomIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <algorithm>
#include <cmath>

namespace thermivo {

QPixmap magnifierPixmap(int size, bool plus, qreal devicePixelRatio) {
    size = std::max(size, 8);
    const qreal dpr = devicePixelRatio > 0 ? devicePixelRatio : 1.0;
    QPixmap pixmap(static_cast<int>(std::ceil(size * dpr)), static_cast<int>(std::ceil(size * dpr)));
    pixmap.setDevicePixelRatio(dpr);
    pixmap.fill(Qt::transparent);

    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    const QPointF centre(0.41 * s, 0.41 * s);
    const qreal radius = 0.31 * s;

    // Handle first, so the rim covers its upper end.
    const qreal diagonal = std::sqrt(0.5);
    const QPointF handleStart = centre + QPointF(radius * diagonal, radius * diagonal);
    const QPointF handleEnd(0.92 * s, 0.92 * s);
    p.setPen(QPen(QColor(70, 45, 20), 0.17 * s, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(handleStart, handleEnd);
    p.setPen(QPen(QColor(150, 100, 50), 0.07 * s, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(handleStart + QPointF(0.05 * s, 0.05 * s), handleEnd - QPointF(0.02 * s, 0.02 * s));

    // Glass: pale blue with a highlight towards the upper left.
    QRadialGradient glass(centre - QPointF(0.35 * radius, 0.35 * radius), radius * 1.3);
    glass.setColorAt(0.0, QColor(255, 255, 255));
    glass.setColorAt(0.6, QColor(205, 228, 248));
    glass.setColorAt(1.0, QColor(150, 190, 228));
    p.setBrush(glass);
    p.setPen(QPen(QColor(60, 70, 85), 0.08 * s));
    p.drawEllipse(centre, radius, radius);

    // The sign, dark blue for contrast on the pale glass.
    const qreal arm = 0.55 * radius;
    p.setPen(QPen(QColor(40, 60, 140), std::max(1.5, 0.09 * s), Qt::SolidLine, Qt::RoundCap));
    p.drawLine(centre - QPointF(arm, 0), centre + QPointF(arm, 0));
    if (plus) p.drawLine(centre - QPointF(0, arm), centre + QPointF(0, arm));
    p.end();
    return pixmap;
}

}  // namespace thermivo
