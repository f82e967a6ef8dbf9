#pragma once
#include <QMetaObject>
#include <QObject>

#include <functional>
#include <utility>

// An action that runs once on the event loop's next turn however often it is asked
// for before then: the dozen changes of one monitor tick make one refresh. A member
// of `context`, whose thread it runs on; a call still pending when it goes is dropped.
class CoalescedCall {
public:
    CoalescedCall(QObject* context, std::function<void()> action) : context_(context), action_(std::move(action)) {}
    void request() {
        if (pending_) return;
        pending_ = true;
        QMetaObject::invokeMethod(
            context_,
            [this] {
                pending_ = false;
                action_();
            },
            Qt::QueuedConnection);
    }
    bool pending() const { return pending_; }

private:
    QObject* context_;
    std::function<void()> action_;
    bool pending_ = false;
};
