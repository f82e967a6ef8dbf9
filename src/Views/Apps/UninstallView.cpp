#include "Views/Apps/UninstallView.h"

#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QScrollBar>
#include <QShowEvent>
#include <QVBoxLayout>

#include <functional>

#include "Models/Clean/CleanListModel.h"
#include "Models/Kit/QtBridge.h"
#include "Models/Window/AppState.h"
#include "Platform/Gui/IconCache.h"
#include "Views/Clean/BlackHole.h"
#include "Views/Clean/HeroColumn.h"
#include "Views/Clean/HeroText.h"
#include "Views/Clean/ReviewPanel.h"
#include "Views/Kit/StillLineEdit.h"
#include "Views/Kit/Controls.h"
#include "Views/Kit/OverflowOverlay.h"
#include "Views/Kit/Symbols.h"
#include "Views/Kit/Theme.h"
#include "Models/Kit/Localization.h"

namespace {
constexpr int listWidth = 260;
constexpr double paneRadius = 18;
constexpr int runningCheckMs = 2000;

// A surface that paints a rounded look of its own under its children.
class Surface : public QWidget {
public:
    using Paint = std::function<void(QPainter&, const QRectF&)>;
    explicit Surface(Paint paint, QWidget* parent = nullptr) : QWidget(parent), paint_(std::move(paint)) {}

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        paint_(p, QRectF(rect()));
    }

private:
    Paint paint_;
};

// The search field's magnifying glass.
class Glass : public QWidget {
public:
    explicit Glass(double side, QWidget* parent = nullptr) : QWidget(parent) {
        setFixedSize(int(std::ceil(side)), int(std::ceil(side)));
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        Symbols::paint(p, QStringLiteral("magnifyingglass"), QRectF(rect()), Theme::tertiary(), 1.2);
    }
};

QString name(const UninstallModel::InstalledApp& app) { return toQString(app.name); }
}  // namespace

// ---- UninstallPaneState

UninstallPaneState UninstallPaneState::of(const UninstallModel& model) {
    using Kind = UninstallPaneState::Kind;
    using Phase = CleanListModel::Phase::Kind;
    UninstallPaneState s;
    const auto& chosen = model.chosen();
    if (!chosen) {
        s.title = UninstallView::tr("Pick an app");
        s.subtitle = UninstallView::tr("Quelto finds its caches, preferences, containers and launch agents.");
        return s;
    }
    s.card = true;
    const CleanListModel& list = model.files();
    const auto& phase = list.phase();
    const QString app = name(*chosen), id = toQString(chosen->bundleID);
    if (phase.kind == Phase::cleaning) {
        s.kind = Kind::uninstalling;
        const SwallowFeed* feed = list.feed();
        s.title = feed ? UninstallView::tr("%1 to go").arg(toQString(formattedBytes(std::max<int64_t>(feed->remaining(), 0))))
                       : UninstallView::tr("Pulling it in…");
        s.subtitle = UninstallView::tr("Uninstalling %1").arg(app);
        s.open = 1;
        s.suction = true;
    } else if (model.chosenIsRunning()) {
        s.kind = Kind::running;
        s.title = UninstallView::tr("%1 is running").arg(app);
        s.subtitle = UninstallView::tr("Quit it first, then pick it again.");
    } else if (phase.kind == Phase::scanning && list.items().empty()) {
        s.kind = Kind::finding;
        s.title = UninstallView::tr("Finding leftovers…");
        s.subtitle = id;
        s.spinning = true;
    } else if (!list.items().empty()) {
        s.kind = Kind::review;
        s.title = app;
        s.subtitle = UninstallView::tr("%1 · %2").arg(id, counted("%n items", qlonglong(list.items().size())));
    } else if (phase.kind == Phase::done && !phase.report.dryRun && !phase.report.removed.empty()) {
        s.kind = Kind::gone;
        s.title = UninstallView::tr("%1 is gone").arg(app);
        s.subtitle = UninstallView::tr("Everything it installed is in the Trash.");
        s.open = 1;
    } else {
        // Nothing listed and nothing removed: the app ran when it was picked and
        // has quit since. Nothing is gone, so the pane does not say so.
        s.kind = Kind::pickAgain;
        s.title = app;
        s.subtitle = UninstallView::tr("Pick it again to find its files.");
    }
    return s;
}

// ---- AppRows

AppRows::AppRows(UninstallModel& model, QWidget* parent) : RowList({rowHeight, 2, 0}, parent), model_(model) {
    name_ = Theme::font(12.5);
    chosenName_ = Theme::font(12.5, QFont::DemiBold);
    empty_ = Theme::font(12);
    connect(&model_, &UninstallModel::appsChanged, this, &AppRows::refresh);
    connect(&model_, &UninstallModel::searchChanged, this, &AppRows::refresh);
    connect(&model_, &UninstallModel::chosenChanged, this, [this] { viewport()->update(); });
    refresh();
}

void AppRows::refresh() {
    shown_ = UninstallModel::filtered(model_.apps(), model_.search());
    hovered_ = -1;
    // A line for no apps at all, once the folders were read; a search that matches
    // none says so in the count.
    const bool none = model_.listed() && model_.apps().empty();
    setEmptyHeight(none ? int(std::ceil(QFontMetricsF(empty_).height())) + 40 : 0);
    setCount(int(shown_.size()));
    viewport()->update();
}

QString AppRows::emptyText() { return tr("No apps in the Applications folders"); }

void AppRows::paintEmpty(QPainter& p, const QRect& rect) {
    paintNote(p, rect, empty_, emptyText());
}

void AppRows::paintRow(QPainter& p, int row, const QRect& rect) {
    const auto& app = shown_.at(size_t(row));
    const bool chosen = model_.chosen() && model_.chosen()->url == app.url, lit = row == hovered_;
    const size_t key = combinedKey({std::hash<std::string>{}(app.url.native()), std::hash<std::string>{}(app.name),
                                    size_t(chosen) | size_t(lit) << 1});
    paintFromPicture(p, row, rect, key, [&](QPainter& on) {
        on.setRenderHint(QPainter::Antialiasing);
        const QRectF box(0, 0, rect.width(), rect.height());
        if (chosen || lit) {
            on.setPen(Qt::NoPen);
            on.setBrush(chosen ? Theme::white(0.9) : Theme::cardHover());
            on.drawRoundedRect(box, 8, 8);
        }
        const double icon = 26, x = 8;
        IconCache::draw(on, QRectF(x, (rowHeight - icon) / 2, icon, icon), app.url);
        const double left = x + icon + 10, room = std::max(0.0, box.width() - left - 8);
        const QFont& font = chosen ? chosenName_ : name_;
        on.setFont(font);
        on.setPen(chosen ? Theme::ink() : Theme::text());
        on.drawText(QRectF(left, 0, room, rowHeight), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                    QFontMetricsF(font).elidedText(name(app), Qt::ElideRight, room));
    });
}

void AppRows::pointerMoved(std::optional<QPoint> content) {
    const int row = content ? rowAt(*content - QPoint(0, verticalScrollBar()->value())) : -1;
    if (row == hovered_) return;
    updateRow(std::exchange(hovered_, row));
    updateRow(row);
}

void AppRows::rowClicked(int row, QPoint, Qt::MouseButton button) {
    if (button == Qt::LeftButton && row >= 0 && row < int(shown_.size())) model_.select(shown_[size_t(row)]);
}

// ---- UninstallView

UninstallView::UninstallView(AppState& state, Preferences& prefs, QWidget* parent)
    : QWidget(parent), model_(state.uninstall()), prefs_(prefs) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(24, 14, 24, 24);
    row->setSpacing(14);

    // The app list: search field, count, rows, on a card.
    auto* list = new Card(0);
    list->setFixedWidth(listWidth);
    QVBoxLayout* column = list->contentLayout();

    auto* field = new Surface([](QPainter& p, const QRectF& r) {
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(Theme::black(0.25));
        p.drawRoundedRect(r, 8, 8);
    });
    auto* fieldRow = new QHBoxLayout(field);
    fieldRow->setContentsMargins(10, 7, 10, 7);
    fieldRow->setSpacing(6);
    fieldRow->addWidget(new Glass(Symbols::sizeForFont(12.5)));
    search_ = new StillLineEdit;
    search_->setFrame(false);
    search_->setPlaceholderText(tr("Search apps"));
    search_->setFont(Theme::font(12.5));
    search_->setAutoFillBackground(false);
    QPalette pal = search_->palette();
    pal.setColor(QPalette::Base, Qt::transparent);
    pal.setColor(QPalette::Text, Theme::text());
    pal.setColor(QPalette::PlaceholderText, Theme::tertiary());
    search_->setPalette(pal);
    search_->setTextMargins(0, 0, 0, 0);
    search_->setText(model_.search());
    fieldRow->addWidget(search_, 1);
    auto* fieldBox = new QWidget;
    auto* fieldMargin = new QVBoxLayout(fieldBox);
    fieldMargin->setContentsMargins(10, 10, 10, 10);
    fieldMargin->addWidget(field);
    column->addWidget(fieldBox);

    count_ = plainLabel({}, Theme::font(11, QFont::Normal, Theme::Design::monospaced), Theme::tertiary());
    auto* countBox = new QWidget;
    auto* countRow = new QHBoxLayout(countBox);
    countRow->setContentsMargins(14, 0, 14, 6);
    countRow->addWidget(count_);
    countRow->addStretch(1);
    column->addWidget(countBox);

    rows_ = new AppRows(model_);
    auto* rowsBox = new QWidget;
    auto* rowsMargin = new QVBoxLayout(rowsBox);
    rowsMargin->setContentsMargins(6, 0, 6, 8);
    rowsMargin->addWidget(rows_);
    column->addWidget(rowsBox, 1);
    row->addWidget(list);

    // The detail pane. Its hero draws inside it: on the card, over the card.
    detail_ = new Surface([this](QPainter& p, const QRectF& r) {
        if (pane_.card) paintOutlinedRoundedRect(p, r, paneRadius, Theme::withOpacity(Theme::ink(), 0.55));
    });
    OverflowOverlay::markHost(detail_);
    auto* detail = new QVBoxLayout(detail_);
    detail->setContentsMargins(0, 0, 0, 0);
    detail->setSpacing(0);
    heroBox_ = new QWidget;
    HeroColumn hero(heroBox_, heroSize, Theme::color(glow(AppTab::apps)), 22, 24);
    hero_ = hero.hole();
    text_ = new HeroText;
    hero.add(text_);
    detail->addWidget(heroBox_);
    row->addWidget(detail_, 1);

    connect(search_, &QLineEdit::textChanged, &model_, &UninstallModel::setSearch);
    connect(&model_, &UninstallModel::searchChanged, this, [this](const QString& text) {
        if (search_->text() != text) search_->setText(text);
    });
    connect(&model_, &UninstallModel::appsChanged, this, &UninstallView::syncCount);
    connect(&model_, &UninstallModel::searchChanged, this, &UninstallView::syncCount);
    connect(&model_, &UninstallModel::chosenChanged, this, &UninstallView::sync);
    connect(&model_, &UninstallModel::chosenIsRunningChanged, this, &UninstallView::sync);
    connect(&model_, &UninstallModel::filesChanged, this, &UninstallView::watchFiles);
    runningCheck_.setInterval(runningCheckMs);
    connect(&runningCheck_, &QTimer::timeout, this, [this] {
        if (model_.chosen() && !model_.files().isBusy()) model_.checkRunning();
    });
    syncCount();
    watchFiles();
}

void UninstallView::syncCount() {
    // No count before the folders were first read: "0 apps" would not be true yet.
    count_->setText(model_.listed() ? counted("%n apps", rows_->count()) : QString());
}

void UninstallView::watchFiles() {
    if (files_) files_->disconnect(this);
    files_ = &model_.files();
    // The review of the list before belongs to that list.
    if (panel_) delete panel_;
    connect(files_, &CleanListModel::phaseChanged, this, &UninstallView::sync);
    connect(files_, &CleanListModel::itemsChanged, this, &UninstallView::sync);
    connect(files_, &CleanListModel::feedChanged, this, &UninstallView::watchFeed);
    watchFeed();
}

void UninstallView::watchFeed() {
    if (feed_) feed_->disconnect(this);
    feed_ = files_ ? files_->feed() : nullptr;
    if (feed_) {
        connect(feed_, &SwallowFeed::eventsChanged, this, &UninstallView::sync);
        connect(feed_, &SwallowFeed::remainingChanged, this, &UninstallView::sync);
        connect(feed_, &SwallowFeed::swallowedChanged, this, &UninstallView::sync);
    }
    sync();
}

void UninstallView::sync() {
    using Kind = UninstallPaneState::Kind;
    const bool card = pane_.card;
    pane_ = UninstallPaneState::of(model_);
    // Runs for every swallowed item: the pane repaints only when its card comes or goes.
    if (pane_.card != card) detail_->update();
    if (pane_.kind == Kind::review) {
        const QString title = pane_.title, subtitle = pane_.subtitle;
        if (!panel_) {
            panel_ = new ReviewPanel(*files_, prefs_, title, subtitle, tr("Uninstall"));
            panel_->setCornerRadius(paneRadius);
            detail_->layout()->addWidget(panel_);
        }
        panel_->titleLabel()->setText(title);
        panel_->subtitleLabel()->setText(subtitle);
        heroBox_->hide();
        panel_->show();
        return;
    }
    if (panel_) delete panel_;
    heroBox_->show();
    const bool flying = pane_.kind == Kind::uninstalling && feed_;
    hero_->setSpinning(pane_.spinning);
    hero_->setOpen(pane_.open);
    hero_->setSuction(pane_.suction);
    hero_->setFeed(flying ? feed_->events() : BlackHole::Events{});
    // The growth of the last removal stays with its result.
    const bool grows = pane_.kind == Kind::uninstalling || pane_.kind == Kind::gone;
    hero_->setGrowth(grows && feed_ ? feed_->swallowed() : 0);
    text_->setTitle(pane_.title);
    text_->setSubtitle(pane_.subtitle);
}

void UninstallView::showEvent(QShowEvent*) {
    model_.loadApps();
    runningCheck_.start();
}

void UninstallView::hideEvent(QHideEvent*) { runningCheck_.stop(); }
