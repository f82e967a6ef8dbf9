#include "Views/MenuBar/QuickCleanCard.h"

#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

#include <algorithm>

#include "Models/Kit/Localization.h"
#include "Core/Clean/CleanTypes.h"
#include "Models/Clean/CleanListModel.h"
#include "Models/Clean/SwallowFeed.h"
#include "Models/Kit/QtBridge.h"
#include "Models/Settings/Preferences.h"
#include "Models/Window/AppState.h"
#include "Models/Window/AppTab.h"
#include "Views/Kit/Spring.h"
#include "Views/Kit/Symbols.h"
#include "Views/Kit/Theme.h"

using Kind = QuickClean::Phase::Kind;

namespace {
constexpr Spring phaseSpring{0.2, 0.85};
QString bytes(int64_t count) { return toQString(formattedBytes(count)); }
}  // namespace

// The card's title over its detail line. A new phase's texts rise into place as
// the old ones fade; a text that changes within a phase (the bytes to go) just changes.
class QuickCleanTexts : public QWidget {
public:
    explicit QuickCleanTexts(QWidget* parent)
        : QWidget(parent), titleFont_(Theme::font(12.5, QFont::DemiBold)), detailFont_(Theme::font(11)) {
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        connect(&spring_, &SpringAnimator::progressChanged, this, [this] { update(); });
    }
    void set(const QString& title, const QString& detail, bool transition) {
        if (transition && isVisible() && (title != title_ || detail != detail_)) {
            fromTitle_ = title_;
            fromDetail_ = detail_;
            spring_.start(phaseSpring);
        }
        title_ = title;
        detail_ = detail;
        update();
    }
    QString title() const { return title_; }
    QString detail() const { return detail_; }
    double progress() const { return spring_.isRunning() ? spring_.progress() : 1.0; }
    QSize sizeHint() const override {
        const QFontMetricsF t(titleFont_), d(detailFont_);
        return QSize(int(std::max(t.horizontalAdvance(title_), d.horizontalAdvance(detail_))) + 1,
                     int(std::ceil(t.height() + 2 + d.height())));
    }
    QSize minimumSizeHint() const override { return QSize(0, sizeHint().height()); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::TextAntialiasing);
        const double t = progress();
        constexpr double travel = 5;
        if (t < 1) draw(p, fromTitle_, fromDetail_, std::clamp(1 - t, 0.0, 1.0), -travel * t);
        draw(p, title_, detail_, std::clamp(t, 0.0, 1.0), travel * (1 - t));
    }

private:
    void draw(QPainter& p, const QString& title, const QString& detail, double opacity, double dy) {
        if (opacity <= 0) return;
        p.setOpacity(opacity);
        const QFontMetricsF t(titleFont_), d(detailFont_);
        p.setFont(titleFont_);
        p.setPen(Theme::text());
        p.drawText(QPointF(0, dy + t.ascent()), t.elidedText(title, Qt::ElideRight, width()));
        p.setFont(detailFont_);
        p.setPen(Theme::secondary());
        p.drawText(QPointF(0, dy + t.height() + 2 + d.ascent()), d.elidedText(detail, Qt::ElideRight, width()));
    }

    QFont titleFont_, detailFont_;
    QString title_, detail_, fromTitle_, fromDetail_;
    SpringAnimator spring_;
};

QString QuickCleanCard::title(const QuickClean::Phase& phase, const CleanListModel& list) {
    switch (phase.kind) {
        case Kind::idle: return tr("Safe caches");
        case Kind::scanning: return tr("Looking for caches…");
        case Kind::ready: return tr("%1 to clean").arg(bytes(phase.bytes));
        case Kind::nothing: return tr("Nothing to clean");
        case Kind::cleaning:
            if (const SwallowFeed* feed = list.feed()) return tr("%1 to go").arg(bytes(feed->remaining()));
            return tr("Cleaning…");
        case Kind::done: return (phase.dryRun ? tr("%1 would go") : tr("%1 freed")).arg(bytes(phase.bytes));
    }
    return {};
}

QString QuickCleanCard::detail(const QuickClean::Phase& phase) {
    switch (phase.kind) {
        case Kind::idle: return tr("Nothing you'd miss");
        case Kind::scanning: return tr("Only what's safe to remove");
        case Kind::ready: return counted("%n safe caches", phase.count);
        case Kind::nothing: return tr("No safe caches right now");
        case Kind::cleaning: return tr("Crossing the event horizon");
        case Kind::done: return phase.dryRun ? tr("Preview, nothing touched") : tr("Done");
    }
    return {};
}

QuickCleanCard::QuickCleanCard(AppState& state, Preferences& prefs, Open open, QWidget* parent)
    : Card(11, parent), state_(state), prefs_(prefs), open_(std::move(open)) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    auto* row = new QHBoxLayout;
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(10);
    contentLayout()->addLayout(row);

    auto* symbol = new QLabel(this);
    symbol->setPixmap(Symbols::pixmap(QStringLiteral("sparkles"), Symbols::sizeForFont(15),
                                      Theme::color(glow(AppTab::clean)), 1.0, devicePixelRatioF()));
    symbol->setFixedWidth(22);
    symbol->setAlignment(Qt::AlignCenter);
    row->addWidget(symbol, 0, Qt::AlignVCenter);
    texts_ = new QuickCleanTexts(this);
    row->addWidget(texts_, 1, Qt::AlignVCenter);
    row->addSpacing(6);

    quick_ = new PillButton(tr("Quick clean"), PillButtonStyle::Kind::primary, this);
    spinner_ = new SpinnerView(Theme::secondary(), this);
    cancel_ = new SymbolButton(QStringLiteral("xmark"), 12, this);
    cancel_->setToolTip(plainToolTip(tr("Cancel")));
    clean_ = new PillButton(QString(), PillButtonStyle::Kind::primary, this);
    details_ = new PillButton(tr("Details"), PillButtonStyle::Kind::primary, this);
    done_ = new SymbolButton(QStringLiteral("checkmark"), 12, this);
    done_->setToolTip(plainToolTip(tr("Done")));
    for (PillButton* pill : {quick_, clean_, details_}) pill->setHorizontalPadding(14);
    // As tall in every phase, with or without a pill.
    row->addStrut(quick_->sizeHint().height());
    for (QWidget* w : std::initializer_list<QWidget*>{quick_, spinner_, cancel_, clean_, details_, done_}) {
        w->setFocusPolicy(Qt::NoFocus);
        row->addWidget(w, 0, Qt::AlignVCenter);
    }

    QuickClean& quick = state_.quickClean();
    CleanListModel& junk = state_.junk();
    connect(quick_, &QAbstractButton::clicked, this, [&quick, &junk] { quick.scan(junk); });
    connect(cancel_, &QAbstractButton::clicked, this, [&quick] { quick.setPhase(QuickClean::Phase::idle()); });
    connect(clean_, &QAbstractButton::clicked, this, [&quick, &junk] { quick.clean(junk); });
    connect(details_, &QAbstractButton::clicked, this, [this, &quick] {
        quick.setPhase(QuickClean::Phase::idle());
        // The junk list's report is on the Clean tab's System screen.
        state_.setCleanMode(CleanMode::system);
        if (open_) open_(AppTab::clean);
    });
    connect(done_, &QAbstractButton::clicked, this, [&quick] { quick.setPhase(QuickClean::Phase::idle()); });

    connect(&quick, &QuickClean::phaseChanged, this, &QuickCleanCard::sync);
    connect(&junk, &CleanListModel::phaseChanged, this, &QuickCleanCard::sync);
    connect(&junk, &CleanListModel::feedChanged, this, &QuickCleanCard::watchFeed);
    connect(&prefs_, &Preferences::dryRunChanged, this, &QuickCleanCard::sync);
    shownKind_ = quick.phase().kind;
    watchFeed();
}

void QuickCleanCard::watchFeed() {
    if (feed_) disconnect(feed_, nullptr, this, nullptr);
    feed_ = state_.junk().feed();
    if (feed_) connect(feed_, &SwallowFeed::remainingChanged, this, &QuickCleanCard::sync);
    sync();
}

void QuickCleanCard::sync() {
    const QuickClean::Phase& phase = state_.quickClean().phase();
    const bool newPhase = phase.kind != shownKind_;
    shownKind_ = phase.kind;
    texts_->set(title(phase, state_.junk()), detail(phase), newPhase);

    quick_->setVisible(phase.kind == Kind::idle || phase.kind == Kind::nothing);
    // The list takes no scan while it scans or cleans, for the Clean tab or for us.
    quick_->setEnabled(!state_.junk().isBusy());
    spinner_->setVisible(phase.kind == Kind::scanning || phase.kind == Kind::cleaning);
    cancel_->setVisible(phase.kind == Kind::ready);
    clean_->setVisible(phase.kind == Kind::ready);
    clean_->setText(prefs_.dryRun() ? tr("Preview") : tr("Clean"));
    details_->setVisible(phase.kind == Kind::done);
    done_->setVisible(phase.kind == Kind::done);
}

QString QuickCleanCard::shownTitle() const { return texts_->title(); }
QString QuickCleanCard::shownDetail() const { return texts_->detail(); }
double QuickCleanCard::transition() const { return texts_->progress(); }
