#pragma once
#include <QCoroTask>
#include <QObject>
#include <QPointer>

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "Core/Status/Optimizer.h"
#include "Models/Clean/SwallowFeed.h"
#include "Platform/IconRef.h"

// The Optimize tab's model: the maintenance tasks this machine offers, the ones
// the user picked, what runs now, each task's outcome in the last run, and the
// swallow feed whose icons stand for the tasks while a run animates. A run does
// the plain tasks one at a time, then every administrator task together behind one
// password prompt, and ends with the completion sound and a history entry when a
// task succeeded. Main thread only.
class OptimizeModel : public QObject {
    Q_OBJECT
public:
    using Action = Optimizer::Action;
    using Outcome = Optimizer::Outcome;
    using Ids = std::set<std::string>;

    // How tasks are carried out; called on a worker thread.
    struct Runner {
        std::function<Outcome(const Action&)> run;
        std::function<std::vector<Outcome>(const std::vector<Action>&)> runAsAdmin;
    };

    // The tasks of the fixed table that this machine offers, run for real.
    explicit OptimizeModel(QObject* parent = nullptr);
    // The offered tasks of `table` (in its order), run by `runner`.
    OptimizeModel(const std::vector<Action>& table, Runner runner, QObject* parent = nullptr);

    // Fixed at creation.
    const std::vector<Action>& actions() const { return actions_; }
    // Ids the user wants run; starts with the offered tasks chosen by default.
    const Ids& selected() const { return selected_; }
    void setSelected(Ids value);
    // Adds the id when missing, else removes it.
    void toggle(const std::string& id);
    // One plain task's id, or every administrator task's while their batch runs.
    const Ids& running() const { return running_; }
    // By task id: the current or last run's results, emptied when a run starts.
    const std::map<std::string, Outcome>& outcomes() const { return outcomes_; }
    // The run's feed while its animation is under way; none between runs.
    SwallowFeed* feed() const { return feed_; }
    // How far the last run's feed swallowed (0...1); 0 during a run.
    double grown() const { return grown_; }
    // A run is under way, its animation included.
    bool isBusy() const { return !running_.empty() || feed_; }

    // Runs the selected offered tasks, and returns once the run and its animation
    // have ended. Does nothing while a run is under way.
    QCoro::Task<> runSelected();

    // The images that stand for the tasks in the feed, one task after another: its
    // owning application's icon (this application's own when none of its owners is
    // installed), then the kinds of files it deals with.
    static std::vector<Platform::IconRef> icons(const std::vector<Action>& actions);

    // How long a run's animation lasts at least, in seconds.
    static constexpr double feedMinimum = 2.5;
    static constexpr double whoompStrength = 0.45;

signals:
    void selectedChanged();
    void runningChanged();
    void outcomesChanged();
    void feedChanged();
    void grownChanged();

private:
    void setRunning(Ids value);
    void setOutcome(const Outcome& outcome);
    void setFeed(SwallowFeed* value);
    void setGrown(double value);

    std::vector<Action> actions_;
    Runner runner_;
    Ids selected_;
    Ids running_;
    std::map<std::string, Outcome> outcomes_;
    QPointer<SwallowFeed> feed_;
    double grown_ = 0;
};
