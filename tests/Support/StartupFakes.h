#pragma once
// Startup services whose answers the test gives by hand, in the order it chooses.
#include <QFuture>
#include <QPromise>

#include <memory>
#include <utility>
#include <vector>

#include "Models/Apps/StartupModel.h"

namespace startupfake {
using StartupItems::Item;
using StartupItems::Scope;

// Calls of one service, each answered when the test finishes it.
template <class T>
struct Pending {
    std::vector<std::shared_ptr<QPromise<T>>> promises;
    Pending() = default;
    Pending(const Pending&) = delete;
    // A call left unanswered gets an empty answer: an awaiter never wakes to a
    // cancelled future without a value.
    ~Pending() {
        for (auto& p : promises)
            if (!p->future().isFinished()) {
                p->addResult(T{});
                p->finish();
            }
    }
    QFuture<T> next() {
        auto p = std::make_shared<QPromise<T>>();
        p->start();
        promises.push_back(p);
        return p->future();
    }
    size_t count() const { return promises.size(); }
    void finish(size_t call, T value) {
        promises.at(call)->addResult(std::move(value));
        promises.at(call)->finish();
    }
};

struct Services {
    Pending<std::vector<Item>> loads;
    Pending<LoginItems::Listing<LoginItems::OpenAtLogin>> logins;
    Pending<LoginItems::Listing<LoginItems::Background>> backgrounds;
    Pending<StartupItems::Outcome> switches;
    std::vector<std::pair<Item, bool>> switched;  // what each switch asked for
    Pending<bool> removals;
    Pending<bool> loginRemovals;
    std::vector<std::string> loginRemoved;

    StartupModel::Services make() {
        return {
            [this] { return loads.next(); },
            [this] { return logins.next(); },
            [this] { return backgrounds.next(); },
            [this](Item item, bool on) {
                switched.emplace_back(std::move(item), on);
                return switches.next();
            },
            [this](Item) { return removals.next(); },
            [this](std::string name) {
                loginRemoved.push_back(std::move(name));
                return loginRemovals.next();
            },
        };
    }
};

inline Item job(const std::string& name, Scope scope, bool enabled, bool running = false,
                std::optional<std::filesystem::path> app = std::nullopt) {
    return {"/fixture/" + name + ".plist", name, "/usr/libexec/" + name, scope, enabled, running, std::move(app)};
}
}  // namespace startupfake
