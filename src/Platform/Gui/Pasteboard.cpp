#include "Platform/Gui/Pasteboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include "Platform/Gui/FileManager.h"

namespace Platform::Pasteboard {

void copyPath(const std::filesystem::path& item) {
    auto* data = new QMimeData;
    data->setData(QStringLiteral("text/plain"), QByteArray(item.c_str(), qsizetype(item.native().size())));
    data->setData(QStringLiteral("text/uri-list"), FileManager::fileUri(item).toLatin1() + "\r\n");
    QGuiApplication::clipboard()->setMimeData(data);
}

}  // namespace Platform::Pasteboard
