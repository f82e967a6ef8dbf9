#pragma once
#include <QPointer>
#include <QWidget>

#include <map>
#include <string>

#include "Core/Status/Optimizer.h"

class BlackHole;
class CheckBox;
class HeroText;
class OptimizeModel;
class PillButton;
class QLabel;
class SpinnerView;
class SwallowFeed;

// One maintenance task's result: a spinner while it runs, then a check or a cross
// whose tool tip holds what the task printed; nothing before it has run.
class TaskStatus : public QWidget {
public:
    enum class Shown { nothing, running, succeeded, failed };
    explicit TaskStatus(QWidget* parent = nullptr);
    void setShown(Shown shown, const QString& toolTip = {});
    // A check or a cross with what the task printed as its tool tip.
    void showOutcome(bool ok, const std::string& output);
    Shown shown() const { return shown_; }
    // The tool tip of an outcome: the output, or "Done" / "Failed" when it printed nothing.
    static QString toolTipFor(bool ok, const QString& output);
    QSize sizeHint() const override { return {side, side}; }

    static constexpr int side = 16;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    Shown shown_ = Shown::nothing;
    std::string output_;  // of the outcome shown
    SpinnerView* spinner_;
};

// One row of the task list: check box, title with the "admin" chip where it needs
// the administrator, the detail line, and the result.
class TaskRow : public QWidget {
public:
    TaskRow(const Optimizer::Action& action, OptimizeModel& model, QWidget* parent = nullptr);
    CheckBox* checkBox() const { return check_; }
    TaskStatus* status() const { return status_; }
    QLabel* titleLabel() const { return title_; }
    QLabel* detailLabel() const { return detail_; }
    // The "admin" chip; none for a task that needs no administrator.
    QWidget* adminChip() const { return chip_; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    CheckBox* check_;
    QLabel* title_;
    QLabel* detail_;
    QWidget* chip_ = nullptr;
    TaskStatus* status_;
};

// The Optimize tab: the black hole over a title that follows the run and the run
// button on the left, the offered maintenance tasks on the right.
class OptimizeView : public QWidget {
    Q_OBJECT
public:
    explicit OptimizeView(OptimizeModel& model, QWidget* parent = nullptr);

    static constexpr double heroSize = 200;

    BlackHole* hero() const { return hero_; }
    HeroText* heroText() const { return text_; }
    PillButton* runButton() const { return run_; }
    // By task id, in the model's order.
    const std::map<std::string, TaskRow*>& rows() const { return rows_; }

    // The hero's title for a model: "Working…" while a task runs, "Tune-up" before
    // any outcome, else how many of the outcomes succeeded.
    static QString title(const OptimizeModel& model);
    // How open the hole is: fully while the run's feed flies, half once there are
    // outcomes, else closed.
    static double open(const OptimizeModel& model);

private:
    void watchFeed();
    void syncHero();
    void sync();

    OptimizeModel& model_;
    BlackHole* hero_;
    HeroText* text_;
    PillButton* run_;
    std::map<std::string, TaskRow*> rows_;
    QPointer<SwallowFeed> feed_;
};
