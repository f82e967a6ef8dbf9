#include "App/Reopen.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>

namespace {
const QString kService = QStringLiteral("app.quelto.Quelto");
const QString kPath = QStringLiteral("/app/quelto/Quelto");
}  // namespace

ReopenService::ReopenService(std::function<void()> reopen, QObject* parent)
    : QObject(parent), reopen_(std::move(reopen)) {}

void ReopenService::reopen() {
    if (reopen_) reopen_();
}

ReopenService::Role ReopenService::claim() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return Role::alone;
    if (bus.registerService(kService)) {
        bus.registerObject(kPath, this, QDBusConnection::ExportScriptableSlots);
        return Role::first;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("reopen"));
    const QDBusMessage answer = bus.call(call, QDBus::Block, 5000);
    // A name that is taken but does not answer belongs to a stuck process: run on our own.
    return answer.type() == QDBusMessage::ReplyMessage ? Role::forwarded : Role::alone;
}
