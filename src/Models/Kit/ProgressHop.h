#pragma once
#include <QCoreApplication>
#include <QMetaObject>
#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>
#include <mutex>

// Carries a worker's progress to the main thread: the newest value wins, at most
// one delivery is queued at a time, and the worker never waits. Deliveries stop
// once the owner is gone; the worker may keep posting safely after that.
template <class T>
class ProgressHop {
public:
    ProgressHop(QObject* owner, std::function<void(const T&)> deliver)
        : state_(std::make_shared<State>()) {
        state_->owner = owner;
        state_->deliver = std::move(deliver);
    }

    // Any thread.
    void post(const T& value) const {
        bool queue;
        {
            std::lock_guard lock(state_->mutex);
            state_->latest = value;
            queue = !state_->pending;
            state_->pending = true;
        }
        if (!queue) return;
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [state = state_] {
                T value;
                {
                    std::lock_guard lock(state->mutex);
                    state->pending = false;
                    value = state->latest;
                }
                if (state->owner) state->deliver(value);
            },
            Qt::QueuedConnection);
    }

    // A callable for engine APIs that take a progress function.
    std::function<void(T)> poster() const {
        return [hop = *this](T value) { hop.post(value); };
    }

private:
    struct State {
        std::mutex mutex;
        T latest{};
        bool pending = false;
        QPointer<QObject> owner;  // read on the main thread only
        std::function<void(const T&)> deliver;
    };
    std::shared_ptr<State> state_;
};
