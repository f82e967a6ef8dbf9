#pragma once
#include <QRectF>

#include <functional>

class QPainter;

// Runs `draw` once for each band of a few dozen device rows across `area` (in the
// painter's coordinates), clipped to that band (and to the painter's own clip).
// The raster engine hands a fill of more than about a hundred rows to its thread
// pool; for the mid-sized layers that animate many times a second, waking the
// pool costs more processor time than it saves.
void paintInBands(QPainter& painter, const QRectF& area, const std::function<void()>& draw);
