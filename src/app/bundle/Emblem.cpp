#include "Emblem.hpp"

#include <QLinearGradient>
#include <QPen>
#include <QRectF>

#include <algorithm>
#include <cmath>

namespace hexora::bundle {

QPolygonF hexagon(QPointF centre, double radius) {
    QPolygonF points;
    for (int corner = 0; corner < 6; ++corner) {
        const double angle = M_PI / 180.0 * (60.0 * corner - 30.0);
        points << QPointF(centre.x() + radius * std::cos(angle), centre.y() + radius * std::sin(angle));
    }
    return points;
}

void drawEmblem(QPainter& painter, QPointF centre, double radius, QColor cutColour) {
    QLinearGradient fill(centre.x(), centre.y() - radius, centre.x(), centre.y() + radius);
    fill.setColorAt(0.0, QColor(110, 200, 255, 230));
    fill.setColorAt(1.0, QColor(40, 90, 190, 230));
    // The rim keeps its 3 points on the 80-point emblem of the background and
    // thins with the emblem, so small icons stay readable.
    painter.setPen(QPen(QColor(200, 235, 255), std::max(1.0, radius * 0.0375)));
    painter.setBrush(fill);
    painter.drawPolygon(hexagon(centre, radius));

    // An "H" cut from two bars and a bridge.
    painter.setPen(Qt::NoPen);
    painter.setBrush(cutColour);
    const double bar = radius * 0.22;
    const double tall = radius * 1.0;
    painter.drawRect(QRectF(centre.x() - radius * 0.45, centre.y() - tall / 2, bar, tall));
    painter.drawRect(QRectF(centre.x() + radius * 0.45 - bar, centre.y() - tall / 2, bar, tall));
    painter.drawRect(QRectF(centre.x() - radius * 0.45, centre.y() - bar / 2, radius * 0.9, bar));
}

}  // namespace hexora::bundle
