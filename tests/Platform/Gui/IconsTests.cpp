#include "Platform/Gui/Icons.h"

#include <sys/stat.h>

#include <QElapsedTimer>
#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include "Core/Clean/FileIcons.h"
#include "Support/TestTree.h"

using Platform::IconRef;
namespace Icons = Platform::Icons;
namespace fs = std::filesystem;

namespace {
QImage image(const IconRef& ref) { return Icons::pixmap(ref, 32).toImage(); }
int drawnPixels(const QImage& img) {
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) n += img.pixelColor(x, y).alpha() > 0;
    return n;
}
}  // namespace

TEST(Icons, ResolveThroughTheThemesAndTheDesktopEntries) {
    testtree::TempDir dir;
    const auto r = dir.path();
    fs::create_directories(r / "Folder.d");
    fs::create_directories(r / "Tool.app");
    ::mkfifo((r / "pipe").c_str(), 0600);
    QImage square(16, 16, QImage::Format_ARGB32);
    square.fill(Qt::red);
    square.save(QString::fromStdString((r / "own.png").string()));
    testtree::writeFile(r / "own.desktop", "[Desktop Entry]\nIcon=" + (r / "own.png").string() + "\n");
    testtree::writeFile(r / "themed.desktop", "[Desktop Entry]\nIcon=folder-music\n");
    testtree::writeFile(r / "bare.desktop", "[Desktop Entry]\nName=Bare\n");
    testtree::writeFile(r / "piped.desktop", "[Desktop Entry]\nIcon=" + (r / "pipe").string() + "\n");
    Icons::resetForTesting();

    struct Case {
        const char* name;
        IconRef ref;
        QString firstName;  // what the themes are asked for first
        QString drawn;      // the theme icon that draws it; empty: not a theme icon
    } cases[] = {
        {"a removed folder", IconRef::ofType("folder"), "folder", "folder"},
        {"a removed log by its MIME type", IconRef::ofType("log"), "text-x-log", "text-x-generic"},
        {"an unknown extension is plain data", IconRef::ofType("zq9"), "application-octet-stream", ""},
        {"an existing folder", IconRef::file(r / "Folder.d"), "folder", "folder"},
        {"an existing app bundle", IconRef::file(r / "Tool.app"), "application-x-executable",
         "application-x-executable"},
        {"a FIFO by its kind, never read", IconRef::file(r / "pipe"), "inode-fifo", ""},
        {"a removed file without an extension", IconRef::file(r / "gone"), "folder", "folder"},
        {"an app bundle that is gone", IconRef::file(r / "Gone.app"), "application-x-executable",
         "application-x-executable"},
        {"an app whose entry names an image file", IconRef::application(r / "own.desktop"),
         QString::fromStdString((r / "own.png").string()), ""},
        {"an app whose entry names a FIFO, never read", IconRef::application(r / "piped.desktop"),
         QString::fromStdString((r / "pipe").string()), "application-x-executable"},
        {"an app whose entry names a theme icon", IconRef::application(r / "themed.desktop"), "folder-music",
         "folder-music"},
        {"an app whose entry names no icon", IconRef::application(r / "bare.desktop"), "application-x-executable",
         "application-x-executable"},
        {"an entry file shows as the app it starts", IconRef::file(r / "themed.desktop"), "folder-music",
         "folder-music"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QElapsedTimer timer;
        timer.start();
        EXPECT_EQ(Icons::themeNames(c.ref).value(0), c.firstName);
        const QIcon icon = Icons::icon(c.ref);
        EXPECT_LT(timer.elapsed(), 5000);  // a read of the FIFO would never end; the first case loads the theme
        ASSERT_FALSE(icon.isNull());
        if (!c.drawn.isEmpty()) {
            EXPECT_EQ(icon.name(), c.drawn);
        }
        EXPECT_FALSE(Icons::pixmap(c.ref, 32).isNull());
    }
    const QImage own = image(IconRef::application(r / "own.desktop"));
    EXPECT_EQ(own.pixelColor(own.width() / 2, own.height() / 2), QColor(Qt::red));
}

TEST(Icons, AFileWithoutAnExtensionGetsAFileIconFromItsContent) {
    testtree::TempDir dir;
    const auto r = dir.path();
    testtree::writeFile(r / ".bashrc", "# ~/.bashrc\nexport PATH\n");
    testtree::writeFile(r / "model-blob", std::string("\x7f\x01\x00\xfe\xff\x00binary", 12));
    testtree::writeFile(r / "empty", "");
    Icons::resetForTesting();
    FileIcons::resetForTesting(FileIcons::Places{});
    for (const auto& [name, firstName] : {std::pair{".bashrc", "text-plain"},
                                          {"model-blob", "application-octet-stream"},
                                          {"empty", "application-x-zerosize"}}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(Icons::themeNames(IconRef::file(r / name)).value(0), firstName);
        // The feed's owner too: a file of its own type, never keyed as a folder.
        const auto owner = FileIcons::owner(r / name);
        EXPECT_EQ(owner.key, "type:");
        EXPECT_EQ(owner.icon, IconRef::file(r / name));
    }
    FileIcons::resetForTesting();
}

TEST(Icons, SharedImagesAndOurSymbolsLast) {
    testtree::TempDir dir;
    testtree::writeFile(dir / "a.txt", "a");
    testtree::writeFile(dir / "b.txt", "b");
    ::mkfifo((dir / "pipe").c_str(), 0600);
    QStringList drawn;
    Icons::setSymbolPainter([&](QPainter& p, const QString& name, const QRectF& box) {
        drawn << name;
        p.fillRect(box, Qt::green);
    });

    const auto key = [](const IconRef& ref) { return Icons::icon(ref).cacheKey(); };
    EXPECT_EQ(key(IconRef::file(dir / "a.txt")), key(IconRef::file(dir / "b.txt")));
    EXPECT_EQ(key(IconRef::file(dir / "a.txt")), key(IconRef::ofType("txt")));
    EXPECT_NE(key(IconRef::ofType("txt")), key(IconRef::ofType("folder")));

    // Nothing in the themes: one of our drawings, never an empty image.
    EXPECT_EQ(image(IconRef::symbol("trash")).pixelColor(16, 16), QColor(Qt::green));
    EXPECT_EQ(image(IconRef::file(dir / "pipe")).pixelColor(16, 16), QColor(Qt::green));
    EXPECT_TRUE(drawn.contains("trash"));
    EXPECT_TRUE(drawn.contains("doc.fill"));
    Icons::setSymbolPainter(nullptr);
    EXPECT_GT(drawnPixels(image(IconRef::symbol("trash"))), 20);
}
