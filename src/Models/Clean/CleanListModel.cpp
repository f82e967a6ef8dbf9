#include "Models/Clean/CleanListModel.h"

#include <QCoroFuture>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "Core/Clean/Cleaner.h"
#include "Core/Disk/SizeService.h"
#include "Models/Clean/Sounds.h"
#include "Models/Kit/AssignIfChanged.h"
#include "Models/Kit/ProgressHop.h"
#include "Models/Kit/ReleaseElsewhere.h"
#include "Models/Settings/Preferences.h"
#include "Platform/Locations.h"
#include "Platform/Memory.h"

namespace {
constexpr double kCleanMinimum = 3.6;

// The remover reports after every finding; the feed needs far fewer reports,
// so the worker hands over only steps of half a percent (and the end), and a
// clean of any size reaches the main thread at most about 200 times.
Cleaner::Progress throttled(std::function<void(double)> post) {
    return [post = std::move(post), last = -1.0](double fraction) mutable {
        if (fraction < 1 && fraction - last < 0.005) return;
        last = fraction;
        post(fraction);
    };
}

// The selection key of a finding: its id, without copying it.
const std::string& key(const CleanItem& item) { return item.url.native(); }
}  // namespace

CleanListModel::CleanListModel(std::string action, Finder finder, QObject* parent)
    : QObject(parent),
      items_(std::make_shared<const std::vector<CleanItem>>()),
      action_(std::move(action)),
      finder_(std::move(finder)) {}

void CleanListModel::setItems(std::vector<CleanItem> value) {
    if (*items_ == value) {
        releaseElsewhere(std::move(value));
        return;
    }
    // Tens of thousands of findings take the window's thread a while to free, and a
    // clean under way may hold them last.
    items_ = sharedReleasedElsewhere(std::move(value));
    emit itemsChanged();
}

void CleanListModel::setSelection(Selection value) {
    if (selection_ == value) {
        releaseElsewhere(std::move(value));
        return;
    }
    releaseElsewhere(std::exchange(selection_, std::move(value)));
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
    Phase old = std::exchange(phase_, std::move(value));
    emit phaseChanged();
    releaseElsewhere(std::move(old.report.removed));
    releaseElsewhere(std::move(old.report.skipped));
    releaseElsewhere(std::move(old.report.inTrash));
}

void CleanListModel::setFeed(SwallowFeed* value) {
    SwallowFeed* old = feed_;
    feed_ = value;
    emit feedChanged();
    // Readers let go of the old feed on feedChanged; its landings hold it weakly.
    if (old && old != value) old->deleteLater();
}

void CleanListModel::toggle(const std::vector<std::string>& paths) {
    // In place: a copy of a selection of tens of thousands for each click would hold up the window.
    const bool all = std::all_of(paths.begin(), paths.end(), [&](const auto& p) { return selection_.count(p) > 0; });
    bool changed = false;
    for (const auto& p : paths) changed |= all ? selection_.erase(p) > 0 : selection_.insert(p).second;
    if (changed) emit selectionChanged();
}

std::vector<CleanItem> CleanListModel::selectedItems() const {
    std::vector<CleanItem> out;
    forEachSelected([&](const CleanItem& item) { out.push_back(item); });
    return out;
}

CleanListModel::Totals CleanListModel::selectedTotals() const {
    Totals totals;
    forEachSelected([&](const CleanItem& item) {
        ++totals.count;
        totals.size += item.size;
    });
    return totals;
}

std::vector<CleanListModel::Rows> CleanListModel::groupedRows() const {
    // One pass over the findings, then the categories in their order.
    std::array<std::vector<size_t>, CleanCategories::allCases.size()> rows;
    const auto& items = *items_;
    for (size_t i = 0; i < items.size(); ++i) rows[static_cast<size_t>(items[i].category)].push_back(i);
    std::vector<Rows> groups;
    for (CleanCategory category : CleanCategories::allCases)
        if (auto& r = rows[static_cast<size_t>(category)]; !r.empty()) groups.push_back({category, std::move(r)});
    return groups;
}

std::vector<CleanListModel::Group> CleanListModel::grouped() const {
    std::vector<Group> groups;
    for (const Rows& g : groupedRows()) {
        Group group{g.category, {}};
        group.items.reserve(g.rows.size());
        for (size_t row : g.rows) group.items.push_back((*items_)[row]);
        groups.push_back(std::move(group));
    }
    return groups;
}

double CleanListModel::whoompStrength(int64_t freed) {
    const double bytes = static_cast<double>(std::max<int64_t>(freed, 1));
    return std::min(std::max((std::log10(bytes / 1e9) + 1.4) / 2.7, 0.12), 1.0);
}

QFuture<Cleaner::TrashEmptied> CleanListModel::emptyTrash() {
    return QtConcurrent::run([] {
        const Cleaner::TrashEmptied emptied = Cleaner::emptyTrash();
        SizeService::shared().forget({Platform::Locations::trash()});
        return emptied;
    });
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
    safe.reserve(findings.size());
    for (const auto& item : findings)
        if (item.risk == Risk::safe) safe.insert(key(item));
    setItems(std::move(findings));
    setSelection(std::move(safe));
    setPhase(Phase::ready());
    setReviewing(false);
}

QCoro::Task<> CleanListModel::clean() {
    // The findings stay where they are, and the remover works on them there: a list
    // can hold tens of thousands, and copying them would hold up the window.
    auto listed = items_;
    std::vector<const CleanItem*> chosen;
    for (const auto& item : *listed)
        if (selection_.count(key(item))) chosen.push_back(&item);
    if (chosen.empty() || isBusy()) co_return;
    const Preferences& prefs = Preferences::shared();
    const SafetyGuard safety = prefs.safetyGuard(extraRoots_);
    setReviewing(false);

    // The remover does the plain findings one by one and then the administrator
    // ones in one script: the feed flies them in that order, so its progress
    // fraction falls on the right findings.
    std::stable_partition(chosen.begin(), chosen.end(), [](const CleanItem* item) { return !item->requiresAdmin; });
    auto* feed = new SwallowFeed(chosen, action_ == "uninstall", this);
    setFeed(feed);
    setPhase(Phase::cleaning(0));

    QPointer<CleanListModel> self(this);
    QPointer<SwallowFeed> feedRef(feed);
    QCoro::Task<> flight = feed->run(kCleanMinimum);
    const ProgressHop<double> hop(feed, [feedRef](const double& fraction) {
        if (feedRef) feedRef->reached(fraction);
    });
    const bool dryRun = prefs.dryRun(), alwaysTrash = prefs.alwaysTrash();
    // The remover gets the selection in list order; it partitions it itself.
    std::sort(chosen.begin(), chosen.end());
    // Started in a statement of its own: a temporary lambda inside a co_await
    // expression is destroyed twice by this compiler. The report comes back by
    // pointer, since a future hands out copies. The worker lets go of the findings
    // before it reports, so that the list, once it drops the removed ones, frees them.
    QFuture<std::shared_ptr<CleanReport>> removal = QtConcurrent::run(
        [listed, chosen, action = action_, safety, dryRun, alwaysTrash, progress = throttled(hop.poster())]() mutable {
            auto report =
                std::make_shared<CleanReport>(Cleaner().clean(chosen, action, safety, dryRun, alwaysTrash, progress));
            chosen.clear();
            listed.reset();
            SizeService::shared().forget(report->touched());
            Platform::Memory::giveBack();
            return report;
        });
    const std::shared_ptr<CleanReport> report = co_await removal;
    if (!self) co_return;
    if (feedRef) {
        feedRef->setFinished(true);
        feedRef->setReachedCount(feedRef->itemCount());
    }
    co_await flight;
    if (!self) co_return;

    if (!report->dryRun) {
        std::vector<CleanItem> left;
        size_t deselected = 0;
        {
            // A finding removed only partway stays listed with what is left of it.
            std::unordered_set<std::string_view> skipped;
            std::unordered_map<std::string_view, int64_t> partly;
            for (const auto& skip : report->skipped) {
                skipped.insert(key(skip.item));
                if (skip.left) partly[key(skip.item)] = *skip.left;
            }
            // Everything handed in that was not skipped is gone: removed, or gone
            // before the remover reached it (which it does not report).
            std::unordered_set<std::string_view> gone;
            gone.reserve(chosen.size());
            for (const CleanItem* item : chosen)
                if (!skipped.count(key(*item))) gone.insert(key(*item));
            for (const auto& item : *listed) {
                if (gone.count(key(item))) continue;
                left.push_back(item);
                if (const auto it = partly.find(key(item)); it != partly.end()) left.back().size = it->second;
            }
            for (const CleanItem* item : chosen)
                if (gone.count(key(*item))) deselected += selection_.erase(key(*item));
        }
        // The list is the last to hold the findings it had: they are freed elsewhere.
        chosen = {};
        listed.reset();
        setItems(std::move(left));
        if (deselected) emit selectionChanged();
    }
    const bool removedAny = !report->removed.empty();
    const int64_t freed = report->freed;
    setPhase(Phase::done(std::move(*report)));
    setReviewing(false);
    if (removedAny) Sounds::whoomp(whoompStrength(freed));
}
