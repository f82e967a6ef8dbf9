#include <gtest/gtest.h>

#include <sys/stat.h>

#include "Platform/Gui/IconCache.h"
#include "Support/TestTree.h"

namespace fs = std::filesystem;

TEST(IconCache, EveryPathGetsAThirtyTwoPointImageAndKeepsIt) {
    testtree::TempDir dir;
    testtree::writeFile(dir / "report.pdf", "x");
    fs::create_directory(dir / "folder");
    ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
    // Names that differ only in bytes that are not UTF-8 are separate entries.
    for (const fs::path& p : {dir / "report.pdf", dir / "folder", dir / "pipe", dir / "gone.zip", dir / "a\xff",
                              dir / "a\xfe", dir / "folder/../report.pdf"}) {
        const QPixmap first = IconCache::icon(p);
        EXPECT_FALSE(first.isNull()) << p;
        EXPECT_EQ(first.deviceIndependentSize().toSize(), QSize(32, 32)) << p;
        EXPECT_EQ(IconCache::icon(p).cacheKey(), first.cacheKey()) << p;
    }
}
