#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include "QtCanvas.h"

using namespace thermivo;

TEST(QtCanvas, RectangleOutlinesInsideItsBoundsAndFillsWithTheBrush) {
    QImage image(20, 20, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        QtCanvas canvas(painter, 96, 96);
        canvas.setPen(Pen{PenStyle::Solid, 1, {0, 0, 0}});
        canvas.setBrush(Brush{false, {200, 200, 0}});
        canvas.rectangle({2, 2, 12, 12});
    }
    EXPECT_EQ(image.pixelColor(2, 2), QColor(0, 0, 0));
    EXPECT_EQ(image.pixelColor(11, 11), QColor(0, 0, 0));
    EXPECT_EQ(image.pixelColor(12, 12), QColor(255, 255, 255));  // right/bottom edges excluded
    EXPECT_EQ(image.pixelColor(6, 6), QColor(200, 200, 0));
}

TEST(QtCanvas, OpaqueTextPaintsItsBackgroundAndNegativeHeightIsPixelSize) {
    QImage image(200, 40, QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter painter(&image);
    QtCanvas canvas(painter, 96, 96);
    canvas.setFont(Font{"Arial", -16, 400});
    EXPECT_EQ(QtCanvas::toQFont(Font{"Arial", -16, 400}).pixelSize(), 16);
    const Size extent = canvas.textExtent("25.50");
    EXPECT_GT(extent.width, 10);
    EXPECT_GE(extent.height, 16);
    canvas.setBackgroundColor({200, 150, 20});
    canvas.setTextColor({0, 0, 0});
    canvas.textOut(5, 5, "25.50");
    painter.end();
    // The box corner lies outside every glyph, so it shows the background colour.
    EXPECT_EQ(image.pixelColor(5, 5), QColor(200, 150, 20));
    EXPECT_EQ(image.pixelColor(5 + extent.width + 2, 5), QColor(0, 0, 0));
}
