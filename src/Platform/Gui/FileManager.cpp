#include "Platform/Gui/FileManager.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>

#include "Platform/Workspace.h"

namespace Platform::FileManager {

namespace {
QString& testBus() {
    static QString name;
    return name;
}

QDBusConnection bus() { return testBus().isEmpty() ? QDBusConnection::sessionBus() : QDBusConnection(testBus()); }

void openParent(const std::filesystem::path& item, const std::function<void(RevealRoute)>& done) {
    const bool started = open(item.has_relative_path() ? item.parent_path() : item);
    if (done) done(started ? RevealRoute::parentFolder : RevealRoute::failed);
}
}  // namespace

bool open(const std::filesystem::path& folder) {
    // A URI keeps the folder's bytes exact; the opener hands it to the file manager.
    return Workspace::open(fileUri(folder).toStdString());
}

QString fileUri(const std::filesystem::path& path) {
    const QByteArray bytes(path.c_str(), qsizetype(path.native().size()));
    return QStringLiteral("file://") + QString::fromLatin1(bytes.toPercentEncoding("/"));
}

void reveal(const std::filesystem::path& item, std::function<void(RevealRoute)> done) {
    QDBusConnection connection = bus();
    if (!connection.isConnected()) {
        openParent(item, done);
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << QStringList{fileUri(item)} << QString();
    // A file manager started on demand may take a while; the window never waits.
    auto* watcher = new QDBusPendingCallWatcher(connection.asyncCall(call, 10000), QCoreApplication::instance());
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher, [watcher, item, done = std::move(done)] {
        watcher->deleteLater();
        if (watcher->isError()) openParent(item, done);
        else if (done) done(RevealRoute::fileManager);
    });
}

void setBusForTesting(const QString& connectionName) { testBus() = connectionName; }

}  // namespace Platform::FileManager
