#pragma once
#include <QImage>
#include <QString>

// Our own images that ship inside the program, by name ("BlackHoleArt").
// A name with no image gives a null image. Main thread only.
QImage bundleImage(const QString& name);
