#include "Views/Analyze/AnalyzeView.h"

#include <QEnterEvent>
#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QResizeEvent>
#include <QScrollBar>
#include <QShortcut>
#include <QStackedLayout>
#include <QVBoxLayout>

#include "Models/Analyze/FileCount.h"
#include "Models/Analyze/OrbitLayout.h"
#include "Models/Kit/QtBridge.h"
#include "Models/Status/Monitor.h"
#include "Platform/FileOps.h"
#include "Platform/Gui/IconCache.h"
#include "Views/Analyze/AnalyzeHero.h"
#include "Views/Analyze/Breadcrumbs.h"
#include "Views/Analyze/ChartLayers.h"
#include "Views/Analyze/DetailTable.h"
#include "Views/Analyze/LargeFilesList.h"
#include "Views/Analyze/OrbitChart.h"
#include "Views/Analyze/PathText.h"
#include "Views/Kit/Controls.h"
#include "Views/Kit/StillLabel.h"
#include "Views/Kit/StillPicture.h"
#include "Views/Kit/SubTabs.h"
#include "Views/Kit/Symbols.h"
#include "Views/Kit/TextRoll.h"
#include "Views/Kit/Theme.h"
#include "Views/Status/MetricViews.h"

namespace {

const Rgba badgeAmber{0.95, 0.8, 0.55, 1};

std::filesystem::path standardized(const std::filesystem::path& p) {
    std::string s = p.lexically_normal().native();
    while (s.size() > 1 && s.back() == '/') s.pop_back();
    return s;
}

QFont spaced(double size, QFont::Weight weight, double spacing) {
    QFont f = Theme::font(size, weight);
    f.setLetterSpacing(QFont::AbsoluteSpacing, spacing);
    return f;
}

// One line of text, cut in the middle when it does not fit.
class MiddleElided : public StillLabel {
public:
    MiddleElided(const QFont& font, const QColor& color) {
        setFont(font);
        QPalette pal = palette();
        pal.setColor(QPalette::WindowText, color);
        setPalette(pal);
        setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    }
    void setFullText(const QString& text) {
        full_ = text;
        setToolTip({});
        refit();
    }
    QString fullText() const { return full_; }

protected:
    void resizeEvent(QResizeEvent* e) override {
        StillLabel::resizeEvent(e);
        refit();
    }

private:
    void refit() { setText(QFontMetricsF(font()).elidedText(full_, Qt::ElideMiddle, width())); }
    QString full_;
};

// A scroll area whose view may end above its bottom edge: what would show cut through
// there stays clear.
class ShortenedScroll : public QScrollArea {
public:
    int shownMargin() const { return viewportMargins().bottom(); }
    void setShownMargin(int margin) {
        if (viewportMargins().bottom() != margin) setViewportMargins(0, 0, 0, margin);
    }
};

// The round Back button of the header.
class BackButton : public QAbstractButton {
public:
    BackButton() {
        setFixedSize(24, 24);
        setFocusPolicy(Qt::NoFocus);
        setCursor(Qt::PointingHandCursor);
        setToolTip(tr("Back"));
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        const double opacity = isEnabled() ? (isDown() ? 0.6 : 1.0) : 0.35;
        picture_.paint(p, QRectF(rect()), devicePixelRatioF(), std::hash<double>{}(opacity), [&](QPainter& on) {
            on.setRenderHint(QPainter::Antialiasing);
            on.setOpacity(opacity);
            on.setPen(Qt::NoPen);
            on.setBrush(Theme::white(0.08));
            on.drawEllipse(QRectF(rect()));
            const double s = Symbols::sizeForFont(11);
            Symbols::paint(on, QStringLiteral("chevron.left"), QRectF((width() - s) / 2, (height() - s) / 2, s, s),
                           Theme::text(), 1.4);
        });
    }

private:
    StillPicture picture_;
};

QWidget* section(const QString& title, QWidget** rows) {
    auto* box = new QWidget;
    auto* column = new QVBoxLayout(box);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(2);
    auto* caption = plainLabel(title.toUpper(), spaced(9.5, QFont::Bold, 1), Theme::tertiary());
    caption->setContentsMargins(8, 0, 0, 4);
    column->addWidget(caption);
    *rows = new QWidget;
    auto* list = new QVBoxLayout(*rows);
    list->setContentsMargins(0, 0, 0, 0);
    list->setSpacing(2);
    column->addWidget(*rows);
    return box;
}

// Replaces the rows of a section.
void fill(QWidget* box, const std::vector<std::pair<PlaceRow*, std::function<void()>>>& rows) {
    auto* list = static_cast<QVBoxLayout*>(box->layout());
    while (QLayoutItem* item = list->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    for (const auto& [row, action] : rows) {
        QObject::connect(row, &QAbstractButton::clicked, row, action);
        list->addWidget(row);
    }
}

}  // namespace

// ---- DiskUsageBadge

DiskUsageBadge::DiskUsageBadge(Monitor& monitor, QWidget* parent) : QWidget(parent), monitor_(monitor) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(8);
    meter_ = new Meter(0, Theme::color(badgeAmber));
    meter_->setFixedSize(60, 8);
    label_ = plainLabel({}, Theme::font(11), Theme::secondary());
    row->addWidget(meter_, 0, Qt::AlignVCenter);
    row->addWidget(label_, 0, Qt::AlignVCenter);
    connect(&monitor_, &Monitor::diskChanged, this, &DiskUsageBadge::sync);
    sync();
}

QString DiskUsageBadge::text(int64_t used, int64_t total) {
    return tr("%1 / %2").arg(toQString(formattedBytes(used)), toQString(formattedBytes(total)));
}

void DiskUsageBadge::sync() {
    const auto& disk = monitor_.disk();
    if (disk.total < 1) {
        // Hidden, but keeping its place would leave a gap: it takes no room.
        meter_->hide();
        label_->hide();
        return;
    }
    meter_->setFraction(disk.usedFraction());
    label_->setText(text(disk.used(), disk.total));
    meter_->show();
    label_->show();
}

// ---- PlaceRow

PlaceRow::PlaceRow(const QString& symbol, const QString& title, bool selected, double indent, QWidget* parent)
    : QAbstractButton(parent), symbol_(symbol), selected_(selected), indent_(indent) {
    setText(title);
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

QSize PlaceRow::sizeHint() const {
    const QFontMetricsF fm(Theme::font(12.5));
    return QSize(int(std::ceil(indent_ + 8 + 16 + 8 + fm.horizontalAdvance(text()) + 8)), int(std::ceil(fm.height() + 10)));
}

void PlaceRow::enterEvent(QEnterEvent*) {
    hovering_ = true;
    update();
}

void PlaceRow::leaveEvent(QEvent*) {
    hovering_ = false;
    update();
}

void PlaceRow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const size_t key = combinedKey({size_t(selected_) | size_t(hovering_) << 1, qHash(text())});
    picture_.paint(p, QRectF(rect()), devicePixelRatioF(), key, [&](QPainter& on) {
        on.setRenderHint(QPainter::Antialiasing);
        if (selected_ || hovering_) {
            on.setPen(Qt::NoPen);
            on.setBrush(selected_ ? Theme::white(0.1) : Theme::cardHover());
            on.drawRoundedRect(QRectF(rect()), 7, 7);
        }
        double x = indent_ + 8;
        const double s = Symbols::sizeForFont(11.5);
        Symbols::paint(on, symbol_, QRectF(x + (16 - s) / 2, (height() - s) / 2, s, s),
                       selected_ ? Theme::color(analyzeGreen) : Theme::secondary());
        x += 16 + 8;
        const QFont font = Theme::font(12.5, selected_ ? QFont::DemiBold : QFont::Normal);
        on.setFont(font);
        on.setPen(selected_ ? Theme::text() : Theme::withOpacity(Theme::text(), 0.8));
        on.drawText(QRectF(x, 0, width() - x - 8, height()), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                    QFontMetricsF(font).elidedText(text(), Qt::ElideRight, width() - x - 8));
    });
}

// ---- StatFigure

StatFigure::StatFigure(const QString& label, QWidget* parent)
    : QWidget(parent), label_(label.toUpper()), valueFont_(Theme::font(14, QFont::Bold)),
      labelFont_(spaced(9, QFont::Bold, 0.8)), roll_(this) {
    valueFont_.setStyleHint(QFont::SansSerif);
    connect(&roll_, &SpringAnimator::progressChanged, this, [this] { update(); });
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void StatFigure::setValue(const QString& value) {
    if (value == value_) return;
    from_ = value_;
    value_ = value;
    if (isVisible()) roll_.start(Spring::standard());
    updateGeometry();
    update();
}

void StatFigure::finishRoll() {
    roll_.stop();
    update();
}

QSize StatFigure::sizeHint() const {
    const QFontMetricsF v(valueFont_), l(labelFont_);
    return QSize(int(std::ceil(std::max(v.horizontalAdvance(value_), l.horizontalAdvance(label_)))),
                 int(std::ceil(v.height() + 1 + l.height())));
}

QSize StatFigure::minimumSizeHint() const {
    const QSize s = sizeHint();
    return QSize(int(s.width() * 0.75), s.height());
}

void StatFigure::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const double progress = roll_.isRunning() ? roll_.progress() : 1.0;
    const auto draw = [&](QPainter& on) {
        on.setRenderHint(QPainter::TextAntialiasing);
        QFont font = valueFont_;
        const double full = QFontMetricsF(font).horizontalAdvance(value_);
        // Shrinks down to three quarters of its size rather than wrapping or cutting.
        if (full > width() && full > 0) font.setPointSizeF(font.pointSizeF() * std::max(0.75, width() / full));
        const QFontMetricsF fm(font), base(valueFont_);
        on.setFont(font);
        on.setPen(Theme::text());
        on.setClipRect(QRectF(0, 0, width(), base.height()));
        TextRoll::paint(on, fm, from_, value_, progress, 0, base.ascent());
        on.setClipping(false);
        on.setFont(labelFont_);
        on.setPen(Theme::tertiary());
        on.drawText(QPointF(0, base.height() + 1 + QFontMetricsF(labelFont_).ascent()), label_);
    };
    if (progress < 1) {
        draw(p);
        return;
    }
    picture_.paint(p, QRectF(rect()), devicePixelRatioF(), qHash(value_), draw);
}

// ---- FolderPanel

std::vector<FolderPanel::Place> FolderPanel::places(const std::filesystem::path& home) {
    const std::vector<Place> all{
        {"/", tr("Whole disk"), QStringLiteral("internaldrive")},
        {home, pathToQString(home.filename()), QStringLiteral("house")},
        {home / "Library", QStringLiteral("Library"), QStringLiteral("building.columns")},
        {home / "Downloads", tr("Downloads"), QStringLiteral("arrow.down.circle")},
        {home / "Documents", tr("Documents"), QStringLiteral("doc")},
        {home / "Developer", QStringLiteral("Developer"), QStringLiteral("hammer")},
        {"/Applications", tr("Applications"), QStringLiteral("square.grid.2x2")},
    };
    std::vector<Place> out;
    for (const Place& p : all)
        if (Platform::FileOps::exists(p.url)) out.push_back(p);
    return out;
}

FolderPanel::FolderPanel(AnalyzeModel& model, QWidget* parent) : QWidget(parent), model_(model) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    // The chart's glow reaches past its square: the space above and below is the
    // chart's own, so the glow fades out there instead of being cut at its edge. The
    // panel reaches up to the window's top edge for the same reason, so above the
    // chart lies the screen's top padding too.
    chart_ = new OrbitChart;
    constexpr int above = AnalyzeView::topPadding + 10, below = 16;
    chart_->setContentsMargins(0, above, 0, below);
    chart_->setFixedHeight(above + 230 + below);
    column->addWidget(chart_);

    auto* card = new Card(12);
    card_ = card;
    card->contentLayout()->setSpacing(8);
    auto* top = new QHBoxLayout;
    top->setSpacing(8);
    icon_ = new QLabel;
    icon_->setFixedSize(28, 28);
    top->addWidget(icon_);
    auto* names = new QVBoxLayout;
    names->setSpacing(1);
    // A long name is cut inside the card; it never widens the column.
    name_ = new MiddleElided(Theme::font(14, QFont::Bold), Theme::text());
    pathLabel_ = new MiddleElided(Theme::font(10, QFont::Normal, Theme::Design::monospaced), Theme::tertiary());
    names->addWidget(name_);
    names->addWidget(pathLabel_);
    top->addLayout(names, 1);
    card->contentLayout()->addLayout(top);
    auto* figures = new QHBoxLayout;
    figures->setSpacing(12);
    size_ = new StatFigure(tr("size"));
    items_ = new StatFigure(tr("items"));
    files_ = new StatFigure(tr("files"));
    size_->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    figures->addWidget(size_, 0, Qt::AlignTop);
    figures->addWidget(items_, 1, Qt::AlignTop);
    figures->addWidget(files_, 1, Qt::AlignTop);
    card->contentLayout()->addLayout(figures);
    measuringRow_ = new QWidget;
    auto* measuring = new QHBoxLayout(measuringRow_);
    measuring->setContentsMargins(0, 0, 0, 0);
    measuring->setSpacing(6);
    measuring->addWidget(new SpinnerView(Theme::tertiary()));
    measuring_ = plainLabel({}, Theme::font(10.5, QFont::Normal, Theme::Design::monospaced), Theme::tertiary());
    measuring->addWidget(measuring_);
    measuring->addStretch(1);
    card->contentLayout()->addWidget(measuringRow_);
    unreadable_ = plainLabel(tr("Quelto can't read this folder"), Theme::font(10.5), Theme::review());
    card->contentLayout()->addWidget(unreadable_);
    column->addWidget(card);
    column->addSpacing(16);

    // Below the card, the lists take what height is left and scroll in it.
    lists_ = new ShortenedScroll;
    makePlainScrollArea(lists_);
    lists_->setWidgetResizable(true);
    auto* content = new QWidget;
    auto* sections = new QVBoxLayout(content);
    sections->setContentsMargins(0, 0, 0, 0);
    sections->setSpacing(0);
    sections->addWidget(section(tr("Places"), &placesBox_));
    sections->addSpacing(16);
    sections->addWidget(section(tr("You are here"), &pathBox_));
    sections->addStretch(1);
    // Room to scroll a little past the last row, so the rows above it can start whole.
    sections->addSpacing(PlaceRow(QString(), QString(), false, 0).sizeHint().height());
    lists_->setWidget(content);
    // The sky shows through (the scroll area paints its content's background otherwise).
    content->setAutoFillBackground(false);
    column->addWidget(lists_, 1);

    content->installEventFilter(this);
    lists_->installEventFilter(this);
    connect(lists_->verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { fitView(false); });
    connect(chart_, &OrbitChart::focusEdited, &model_, &AnalyzeModel::setFocus);
    connect(chart_, &OrbitChart::openRequested, this, &FolderPanel::openFocus);
    connect(&model_, &AnalyzeModel::entriesChanged, this, &FolderPanel::syncChart);
    connect(&model_, &AnalyzeModel::subSlicesChanged, this, &FolderPanel::syncChart);
    connect(&model_, &AnalyzeModel::focusChanged, this, &FolderPanel::syncFocus);
    connect(&model_, &AnalyzeModel::pathChanged, this, &FolderPanel::syncFolder);
    connect(&model_, &AnalyzeModel::entriesChanged, this, &FolderPanel::syncStats);
    connect(&model_, &AnalyzeModel::readableChanged, this, &FolderPanel::syncStats);
    connect(&model_, &AnalyzeModel::readableChanged, this, &FolderPanel::syncFocus);
    syncFolder();
    syncChart();
    syncStats();
}

void FolderPanel::syncChart() {
    chart_->setRings(OrbitLayout::layout(model_.entries(), model_.subSlices()));
    syncFocus();
}

void FolderPanel::syncFocus() {
    chart_->setChartFocus(model_.focus());
    chart_->setReadout(CenterReadout::detail(model_.entries(), model_.subSlices(),
                                             {model_.path().back(), model_.folderSize(), model_.folderFiles()},
                                             model_.total(), model_.focus()));
}

void FolderPanel::openFocus(const AnalyzeFocus& focus) {
    // Found afresh: a reload may have removed what the arc stood for.
    if (focus.kind == AnalyzeFocus::Kind::entry) {
        for (const auto& e : model_.entries())
            if (e.url.is(focus.path)) {
                model_.open(e);
                break;
            }
    } else if (focus.kind == AnalyzeFocus::Kind::slice) {
        [&] {
            for (const auto& [key, slices] : model_.subSlices())
                for (const auto& s : slices)
                    if (s.url.is(focus.path)) return model_.open(s);
        }();
    }
    model_.setFocus(std::nullopt);
}

void FolderPanel::syncFolder() {
    const auto& path = model_.path();
    const std::filesystem::path shown = path.back();
    chart_->setShownFolder(shown);
    const QPixmap icon = IconCache::icon(shown);
    icon_->setPixmap(icon.scaled(QSize(28, 28) * icon.devicePixelRatio(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
    static_cast<MiddleElided*>(name_)->setFullText(PathText::folderName(shown));
    static_cast<MiddleElided*>(pathLabel_)->setFullText(PathText::tilde(shown, model_.home()));

    const std::filesystem::path here = standardized(shown);
    std::vector<std::pair<PlaceRow*, std::function<void()>>> rows;
    for (const Place& place : places(model_.home()))
        rows.push_back({new PlaceRow(place.symbol, place.title, standardized(place.url) == here, 0),
                        [this, url = place.url] { model_.navigate(url); }});
    fill(placesBox_, rows);
    rows.clear();
    for (size_t i = 0; i < path.size(); ++i) {
        const bool last = i + 1 == path.size();
        rows.push_back({new PlaceRow(last ? QStringLiteral("folder.fill") : QStringLiteral("folder"),
                                     PathText::folderName(path[i]), last, double(i) * 10),
                        [this, i] { model_.go(int(i)); }});
    }
    fill(pathBox_, rows);
    revealHere_ = true;
    syncChart();
}

void FolderPanel::syncStats() {
    // A folder that cannot be read has no figures: nothing in it is known.
    const auto size = model_.folderSize(), files = model_.folderFiles();
    const QString unknown = QStringLiteral("—");
    size_->setValue(size ? toQString(formattedBytes(*size)) : unknown);
    items_->setValue(model_.readable() ? QString::number(model_.entries().size()) : unknown);
    files_->setValue(files ? FileCount::format(*files) : unknown);
    unreadable_->setVisible(!model_.readable());
    const int pending = model_.pending();
    measuringRow_->setVisible(pending >= 1);
    measuring_->setText(tr("measuring %1…").arg(pending));
}

bool FolderPanel::showsMeasuring() const { return !measuringRow_->isHidden(); }

int FolderPanel::shownHeight() const {
    return lists_->y() + lists_->height() - static_cast<ShortenedScroll*>(lists_)->shownMargin();
}

void FolderPanel::fitView(bool relaid) {
    QWidget* content = lists_->widget();
    QScrollBar* bar = lists_->verticalScrollBar();
    const int height = lists_->height();
    if (relaid && content->layout()) {
        content->layout()->activate();
        // Where the view may start: at a section's title or a row, never through one.
        std::vector<int> tops{0};
        for (const QWidget* w : content->findChildren<QWidget*>())
            if (qobject_cast<const PlaceRow*>(w) || w->parentWidget() == content) tops.push_back(w->mapTo(content, QPoint()).y());
        std::sort(tops.begin(), tops.end());
        int want = bar->value(), lowest = 0;
        const QList<PlaceRow*> path = pathRows();
        if (!path.isEmpty()) {
            const PlaceRow* here = path.last();
            const int top = here->mapTo(content, QPoint()).y(), bottom = top + here->height();
            // A new path: its last row, the shown folder, is scrolled into view once the
            // lists are laid out with it; once in view, it stays there.
            if (revealHere_) {
                if (bottom - want > height) want = bottom - height;
                if (top < want) want = top;
                // Until the scroll area has taken the lists' new length, this is tried again.
                if (want <= bar->maximum()) revealHere_ = false;
            }
            if (top >= want && bottom - want <= height) lowest = bottom - height;
        }
        // The start at or below the one wanted, else above it while the shown folder's
        // row stays in view, else the one wanted. The view's end, set below, can only
        // lengthen the range.
        const int max = std::max(0, content->height() - height);
        int value = std::min(want, max);
        if (const auto below = std::lower_bound(tops.begin(), tops.end(), want); below != tops.end() && *below <= max)
            value = *below;
        else if (const auto above = std::upper_bound(tops.begin(), tops.end(), value);
                 above != tops.begin() && *std::prev(above) >= lowest)
            value = *std::prev(above);
        bar->setValue(value);
    }
    // Lists too long for the room left, what shows ends below the last row that fits
    // whole, so nothing is cut through (a section's title least of all); the rest
    // scrolls into view.
    const int offset = bar->value();
    int end = height;
    if (content->height() - offset > height) {
        end = 0;
        for (PlaceRow* row : content->findChildren<PlaceRow*>()) {
            const int bottom = row->mapTo(content, QPoint(0, row->height())).y() - offset;
            if (bottom <= height) end = std::max(end, bottom);
        }
    }
    static_cast<ShortenedScroll*>(lists_)->setShownMargin(height - end);
}

bool FolderPanel::eventFilter(QObject* watched, QEvent* e) {
    if (watched == lists_ && e->type() == QEvent::Resize) revealHere_ = true;
    // The lists are laid out afresh (rows came or went, or they were resized).
    if ((watched == lists_ && e->type() == QEvent::Resize) ||
        (watched == lists_->widget() && (e->type() == QEvent::Resize || e->type() == QEvent::LayoutRequest)))
        QMetaObject::invokeMethod(this, [this] { fitView(true); }, Qt::QueuedConnection);
    return QWidget::eventFilter(watched, e);
}

void FolderPanel::finishAnimations() {
    chart_->showRevealAt(1);
    chart_->settleFocus();
    for (StatFigure* f : {size_, items_, files_}) f->finishRoll();
}

QList<PlaceRow*> FolderPanel::placeRows() const { return placesBox_->findChildren<PlaceRow*>(); }
QList<PlaceRow*> FolderPanel::pathRows() const { return pathBox_->findChildren<PlaceRow*>(); }

// ---- AnalyzeView

AnalyzeView::AnalyzeView(AnalyzeModel& model, Monitor& monitor, QWidget* parent) : QWidget(parent), model_(model) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(22, 0, 22, 22);
    row->setSpacing(18);
    panel_ = new FolderPanel(model_);
    panel_->setFixedWidth(250);
    row->addWidget(panel_);

    auto* column = new QVBoxLayout;
    column->setContentsMargins(0, topPadding, 0, 0);
    column->setSpacing(12);
    auto* header = new QHBoxLayout;
    header->setSpacing(10);
    back_ = new BackButton;
    crumbs_ = new Breadcrumbs(model_);
    modes_ = new SubTabs({{rawValue(AnalyzeModel::Mode::folders), tr("Contents")},
                          {rawValue(AnalyzeModel::Mode::largeFiles), tr("Large files")}});
    badge_ = new DiskUsageBadge(monitor);
    measure_ = new SymbolButton(QStringLiteral("arrow.clockwise"), 13);
    measure_->setToolTip(tr("Measure again"));
    header->addWidget(back_, 0, Qt::AlignVCenter);
    header->addWidget(crumbs_, 1, Qt::AlignVCenter);
    header->addSpacing(8);
    header->addWidget(modes_, 0, Qt::AlignVCenter);
    header->addWidget(badge_, 0, Qt::AlignVCenter);
    header->addWidget(measure_, 0, Qt::AlignVCenter);
    column->addLayout(header);

    auto* content = new QWidget;
    contentStack_ = new QStackedLayout(content);
    table_ = new DetailTable(model_);
    largeFiles_ = new LargeFilesList(model_);
    reading_ = new AnalyzeHero(tr("Reading…"), {});
    contentStack_->addWidget(table_);
    contentStack_->addWidget(largeFiles_);
    contentStack_->addWidget(reading_);
    column->addWidget(content, 1);
    row->addLayout(column, 1);

    connect(back_, &QAbstractButton::clicked, this, [this] { model_.goBack(); });
    auto* shortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_BracketLeft), this);
    shortcut->setContext(Qt::WidgetWithChildrenShortcut);
    connect(shortcut, &QShortcut::activated, this, [this] {
        if (canGoBack()) model_.goBack();
    });
    connect(measure_, &QAbstractButton::clicked, this, [this] { model_.rescan(); });
    connect(modes_, &SubTabs::selectionRequested, this, [this](const QString& value) {
        model_.setMode(value == rawValue(AnalyzeModel::Mode::largeFiles) ? AnalyzeModel::Mode::largeFiles
                                                                          : AnalyzeModel::Mode::folders);
    });
    connect(&model_, &AnalyzeModel::pathChanged, this, &AnalyzeView::sync);
    connect(&model_, &AnalyzeModel::modeChanged, this, &AnalyzeView::sync);
    connect(&model_, &AnalyzeModel::listingChanged, this, &AnalyzeView::sync);
    connect(&model_, &AnalyzeModel::entriesChanged, this, &AnalyzeView::sync);
    sync();
}

bool AnalyzeView::canGoBack() const {
    return model_.path().size() >= 2 && model_.mode() == AnalyzeModel::Mode::folders;
}

void AnalyzeView::sync() {
    back_->setEnabled(canGoBack());
    const bool large = model_.mode() == AnalyzeModel::Mode::largeFiles;
    modes_->setSelection(rawValue(model_.mode()));
    content_ = large                                              ? Content::largeFiles
               : model_.listing() && model_.entries().empty() ? Content::reading
                                                                  : Content::table;
    reading_->setSubtitle(pathToQString(model_.path().back()));
    contentStack_->setCurrentWidget(content_ == Content::largeFiles ? static_cast<QWidget*>(largeFiles_)
                                     : content_ == Content::reading  ? static_cast<QWidget*>(reading_)
                                                                     : table_);
}

void AnalyzeView::finishAnimations() {
    modes_->finishAnimation();
    panel_->finishAnimations();
    table_->list()->settle();
}

void AnalyzeView::showEvent(QShowEvent*) {
    // The first showing starts the first listing; later ones show what is there.
    if (model_.entries().empty() && !model_.listing()) model_.load();
}
