#pragma once
#include <QIcon>
#include <QObject>
#include <QRect>
#include <QString>

#include <memory>

class QMenu;
class QSystemTrayIcon;

namespace Platform {

// The application's one button in the desktop's tray. Icon, tool tip and menu
// may be set at any time; a button whose tray is not there yet keeps them and
// shows them once it is. Main thread only.
class StatusButton : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Whether a tray shows the button now: a tray is up and the button has an icon.
    virtual bool isAvailable() const = 0;
    // Trays take square icons only.
    virtual void setIcon(const QIcon& icon) = 0;
    virtual void setToolTip(const QString& text) = 0;
    // The right-click menu; not owned, and it must outlive the button.
    virtual void setMenu(QMenu* menu) = 0;
    // The button's frame on the screen; empty where the tray tells none.
    virtual QRect geometry() const = 0;
    // A short note beside the button (a balloon or a desktop notification), never modal.
    virtual void showMessage(const QString& title, const QString& text) = 0;

signals:
    // A tray began showing the button (or stopped).
    void availableChanged(bool available);
    // A left click. `frame` is the button's frame on the screen, or a small square
    // at the pointer where the tray tells none, so a panel can be placed by it.
    void activated(QRect frame);
};

// The button in the desktop's real tray: a StatusNotifierItem host on the session
// bus or an XEmbed tray on the X server. Qt decides once per process which kind of
// tray it talks to, at its first tray call, and never shows an icon made while no
// tray was there; so this one makes its tray icon only once a tray is up, watching
// for either kind to start as long as none is.
class TrayStatusButton : public StatusButton {
    Q_OBJECT
public:
    explicit TrayStatusButton(QObject* parent = nullptr);
    ~TrayStatusButton() override;

    bool isAvailable() const override;
    void setIcon(const QIcon& icon) override;
    void setToolTip(const QString& text) override;
    void setMenu(QMenu* menu) override;
    QRect geometry() const override;
    void showMessage(const QString& title, const QString& text) override;

private slots:
    void hostRegistered();

private:
    class XEmbedWatch;
    void lookForTray();
    bool notifierHostIsUp() const;
    void makeTrayIcon(bool viaNotifierHost);
    void showOnceItHasAnIcon();

    QIcon icon_;
    QString toolTip_;
    QMenu* menu_ = nullptr;
    QSystemTrayIcon* tray_ = nullptr;
    bool viaNotifierHost_ = false;
    std::unique_ptr<XEmbedWatch> xembed_;
    QObject* busWatch_ = nullptr;
};

}  // namespace Platform
