#include "Models/Analyze/FileCount.h"

QString FileCount::format(int64_t n) {
    if (n <= 999) return QString::number(n);
    if (n < 10'000) return QString::asprintf("%.1fk", double(n) / 1000);
    if (n <= 999'999) return QString::asprintf("%.0fk", double(n) / 1000);
    return QString::asprintf("%.1fM", double(n) / 1'000'000);
}
