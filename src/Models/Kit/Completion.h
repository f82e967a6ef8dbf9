#pragma once
#include <QCoroTask>
#include <QCoroTimer>
#include <QFuture>
#include <QPromise>

#include <chrono>

#include <functional>
#include <memory>
#include <utility>

// Turns an engine call that answers through a callback, on a thread of its own, into a
// future a coroutine can await on the main thread: `co_await completion<T>(start)`,
// where `start` makes the call with the callback it is given. Engine services never
// block a thread waiting for each other; this keeps it so.
template <class T>
QFuture<T> completion(const std::function<void(std::function<void(T)>)>& start) {
    auto promise = std::make_shared<QPromise<T>>();
    promise->start();
    QFuture<T> future = promise->future();
    start([promise](T value) {
        promise->addResult(std::move(value));
        promise->finish();
    });
    return future;
}

// Awaited after work that may be done already: what follows runs from the event loop,
// never inside the call that started the work, whatever the timing.
inline QCoro::Task<> nextTurn() { return QCoro::sleepFor(std::chrono::milliseconds(0)); }
