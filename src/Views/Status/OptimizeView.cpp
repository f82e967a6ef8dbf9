#include "Views/Status/OptimizeView.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QScrollArea>
#include <QVBoxLayout>

#include <algorithm>

#include "Models/Kit/QtBridge.h"
#include "Models/Status/OptimizeModel.h"
#include "Models/Window/AppTab.h"
#include "Views/Clean/BlackHole.h"
#include "Views/Clean/HeroColumn.h"
#include "Views/Clean/HeroText.h"
#include "Views/Kit/Controls.h"
#include "Views/Kit/Symbols.h"
#include "Views/Kit/Theme.h"
#include "Models/Kit/Localization.h"

namespace {
// A task can print screens of text; its tool tip keeps the end, where the verdict is.
constexpr int toolTipLines = 30;

QString lastLines(const QString& text) {
    qsizetype from = text.size();
    for (int n = 0; n < toolTipLines; ++n) {
        from = from > 0 ? text.lastIndexOf(QLatin1Char('\n'), from - 1) : -1;
        if (from < 0) return text;
    }
    return QStringLiteral("…") + text.mid(from);
}
}  // namespace

// ---- TaskStatus

TaskStatus::TaskStatus(QWidget* parent) : QWidget(parent), spinner_(new SpinnerView(Theme::secondary(), this)) {
    setFixedSize(side, side);
    spinner_->move((side - spinner_->width()) / 2, (side - spinner_->height()) / 2);
    spinner_->hide();
}

QString TaskStatus::toolTipFor(bool ok, const QString& output) {
    if (output.isEmpty()) return ok ? QStringLiteral("Done") : QStringLiteral("Failed");
    return output;
}

void TaskStatus::showOutcome(bool ok, const std::string& output) {
    const Shown shown = ok ? Shown::succeeded : Shown::failed;
    // Converting and cutting a long output is kept for when it changes.
    if (shown == shown_ && output == output_) return;
    output_ = output;
    setShown(shown, toolTipFor(ok, toQString(output)));
}

void TaskStatus::setShown(Shown shown, const QString& toolTip) {
    shown_ = shown;
    spinner_->setVisible(shown == Shown::running);
    const bool result = shown == Shown::succeeded || shown == Shown::failed;
    if (!result) output_.clear();
    setToolTip(result ? plainToolTip(lastLines(toolTip)) : QString());
    update();
}

void TaskStatus::paintEvent(QPaintEvent*) {
    if (shown_ != Shown::succeeded && shown_ != Shown::failed) return;
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const bool ok = shown_ == Shown::succeeded;
    Symbols::paint(p, ok ? QStringLiteral("checkmark.circle.fill") : QStringLiteral("xmark.circle.fill"),
                   QRectF(rect()), ok ? Theme::good() : Theme::danger());
}

// ---- TaskRow

TaskRow::TaskRow(const Optimizer::Action& action, OptimizeModel& model, QWidget* parent) : QWidget(parent) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(13, 13, 13, 13);
    row->setSpacing(12);
    const std::string id = action.id;
    check_ = new CheckBox(CheckBox::Mark::off, [&model, id] { model.toggle(id); });
    row->addWidget(check_, 0, Qt::AlignVCenter);

    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    auto* heading = new QHBoxLayout;
    heading->setSpacing(6);
    title_ = plainLabel(toQString(action.title), Theme::font(13, QFont::DemiBold), Theme::text());
    heading->addWidget(title_, 0, Qt::AlignVCenter);
    if (action.needsAdmin) {
        chip_ = new Chip(OptimizeView::tr("admin"), Theme::secondary());
        heading->addWidget(chip_, 0, Qt::AlignVCenter);
    }
    heading->addStretch(1);
    texts->addLayout(heading);
    detail_ = plainLabel(toQString(action.detail), Theme::font(11.5), Theme::secondary());
    detail_->setWordWrap(true);
    texts->addWidget(detail_);
    row->addLayout(texts, 1);

    status_ = new TaskStatus;
    row->addWidget(status_, 0, Qt::AlignVCenter);
}

void TaskRow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    CardModifier::paint(p, QRectF(rect()));
}

// ---- OptimizeView

OptimizeView::OptimizeView(OptimizeModel& model, QWidget* parent) : QWidget(parent), model_(model) {
    auto* root = new QHBoxLayout(this);
    root->setContentsMargins(28, 0, 28, 0);
    root->setSpacing(28);

    auto* column = new QWidget;
    column->setFixedWidth(300);
    HeroColumn heroColumn(column, heroSize, Theme::color(glow(AppTab::optimize)), 24);
    hero_ = heroColumn.hole();
    text_ = new HeroText(tr("Tune-up"),
                         tr("Maintenance that fixes the small annoyances. Your documents are never touched."));
    // 260 wide, as tall as the wrapped subtitle: the texts change only the title's one line.
    text_->setFixedSize(260, text_->heightForWidth(260));
    heroColumn.add(text_, Qt::AlignHCenter);
    run_ = new PillButton(QString(), PillButtonStyle::Kind::primary);
    heroColumn.add(run_, Qt::AlignHCenter);
    root->addWidget(column, 0, Qt::AlignVCenter);

    auto* scroll = new QScrollArea;
    makePlainScrollArea(scroll);
    scroll->setWidgetResizable(true);
    auto* list = new QWidget;
    auto* rows = new QVBoxLayout(list);
    rows->setContentsMargins(0, 24, 0, 24);
    rows->setSpacing(8);
    for (const auto& action : model_.actions()) {
        auto* row = new TaskRow(action, model_);
        rows_[action.id] = row;
        rows->addWidget(row);
    }
    rows->addStretch(1);
    scroll->setWidget(list);
    // The scroll area turned it on: a list that fills its background hides what the
    // hero draws past its column (its glow, a shockwave's rings) wherever it lies.
    list->setAutoFillBackground(false);
    root->addWidget(scroll, 1);

    connect(run_, &QPushButton::clicked, this, [this] { model_.runSelected(); });
    connect(&model_, &OptimizeModel::selectedChanged, this, &OptimizeView::sync);
    connect(&model_, &OptimizeModel::runningChanged, this, &OptimizeView::sync);
    connect(&model_, &OptimizeModel::outcomesChanged, this, &OptimizeView::sync);
    connect(&model_, &OptimizeModel::grownChanged, this, &OptimizeView::syncHero);
    connect(&model_, &OptimizeModel::feedChanged, this, &OptimizeView::watchFeed);
    watchFeed();
}

QString OptimizeView::title(const OptimizeModel& model) {
    if (!model.running().empty()) return tr("Working…");
    if (model.outcomes().empty()) return tr("Tune-up");
    const auto good = std::count_if(model.outcomes().begin(), model.outcomes().end(),
                                    [](const auto& entry) { return entry.second.ok; });
    return tr("%1 of %2 done").arg(qlonglong(good)).arg(qlonglong(model.outcomes().size()));
}

double OptimizeView::open(const OptimizeModel& model) {
    if (model.feed()) return 1.0;
    return model.outcomes().empty() ? 0.0 : 0.5;
}

void OptimizeView::watchFeed() {
    if (feed_) feed_->disconnect(this);
    feed_ = model_.feed();
    if (feed_) {
        // Animation steps move the hole only; the rows change with the model.
        connect(feed_, &SwallowFeed::eventsChanged, this, &OptimizeView::syncHero);
        connect(feed_, &SwallowFeed::swallowedChanged, this, &OptimizeView::syncHero);
    }
    sync();
}

void OptimizeView::syncHero() {
    hero_->setOpen(open(model_));
    hero_->setSuction(feed_ != nullptr);
    hero_->setFeed(feed_ ? feed_->events() : BlackHole::Events{});
    hero_->setGrowth(feed_ ? feed_->swallowed() : model_.grown());
}

void OptimizeView::sync() {
    syncHero();
    text_->setTitle(title(model_));

    const auto selected = model_.selected().size();
    run_->setText(counted("Run %n tasks", qlonglong(selected)));
    run_->setEnabled(selected > 0 && !model_.isBusy());

    for (const auto& [id, row] : rows_) {
        row->checkBox()->setState(model_.selected().count(id) ? CheckBox::Mark::on : CheckBox::Mark::off);
        using Shown = TaskStatus::Shown;
        if (model_.running().count(id)) {
            row->status()->setShown(Shown::running);
        } else if (auto it = model_.outcomes().find(id); it != model_.outcomes().end()) {
            row->status()->showOutcome(it->second.ok, it->second.output);
        } else {
            row->status()->setShown(Shown::nothing);
        }
    }
}
