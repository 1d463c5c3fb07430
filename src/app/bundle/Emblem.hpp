#pragma once
// The product's emblem, for the pictures the build draws into the bundle's
// Resources (the window's background, the application icon): a hexagon in a
// sky-blue gradient with a light rim and an "H" cut from it. Our own drawing,
// made from code.
//
// Thread: the thread that owns the painter.
#include <QColor>
#include <QPainter>
#include <QPointF>
#include <QPolygonF>

namespace hexora::bundle {

/// A hexagon with corners at `radius` from `centre`, one at the top and one at the bottom.
QPolygonF hexagon(QPointF centre, double radius);

/// Draws the emblem around `centre`, `radius` from the centre to a corner;
/// the "H" is filled with `cutColour` (the colour behind the emblem).
void drawEmblem(QPainter& painter, QPointF centre, double radius, QColor cutColour);

}  // namespace hexora::bundle
