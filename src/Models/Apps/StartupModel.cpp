#include "Models/Apps/StartupModel.h"

#include <QCoroFuture>
#include <QPointer>
#include <QtConcurrent>

#include <algorithm>

#include "Models/Kit/AssignIfChanged.h"
#include "Models/Kit/QtBridge.h"

namespace {
std::optional<QString> toQOptional(const std::optional<std::string>& s) {
    return s ? std::optional<QString>(toQString(*s)) : std::nullopt;
}
}  // namespace

StartupModel::Services StartupModel::Services::standard() {
    return {
        [] { return QtConcurrent::run([] { return StartupItems::load(); }); },
        [] { return QtConcurrent::run(LoginItems::openAtLogin); },
        [] { return QtConcurrent::run(LoginItems::backgroundActivity); },
        [](StartupItems::Item item, bool on) { return QtConcurrent::run(StartupItems::setEnabled, item, on); },
        [](StartupItems::Item item) { return QtConcurrent::run(StartupItems::remove, item); },
        [](std::string name) { return QtConcurrent::run(LoginItems::remove, name); },
    };
}

StartupModel::StartupModel(QObject* parent) : StartupModel(Services::standard(), parent) {}

StartupModel::StartupModel(Services services, QObject* parent) : QObject(parent), services_(std::move(services)) {}

QCoro::Task<> StartupModel::load() {
    // Two loads at once could land out of order and end `loading` early.
    if (loading_) co_return;
    QPointer<StartupModel> self(this);
    setLoading(true);
    auto items = services_.loadItems();
    auto logins = services_.openAtLogin();
    auto jobs = co_await items;
    if (!self) co_return;
    setItems(std::move(jobs));
    auto listing = co_await logins;
    if (!self) co_return;
    setOpenAtLogin(std::move(listing.items));
    setOpenAtLoginError(toQOptional(listing.error));
    setLoading(false);
    setLoaded(true);
}

QCoro::Task<> StartupModel::loadBackground() {
    if (loadingBackground_) co_return;
    QPointer<StartupModel> self(this);
    setLoadingBackground(true);
    auto reading = services_.backgroundActivity();
    auto listing = co_await reading;
    if (!self) co_return;
    setBackground(std::move(listing.items));
    setBackgroundError(toQOptional(listing.error));
    setBackgroundLoaded(!listing.error);
    setLoadingBackground(false);
}

QCoro::Task<> StartupModel::toggle(StartupItems::Item item) {
    const auto path = item.plist;
    if (switching_.count(path)) co_return;
    QPointer<StartupModel> self(this);
    const bool wanted = !item.enabled;
    switching_.insert(path);
    emit switchingChanged();
    auto switching = services_.setEnabled(std::move(item), wanted);
    const auto outcome = co_await switching;
    if (!self) co_return;
    switching_.erase(path);
    emit switchingChanged();
    if (!outcome.ok) {
        const QString message = toQString(outcome.message);
        errors_[path] = message.contains(QStringLiteral("-128")) ? tr("Password prompt cancelled") : message;
        emit errorsChanged();
        co_return;
    }
    const auto entry = std::find_if(items_.begin(), items_.end(), [&](const auto& i) { return i.plist == path; });
    // The list was read again meanwhile and no longer has the job.
    if (entry == items_.end()) co_return;
    // What was asked for, not a flip: a reload may already show the new state.
    entry->enabled = wanted;
    entry->running = wanted;
    emit itemsChanged();
    if (errors_.erase(path)) emit errorsChanged();
}

QCoro::Task<> StartupModel::remove(StartupItems::Item item) {
    QPointer<StartupModel> self(this);
    const auto path = item.plist;
    auto removing = services_.remove(std::move(item));
    const bool removed = co_await removing;
    if (!self || !removed) co_return;
    if (std::erase_if(items_, [&](const auto& i) { return i.plist == path; })) emit itemsChanged();
}

QCoro::Task<> StartupModel::removeFromLogin(LoginItems::OpenAtLogin item) {
    QPointer<StartupModel> self(this);
    auto removing = services_.removeFromLogin(item.name);
    const bool removed = co_await removing;
    if (!self) co_return;
    if (!removed) {
        setOpenAtLoginError(tr("macOS didn't let Quelto remove %1.").arg(toQString(item.name)));
        co_return;
    }
    if (std::erase_if(openAtLogin_, [&](const auto& i) { return i.name == item.name; })) emit openAtLoginChanged();
}

void StartupModel::setItems(std::vector<StartupItems::Item> value) {
    if (assignIfChanged(items_, value)) emit itemsChanged();
}

void StartupModel::setLoading(bool value) {
    if (assignIfChanged(loading_, value)) emit loadingChanged();
}

void StartupModel::setLoaded(bool value) {
    if (assignIfChanged(loaded_, value)) emit loadedChanged();
}

void StartupModel::setOpenAtLogin(std::vector<LoginItems::OpenAtLogin> value) {
    if (assignIfChanged(openAtLogin_, value)) emit openAtLoginChanged();
}

void StartupModel::setOpenAtLoginError(std::optional<QString> value) {
    if (assignIfChanged(openAtLoginError_, value)) emit openAtLoginErrorChanged();
}

void StartupModel::setBackground(std::vector<LoginItems::Background> value) {
    if (assignIfChanged(background_, value)) emit backgroundChanged();
}

void StartupModel::setBackgroundError(std::optional<QString> value) {
    if (assignIfChanged(backgroundError_, value)) emit backgroundErrorChanged();
}

void StartupModel::setLoadingBackground(bool value) {
    if (assignIfChanged(loadingBackground_, value)) emit loadingBackgroundChanged();
}

void StartupModel::setBackgroundLoaded(bool value) {
    if (assignIfChanged(backgroundLoaded_, value)) emit backgroundLoadedChanged();
}
