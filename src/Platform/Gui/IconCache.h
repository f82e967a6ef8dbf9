#pragma once
#include <QPixmap>

class QPainter;
class QRectF;

#include <filesystem>

// The one store of file icons for rows that list files or apps: a path's icon is
// looked up once and kept, up to 2,000 of them, by the exact bytes of the path
// (two spellings of one file are two entries). Main thread only.
namespace IconCache {
// The item's icon at 32 by 32 points; never null, also for a path that is gone.
QPixmap icon(const std::filesystem::path& url);
// Draws that icon smoothly scaled into `square`, as a row shows it.
void draw(QPainter& painter, const QRectF& square, const std::filesystem::path& url);
}  // namespace IconCache
