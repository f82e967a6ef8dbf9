#include "Platform/Gui/StatusButton.h"

#include <QAbstractNativeEventFilter>
#include <QCursor>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QGuiApplication>
#include <QMenu>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QToolTip>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>

namespace Platform {

namespace {
const QString kWatcher = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString kWatcherPath = QStringLiteral("/StatusNotifierWatcher");

xcb_atom_t internAtom(xcb_connection_t* c, const std::string& name) {
    xcb_intern_atom_reply_t* r = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, name.size(), name.c_str()), nullptr);
    const xcb_atom_t atom = r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(r);
    return atom;
}
}  // namespace

// The XEmbed tray of our screen: whether one runs, and word when one starts (a
// tray announces itself with a MANAGER message to the root window, which Qt
// already listens to).
class TrayStatusButton::XEmbedWatch : public QAbstractNativeEventFilter {
public:
    XEmbedWatch(xcb_connection_t* c, std::function<void()> started) : c_(c), started_(std::move(started)) {
        int screen = 0;
        char* host = nullptr;
        int display = 0;
        if (xcb_parse_display(nullptr, &host, &display, &screen) == 0) screen = 0;
        std::free(host);
        selection_ = internAtom(c_, "_NET_SYSTEM_TRAY_S" + std::to_string(screen));
        manager_ = internAtom(c_, "MANAGER");
        QCoreApplication::instance()->installNativeEventFilter(this);
    }
    ~XEmbedWatch() override {
        if (QCoreApplication* app = QCoreApplication::instance()) app->removeNativeEventFilter(this);
    }

    bool trayIsUp() const {
        if (selection_ == XCB_ATOM_NONE) return false;
        xcb_get_selection_owner_reply_t* r =
            xcb_get_selection_owner_reply(c_, xcb_get_selection_owner(c_, selection_), nullptr);
        const bool up = r && r->owner != XCB_NONE;
        std::free(r);
        return up;
    }

    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
        if (type != "xcb_generic_event_t") return false;
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        if ((event->response_type & 0x7f) != XCB_CLIENT_MESSAGE) return false;
        const auto* m = static_cast<const xcb_client_message_event_t*>(message);
        if (m->type == manager_ && m->format == 32 && m->data.data32[1] == selection_) {
            // Leave the filter before acting: acting may delete this watch.
            QMetaObject::invokeMethod(QCoreApplication::instance(), started_, Qt::QueuedConnection);
        }
        return false;
    }

private:
    xcb_connection_t* c_;
    std::function<void()> started_;
    xcb_atom_t selection_ = XCB_ATOM_NONE;
    xcb_atom_t manager_ = XCB_ATOM_NONE;
};

TrayStatusButton::TrayStatusButton(QObject* parent) : StatusButton(parent) {
    QPointer<TrayStatusButton> self(this);
    const auto look = [self] {
        if (self) self->lookForTray();
    };
    if (auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>()) {
        if (xcb_connection_t* c = x11->connection()) xembed_ = std::make_unique<XEmbedWatch>(c, look);
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected()) {
        auto* watch = new QDBusServiceWatcher(kWatcher, bus, QDBusServiceWatcher::WatchForRegistration, this);
        connect(watch, &QDBusServiceWatcher::serviceRegistered, this, look);
        // A watcher can come up before any host has registered with it.
        bus.connect(kWatcher, kWatcherPath, kWatcher, QStringLiteral("StatusNotifierHostRegistered"), this,
                    SLOT(hostRegistered()));
        busWatch_ = watch;
    }
    lookForTray();
}

TrayStatusButton::~TrayStatusButton() = default;

void TrayStatusButton::hostRegistered() { lookForTray(); }

bool TrayStatusButton::notifierHostIsUp() const {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface()->isServiceRegistered(kWatcher)) return false;
    QDBusMessage get = QDBusMessage::createMethodCall(kWatcher, kWatcherPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                                      QStringLiteral("Get"));
    get << kWatcher << QStringLiteral("IsStatusNotifierHostRegistered");
    const QDBusMessage answer = bus.call(get, QDBus::Block, 2000);
    if (answer.type() != QDBusMessage::ReplyMessage || answer.arguments().isEmpty()) return false;
    return answer.arguments().first().value<QDBusVariant>().variant().toBool();
}

void TrayStatusButton::lookForTray() {
    if (tray_) return;
    // Asked once: Qt takes the notifier host whenever one is up, whatever else is.
    const bool notifierHost = notifierHostIsUp();
    if (notifierHost || (xembed_ && xembed_->trayIsUp())) makeTrayIcon(notifierHost);
}

void TrayStatusButton::makeTrayIcon(bool viaNotifierHost) {
    xembed_.reset();
    if (busWatch_) {
        QDBusConnection::sessionBus().disconnect(kWatcher, kWatcherPath, kWatcher,
                                                 QStringLiteral("StatusNotifierHostRegistered"), this,
                                                 SLOT(hostRegistered()));
        busWatch_->deleteLater();
        busWatch_ = nullptr;
    }
    viaNotifierHost_ = viaNotifierHost;
    tray_ = new QSystemTrayIcon(icon_, this);
    tray_->setToolTip(toolTip_);
    if (menu_) tray_->setContextMenu(menu_);
    connect(tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        // A double click also delivers its first click as a trigger.
        if (reason != QSystemTrayIcon::Trigger) return;
        QRect frame = geometry();
        if (frame.isEmpty()) frame = QRect(QCursor::pos() - QPoint(11, 11), QSize(22, 22));
        emit activated(frame);
    });
    showOnceItHasAnIcon();
}

void TrayStatusButton::showOnceItHasAnIcon() {
    // A tray icon without one only earns a warning, and shows nothing: until then no
    // tray shows us.
    if (!tray_ || icon_.isNull() || tray_->isVisible()) return;
    tray_->show();
    emit availableChanged(true);
}

bool TrayStatusButton::isAvailable() const {
    return tray_ && tray_->isVisible() && QSystemTrayIcon::isSystemTrayAvailable();
}

void TrayStatusButton::setIcon(const QIcon& icon) {
    icon_ = icon;
    if (!tray_) return;
    tray_->setIcon(icon);
    showOnceItHasAnIcon();
}

void TrayStatusButton::setToolTip(const QString& text) {
    if (text == toolTip_) return;
    toolTip_ = text;
    if (tray_) tray_->setToolTip(text);
}

void TrayStatusButton::setMenu(QMenu* menu) {
    menu_ = menu;
    if (tray_) tray_->setContextMenu(menu);
}

QRect TrayStatusButton::geometry() const { return tray_ ? tray_->geometry() : QRect(); }

void TrayStatusButton::showMessage(const QString& title, const QString& text) {
    if (!tray_) return;
    // A notifier host shows the note through the desktop's notification service;
    // without one it would vanish, so it shows as a tool tip where the user clicked.
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (viaNotifierHost_ && !bus.interface()->isServiceRegistered(QStringLiteral("org.freedesktop.Notifications")))
        QToolTip::showText(QCursor::pos(), title + QLatin1Char('\n') + text);
    else
        tray_->showMessage(title, text, QSystemTrayIcon::Information, 8000);
}

}  // namespace Platform
