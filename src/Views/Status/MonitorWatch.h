#pragma once
#include <QObject>
#include <QPointer>
#include <QWidget>

class Monitor;

// Counts a view as one watcher of the monitor while it is on screen: the count
// rises once when the view appears and falls once when it goes, whether the view
// is hidden, its window is hidden, minimised or closed, or the view is deleted.
class MonitorWatch : public QObject {
    Q_OBJECT
public:
    // Lives as long as `view`.
    MonitorWatch(QWidget* view, Monitor& monitor);
    ~MonitorWatch() override;
    // Whether the view counts now: it is on screen.
    bool counted() const { return counted_; }

signals:
    void countedChanged(bool counted);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void update();
    QPointer<QWidget> view_;
    QPointer<QWidget> window_;
    QPointer<Monitor> monitor_;
    bool shown_ = false;
    bool counted_ = false;
};
