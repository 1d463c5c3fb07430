// Draws the launcher's application icon at build time: the product's emblem
// on a rounded night-blue tile, on a transparent square. Our own drawing,
// made from code, like the window's background.
//
// Usage: hexora_app_icon <output.png> [size]
#include "Emblem.hpp"

#include <QColor>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPointF>
#include <QRectF>
#include <QString>

#include <cstdio>
#include <cstdlib>

namespace {

void drawTile(QPainter& painter, double size) {
    const QRectF tile(size * 0.04, size * 0.04, size * 0.92, size * 0.92);
    QLinearGradient sky(0, tile.top(), 0, tile.bottom());
    sky.setColorAt(0.0, QColor(20, 34, 66));
    sky.setColorAt(1.0, QColor(8, 10, 20));
    painter.setPen(Qt::NoPen);
    painter.setBrush(sky);
    painter.drawRoundedRect(tile, size * 0.18, size * 0.18);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: %s <output.png> [size]\n", argv[0]);
        return 2;
    }
    const int size = argc == 3 ? std::atoi(argv[2]) : 256;
    if (size <= 0) {
        std::fprintf(stderr, "bad size\n");
        return 2;
    }
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    drawTile(painter, size);
    hexora::bundle::drawEmblem(painter, QPointF(size / 2.0, size / 2.0), size * 0.36, QColor(12, 18, 38));
    painter.end();
    if (!image.save(QString::fromLocal8Bit(argv[1]), "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
