#pragma once
// The Apps tab's services with answers the test gives by hand, in the order it chooses.
#include <QCoreApplication>
#include <QPromise>

#include <deque>

#include "Models/Apps/StartupModel.h"
#include "Models/Apps/UpdatesModel.h"

namespace appsfake {
// Lets finished answers reach the model.
inline void settle() { for (int i = 0; i < 5; ++i) QCoreApplication::processEvents(); }

// The calls of one service, each answered when the test finishes it; an unanswered
// call gets an empty answer at the end, as an awaiter never wakes to a future without one.
template <class T>
struct Pending {
    std::deque<QPromise<T>> calls;
    ~Pending() {
        for (size_t i = 0; i < calls.size(); ++i)
            if (!calls[i].future().isFinished()) finish(i, T{});
    }
    QFuture<T> next() {
        calls.emplace_back().start();
        return calls.back().future();
    }
    void finish(size_t call, T value) {
        calls.at(call).addResult(std::move(value));
        calls.at(call).finish();
        settle();
    }
    void finishLast(T value) { finish(calls.size() - 1, std::move(value)); }
};

// ---- Startup

using StartupItems::Item;
using StartupItems::Scope;

struct FakeStartup {
    Pending<std::vector<Item>> loads;
    Pending<LoginItems::Listing<LoginItems::OpenAtLogin>> logins;
    Pending<LoginItems::Listing<LoginItems::Background>> backgrounds;
    Pending<StartupItems::Outcome> switches;
    std::vector<bool> switchedTo;  // what each switch asked for
    StartupModel model{{[this] { return loads.next(); }, [this] { return logins.next(); }, [this] { return backgrounds.next(); },
                        [this](Item, bool on) {
                            switchedTo.push_back(on);
                            return switches.next();
                        },
                        [](Item) { return QtFuture::makeReadyFuture(true); },
                        [](std::string) { return QtFuture::makeReadyFuture(true); }}};
    // Answers the running load (else a new one) with these lists.
    void loaded(std::vector<Item> jobs, std::vector<LoginItems::OpenAtLogin> logins_ = {}) {
        model.load();
        loads.finishLast(std::move(jobs));
        logins.finishLast({std::move(logins_), std::nullopt});
    }
};

inline Item job(const std::string& name, Scope scope, bool enabled, bool running = false,
                std::optional<std::filesystem::path> app = std::nullopt) {
    return {"/fixture/" + name + ".plist", name, "/usr/libexec/" + name, scope, enabled, running, std::move(app)};
}

// ---- Updates

using Update = UpdatesModel::Update;

inline Update make(const char* name, AppUpdates::Source source, std::optional<std::string> token = std::nullopt) {
    return {std::string("/Applications/") + name + ".app", name, "1.0", "2.0", source, std::move(token), std::nullopt};
}

struct FakeUpdates {
    Pending<AppUpdates::Check> checks;
    Pending<AppUpdates::Outcome> applies;
    std::vector<std::string> applied;  // the names, in the order asked

    UpdatesModel::Services services() {
        return {[this] { return checks.next(); },
                [this](const Update& u) {
                    applied.push_back(u.name);
                    return applies.next();
                }};
    }
};
}  // namespace appsfake
