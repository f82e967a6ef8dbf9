#pragma once
#include <QPainterPath>
#include <QRectF>

// A four-pointed star whose thin points touch the middles of the rectangle's
// edges; its sides curve deeply inwards.
struct Sparkle {
    static QPainterPath path(const QRectF& rect);
};
