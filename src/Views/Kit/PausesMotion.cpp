#include "Views/Kit/PausesMotion.h"

#include <QAbstractScrollArea>
#include <QEvent>
#include <QScrollBar>
#include <QTimer>
#include <QWheelEvent>

#include "Models/Kit/MotionPause.h"

namespace {

class ScrollWatcher : public QObject {
public:
    explicit ScrollWatcher(QAbstractScrollArea* area) : QObject(area) {
        // Wheels and touch pads send no "ended" for every device; a short quiet
        // spell counts as the end.
        quiet_.setSingleShot(true);
        quiet_.setInterval(180);
        connect(&quiet_, &QTimer::timeout, this, [] { MotionPause::shared().setScrolling(false); });
        area->viewport()->installEventFilter(this);
        for (QScrollBar* bar : {area->verticalScrollBar(), area->horizontalScrollBar()}) {
            connect(bar, &QAbstractSlider::sliderPressed, this, [this] {
                quiet_.stop();
                MotionPause::shared().setScrolling(true);
            });
            connect(bar, &QAbstractSlider::sliderReleased, this, [] { MotionPause::shared().setScrolling(false); });
        }
    }

protected:
    bool eventFilter(QObject* watched, QEvent* e) override {
        if (e->type() == QEvent::Wheel) {
            const auto* wheel = static_cast<QWheelEvent*>(e);
            if (wheel->phase() == Qt::ScrollEnd) {
                quiet_.stop();
                MotionPause::shared().setScrolling(false);
            } else {
                MotionPause::shared().setScrolling(true);
                quiet_.start();
            }
        }
        return QObject::eventFilter(watched, e);
    }

private:
    QTimer quiet_;
};

}  // namespace

void pausesMotionWhileScrolling(QAbstractScrollArea* area) {
    if (area) new ScrollWatcher(area);
}
