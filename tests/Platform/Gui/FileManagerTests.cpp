#include <gtest/gtest.h>

#include <QClipboard>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QGuiApplication>
#include <QMimeData>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <sys/stat.h>

#include <fstream>

#include "Platform/Gui/FileManager.h"
#include "Platform/Gui/Pasteboard.h"
#include "Platform/Programs.h"

namespace fs = std::filesystem;
using Platform::FileManager::RevealRoute;

namespace {
// A name that is not UTF-8 and looks like markup.
const std::string hostile = "a\xff<b>x<i>";

QByteArray bytesOf(const fs::path& p) { return QByteArray(p.c_str(), qsizetype(p.native().size())); }

// The exact path bytes a file:// URI stands for.
QByteArray decoded(const QString& uri) {
    EXPECT_TRUE(uri.startsWith("file://")) << uri.toStdString();
    return QByteArray::fromPercentEncoding(uri.mid(7).toLatin1());
}

// A session bus of our own, with a file manager that records what it is shown.
class PrivateBus {
public:
    class FakeFileManager : public QDBusVirtualObject {
    public:
        std::vector<QStringList> shown;
        QString introspect(const QString&) const override { return {}; }
        bool handleMessage(const QDBusMessage& m, const QDBusConnection& c) override {
            if (m.interface() != "org.freedesktop.FileManager1" || m.member() != "ShowItems") return false;
            shown.push_back(m.arguments().value(0).toStringList());
            c.send(m.createReply());
            return true;
        }
    };

    explicit PrivateBus(bool withFileManager) {
        const QString config = dir_.filePath("bus.conf");
        std::ofstream(config.toStdString())
            << "<busconfig><type>session</type><listen>unix:tmpdir=" << dir_.path().toStdString()
            << "</listen><policy context=\"default\"><allow send_destination=\"*\"/><allow own=\"*\"/>"
               "<allow receive_sender=\"*\"/></policy></busconfig>";
        daemon_.start("dbus-daemon", {"--nofork", "--print-address=1", "--config-file=" + config});
        daemon_.waitForReadyRead(10000);
        const QString address = QString::fromLatin1(daemon_.readLine()).trimmed();
        client_ = QDBusConnection::connectToBus(address, "reveal-client");
        if (withFileManager) {
            server_ = QDBusConnection::connectToBus(address, "reveal-server");
            server_->registerService("org.freedesktop.FileManager1");
            server_->registerVirtualObject("/org/freedesktop/FileManager1", &fileManager);
        }
        Platform::FileManager::setBusForTesting("reveal-client");
    }
    ~PrivateBus() {
        Platform::FileManager::setBusForTesting({});
        QDBusConnection::disconnectFromBus("reveal-client");
        if (server_) QDBusConnection::disconnectFromBus("reveal-server");
        daemon_.kill();
        daemon_.waitForFinished();
    }
    bool connected() const { return client_ && client_->isConnected(); }
    FakeFileManager fileManager;

private:
    QTemporaryDir dir_;
    QProcess daemon_;
    std::optional<QDBusConnection> client_, server_;
};

RevealRoute reveal(const fs::path& item) {
    std::optional<RevealRoute> route;
    Platform::FileManager::reveal(item, [&](RevealRoute r) { route = r; });
    EXPECT_TRUE(QTest::qWaitFor([&] { return route.has_value(); }, 15000));
    return route.value_or(RevealRoute::failed);
}
}  // namespace

TEST(FileManager, UriCarriesEveryByteOfThePath) {
    const fs::path p = "/home/u/" + hostile + " 100%.txt";
    const QString uri = Platform::FileManager::fileUri(p);
    EXPECT_EQ(uri, "file:///home/u/a%FF%3Cb%3Ex%3Ci%3E%20100%25.txt");
    EXPECT_EQ(decoded(uri), bytesOf(p));
}

TEST(FileManager, RevealShowsTheItemThroughTheFileManagerService) {
    PrivateBus bus(true);
    ASSERT_TRUE(bus.connected());
    const fs::path item = "/tmp/" + hostile;
    EXPECT_EQ(reveal(item), RevealRoute::fileManager);
    ASSERT_EQ(bus.fileManager.shown.size(), 1u);
    ASSERT_EQ(bus.fileManager.shown[0].size(), 1);
    EXPECT_EQ(decoded(bus.fileManager.shown[0][0]), bytesOf(item));
}

TEST(FileManager, WithoutAFileManagerTheParentFolderIsOpened) {
    PrivateBus bus(false);
    ASSERT_TRUE(bus.connected());
    QTemporaryDir dir;
    const QString script = dir.filePath("xdg-open"), out = dir.filePath("opened");
    std::ofstream(script.toStdString()) << "#!/bin/sh\nprintf '%s' \"$1\" > '" << out.toStdString() << ".part'\nmv '"
                                        << out.toStdString() << ".part' '" << out.toStdString() << "'\n";
    ::chmod(script.toLocal8Bit().constData(), 0755);
    Platform::Programs::setPathForTesting(Platform::Program::xdgOpen, script.toStdString());
    const fs::path item = fs::path("/tmp") / hostile / "inner";
    EXPECT_EQ(reveal(item), RevealRoute::parentFolder);
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(out); }, 15000));
    QFile f(out);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(decoded(QString::fromLatin1(f.readAll())), bytesOf(item.parent_path()));
    Platform::Programs::setPathForTesting(Platform::Program::xdgOpen, "");
}

TEST(Pasteboard, CopyPathReplacesTheClipboardWithTheExactBytes) {
    QGuiApplication::clipboard()->setText("before");
    auto* html = new QMimeData;
    html->setHtml("<b>old</b>");
    QGuiApplication::clipboard()->setMimeData(html);
    const fs::path item = "/home/u/" + hostile;
    Platform::Pasteboard::copyPath(item);
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(data, nullptr);
    EXPECT_FALSE(data->hasHtml());
    EXPECT_EQ(data->data("text/plain"), bytesOf(item));
    const QList<QByteArray> uris = data->data("text/uri-list").split('\n');
    EXPECT_EQ(decoded(QString::fromLatin1(uris.value(0).trimmed())), bytesOf(item));
}
