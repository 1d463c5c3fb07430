// Draws the launcher window's background image at build time: a night-blue
// gradient with a faint honeycomb and a glowing hexagon emblem. Our own
// drawing, made from code, so the bundle carries no picture from elsewhere.
//
// Usage: hexora_background_image <output.png> [width height]
#include "Emblem.hpp"

#include <QColor>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPen>
#include <QPointF>
#include <QPolygonF>
#include <QRadialGradient>
#include <QString>

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

using hexora::bundle::hexagon;

void drawSky(QPainter& painter, int width, int height) {
    QLinearGradient sky(0, 0, 0, height);
    sky.setColorAt(0.0, QColor(12, 18, 38));
    sky.setColorAt(0.55, QColor(20, 34, 66));
    sky.setColorAt(1.0, QColor(8, 10, 20));
    painter.fillRect(0, 0, width, height, sky);

    QRadialGradient glow(QPointF(width / 2.0, height * 0.36), width * 0.45);
    glow.setColorAt(0.0, QColor(70, 140, 220, 120));
    glow.setColorAt(1.0, QColor(70, 140, 220, 0));
    painter.fillRect(0, 0, width, height, glow);
}

void drawHoneycomb(QPainter& painter, int width, int height) {
    const double radius = 22.0;
    const double stepX = std::sqrt(3.0) * radius;
    const double stepY = 1.5 * radius;
    int row = 0;
    for (double y = 0; y < height + radius; y += stepY, ++row) {
        const double shift = (row % 2) ? stepX / 2.0 : 0.0;
        for (double x = -stepX; x < width + stepX; x += stepX) {
            // Fainter towards the bottom, where the message line sits.
            const int alpha = static_cast<int>(38.0 * (1.0 - y / (height + radius)));
            painter.setPen(QPen(QColor(120, 180, 255, std::max(alpha, 6)), 1.0));
            painter.drawPolygon(hexagon(QPointF(x + shift, y), radius - 1.5));
        }
    }
}

void drawEmblem(QPainter& painter, int width, int height) {
    hexora::bundle::drawEmblem(painter, QPointF(width / 2.0, height * 0.36), height * 0.2, QColor(12, 18, 38));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2 && argc != 4) {
        std::fprintf(stderr, "usage: %s <output.png> [width height]\n", argv[0]);
        return 2;
    }
    const int width = argc == 4 ? std::atoi(argv[2]) : 640;
    const int height = argc == 4 ? std::atoi(argv[3]) : 400;
    if (width <= 0 || height <= 0) {
        std::fprintf(stderr, "bad size\n");
        return 2;
    }
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    drawSky(painter, width, height);
    drawHoneycomb(painter, width, height);
    drawEmblem(painter, width, height);
    painter.end();
    if (!image.save(QString::fromLocal8Bit(argv[1]), "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
