#include "Platform/Gui/Icons.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCache>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHash>
#include <QImageReader>
#include <QMimeDatabase>
#include <QPainter>


#include "Platform/DesktopEntry.h"
#include "Platform/Locations.h"

namespace Platform::Icons {
namespace {
QString fromBytes(const std::string& s) { return QString::fromLocal8Bit(s.data(), static_cast<qsizetype>(s.size())); }

// Qt looks for themes only where its platform plugin says; offscreen and minimal
// desktops say nothing, so name the freedesktop folders ourselves, and pick a real
// theme when none is set (hicolor alone has no type icons).
void prepareThemes() {
    static bool done = false;
    if (done) return;
    done = true;
    QStringList paths = QIcon::themeSearchPaths();
    QStringList dataDirs{fromBytes(Locations::dataHome().string())};
    for (const auto& dir : Locations::dataDirs()) dataDirs << fromBytes(dir.string());
    for (const QString& dir : dataDirs) {
        const QString icons = dir + QStringLiteral("/icons");
        if (!paths.contains(icons) && QFileInfo(icons).isDir()) paths << icons;
    }
    QIcon::setThemeSearchPaths(paths);
    QStringList fallback = QIcon::fallbackSearchPaths();
    for (const QString& dir : dataDirs)
        if (QFileInfo(dir + QStringLiteral("/pixmaps")).isDir()) fallback << dir + QStringLiteral("/pixmaps");
    QIcon::setFallbackSearchPaths(fallback);
    QIcon::setFallbackThemeName(QStringLiteral("hicolor"));
    const QString current = QIcon::themeName();
    if (current.isEmpty() || current == QStringLiteral("hicolor")) {
        for (const QString& path : paths)
            if (QFileInfo::exists(path + QStringLiteral("/Adwaita/index.theme"))) {
                QIcon::setThemeName(QStringLiteral("Adwaita"));
                break;
            }
    }
}

QStringList mimeNames(const QMimeType& mime) {
    QStringList names;
    if (!mime.isValid()) return names;
    names << mime.iconName();
    if (!mime.genericIconName().isEmpty()) names << mime.genericIconName();
    return names;
}

QStringList typeNames(const std::string& type) {
    if (type == "folder") return {QStringLiteral("folder")};
    static QMimeDatabase db;
    const auto matches = db.mimeTypesForFileName(QStringLiteral("x.") + fromBytes(type));
    // A type the database does not know is plain data.
    return mimeNames(matches.isEmpty() ? db.mimeTypeForName(QStringLiteral("application/octet-stream"))
                                       : matches.first());
}

std::string extensionOf(const std::filesystem::path& p) {
    std::string e = p.extension().native();
    if (!e.empty()) e.erase(0, 1);
    for (char& c : e)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return e;
}

QStringList applicationNames(const std::filesystem::path& p);

// A regular file's type by its name, or, where the name does not settle it (no
// extension, or one of several types), by its first bytes as well.
QMimeType contentType(const std::filesystem::path& p) {
    static QMimeDatabase db;
    const QString name = fromBytes(p.filename().native());
    const auto byName = db.mimeTypesForFileName(name);
    if (byName.size() == 1) return byName.first();
    QByteArray head;
    // Never waits: what stands there now may no longer be a regular file.
    const int fd = ::open(p.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    struct ::stat st;
    if (fd >= 0 && ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        head.resize(4096);
        const ssize_t n = ::read(fd, head.data(), size_t(head.size()));
        head.resize(n > 0 ? n : 0);
    }
    if (fd >= 0) ::close(fd);
    return db.mimeTypeForFileNameAndData(name, head);
}

QStringList fileNames(const std::filesystem::path& p) {
    static QMimeDatabase db;
    // The kind of entry; only a regular file is ever read (a FIFO or device could block).
    struct ::stat st;
    if (::lstat(p.c_str(), &st) == 0) {
        // A desktop entry shows as the application it starts, as file managers show it.
        if (S_ISREG(st.st_mode) && extensionOf(p) == "desktop") return applicationNames(p);
        if (S_ISREG(st.st_mode)) return mimeNames(contentType(p));
        if (S_ISDIR(st.st_mode))
            return {extensionOf(p) == "app" ? QStringLiteral("application-x-executable") : QStringLiteral("folder")};
        const char* inode = S_ISFIFO(st.st_mode)   ? "inode/fifo"
                            : S_ISSOCK(st.st_mode) ? "inode/socket"
                            : S_ISCHR(st.st_mode)  ? "inode/chardevice"
                            : S_ISBLK(st.st_mode)  ? "inode/blockdevice"
                                                   : nullptr;
        if (inode) return mimeNames(db.mimeTypeForName(QString::fromLatin1(inode)));
    }
    const std::string ext = extensionOf(p);
    // An app bundle that is gone (or not yet there) still looks like an app.
    if (ext == "app") return {QStringLiteral("application-x-executable")};
    return typeNames(ext.empty() ? std::string("folder") : ext);
}

QStringList applicationNames(const std::filesystem::path& p) {
    QStringList names;
    if (extensionOf(p) == "desktop")
        for (const auto& [key, value] : DesktopEntry::mainGroup(p))
            if (key == "Icon" && !value.empty()) names << fromBytes(value);
    names << QStringLiteral("application-x-executable");
    return names;
}

struct Cache {
    // By reference (its exact bytes), bounded: file references are one per removed item.
    QCache<QByteArray, QIcon> byRef{2000};
    // By what a reference resolves to, so that every reference of one type shares one image.
    QHash<QString, QIcon> byResolution;
    SymbolPainter painter;
};

Cache& cache() {
    static Cache c;
    return c;
}

QIcon symbolIcon(const QString& name) {
    QIcon icon;
    for (int size : {16, 32, 64, 128, 256}) {
        QPixmap pm(size, size);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF box(size * 0.1, size * 0.1, size * 0.8, size * 0.8);
        if (cache().painter) {
            cache().painter(p, name, box);
        } else {
            p.setPen(QPen(QColor(235, 235, 240), std::max(1.0, size / 24.0)));
            p.drawRoundedRect(box, size * 0.15, size * 0.15);
        }
        p.end();
        icon.addPixmap(pm);
    }
    return icon;
}

// The drawing that stands in when no theme has any of the reference's names.
QString fallbackSymbol(const IconRef& ref) {
    switch (ref.kind) {
        case IconRef::Kind::application: return QStringLiteral("app.badge");
        case IconRef::Kind::symbol: return fromBytes(ref.name);
        case IconRef::Kind::file:
        case IconRef::Kind::type: {
            const QString first = themeNames(ref).value(0);
            if (first == QStringLiteral("folder")) return QStringLiteral("folder.fill");
            if (first == QStringLiteral("application-x-executable")) return QStringLiteral("app.badge");
            return QStringLiteral("doc.fill");
        }
    }
    return QStringLiteral("doc.fill");
}

bool isThisApplication(const IconRef& ref) { return ref.kind == IconRef::Kind::application && ref.path.empty(); }

QIcon resolve(const IconRef& ref) {
    if (isThisApplication(ref)) {
        const QIcon own = QGuiApplication::windowIcon();
        if (!own.isNull()) return own;
    }
    prepareThemes();
    const QStringList names = themeNames(ref);
    for (const QString& name : names) {
        if (QDir::isAbsolutePath(name)) {
            // Only a regular file goes to the image reader, which would wait on a fifo.
            struct ::stat st;
            if (::stat(QFile::encodeName(name).constData(), &st) == 0 && S_ISREG(st.st_mode) &&
                QImageReader(name).canRead())
                return QIcon(name);
        } else if (QIcon::hasThemeIcon(name)) {
            return QIcon::fromTheme(name);
        }
    }
    return symbolIcon(fallbackSymbol(ref));
}
}  // namespace

QStringList themeNames(const IconRef& ref) {
    switch (ref.kind) {
        case IconRef::Kind::application: return applicationNames(ref.path);
        case IconRef::Kind::file: return fileNames(ref.path);
        case IconRef::Kind::type: return typeNames(ref.name);
        case IconRef::Kind::symbol: return {};
    }
    return {};
}

QIcon icon(const IconRef& ref) {
    auto& c = cache();
    const QByteArray refKey = QByteArray::fromStdString(ref.key());
    if (const QIcon* hit = c.byRef.object(refKey)) return *hit;
    const QString resolution = ref.kind == IconRef::Kind::symbol ? QStringLiteral("symbol:") + fromBytes(ref.name)
                               : isThisApplication(ref)          ? QStringLiteral("this application")
                                                                 : themeNames(ref).join('\n');
    auto it = c.byResolution.find(resolution);
    if (it == c.byResolution.end()) it = c.byResolution.insert(resolution, resolve(ref));
    c.byRef.insert(refKey, new QIcon(*it));
    return *it;
}

QPixmap pixmap(const IconRef& ref, int size, qreal devicePixelRatio) {
    return icon(ref).pixmap(QSize(size, size), devicePixelRatio);
}

void setSymbolPainter(SymbolPainter painter) {
    cache().painter = std::move(painter);
    cache().byRef.clear();
    cache().byResolution.clear();
}

void resetForTesting() {
    cache().byRef.clear();
    cache().byResolution.clear();
}
}  // namespace Platform::Icons
