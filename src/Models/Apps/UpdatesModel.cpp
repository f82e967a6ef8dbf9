#include "Models/Apps/UpdatesModel.h"

#include <QCoroFuture>
#include <QPointer>
#include <QTextBoundaryFinder>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>

#include "Models/Kit/QtBridge.h"

QFuture<AppUpdates::Check> UpdatesModel::defaultCheck() {
    return QtConcurrent::run([] { return AppUpdates::check(); });
}

QFuture<AppUpdates::Outcome> UpdatesModel::defaultApply(const Update& update) {
    return QtConcurrent::run([update] { return AppUpdates::apply(update); });
}

UpdatesModel::UpdatesModel(QObject* parent) : UpdatesModel(Services{}, parent) {}

UpdatesModel::UpdatesModel(Services services, QObject* parent) : QObject(parent), services_(std::move(services)) {}

QCoro::Task<> UpdatesModel::check() {
    if (checking_) co_return;
    checking_ = true;
    emit checkingChanged(true);
    emit busyChanged();
    QPointer<UpdatesModel> self(this);
    // A named future: a temporary inside co_await is destroyed twice by g++ 12.
    auto running = services_.check();
    AppUpdates::Check found = co_await running;
    if (!self) co_return;
    if (updates_ != found.updates) {
        updates_ = std::move(found.updates);
        emit updatesChanged();
    }
    QStringList unchecked = toQStringList(found.unchecked);
    if (answered_ != found.answered || unchecked_ != unchecked) {
        answered_ = found.answered;
        unchecked_ = std::move(unchecked);
        emit uncheckedChanged();
    }
    checking_ = false;
    emit checkingChanged(false);
    if (!checked_) {
        checked_ = true;
        emit checkedChanged(true);
    }
    emit busyChanged();
}

QCoro::Task<> UpdatesModel::apply(Update update) {
    const std::string key = update.key();
    // A second press while the first runs would start a second upgrade of one app.
    if (working_.count(key)) co_return;
    working_.insert(key);
    emit workingChanged();
    emit busyChanged();
    QPointer<UpdatesModel> self(this);
    auto running = services_.apply(update);
    const AppUpdates::Outcome outcome = co_await running;
    if (!self) co_return;
    working_.erase(key);
    if (outcome.ok && update.source == AppUpdates::Source::homebrew) {
        const auto gone = std::remove_if(updates_.begin(), updates_.end(), [&](const Update& u) { return u.key() == key; });
        if (gone != updates_.end()) {
            updates_.erase(gone, updates_.end());
            emit updatesChanged();
        }
    } else if (!outcome.message.empty()) {
        messages_[key] = lastCharacters(toQString(outcome.message));
        emit messagesChanged();
    }
    emit workingChanged();
    emit busyChanged();
}

QCoro::Task<> UpdatesModel::updateAllHomebrew() {
    if (walking_) co_return;
    walking_ = true;
    const std::vector<Update> snapshot = updates_;
    QPointer<UpdatesModel> self(this);
    for (const Update& update : snapshot) {
        if (update.source != AppUpdates::Source::homebrew) continue;
        co_await apply(update);
        if (!self) co_return;
    }
    walking_ = false;
}

QString UpdatesModel::lastCharacters(const QString& text, int count) {
    QTextBoundaryFinder characters(QTextBoundaryFinder::Grapheme, text);
    characters.toEnd();
    for (int i = 0; i < count; ++i)
        if (characters.toPreviousBoundary() <= 0) return text;
    return text.mid(characters.position());
}
