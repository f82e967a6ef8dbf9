#pragma once
#include <QImage>
#include <QString>

// Our own images that ship inside the program, by name ("BlackHoleArt").
// A name with no image gives a null image. Main thread only.
QImage bundleImage(const QString& name);
// The resource path of one of those files by its file name ("MenuBarHole.svg").
QString bundleFile(const QString& fileName);
