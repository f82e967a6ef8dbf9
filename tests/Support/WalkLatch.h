#pragma once
// Holds the size service's walks at their start until a test lets them go, so tests of
// sharing, slots and late results never wait on time.
#include <condition_variable>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace testsupport {
class WalkLatch {
public:
    // The service's walkStarting hook.
    void arrive(const std::string& path) {
        std::unique_lock lock(mutex_);
        started_.push_back(path);
        changed_.notify_all();
        changed_.wait(lock, [&] { return all_ || released_.count(path) > 0; });
    }
    void release(const std::string& path) {
        std::lock_guard lock(mutex_);
        released_.insert(path);
        changed_.notify_all();
    }
    void releaseAll() {
        std::lock_guard lock(mutex_);
        all_ = true;
        changed_.notify_all();
    }
    // Waits until `count` walks have started; returns their paths in starting order.
    std::vector<std::string> started(size_t count) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return started_.size() >= count; });
        return started_;
    }
    size_t startedNow() {
        std::lock_guard lock(mutex_);
        return started_.size();
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::string> started_;
    std::multiset<std::string> released_;
    bool all_ = false;
};
}  // namespace testsupport
