#include "Models/Status/OptimizeModel.h"

#include <QCoroFuture>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <utility>

#include "Core/Clean/History.h"
#include "Core/Disk/SizeService.h"
#include "Models/Clean/Sounds.h"
#include "Models/Kit/AssignIfChanged.h"
#include "Platform/Clock.h"
#include "Platform/FileOps.h"
#include "Platform/Workspace.h"

using Platform::IconRef;

namespace {
std::vector<OptimizeModel::Action> offered(const std::vector<OptimizeModel::Action>& table) {
    std::vector<OptimizeModel::Action> out;
    for (const auto& a : table)
        if (Optimizer::isOffered(a)) out.push_back(a);
    return out;
}

// The applications that own each task: the platform's identifiers first, then the
// desktop ids of their nearest counterparts here.
struct Owners {
    std::vector<const char*> ids;
    std::vector<const char*> owners;
};
const std::vector<Owners>& ownerTable() {
    static const std::vector<Owners> t = {
        {{"quicklook", "launchservices", "dsstore", "savedstate", "permissions"},
         {"com.apple.finder", "org.gnome.Nautilus", "org.kde.dolphin"}},
        {{"simulators"}, {"com.apple.iphonesimulator", "com.apple.dt.Xcode"}},
        {{"brew"}, {"com.apple.Terminal", "org.gnome.Terminal", "org.gnome.Console", "org.kde.konsole"}},
        {{"docker"},
         {"com.docker.docker", "com.apple.Terminal", "docker-desktop", "org.gnome.Terminal", "org.gnome.Console",
          "org.kde.konsole"}},
        {{"prefs", "dns", "dhcp", "spotlight"},
         {"com.apple.systempreferences", "org.gnome.Settings", "gnome-control-center", "systemsettings"}},
        {{"mail"}, {"com.apple.mail"}},
        {{"fonts"}, {"com.apple.FontBook", "org.gnome.font-viewer"}},
    };
    return t;
}

const Owners* ownersOf(const std::string& id) {
    for (const auto& row : ownerTable())
        if (std::find(row.ids.begin(), row.ids.end(), id) != row.ids.end()) return &row;
    return nullptr;
}

constexpr const char* xcode = "com.apple.dt.Xcode";

// The installed applications among the owners, by identifier.
using Installed = std::map<std::string, std::filesystem::path>;

std::optional<IconRef> installed(const Installed& apps, const char* bundleID) {
    if (auto it = apps.find(bundleID); it != apps.end()) return IconRef::application(it->second);
    return std::nullopt;
}

IconRef typeIcon(const char* extension) { return IconRef::ofType(extension); }
IconRef folderIcon() { return IconRef::ofType("folder"); }

IconRef ownerIcon(const Installed& apps, const std::string& id) {
    if (const Owners* row = ownersOf(id))
        for (const char* owner : row->owners)
            if (auto found = installed(apps, owner)) return *found;
    return IconRef::thisApplication();
}

void appendIcons(const Installed& apps, const OptimizeModel::Action& action, std::vector<IconRef>& out) {
    out.push_back(ownerIcon(apps, action.id));
    const std::string& id = action.id;
    const auto add = [&](std::initializer_list<IconRef> more) { out.insert(out.end(), more); };
    if (id == "quicklook") {
        add({typeIcon("jpg"), typeIcon("pdf"), typeIcon("png"), typeIcon("mov")});
    } else if (id == "launchservices") {
        int found = 0;
        for (const auto& child : Platform::FileOps::list("/Applications")) {
            if (found == 4) break;
            const auto& n = child.name;
            if (n.size() > 4 && n.compare(n.size() - 4, 4, ".app") == 0) {
                out.push_back(IconRef::application("/Applications/" + n));
                ++found;
            }
        }
    } else if (id == "dsstore" || id == "savedstate" || id == "permissions") {
        add({folderIcon(), folderIcon(), typeIcon("txt")});
    } else if (id == "simulators") {
        if (auto app = installed(apps, xcode)) out.push_back(*app);
        add({folderIcon(), folderIcon()});
    } else if (id == "brew" || id == "docker") {
        add({typeIcon("tar"), typeIcon("gz"), folderIcon()});
    } else if (id == "prefs") {
        add({typeIcon("plist"), typeIcon("plist"), typeIcon("plist")});
    } else if (id == "mail") {
        add({typeIcon("eml"), typeIcon("eml")});
    } else if (id == "fonts") {
        add({typeIcon("ttf"), typeIcon("otf")});
    } else if (id == "spotlight" || id == "dns" || id == "dhcp") {
        add({folderIcon(), typeIcon("db")});
    } else {
        add({folderIcon()});
    }
}
}  // namespace

OptimizeModel::OptimizeModel(QObject* parent)
    : OptimizeModel(Optimizer::actions(),
                    {[](const Action& a) { return Optimizer::run(a); },
                     [](const std::vector<Action>& list) { return Optimizer::runAsAdmin(list); }},
                    parent) {}

OptimizeModel::OptimizeModel(const std::vector<Action>& table, Runner runner, QObject* parent)
    : QObject(parent), actions_(offered(table)), runner_(std::move(runner)) {
    for (const auto& a : actions_)
        if (a.selectedByDefault) selected_.insert(a.id);
}

void OptimizeModel::setSelected(Ids value) {
    if (assignIfChanged(selected_, value)) emit selectedChanged();
}

void OptimizeModel::toggle(const std::string& id) {
    Ids next = selected_;
    if (!next.erase(id)) next.insert(id);
    setSelected(std::move(next));
}

void OptimizeModel::setRunning(Ids value) {
    if (assignIfChanged(running_, value)) emit runningChanged();
}

void OptimizeModel::setOutcome(const Outcome& outcome) {
    outcomes_.insert_or_assign(outcome.action.id, outcome);
    emit outcomesChanged();
}

void OptimizeModel::setFeed(SwallowFeed* value) {
    SwallowFeed* old = feed_;
    feed_ = value;
    emit feedChanged();
    if (old && old != value) old->deleteLater();
}

void OptimizeModel::setGrown(double value) {
    if (assignIfChanged(grown_, value)) emit grownChanged();
}

QCoro::Task<> OptimizeModel::runSelected() {
    if (isBusy()) co_return;
    outcomes_.clear();
    emit outcomesChanged();
    setGrown(0);

    std::vector<Action> plain, admin;
    for (const auto& a : actions_)
        if (selected_.count(a.id)) (a.needsAdmin ? admin : plain).push_back(a);
    std::vector<Action> order = plain;
    order.insert(order.end(), admin.begin(), admin.end());
    const double total = static_cast<double>(order.size());

    auto* feed = new SwallowFeed(icons(order), this);
    setFeed(feed);
    QPointer<OptimizeModel> self(this);
    QPointer<SwallowFeed> feedRef(feed);
    QCoro::Task<> flight = feed->run(feedMinimum);
    const Runner runner = runner_;

    for (size_t i = 0; i < plain.size(); ++i) {
        setRunning({plain[i].id});
        QFuture<Outcome> running = QtConcurrent::run([run = runner.run, task = plain[i]] {
            Outcome outcome = run(task);
            // Failed or not, it may have changed its folders.
            SizeService::shared().forget(task.changes);
            return outcome;
        });
        const Outcome outcome = co_await running;
        if (!self) co_return;
        setOutcome(outcome);
        if (feedRef) feedRef->reached(static_cast<double>(i + 1) / total);
    }
    if (!admin.empty()) {
        Ids ids;
        for (const auto& a : admin) ids.insert(a.id);
        setRunning(std::move(ids));
        QFuture<std::vector<Outcome>> batch =
            QtConcurrent::run([runAsAdmin = runner.runAsAdmin, admin] {
                std::vector<Outcome> reported = runAsAdmin(admin);
                for (const auto& a : admin) SizeService::shared().forget(a.changes);
                return reported;
            });
        const std::vector<Outcome> reported = co_await batch;
        if (!self) co_return;
        for (const auto& o : reported) setOutcome(o);
        if (feedRef) feedRef->reached(1.0);
    }
    setRunning({});
    if (feedRef) {
        feedRef->setFinished(true);
        feedRef->setReachedCount(feedRef->itemCount());
    }
    co_await flight;
    if (!self) co_return;
    setGrown(feedRef ? feedRef->swallowed() : 0);
    setFeed(nullptr);

    // In run order, so the history lists the tasks as they ran.
    History::Entry entry{History::newIdentifier(), Platform::clock().now(), "optimize", 0, 0, {}};
    for (const auto& a : order)
        if (auto it = outcomes_.find(a.id); it != outcomes_.end() && it->second.ok) entry.paths.push_back(a.title);
    if (entry.paths.empty()) co_return;
    entry.count = static_cast<int64_t>(entry.paths.size());
    Sounds::whoomp(whoompStrength);
    QFuture<void> recording = QtConcurrent::run([entry] { History::record(entry); });
    co_await recording;
}

std::vector<IconRef> OptimizeModel::icons(const std::vector<Action>& actions) {
    // One pass over the applications folders for every owner: a pass per owner took
    // tens of milliseconds of the main thread with a few hundred desktop entries.
    std::set<std::string> owners{xcode};
    for (const auto& a : actions)
        if (const Owners* row = ownersOf(a.id)) owners.insert(row->owners.begin(), row->owners.end());
    const Installed apps = Platform::Workspace::urlsForApplications(owners);
    std::vector<IconRef> out;
    for (const auto& a : actions) appendIcons(apps, a, out);
    return out;
}
