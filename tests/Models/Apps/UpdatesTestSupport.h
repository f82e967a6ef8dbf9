#pragma once
// An updates model's checker and applier that wait until the test answers each
// call, in the order it chooses.
#include <QPromise>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Models/Apps/UpdatesModel.h"

namespace updatestest {
using AppUpdates::Outcome;
using Update = UpdatesModel::Update;

inline Update make(const char* name, AppUpdates::Source source, std::optional<std::string> token = std::nullopt) {
    return {std::string("/Applications/") + name + ".app", name, "1.0", "2.0", source, std::move(token), std::nullopt};
}

template <class T>
void answer(const std::shared_ptr<QPromise<T>>& promise, T value) {
    promise->addResult(std::move(value));
    promise->finish();
}

struct Answering {
    std::vector<std::shared_ptr<QPromise<AppUpdates::Check>>> checks;
    std::vector<std::shared_ptr<QPromise<Outcome>>> applies;
    std::vector<std::string> applied;  // the names, in the order asked

    // A call left unanswered gets an answer now: a future that ends without one is
    // never what the real services give.
    ~Answering() {
        for (auto& c : checks)
            if (!c->future().isFinished()) answer(c, AppUpdates::Check{});
        for (auto& a : applies)
            if (!a->future().isFinished()) answer(a, Outcome{});
    }
    UpdatesModel::Services services() {
        return {[this] { return pending(checks); },
                [this](const Update& u) {
                    applied.push_back(u.name);
                    return pending(applies);
                }};
    }
    template <class T>
    static QFuture<T> pending(std::vector<std::shared_ptr<QPromise<T>>>& into) {
        into.push_back(std::make_shared<QPromise<T>>());
        into.back()->start();
        return into.back()->future();
    }
};
}  // namespace updatestest
