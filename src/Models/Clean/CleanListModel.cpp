#include "Models/Clean/CleanListModel.h"

#include <QCoroFuture>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <chrono>
#include <cmath>

#include "Core/Clean/Cleaner.h"
#include "Models/Clean/Sounds.h"
#include "Models/Kit/AssignIfChanged.h"
#include "Models/Kit/ProgressHop.h"
#include "Models/Settings/Preferences.h"

namespace {
constexpr double kCleanMinimum = 3.6;

// The remover reports after every finding; the feed only looks at it a few times
// a second, so the worker hands over at most one report per interval (the last
// one always) and the main thread is never flooded.
Cleaner::Progress throttled(std::function<void(double)> post) {
    using Clock = std::chrono::steady_clock;
    return [post = std::move(post), last = Clock::time_point{}](double fraction) mutable {
        const auto now = Clock::now();
        if (fraction < 1 && now - last < std::chrono::milliseconds(15)) return;
        last = now;
        post(fraction);
    };
}
}  // namespace

CleanListModel::CleanListModel(std::string action, Finder finder, QObject* parent)
    : QObject(parent), action_(std::move(action)), finder_(std::move(finder)) {}

void CleanListModel::setItems(std::vector<CleanItem> value) {
    if (items_ == value) return;
    items_ = std::move(value);
    emit itemsChanged();
}

void CleanListModel::setSelection(Selection value) {
    if (selection_ == value) return;
    selection_ = std::move(value);
    emit selectionChanged();
}

void CleanListModel::setReviewing(bool value) {
    if (assignIfChanged(reviewing_, value)) emit reviewingChanged(value);
}

void CleanListModel::setExtraRoots(std::vector<std::filesystem::path> value) {
    if (extraRoots_ == value) return;
    extraRoots_ = std::move(value);
    emit extraRootsChanged();
}

void CleanListModel::setPhase(Phase value) {
    phase_ = std::move(value);
    emit phaseChanged();
}

void CleanListModel::setFeed(SwallowFeed* value) {
    SwallowFeed* old = feed_;
    feed_ = value;
    emit feedChanged();
    // Readers let go of the old feed on feedChanged; its landings hold it weakly.
    if (old && old != value) old->deleteLater();
}

void CleanListModel::toggle(const std::vector<std::string>& paths) {
    const bool all = std::all_of(paths.begin(), paths.end(), [&](const auto& p) { return selection_.count(p) > 0; });
    Selection next = selection_;
    for (const auto& p : paths) {
        if (all) next.erase(p);
        else next.insert(p);
    }
    setSelection(std::move(next));
}

std::vector<CleanItem> CleanListModel::selectedItems() const {
    std::vector<CleanItem> out;
    if (selection_.empty()) return out;
    for (const auto& item : items_)
        if (selection_.count(item.id())) out.push_back(item);
    return out;
}

std::vector<CleanListModel::Group> CleanListModel::grouped() const {
    std::vector<Group> groups;
    for (CleanCategory category : CleanCategories::allCases) {
        Group g{category, {}};
        for (const auto& item : items_)
            if (item.category == category) g.items.push_back(item);
        if (!g.items.empty()) groups.push_back(std::move(g));
    }
    return groups;
}

double CleanListModel::whoompStrength(int64_t freed) {
    const double bytes = static_cast<double>(std::max<int64_t>(freed, 1));
    return std::min(std::max((std::log10(bytes / 1e9) + 1.4) / 2.7, 0.12), 1.0);
}

QCoro::Task<> CleanListModel::scan() {
    if (isBusy()) co_return;
    setFeed(nullptr);
    setPhase(Phase::scanning(tr("Scanning")));
    QPointer<CleanListModel> self(this);
    // A copy: the frame must not depend on this list's members once it suspends.
    const Finder finder = finder_;
    std::vector<CleanItem> findings = co_await finder(*this);
    if (!self) co_return;
    Selection safe;
    for (const auto& item : findings)
        if (item.risk == Risk::safe) safe.insert(item.id());
    setItems(std::move(findings));
    setSelection(std::move(safe));
    setPhase(Phase::ready());
    setReviewing(false);
}

QCoro::Task<> CleanListModel::clean() {
    std::vector<CleanItem> chosen = selectedItems();
    if (chosen.empty() || isBusy()) co_return;
    const Preferences& prefs = Preferences::shared();
    const SafetyGuard safety = prefs.safetyGuard(extraRoots_);
    setReviewing(false);

    // The remover does the plain findings one by one and then the administrator
    // ones in one script: the feed flies them in that order, so its progress
    // fraction falls on the right findings.
    std::vector<CleanItem> ordered;
    ordered.reserve(chosen.size());
    for (bool admin : {false, true})
        for (const auto& item : chosen)
            if (item.requiresAdmin == admin) ordered.push_back(item);
    auto* feed = new SwallowFeed(ordered, action_ == "uninstall", this);
    ordered.clear();
    setFeed(feed);
    setPhase(Phase::cleaning(0));

    QPointer<CleanListModel> self(this);
    QPointer<SwallowFeed> feedRef(feed);
    QCoro::Task<> flight = feed->run(kCleanMinimum);
    const ProgressHop<double> hop(feed, [feedRef](const double& fraction) {
        if (feedRef) feedRef->reached(fraction);
    });
    const bool dryRun = prefs.dryRun(), alwaysTrash = prefs.alwaysTrash();
    // Started in a statement of its own: a temporary lambda inside a co_await
    // expression is destroyed twice by this compiler.
    QFuture<CleanReport> removal = QtConcurrent::run(
        [chosen, action = action_, safety, dryRun, alwaysTrash, progress = throttled(hop.poster())] {
            return Cleaner().clean(chosen, action, safety, dryRun, alwaysTrash, progress);
        });
    const CleanReport report = co_await removal;
    if (!self) co_return;
    if (feedRef) {
        feedRef->setFinished(true);
        feedRef->setReachedCount(feedRef->itemCount());
    }
    co_await flight;
    if (!self) co_return;

    if (!report.dryRun) {
        // Everything handed in that was not skipped is gone: removed, or gone
        // before the remover reached it (which it does not report).
        Selection kept;
        for (const auto& skip : report.skipped) kept.insert(skip.item.id());
        Selection gone;
        for (const auto& item : chosen)
            if (!kept.count(item.id())) gone.insert(item.id());
        for (const auto& item : report.removed) gone.insert(item.id());
        std::vector<CleanItem> left;
        left.reserve(items_.size());
        for (const auto& item : items_)
            if (!gone.count(item.id())) left.push_back(item);
        Selection selection;
        std::set_difference(selection_.begin(), selection_.end(), gone.begin(), gone.end(),
                            std::inserter(selection, selection.end()));
        setItems(std::move(left));
        setSelection(std::move(selection));
    }
    setPhase(Phase::done(report));
    setReviewing(false);
    if (!report.removed.empty()) Sounds::whoomp(whoompStrength(report.freed));
}
