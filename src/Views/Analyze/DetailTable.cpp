#include "Views/Analyze/DetailTable.h"

#include <QCoreApplication>
#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QMenu>
#include <QPainter>
#include <QVBoxLayout>

#include "Models/Analyze/FileCount.h"
#include "Models/Analyze/OrbitLayout.h"
#include "Models/Kit/MotionPause.h"
#include "Models/Kit/QtBridge.h"
#include "Models/Settings/Preferences.h"
#include "Platform/Gui/IconCache.h"
#include "Views/Analyze/RemovalBar.h"
#include "Views/Kit/Controls.h"
#include "Views/Kit/StillPicture.h"
#include "Views/Kit/Symbols.h"
#include "Views/Kit/Theme.h"

namespace {
const char* captions[] = {QT_TRANSLATE_NOOP("DetailTable", "NAME"), QT_TRANSLATE_NOOP("DetailTable", "SIZE"),
                          QT_TRANSLATE_NOOP("DetailTable", "%"), QT_TRANSLATE_NOOP("DetailTable", "FILES")};

// The platform's system grey.
QColor systemGray() { return QColor::fromRgbF(0.557f, 0.557f, 0.576f); }

QFont caption() {
    QFont f = Theme::font(9.5, QFont::Bold);
    f.setLetterSpacing(QFont::AbsoluteSpacing, 0.8);
    return f;
}

// The header's captions over the columns of the rows.
class Header : public QWidget {
public:
    explicit Header(QWidget* parent = nullptr) : QWidget(parent), font_(caption()) {
        setFixedHeight(int(std::ceil(QFontMetricsF(font_).height() + 16)));
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        picture_.paint(p, QRectF(rect()), devicePixelRatioF(), 0, [&](QPainter& on) {
            on.setFont(font_);
            on.setPen(Theme::tertiary());
            const DetailColumns c = DetailColumns::at(width());
            const auto text = [&](double left, double w, Qt::Alignment align, const char* key) {
                on.drawText(QRectF(left, 0, w, height()), align | Qt::AlignVCenter, tr(key));
            };
            text(c.name, c.nameEnd - c.name, Qt::AlignLeft, captions[0]);
            text(c.size, DetailColumns::sizeWidth, Qt::AlignRight, captions[1]);
            text(c.share, DetailColumns::shareWidth, Qt::AlignRight, captions[2]);
            text(c.files, DetailColumns::filesWidth, Qt::AlignRight, captions[3]);
            on.fillRect(QRectF(0, height() - 1, width(), 1), Theme::stroke());
        });
    }

private:
    QFont font_;
    StillPicture picture_;
};
}  // namespace

// ---- DetailRow

QColor DetailRow::color() const {
    return colorIndex ? Theme::color(OrbitLayout::paletteColor(*colorIndex)) : systemGray();
}

QString DetailRow::percentText(const std::optional<double>& share) {
    if (!share) return QStringLiteral("—");
    return QString::asprintf(*share < 0.1 ? "%.1f" : "%.0f", *share * 100);
}

// ---- DetailColumns

DetailColumns DetailColumns::at(double width) {
    DetailColumns c{};
    c.box = padding;
    c.name = c.box + CheckBox::side + spacing;
    c.files = width - padding - filesWidth;
    c.share = c.files - spacing - shareWidth;
    c.size = c.share - spacing - sizeWidth;
    c.nameEnd = c.size - spacing;
    return c;
}

// ---- DetailList

DetailList::DetailList(AnalyzeModel& model, QWidget* parent)
    : RowList({rowHeight, 0, 0}, parent), model_(model), spinner_([this] {
          const auto& entries = model_.entries();
          if (const auto shown = onScreen())
              for (int i = shown->first; i <= shown->second && i < int(entries.size()); ++i)
                  if (entries[size_t(i)].measuring()) updateRow(i);
      }) {
    name_ = Theme::font(12.5);
    nameLit_ = Theme::font(12.5, QFont::DemiBold);
    size_ = Theme::font(11, QFont::Medium, Theme::Design::monospaced);
    small_ = Theme::font(10.5, QFont::Normal, Theme::Design::monospaced);

    lightChange_.setDuration(120);
    lightChange_.setEasingCurve(QEasingCurve::OutCubic);
    lightChange_.setStartValue(0.0);
    lightChange_.setEndValue(1.0);
    connect(&lightChange_, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
        change_ = v.toDouble();
        updateLightRows();
    });
    hotChange_.setDuration(120);
    hotChange_.setEasingCurve(QEasingCurve::OutCubic);
    connect(&hotChange_, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
        hot_ = v.toDouble();
        updateRow(hotRow_);
    });
    connect(&model_, &AnalyzeModel::entriesChanged, this, &DetailList::refresh);
    connect(&model_, &AnalyzeModel::focusChanged, this, &DetailList::refreshLight);
    connect(&MotionPause::shared(), &MotionPause::hiddenChanged, this, &DetailList::syncSpinner);
    // Scrolled under a pointer at rest, the list lights what is under it now.
    connect(&MotionPause::shared(), &MotionPause::scrollingChanged, this, [this](bool scrolling) {
        if (!scrolling) pointerAgain();
    });
    connect(&model_, &AnalyzeModel::selectionChanged, this, &DetailList::refresh);
    // What an empty list says follows the folder.
    connect(&model_, &AnalyzeModel::readableChanged, viewport(), qOverload<>(&QWidget::update));
    connect(&model_, &AnalyzeModel::listingChanged, viewport(), qOverload<>(&QWidget::update));
    setEmptyHeight(int(std::ceil(QFontMetricsF(name_).height())) + 60);
    // The model forgets its verdicts first (it was made before any view).
    connect(&Preferences::shared(), &Preferences::protectedPathsChanged, this, &DetailList::refresh);
    refresh();
}

DetailRow DetailList::row(int index) const {
    const auto& entries = model_.entries();
    const auto& e = entries.at(size_t(index));
    DetailRow r{e, {}, {}};
    if (!denominator_) denominator_ = std::max<double>(1.0, double(model_.total()));
    if (e.size) r.share = double(*e.size) / *denominator_;
    if (r.share && *r.share >= OrbitLayout::minimumShare) {
        // Its colour number: the sized entries before it.
        if (sizedBefore_.empty()) sizedBefore_.push_back(0);
        while (sizedBefore_.size() <= size_t(index)) {
            const size_t before = sizedBefore_.size() - 1;
            sizedBefore_.push_back(sizedBefore_.back() + (OrbitLayout::isSized(entries[before].size) ? 1 : 0));
        }
        r.colorIndex = sizedBefore_[size_t(index)];
    }
    const auto& focus = model_.focus();
    r.lit = focus && focus->kind == AnalyzeFocus::Kind::entry && e.url.is(focus->path);
    r.selected = model_.selection().contains(e.url);
    r.removable = model_.canRemove(e);
    return r;
}

std::optional<std::pair<int, int>> DetailList::onScreen() const {
    if (count() == 0) return std::nullopt;
    const int first = rowAt(QPoint(1, 0)), last = rowAt(QPoint(1, viewport()->height() - 1));
    return std::pair(std::max(0, first), last < 0 ? count() - 1 : last);
}

std::optional<int> DetailList::rowOf(const std::string& path) const {
    const auto& entries = model_.entries();
    const auto shown = onScreen();
    if (shown)
        for (int i = shown->first; i <= shown->second && i < int(entries.size()); ++i)
            if (entries[size_t(i)].url.is(path)) return i;
    for (size_t i = 0; i < entries.size(); ++i)
        if (entries[i].url.is(path)) return int(i);
    return std::nullopt;
}

// The trash button leaves the row it was on and comes to the lit one.
void DetailList::followLight() {
    std::string lit;
    const auto& focus = model_.focus();
    if (focus && focus->kind == AnalyzeFocus::Kind::entry)
        if (const auto i = rowOf(focus->path); i && showsTrash(row(*i))) lit = focus->path;
    if (lit == appearing_) return;
    leaving_ = appearing_;
    appearing_ = lit;
    hotRow_ = -1;
    hot_ = 0;
    if (isVisible()) lightChange_.start();
    else change_ = 1;
}

// Only the light moved: of the rows on screen, those whose light changed are drawn again.
void DetailList::refreshLight() {
    for (auto& [i, drawn] : drawn_) {
        if (i >= count()) continue;
        const auto& focus = model_.focus();
        const bool lit = focus && focus->kind == AnalyzeFocus::Kind::entry && drawn.entry.url.is(focus->path);
        if (lit == drawn.lit) continue;
        drawn.lit = lit;
        updateRow(i);
    }
    followLight();
}

void DetailList::refresh() {
    denominator_.reset();
    sizedBefore_ = {};
    followLight();
    const int n = int(model_.entries().size());
    if (n != count()) {
        drawn_.clear();
        setCount(n);
    } else if (const auto shown = onScreen()) {
        // Rows on screen that read otherwise now are drawn again; the rest never are.
        std::erase_if(drawn_, [&](const auto& d) { return d.first < shown->first || d.first > shown->second; });
        for (int i = shown->first; i <= shown->second; ++i) {
            const auto it = drawn_.find(i);
            if (it == drawn_.end() || !(row(i) == it->second)) updateRow(i);
        }
    }
    syncSpinner();
}

void DetailList::settle() {
    lightChange_.stop();
    change_ = 1;
    hotChange_.stop();
    hot_ = hotChange_.endValue().toDouble();
    updateLightRows();
}

// Only the rows the trash button comes to and leaves change while it does.
void DetailList::updateLightRows() {
    const auto& entries = model_.entries();
    if (const auto shown = onScreen())
        for (int i = shown->first; i <= shown->second && i < int(entries.size()); ++i) {
            const ChildPath& path = entries[size_t(i)].url;
            if ((!appearing_.empty() && path.is(appearing_)) || (!leaving_.empty() && path.is(leaving_))) updateRow(i);
        }
}

void DetailList::syncSpinner() {
    spinner_.run(model_.pending() > 0 && isVisible() && !MotionPause::shared().hidden());
}

void DetailList::showEvent(QShowEvent*) { syncSpinner(); }
void DetailList::hideEvent(QHideEvent*) { syncSpinner(); }

QRectF DetailList::boxRect() {
    return QRectF(DetailColumns::padding, (rowHeight - CheckBox::side) / 2.0, CheckBox::side, CheckBox::side);
}

QRectF DetailList::trashRect(double width) {
    const DetailColumns c = DetailColumns::at(width);
    return QRectF(c.files + DetailColumns::filesWidth - RowTrashButton::width, (rowHeight - RowTrashButton::height) / 2,
                  RowTrashButton::width, RowTrashButton::height);
}

double DetailList::trashAmount(const DetailRow& r) const {
    if (!appearing_.empty() && r.entry.url.is(appearing_) && showsTrash(r)) return change_;
    if (!leaving_.empty() && r.entry.url.is(leaving_) && r.removable) return 1 - change_;
    return 0;
}

void DetailList::paintRow(QPainter& p, int i, const QRect& rect) {
    const DetailRow& r = drawn_.insert_or_assign(i, row(i)).first->second;
    const double trash = trashAmount(r), hot = i == hotRow_ ? hot_ : 0.0;
    const auto draw = [&](QPainter& on) { drawRow(on, r, rect.width(), trash, hot); };
    // A row that is not changing is copied from its picture.
    const bool still = !r.entry.measuring() && (trash == 0 || trash == 1) && (hot == 0 || hot == 1);
    if (!still) {
        p.translate(rect.topLeft());
        draw(p);
        return;
    }
    const size_t key = combinedKey({r.entry.url.hash(), size_t(r.entry.size.value_or(-1)),
                                    size_t(r.entry.files.value_or(-1)), size_t(r.colorIndex.value_or(-1)),
                                    std::hash<double>{}(r.share.value_or(-1)),
                                    size_t(r.lit) | size_t(r.selected) << 1 | size_t(r.removable) << 2 |
                                        size_t(r.entry.isFolder) << 3 | size_t(trash) << 4 | size_t(hot) << 5 |
                                        size_t(r.entry.sizeless) << 6 | size_t(r.entry.unreadable) << 7});
    paintFromPicture(p, i, rect, key, draw);
}

void DetailList::drawRow(QPainter& p, const DetailRow& r, double w, double trash, double hot) const {
    p.setRenderHint(QPainter::Antialiasing);
    const QColor color = r.color();
    if (r.selected) p.fillRect(QRectF(0, 0, w, rowHeight), Theme::withOpacity(Theme::danger(), 0.1));
    else if (r.lit) p.fillRect(QRectF(0, 0, w, rowHeight), Theme::withOpacity(color, 0.14));
    const double cy = rowHeight / 2.0;
    const DetailColumns c = DetailColumns::at(w);

    p.save();
    p.setOpacity(r.removable ? 1.0 : 0.25);
    CheckBox::paint(p, boxRect().topLeft(), r.selected ? CheckBox::Mark::on : CheckBox::Mark::off);
    p.restore();

    // Name: the arc's colour, the icon, the name and, for a folder, a chevron.
    double x = c.name;
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.drawEllipse(QPointF(x + 3, cy), 3, 3);
    x += 6 + 8;
    IconCache::draw(p, QRectF(x, cy - 9, 18, 18), r.entry.url);
    x += 18 + 8;
    const double chevron = r.entry.isFolder ? Symbols::sizeForFont(9) : 0;
    const QFont& nameFont = r.lit ? nameLit_ : name_;
    const QFontMetricsF nameFm(nameFont);
    // A folder that cannot be read says so after its name, which gives way first.
    const QString note = r.entry.unreadable ? unreadableNote() : QString();
    const double noteWidth = note.isEmpty() ? 0 : QFontMetricsF(small_).horizontalAdvance(note) + 8;
    const double room = std::max(0.0, c.nameEnd - x - (chevron ? chevron + 8 : 0) - noteWidth);
    const QString name = nameFm.elidedText(pathToQString(r.entry.url.filename()), Qt::ElideMiddle, room);
    p.setFont(nameFont);
    p.setPen(Theme::text());
    p.drawText(QRectF(x, 0, room + 1, rowHeight), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, name);
    double after = x + nameFm.horizontalAdvance(name) + 8;
    if (chevron) {
        p.save();
        p.setOpacity(r.lit ? 1.0 : 0.5);
        Symbols::paint(p, QStringLiteral("chevron.right"), QRectF(after, cy - chevron / 2, chevron, chevron), Theme::tertiary(), 1.4);
        p.restore();
        after += chevron + 8;
    }
    if (!note.isEmpty()) {
        p.setFont(small_);
        p.setPen(Theme::review());
        p.drawText(QRectF(after, 0, noteWidth, rowHeight), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, note);
    }

    // Size, a dash where there is none, or a spinner while it is measured.
    if (r.entry.size) {
        p.setFont(size_);
        p.setPen(Theme::text());
        p.drawText(QRectF(c.size, 0, DetailColumns::sizeWidth, rowHeight), Qt::AlignRight | Qt::AlignVCenter,
                   toQString(formattedBytes(*r.entry.size)));
    } else if (r.entry.sizeless || r.entry.unreadable) {
        p.setFont(small_);
        p.setPen(Theme::secondary());
        p.drawText(QRectF(c.size, 0, DetailColumns::sizeWidth, rowHeight), Qt::AlignRight | Qt::AlignVCenter,
                   QStringLiteral("—"));
    } else {
        Spinner::paint(p, QRectF(c.size + DetailColumns::sizeWidth - Spinner::side, cy - Spinner::side / 2, Spinner::side, Spinner::side),
                       Theme::secondary(), spinner_.step());
    }

    // Share: a bar and the percentage.
    const double bar = 44, pct = 32, shareLeft = c.share + DetailColumns::shareWidth - pct - 5 - bar;
    p.setPen(Qt::NoPen);
    p.setBrush(Theme::white(0.07));
    p.drawRoundedRect(QRectF(shareLeft, cy - 2, bar, 4), 2, 2);
    if (r.share && *r.share > 0) {
        p.setBrush(Theme::withOpacity(color, 0.85));
        p.drawRoundedRect(QRectF(shareLeft, cy - 2, bar * std::min(*r.share, 1.0), 4), 2, 2);
    }
    p.setFont(small_);
    p.setPen(Theme::secondary());
    p.drawText(QRectF(c.share + DetailColumns::shareWidth - pct, 0, pct, rowHeight), Qt::AlignRight | Qt::AlignVCenter,
               DetailRow::percentText(r.share));

    // Files, or the trash button while the row is lit.
    if (trash < 1) {
        p.save();
        p.setOpacity(1 - trash);
        p.drawText(QRectF(c.files, 0, DetailColumns::filesWidth, rowHeight), Qt::AlignRight | Qt::AlignVCenter,
                   r.entry.files ? FileCount::format(*r.entry.files) : QStringLiteral("—"));
        p.restore();
    }
    if (trash > 0) {
        const QRectF t = trashRect(w);
        const double scale = 0.85 + 0.15 * trash;
        p.save();
        p.setOpacity(trash);
        p.translate(t.center());
        p.scale(scale, scale);
        RowTrashButton::paint(p, t.translated(-t.center()), hot);
        p.restore();
    }
}

void DetailList::pointerMoved(std::optional<QPoint> content) {
    std::optional<AnalyzeFocus> next;
    if (!content) {
        // Leaving the list clears only a row's focus.
        setHot(false);
        const auto& focus = model_.focus();
        if (focus && focus->kind == AnalyzeFocus::Kind::entry) model_.setFocus(std::nullopt);
        return;
    }
    if (MotionPause::shared().scrolling()) return;
    const int at = content->y() < 0 ? -1 : content->y() / rowHeight;
    const bool onRow = at >= 0 && at < count();
    if (onRow) next = AnalyzeFocus::entry(model_.entries()[size_t(at)].id());
    const auto& focus = model_.focus();
    if (next != focus) model_.setFocus(next);
    // Over the lit row's trash button?
    const int lit = onRow && showsTrash(row(at)) ? at : -1;
    const QPoint inRow(content->x(), content->y() - at * rowHeight);
    if (lit != hotRow_) {
        hotRow_ = lit;
        hot_ = 0;
    }
    setHot(lit >= 0 && trashRect(viewport()->width()).contains(inRow));
}

void DetailList::setHot(bool hot) {
    const double target = hot ? 1.0 : 0.0;
    if (hotChange_.endValue().toDouble() == target && (hotChange_.state() == QAbstractAnimation::Running || hot_ == target))
        return;
    hotChange_.stop();
    hotChange_.setStartValue(hot_);
    hotChange_.setEndValue(target);
    hotChange_.start();
}

void DetailList::rowClicked(int i, QPoint inRow, Qt::MouseButton button) {
    if (button != Qt::LeftButton || i >= count()) return;
    const DetailRow r = row(i);
    const double w = viewport()->width();
    if (boxRect().adjusted(-4, -4, 4, 4).contains(inRow)) {
        model_.toggleSelection(r.entry);
        return;
    }
    if (showsTrash(r) && trashRect(w).contains(inRow)) {
        model_.trash(r.entry);
        return;
    }
    model_.open(r.entry);
}

void DetailList::rowMenuRequested(int i, QPoint, QPoint global) {
    if (i >= count()) return;
    QMenu* menu = EntryMenu::make(model_.entries()[size_t(i)], model_, this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(global);
}

QString DetailList::toolTip(int i, QPoint inRow) const {
    if (i >= count()) return {};
    const DetailRow r = row(i);
    const double w = viewport()->width();
    if (!r.removable && boxRect().adjusted(-4, -4, 4, 4).contains(inRow)) return tr("Protected — Quelto won't remove this");
    if (showsTrash(r) && trashRect(w).contains(inRow)) return RowTrashButton::toolTip();
    if (r.entry.unreadable) return tr("Quelto can't read this folder");
    return {};
}

QString DetailList::unreadableNote() { return tr("Quelto can't read it"); }

QString DetailList::emptyText() const {
    if (model_.listing()) return {};
    if (!model_.readable()) return tr("Quelto can't read this folder");
    // Links are counted in the folder's size and files, but never listed.
    if (model_.unlistedFiles() > 0) return tr("Nothing listed: this folder holds only links");
    return tr("This folder is empty");
}

void DetailList::paintEmpty(QPainter& p, const QRect& rect) {
    paintNote(p, rect, name_, emptyText());
}

// ---- DetailTable

DetailTable::DetailTable(AnalyzeModel& model, QWidget* parent) : ListCard(parent), model_(model) {
    header_ = new Header;
    selectAll_ = new CheckBox(CheckBox::Mark::off, [this] { toggleAll(); }, header_);
    selectAll_->setToolTip(tr("Select all"));
    list_ = new DetailList(model_);
    bar_ = new RemovalBar(model_);
    bar_->setCornerRadius(CardModifier::cornerRadius);
    contentLayout()->addWidget(header_);
    contentLayout()->addWidget(list_, 1);
    contentLayout()->addWidget(bar_);
    clipToCorners(list_);
    connect(&model_, &AnalyzeModel::entriesChanged, this, &DetailTable::syncSelectAll);
    connect(&model_, &AnalyzeModel::selectionChanged, this, &DetailTable::syncSelectAll);
    connect(&Preferences::shared(), &Preferences::protectedPathsChanged, this, &DetailTable::syncSelectAll);
    syncSelectAll();
}

void DetailTable::syncSelectAll() {
    selectAll_->move(int(DetailColumns::padding), (header_->height() - CheckBox::side) / 2);
    const int selectable = int(model_.removableCount());
    const size_t selected = model_.selection().size();
    selectAll_->setEnabled(selectable > 0);
    selectAll_->setState(selected == 0                     ? CheckBox::Mark::off
                         : int(selected) == selectable ? CheckBox::Mark::on
                                                       : CheckBox::Mark::mixed);
}

void DetailTable::toggleAll() {
    if (!model_.selection().empty()) {
        model_.setSelection({});
        return;
    }
    AnalyzeModel::Selection all;
    const auto& entries = model_.entries();
    if (!entries.empty()) all.reserve(entries.front().url, entries.size());
    for (const auto& e : entries)
        if (model_.canRemove(e)) all.insert(e.url);
    model_.setSelection(std::move(all));
}
