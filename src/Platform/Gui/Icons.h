#pragma once
#include <QIcon>
#include <QPixmap>
#include <QStringList>

#include <functional>

#include "Platform/IconRef.h"

class QPainter;
class QRectF;

// Turns icon references into images: an application's icon from its desktop
// entry, a type's from the shared MIME database and the installed icon themes, and
// our own symbol drawings when the themes have nothing. Never a null icon. Main
// thread only.
namespace Platform::Icons {
// Equal references, and references that resolve to the same theme icon, give the
// same QIcon (equal cache keys).
QIcon icon(const IconRef& ref);
QPixmap pixmap(const IconRef& ref, int size, qreal devicePixelRatio = 1.0);

// The theme names (or absolute image files) tried for a reference, in order.
QStringList themeNames(const IconRef& ref);

// Draws one of our symbol drawings filling the box; the views install it. Until
// then a plain rounded tile stands in.
using SymbolPainter = std::function<void(QPainter&, const QString& name, const QRectF& box)>;
void setSymbolPainter(SymbolPainter painter);

// Tests: forgets every resolved icon.
void resetForTesting();
}  // namespace Platform::Icons
