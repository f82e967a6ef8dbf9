#pragma once
#include <QAbstractNativeEventFilter>
#include <QObject>
#include <QPointer>
#include <QWidget>

#include <cstdint>

// Tells when a window is fully covered by other windows. The toolkit reports a
// covered window as still exposed, so it would keep drawing unseen; on X11 the
// server tells us instead (visibility notifications, which we ask it for). Where
// nothing reports it, a window counts as uncovered.
class WindowOcclusion : public QObject, public QAbstractNativeEventFilter {
    Q_OBJECT
public:
    explicit WindowOcclusion(QWidget* window);

    bool isCovered() const { return covered_; }
    // Asks the server to report the window's visibility from now on; call it once
    // the window has its native counterpart (it may get a new one when reshown).
    void watch();

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

signals:
    void changed();

private:
    QPointer<QWidget> window_;
    uint32_t watched_ = 0;  // the native window the reports are about
    bool covered_ = false;
};
