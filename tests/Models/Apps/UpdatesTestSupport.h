#pragma once
// An updates model's checker and applier that wait until the test answers each
// call, in the order it chooses.
#include <QPromise>

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "Models/Apps/UpdatesModel.h"

namespace updatestest {
using AppUpdates::Outcome;
using AppUpdates::Source;
using Update = UpdatesModel::Update;

inline Update make(const char* name, Source source, std::optional<std::string> token = std::nullopt) {
    return {std::string("/Applications/") + name + ".app", name, "1.0", "2.0", source, std::move(token), std::nullopt};
}

struct Answering {
    std::vector<std::shared_ptr<QPromise<AppUpdates::Check>>> checks;
    std::vector<std::pair<Update, std::shared_ptr<QPromise<Outcome>>>> applies;

    // A call left unanswered gets an answer now: a future that ends without one
    // is never what the real services give.
    ~Answering() {
        for (auto& c : checks)
            if (!c->future().isFinished()) answer(*c, AppUpdates::Check{});
        for (auto& [u, a] : applies)
            if (!a->future().isFinished()) answer(*a, Outcome{});
    }

    UpdatesModel::Services services() {
        return {[this] { return pending(checks); },
                [this](const Update& u) {
                    std::vector<std::shared_ptr<QPromise<Outcome>>> one;
                    auto future = pending(one);
                    applies.push_back({u, one.front()});
                    return future;
                }};
    }
    template <class T>
    static QFuture<T> pending(std::vector<std::shared_ptr<QPromise<T>>>& into) {
        auto p = std::make_shared<QPromise<T>>();
        p->start();
        into.push_back(p);
        return p->future();
    }
    template <class T>
    static void answer(QPromise<T>& promise, T value) {
        promise.addResult(std::move(value));
        promise.finish();
    }
    std::vector<std::string> applied() const {
        std::vector<std::string> names;
        for (const auto& a : applies) names.push_back(a.first.name);
        return names;
    }
};
}  // namespace updatestest
