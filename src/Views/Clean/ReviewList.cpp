#include "Views/Clean/ReviewList.h"

#include <QCoreApplication>
#include <QFontMetricsF>
#include <QHelpEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QToolTip>

#include <algorithm>
#include <cmath>

#include "Models/Kit/QtBridge.h"
#include "Platform/Gui/FileManager.h"
#include "Platform/Gui/IconCache.h"
#include "Platform/Gui/Pasteboard.h"
#include "Views/Kit/Spring.h"
#include "Views/Kit/Symbols.h"
#include "Views/Kit/Theme.h"
#include "Models/Kit/Localization.h"

namespace {
QString tr(const char* text) { return QCoreApplication::translate("ReviewPanel", text); }
QString bytes(int64_t n) { return toQString(formattedBytes(n)); }

constexpr int sidePadding = 18;
constexpr int bottomPadding = 12;
constexpr int spacing = 10;
constexpr double cardRadius = 12;
constexpr int headerInsetX = 14, headerInsetY = 11;
constexpr int rowLeading = 40, rowTrailing = 36, rowInsetY = 6;
constexpr int bannerPadding = 12;

int up(double v) { return int(std::ceil(v)); }
}  // namespace

// ---- ReportBanner

QString ReportBanner::headline(const CleanReport& r) {
    const auto count = qlonglong(r.removed.size());
    if (r.dryRun) return counted("Preview: %1 would be freed (%n items)", count).arg(bytes(r.freed));
    if (r.trashed >= 1) return tr("Freed %1 · %2 in the Trash").arg(bytes(r.freed - r.trashed), bytes(r.trashed));
    return counted("Freed %1 · %n items removed", count).arg(bytes(r.freed - r.trashed));
}

QString ReportBanner::symbol(const CleanReport& r) {
    return r.dryRun ? QStringLiteral("eye") : QStringLiteral("checkmark.circle.fill");
}

QColor ReportBanner::color(const CleanReport& r) { return r.dryRun ? Theme::review() : Theme::good(); }

QString ReportBanner::skippedTitle(const CleanReport& r) { return tr("%1 skipped").arg(qlonglong(r.skipped.size())); }

QString ReportBanner::skippedLine(const CleanReport::Skip& s) {
    return tr("%1: %2").arg(ItemRow::name(s.item), toQString(s.reason));
}

// ---- CategoryCard

namespace {
void add(CategoryCard::Summary& s, const CleanItem& item, bool selected) {
    ++s.count;
    s.size += item.size;
    if (selected) {
        ++s.selected;
        s.selectedSize += item.size;
    }
}
}  // namespace

CategoryCard::Summary CategoryCard::summarize(const std::vector<CleanItem>& items,
                                              const CleanListModel::Selection& selection) {
    Summary s;
    for (const CleanItem& item : items) add(s, item, selection.count(item.url.native()) > 0);
    return s;
}

CategoryCard::Summary CategoryCard::summarize(const CleanListModel& list, const std::vector<size_t>& rows) {
    Summary s;
    for (size_t row : rows) {
        const CleanItem& item = list.items()[row];
        add(s, item, list.isSelected(item));
    }
    return s;
}

CheckBox::Mark CategoryCard::mark(const Summary& s) {
    if (s.selected == 0) return CheckBox::Mark::off;
    return s.selected == s.count ? CheckBox::Mark::on : CheckBox::Mark::mixed;
}

QString CategoryCard::countText(const Summary& s) { return tr("%1/%2").arg(s.selected).arg(s.count); }

std::optional<QString> CategoryCard::selectedSizeText(const Summary& s) {
    if (s.selected == 0 || s.selected == s.count) return std::nullopt;
    return tr("%1 selected").arg(bytes(s.selectedSize));
}

QColor CategoryCard::sizeColor(const Summary& s) { return s.selected > 0 ? Theme::text() : Theme::secondary(); }

// ---- ItemRow

QString ItemRow::name(const CleanItem& item) {
    const auto last = item.url.filename();
    return pathToQString(last.empty() ? std::filesystem::path(item.url) : last);
}

std::vector<std::pair<QString, QColor>> ItemRow::tags(const CleanItem& item) {
    std::vector<std::pair<QString, QColor>> out;
    if (item.risk == Risk::review) out.emplace_back(tr("Review"), Theme::review());
    if (item.permanent) out.emplace_back(tr("Permanent"), Theme::danger());
    if (item.requiresAdmin) out.emplace_back(tr("admin"), Theme::secondary());
    return out;
}

QString ItemRow::toolTip(const CleanItem& item) { return plainToolTip(pathToQString(item.url)); }

// ---- ReviewList

ReviewList::ReviewList(CleanListModel& model, QWidget* parent) : QAbstractScrollArea(parent), model_(model) {
    makeDrawnList(this, 24);

    fonts_.title = Theme::font(13, QFont::DemiBold);
    fonts_.count = Theme::font(11, QFont::Normal, Theme::Design::monospaced);
    fonts_.summary = Theme::font(11);
    fonts_.size = Theme::font(12, QFont::Medium, Theme::Design::monospaced);
    fonts_.selected = Theme::font(10, QFont::Normal, Theme::Design::monospaced);
    fonts_.name = Theme::font(12);
    fonts_.note = Theme::font(10.5);
    fonts_.rowSize = Theme::font(11, QFont::Normal, Theme::Design::monospaced);
    fonts_.banner = Theme::font(12, QFont::DemiBold);
    fonts_.skipped = Theme::font(11);

    const QFontMetricsF title(fonts_.title), count(fonts_.count), summary(fonts_.summary), size(fonts_.size),
        selected(fonts_.selected), name(fonts_.name), note(fonts_.note);
    const double texts = std::max(title.height(), count.height()) + 2 + summary.height();
    const double sizes = size.height() + 1 + selected.height();
    headerHeight_ = up(2 * headerInsetY + std::max({double(CheckBox::side), texts, sizes}));
    const double nameLine = std::max(name.height(), Chip::size(QStringLiteral("X")).height());
    rowHeight_ = up(2 * rowInsetY + std::max(16.0, nameLine + 1 + note.height()));
    bannerLine_ = up(QFontMetricsF(fonts_.banner).height());
    skippedLine_ = up(QFontMetricsF(fonts_.skipped).height());

    connect(&model_, &CleanListModel::itemsChanged, this, [this] {
        rebuildGroups();
        relayout();
    });
    connect(&model_, &CleanListModel::selectionChanged, this, [this] {
        resummarize();
        invalidate();
    });
    connect(&model_, &CleanListModel::phaseChanged, this, [this] {
        skippedOpen_ = false;
        relayout();
    });
    rebuildGroups();
    relayout();
}

void ReviewList::rebuildGroups() {
    groups_ = model_.groupedRows();
    resummarize();
}

void ReviewList::resummarize() {
    summaries_.clear();
    summaries_.reserve(groups_.size());
    for (const auto& g : groups_) summaries_.push_back(CategoryCard::summarize(model_, g.rows));
}

const CleanItem& ReviewList::item(int group, int row) const { return model_.items().at(groups_.at(group).rows.at(row)); }

bool ReviewList::isExpanded(int group) const {
    return groups_.size() == 1 || expanded_.count(groups_.at(group).category);
}

double ReviewList::openness(int group) const {
    if (groups_.size() == 1) return 1.0;
    auto it = openness_.find(groups_.at(group).category);
    if (it != openness_.end()) return it->second;
    return isExpanded(group) ? 1.0 : 0.0;
}

void ReviewList::toggleExpanded(CleanCategory category, bool animated) {
    const bool open = !expanded_.count(category);
    if (open) expanded_.insert(category);
    else expanded_.erase(category);
    const double to = open ? 1.0 : 0.0;
    auto it = openness_.find(category);
    const double from = it != openness_.end() ? it->second : 1.0 - to;
    QPointer<SpringAnimator>& spring = springs_[category];
    if (!animated || !isVisible()) {
        if (spring) spring->stop();
        openness_[category] = to;
        relayout();
        return;
    }
    if (!spring) spring = new SpringAnimator(this);
    spring->disconnect(this);
    connect(spring, &SpringAnimator::progressChanged, this, [this, category, from, to](double p) {
        openness_[category] = from + (to - from) * p;
        relayout();
    });
    spring->start(Spring::standard());
}

void ReviewList::setSkippedOpen(bool open) {
    if (open == skippedOpen_) return;
    skippedOpen_ = open;
    relayout();
}

int ReviewList::expandedHeight(int group) const {
    return 1 + 4 + int(groups_.at(group).rows.size()) * rowHeight_ + 4;
}

int ReviewList::rowsTop(int group) const { return cards_.at(group).top + headerHeight_ + 1 + 4; }

void ReviewList::relayout() {
    int y = 0;
    bannerHeight_ = 0;
    if (model_.phase().kind == CleanListModel::Phase::Kind::done) {
        const auto& report = model_.phase().report;
        bannerHeight_ = 2 * bannerPadding + bannerLine_;
        if (!report.skipped.empty()) {
            bannerHeight_ += 6 + skippedLine_;
            if (skippedOpen_) bannerHeight_ += int(report.skipped.size()) * (4 + skippedLine_);
        }
        y += bannerHeight_ + spacing;
    }
    cards_.assign(groups_.size(), {});
    for (size_t g = 0; g < groups_.size(); ++g) {
        cards_[g].top = y;
        cards_[g].height = headerHeight_ + int(std::lround(expandedHeight(int(g)) * openness(int(g))));
        y += cards_[g].height + spacing;
    }
    if (y > 0) y -= spacing;
    contentHeight_ = y + bottomPadding;
    setContentHeight(this, contentHeight_);
    invalidate();
}

QRect ReviewList::toViewport(const QRect& r) const { return r.translated(0, -verticalScrollBar()->value()); }

QRect ReviewList::bannerRect() const {
    if (!bannerHeight_) return {};
    return toViewport(QRect(sidePadding, 0, viewport()->width() - 2 * sidePadding, bannerHeight_));
}

QRect ReviewList::headerRect(int group) const {
    return toViewport(QRect(sidePadding, cards_.at(group).top, viewport()->width() - 2 * sidePadding, headerHeight_));
}

QRect ReviewList::headerBoxRect(int group) const {
    const QRect h = headerRect(group);
    return QRect(h.left() + headerInsetX, h.top() + (headerHeight_ - CheckBox::side) / 2, CheckBox::side,
                 CheckBox::side);
}

QRect ReviewList::rowRect(int group, int item) const {
    const Card& c = cards_.at(group);
    const int top = rowsTop(group) + item * rowHeight_;
    if (item < 0 || item >= int(groups_.at(group).rows.size()) || top >= c.top + c.height) return {};
    return toViewport(QRect(sidePadding, top, viewport()->width() - 2 * sidePadding, rowHeight_));
}

ReviewList::Target ReviewList::targetAt(QPoint pos) const {
    const int y = pos.y() + verticalScrollBar()->value();
    const int left = sidePadding, right = viewport()->width() - sidePadding;
    if (pos.x() < left || pos.x() >= right) return {};
    if (bannerHeight_ && y < bannerHeight_) {
        const int disclosureTop = bannerPadding + bannerLine_ + 6;
        if (!model_.phase().report.skipped.empty() && y >= disclosureTop && y < disclosureTop + skippedLine_)
            return {Target::Kind::skippedDisclosure};
        return {};
    }
    for (int g = 0; g < int(cards_.size()); ++g) {
        const Card& c = cards_[g];
        if (y < c.top || y >= c.top + c.height) continue;
        if (y < c.top + headerHeight_) {
            // The box takes clicks a little around its square, like a finger-sized target.
            if (headerBoxRect(g).adjusted(-4, -4, 4, 4).contains(pos)) return {Target::Kind::cardBox, g};
            return {Target::Kind::cardHeader, g};
        }
        const int i = (y - rowsTop(g)) / rowHeight_;
        if (y >= rowsTop(g) && i < int(groups_[g].rows.size())) return {Target::Kind::row, g, i};
        return {};
    }
    return {};
}

void ReviewList::act(const Target& t) {
    switch (t.kind) {
    case Target::Kind::skippedDisclosure: setSkippedOpen(!skippedOpen_); break;
    case Target::Kind::cardBox: {
        std::vector<std::string> paths;
        paths.reserve(groups_.at(t.group).rows.size());
        for (size_t row : groups_.at(t.group).rows) paths.push_back(model_.items()[row].id());
        model_.toggle(paths);
        break;
    }
    case Target::Kind::cardHeader: toggleExpanded(groups_.at(t.group).category); break;
    case Target::Kind::row: model_.toggle({item(t.group, t.item).id()}); break;
    case Target::Kind::none: break;
    }
}

void ReviewList::mousePressEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton) pressed_ = targetAt(e->position().toPoint());
}

void ReviewList::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return;
    const Target t = targetAt(e->position().toPoint());
    // One click, one toggle: the whole row is the target, its box included.
    if (t == pressed_) act(t);
    pressed_ = {};
}

void ReviewList::mouseMoveEvent(QMouseEvent* e) {
    const Target t = targetAt(e->position().toPoint());
    setHover(t.kind == Target::Kind::row ? t : Target{});
}

void ReviewList::setHover(const Target& t) {
    if (t == hover_) return;
    hover_ = t;
    invalidate();
}

QString ReviewList::toolTipAt(QPoint pos) const {
    const Target t = targetAt(pos);
    if (t.kind != Target::Kind::row) return {};
    return ItemRow::toolTip(item(t.group, t.item));
}

bool ReviewList::viewportEvent(QEvent* e) {
    if (e->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(e);
        const QString tip = toolTipAt(help->pos());
        const Target t = targetAt(help->pos());
        if (tip.isEmpty()) QToolTip::hideText();
        else QToolTip::showText(help->globalPos(), tip, viewport(), rowRect(t.group, t.item));
        return true;
    }
    if (e->type() == QEvent::Leave) setHover({});
    return QAbstractScrollArea::viewportEvent(e);
}

QMenu* ReviewList::contextMenu(int group, int item, QWidget* parent) {
    const std::filesystem::path path = this->item(group, item).url;
    auto* menu = new QMenu(parent);
    menu->addAction(tr("Show in Finder"), menu, [path] { Platform::FileManager::reveal(path); });
    menu->addAction(tr("Copy Path"), menu, [path] { Platform::Pasteboard::copyPath(path); });
    return menu;
}

void ReviewList::contextMenuEvent(QContextMenuEvent* e) {
    const Target t = targetAt(e->pos());
    if (t.kind != Target::Kind::row) return;
    QMenu* menu = contextMenu(t.group, t.item, this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(e->globalPos());
}

void ReviewList::resizeEvent(QResizeEvent* e) {
    QAbstractScrollArea::resizeEvent(e);
    relayout();
}

void ReviewList::scrollContentsBy(int, int) {
    setHover({});
    invalidate();
}

void ReviewList::invalidate() {
    stale_ = true;
    viewport()->update();
}

void ReviewList::paintEvent(QPaintEvent*) {
    // The sky moves behind the sheet many times a second; the rows do not.
    const qreal ratio = devicePixelRatioF();
    const QSize size = viewport()->size() * ratio;
    if (stale_ || picture_.size() != size) {
        picture_ = QPixmap(size);
        picture_.setDevicePixelRatio(ratio);
        picture_.fill(Qt::transparent);
        QPainter on(&picture_);
        render(on);
        stale_ = false;
    }
    QPainter(viewport()).drawPixmap(0, 0, picture_);
}

void ReviewList::render(QPainter& p) {
    p.setRenderHint(QPainter::Antialiasing);
    rowsPainted_ = 0;
    const int viewTop = verticalScrollBar()->value(), viewBottom = viewTop + viewport()->height();
    if (bannerHeight_ && viewTop < bannerHeight_) paintBanner(p, bannerRect());
    for (int g = 0; g < int(cards_.size()); ++g) {
        const Card& c = cards_[g];
        if (c.top + c.height <= viewTop || c.top >= viewBottom) continue;
        const QRect card = toViewport(QRect(sidePadding, c.top, viewport()->width() - 2 * sidePadding, c.height));
        // A card of thousands of rows is drawn only as far as it shows: the ends cut
        // off lie beyond the edges, corners and all.
        const int reach = int(cardRadius) + 4;
        const QRect shown = card.intersected(viewport()->rect().adjusted(-reach, -reach, reach, reach));
        paintOutlinedRoundedRect(p, shown, cardRadius, Theme::card());
        paintHeader(p, g, headerRect(g));
        if (c.height <= headerHeight_) continue;
        p.save();
        QPainterPath clip;
        clip.addRoundedRect(QRectF(shown).adjusted(1, 1, -1, -1), cardRadius - 1, cardRadius - 1);
        QPainterPath below;
        below.addRect(QRectF(card.left(), card.top() + headerHeight_, card.width(), card.height() - headerHeight_));
        p.setClipPath(clip.intersected(below));
        p.fillRect(QRectF(card.left(), card.top() + headerHeight_, card.width(), 1), Theme::stroke());
        const auto& rows = groups_[g].rows;
        const int first = std::max(0, (viewTop - rowsTop(g)) / rowHeight_);
        const int end = std::min<int>(int(rows.size()), (std::min(viewBottom, c.top + c.height) - rowsTop(g)) / rowHeight_ + 1);
        for (int i = first; i < end; ++i) {
            const bool hovered = hover_.kind == Target::Kind::row && hover_.group == g && hover_.item == i;
            paintRow(p, model_.items()[rows[i]], rowRect(g, i), hovered);
            ++rowsPainted_;
        }
        p.restore();
    }
}

void ReviewList::paintBanner(QPainter& p, const QRect& r) {
    const CleanReport& report = model_.phase().report;
    paintOutlinedRoundedRect(p, r, 14, Theme::card());
    const QRect inner = r.adjusted(bannerPadding, bannerPadding, -bannerPadding, -bannerPadding);
    const QColor color = ReportBanner::color(report);
    const double icon = bannerLine_;
    Symbols::paint(p, ReportBanner::symbol(report), QRectF(inner.left(), inner.top(), icon, icon), color, 1.4);
    p.setFont(fonts_.banner);
    p.setPen(color);
    const QRectF text(inner.left() + icon + 6, inner.top(), inner.width() - icon - 6, bannerLine_);
    p.drawText(text, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
               QFontMetricsF(fonts_.banner).elidedText(ReportBanner::headline(report), Qt::ElideRight, text.width()));
    if (report.skipped.empty()) return;
    int y = inner.top() + bannerLine_ + 6;
    p.setFont(fonts_.skipped);
    p.setPen(Theme::secondary());
    const double chevron = skippedLine_ * 0.7;
    p.save();
    p.translate(inner.left() + chevron / 2, y + skippedLine_ / 2.0);
    p.rotate(skippedOpen_ ? 0 : -90);
    Symbols::paint(p, QStringLiteral("chevron.down"), QRectF(-chevron / 2, -chevron / 2, chevron, chevron),
                   Theme::secondary(), 1.4);
    p.restore();
    p.drawText(QRectF(inner.left() + chevron + 6, y, inner.width(), skippedLine_), Qt::AlignLeft | Qt::AlignVCenter,
               ReportBanner::skippedTitle(report));
    if (!skippedOpen_) return;
    const QFontMetricsF fm(fonts_.skipped);
    for (const auto& skip : report.skipped) {
        y += 4 + skippedLine_;
        if (y > viewport()->height()) break;
        if (y + skippedLine_ < 0) continue;
        p.drawText(QRectF(inner.left(), y, inner.width(), skippedLine_), Qt::AlignLeft | Qt::AlignVCenter,
                   fm.elidedText(ReportBanner::skippedLine(skip), Qt::ElideRight, inner.width()));
    }
}

void ReviewList::paintHeader(QPainter& p, int g, const QRect& r) {
    const CleanCategory category = groups_[g].category;
    const CategoryCard::Summary& s = summaries_[g];
    const double cy = r.center().y() + 0.5;
    double x = r.left() + headerInsetX;
    CheckBox::paint(p, QPointF(x, cy - CheckBox::side / 2.0), CategoryCard::mark(s));
    x += CheckBox::side + 12;
    const double symbolSide = Symbols::sizeForFont(14);
    Symbols::paint(p, toQString(symbol(category)), QRectF(x + (18 - symbolSide) / 2, cy - symbolSide / 2, symbolSide, symbolSide),
                   Theme::secondary());
    x += 18 + 12;

    double right = r.right() + 1 - headerInsetX;
    const double chevron = Symbols::sizeForFont(10);
    p.save();
    p.translate(right - chevron / 2, cy);
    p.rotate(180.0 * openness(g));
    Symbols::paint(p, QStringLiteral("chevron.down"), QRectF(-chevron / 2, -chevron / 2, chevron, chevron),
                   Theme::tertiary(), 1.4);
    p.restore();
    right -= chevron + 12;

    const QFontMetricsF sizeFm(fonts_.size), selFm(fonts_.selected);
    const QString size = bytes(s.size);
    const auto selected = CategoryCard::selectedSizeText(s);
    const double sizesWidth = std::max(sizeFm.horizontalAdvance(size), selected ? selFm.horizontalAdvance(*selected) : 0.0);
    const double sizesHeight = sizeFm.height() + (selected ? 1 + selFm.height() : 0);
    double y = cy - sizesHeight / 2;
    p.setFont(fonts_.size);
    p.setPen(CategoryCard::sizeColor(s));
    p.drawText(QRectF(right - sizesWidth, y, sizesWidth, sizeFm.height()), Qt::AlignRight | Qt::AlignVCenter, size);
    if (selected) {
        p.setFont(fonts_.selected);
        p.setPen(Theme::tertiary());
        p.drawText(QRectF(right - sizesWidth, y + sizeFm.height() + 1, sizesWidth, selFm.height()),
                   Qt::AlignRight | Qt::AlignVCenter, *selected);
    }
    right -= sizesWidth + 12;

    const QFontMetricsF titleFm(fonts_.title), countFm(fonts_.count), summaryFm(fonts_.summary);
    const double line = std::max(titleFm.height(), countFm.height());
    y = cy - (line + 2 + summaryFm.height()) / 2;
    const QString count = CategoryCard::countText(s);
    const double countWidth = countFm.horizontalAdvance(count);
    const QString title = titleFm.elidedText(toQString(::title(category)), Qt::ElideRight,
                                             std::max(0.0, right - x - countWidth - 6));
    p.setFont(fonts_.title);
    p.setPen(Theme::text());
    p.drawText(QRectF(x, y, right - x, line), Qt::AlignLeft | Qt::AlignVCenter, title);
    const double titleWidth = titleFm.horizontalAdvance(title);
    p.setFont(fonts_.count);
    p.setPen(Theme::tertiary());
    p.drawText(QRectF(x + titleWidth + 6, y, countWidth + 1, line), Qt::AlignLeft | Qt::AlignVCenter, count);
    p.setFont(fonts_.summary);
    p.setPen(Theme::secondary());
    p.drawText(QRectF(x, y + line + 2, right - x, summaryFm.height()), Qt::AlignLeft | Qt::AlignVCenter,
               summaryFm.elidedText(toQString(::summary(category)), Qt::ElideRight, right - x));
}

void ReviewList::paintRow(QPainter& p, const CleanItem& item, const QRect& r, bool hovered) {
    if (hovered) p.fillRect(r, Theme::cardHover());
    const double cy = r.center().y() + 0.5;
    double x = r.left() + rowLeading;
    const bool selected = model_.isSelected(item);
    CheckBox::paint(p, QPointF(x, cy - CheckBox::side / 2.0), selected ? CheckBox::Mark::on : CheckBox::Mark::off);
    x += CheckBox::side + 10;
    IconCache::draw(p, QRectF(x, cy - 8, 16, 16), item.url);
    x += 16 + 10;

    const double right = r.right() + 1 - rowTrailing;
    const QFontMetricsF sizeFm(fonts_.rowSize), nameFm(fonts_.name), noteFm(fonts_.note);
    const QString size = bytes(item.size);
    const double sizeWidth = sizeFm.horizontalAdvance(size);
    p.setFont(fonts_.rowSize);
    p.setPen(Theme::secondary());
    p.drawText(QRectF(right - sizeWidth, r.top(), sizeWidth, r.height()), Qt::AlignRight | Qt::AlignVCenter, size);
    const double textRight = right - sizeWidth - 10;

    const auto tags = ItemRow::tags(item);
    double tagsWidth = 0;
    for (const auto& [text, color] : tags) tagsWidth += 6 + Chip::size(text).width();
    const double chipHeight = Chip::size(QStringLiteral("X")).height();
    const double line = std::max(nameFm.height(), tags.empty() ? 0.0 : chipHeight);
    const double top = cy - (line + 1 + noteFm.height()) / 2;
    const QString name = nameFm.elidedText(ItemRow::name(item), Qt::ElideMiddle, std::max(0.0, textRight - x - tagsWidth));
    p.setFont(fonts_.name);
    p.setPen(Theme::text());
    p.drawText(QRectF(x, top, textRight - x, line), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, name);
    double chipX = x + nameFm.horizontalAdvance(name) + 6;
    for (const auto& [text, color] : tags) {
        Chip::paint(p, QPointF(chipX, top + (line - chipHeight) / 2), text, color);
        chipX += Chip::size(text).width() + 6;
    }
    p.setFont(fonts_.note);
    p.setPen(Theme::tertiary());
    p.drawText(QRectF(x, top + line + 1, textRight - x, noteFm.height()), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
               noteFm.elidedText(toQString(item.note), Qt::ElideRight, textRight - x));
}
