#include "Views/Status/HistoryView.h"

#include <QContextMenuEvent>
#include <QCoroFuture>
#include <QDateTime>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QRegularExpression>
#include <QScrollBar>
#include <QStackedWidget>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>

#include "Core/Clean/CleanTypes.h"
#include "Core/Text.h"
#include "Models/Kit/QtBridge.h"
#include "Platform/FileOps.h"
#include "Platform/Gui/Pasteboard.h"
#include "Platform/UserLocale.h"
#include "Views/Kit/Controls.h"
#include "Views/Kit/SheetOverlay.h"
#include "Views/Kit/Symbols.h"
#include "Views/Kit/Theme.h"
#include "Views/Kit/WindowActions.h"
#include "Models/Kit/Localization.h"

// ---- HistoryList

HistoryList::HistoryList(QWidget* parent)
    : QAbstractScrollArea(parent),
      action_(Theme::font(13, QFont::DemiBold)),
      date_(Theme::font(12)),
      count_(Theme::font(11, QFont::Normal, Theme::Design::monospaced)),
      size_(Theme::font(12, QFont::Medium, Theme::Design::monospaced)),
      path_(Theme::font(10.5, QFont::Normal, Theme::Design::monospaced)) {
    makeDrawnList(this, 24);
    setFocusPolicy(Qt::ClickFocus);
}

int HistoryList::lineHeight() const { return int(std::ceil(QFontMetricsF(path_).height())); }

int HistoryList::listedPaths(const History::Entry& entry) {
    return int(std::min<size_t>(entry.paths.size(), maxPaths));
}

QString HistoryList::actionTitle(const std::string& action) {
    QString text = toQString(action);
    bool start = true;
    for (QChar& c : text) {
        if (start && c.isLetter()) c = c.toUpper();
        start = c.isSpace();
    }
    return text;
}

QString HistoryList::dateText(std::chrono::system_clock::time_point date) {
    // Dates in the locale the user chose for them, which need not be that of the texts.
    const std::string name = Platform::timeLocale();
    const QLocale locale = name.empty() ? QLocale() : QLocale(QString::fromStdString(name));
    // Qt has the locale's long and short forms only: the abbreviated date ("Mar 4,
    // 2025") is its long form without the weekday and with the short month name.
    static const QRegularExpression weekday(QStringLiteral("\\s*,?\\s*dddd,?\\s*"));
    static const QRegularExpression seconds(QStringLiteral("[:.]?s+"));
    QString dateFormat = locale.dateFormat(QLocale::LongFormat).replace(weekday, QStringLiteral(" ")).trimmed();
    dateFormat.replace(QLatin1String("MMMM"), QLatin1String("MMM"));
    const QString timeFormat = locale.timeFormat(QLocale::ShortFormat).remove(seconds);
    // Qt joins the two with a space in every language; the locale's own words
    // ("at", "um") come quoted as Qt's formats quote them.
    QString format = toQString(Text::dateTimeJoining(locale.name().toStdString()));
    if (!format.contains(QLatin1String("{0}")) || !format.contains(QLatin1String("{1}")))
        format = QStringLiteral("{1} {0}");
    format.replace(QLatin1String("{0}"), timeFormat).replace(QLatin1String("{1}"), dateFormat);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(date.time_since_epoch()).count();
    return locale.toString(QDateTime::fromMSecsSinceEpoch(ms).toLocalTime(), format);
}

QString HistoryList::countText(int64_t count) { return counted("%n items", count); }

std::optional<QString> HistoryList::sizeText(int64_t bytes) {
    if (bytes < 1) return std::nullopt;
    return toQString(formattedBytes(bytes));
}

void HistoryList::setEntries(std::vector<History::Entry> entries) {
    entries_ = std::move(entries);
    std::set<std::string> kept;
    for (const auto& e : entries_)
        if (expanded_.count(e.id)) kept.insert(e.id);
    expanded_ = std::move(kept);
    selected_.reset();
    relayout();
}

bool HistoryList::isExpanded(int entry) const {
    return entry >= 0 && entry < int(entries_.size()) && expanded_.count(entries_[entry].id);
}

void HistoryList::setExpanded(int entry, bool expanded) {
    if (entry < 0 || entry >= int(entries_.size()) || isExpanded(entry) == expanded) return;
    if (expanded) expanded_.insert(entries_[entry].id);
    else expanded_.erase(entries_[entry].id);
    if (selected_ && selected_->first == entry) selected_.reset();
    relayout();
}

void HistoryList::relayout() {
    tops_.clear();
    tops_.reserve(entries_.size());
    int y = 0;
    for (int i = 0; i < int(entries_.size()); ++i) {
        tops_.push_back(y);
        y += cardHeight(i) + spacing;
    }
    setContentHeight(this, contentHeight());
    viewport()->update();
}

int HistoryList::cardHeight(int entry) const {
    const int label = 2 * cardPadding + labelHeight;
    return isExpanded(entry) ? label + pathsTop + listedPaths(entries_[entry]) * lineHeight() : label;
}

int HistoryList::contentHeight() const {
    if (tops_.empty()) return 0;
    return tops_.back() + cardHeight(int(tops_.size()) - 1) + padding;
}

QRect HistoryList::cardRect(int entry) const {
    if (entry < 0 || entry >= int(tops_.size())) return {};
    return QRect(padding, tops_[entry] - verticalScrollBar()->value(), viewport()->width() - 2 * padding,
                 cardHeight(entry));
}

HistoryList::Hit HistoryList::hitAt(QPoint pos) const {
    const int y = pos.y() + verticalScrollBar()->value();
    // The last card that starts at or above the point.
    const auto it = std::upper_bound(tops_.begin(), tops_.end(), y);
    if (it == tops_.begin()) return {};
    const int entry = int(it - tops_.begin()) - 1;
    const QRect card = cardRect(entry);
    if (!card.contains(pos)) return {};
    const int inCard = pos.y() - card.top();
    if (inCard < cardPadding + labelHeight + cardPadding / 2) return {entry, -1};
    const int path = (inCard - cardPadding - labelHeight - pathsTop) / lineHeight();
    if (!isExpanded(entry) || path < 0 || path >= listedPaths(entries_[entry])) return {entry, -2};
    return {entry, path};
}

void HistoryList::paintEvent(QPaintEvent* e) {
    QPainter p(viewport());
    p.setRenderHint(QPainter::Antialiasing);
    const QRect dirty = e->rect();
    const int top = dirty.top() + verticalScrollBar()->value();
    auto it = std::upper_bound(tops_.begin(), tops_.end(), top);
    int first = std::max(0, int(it - tops_.begin()) - 1);
    for (int i = first; i < int(entries_.size()); ++i) {
        const QRect card = cardRect(i);
        if (card.top() > dirty.bottom()) break;
        if (card.bottom() < dirty.top()) continue;
        p.save();
        paintCard(p, i, card, dirty);
        p.restore();
    }
}

void HistoryList::paintCard(QPainter& p, int index, const QRect& card, const QRect& dirty) {
    const History::Entry& e = entries_[index];
    CardModifier::paint(p, QRectF(card));
    const QRect label(card.left() + cardPadding, card.top() + cardPadding, card.width() - 2 * cardPadding,
                      labelHeight);
    const bool open = isExpanded(index);

    // The disclosure chevron, then the action and the date; the count and size at the end.
    const double chevron = 10;
    Symbols::paint(p, open ? QStringLiteral("chevron.down") : QStringLiteral("chevron.right"),
                   QRectF(label.left(), label.center().y() - chevron / 2 + 0.5, chevron, chevron), Theme::secondary(),
                   1.4);
    int x = label.left() + int(chevron) + 8;
    const auto text = [&](const QString& s, const QFont& font, const QColor& color, int left, int width,
                          Qt::Alignment align) {
        p.setFont(font);
        p.setPen(color);
        p.drawText(QRect(left, label.top(), width, label.height()), align | Qt::AlignVCenter, s);
    };
    int right = label.right() + 1;
    if (const auto size = sizeText(e.bytes)) {
        right -= 80;
        text(*size, size_, Theme::text(), right, 80, Qt::AlignRight);
        right -= 8;
    }
    const QString count = countText(e.count);
    const int countWidth = int(std::ceil(QFontMetricsF(count_).horizontalAdvance(count)));
    right -= countWidth;
    text(count, count_, Theme::secondary(), right, countWidth, Qt::AlignLeft);
    right -= 8;

    const QString title = actionTitle(e.action);
    const int titleWidth = std::min(int(std::ceil(QFontMetricsF(action_).horizontalAdvance(title))), right - x);
    text(QFontMetrics(action_).elidedText(title, Qt::ElideRight, titleWidth), action_, Theme::text(), x, titleWidth,
         Qt::AlignLeft);
    x += titleWidth + 8;
    if (right - x > 0)
        text(QFontMetrics(date_).elidedText(dateText(e.date), Qt::ElideRight, right - x), date_, Theme::secondary(), x,
             right - x, Qt::AlignLeft);
    if (!open) return;

    // Only the lines in the area being painted: an opened entry can list hundreds.
    const int line = lineHeight();
    const int pathsY = label.bottom() + 1 + pathsTop;
    const int from = std::max(0, (dirty.top() - pathsY) / line);
    const int to = std::min(listedPaths(e) - 1, (dirty.bottom() - pathsY) / line);
    const QFontMetrics metrics(path_);
    p.setFont(path_);
    for (int i = from; i <= to; ++i) {
        const QRect r(label.left(), pathsY + i * line, label.width(), line);
        if (selected_ && *selected_ == std::make_pair(index, i)) {
            p.setPen(Qt::NoPen);
            p.setBrush(Theme::withOpacity(Theme::accent(), 0.35));
            p.drawRoundedRect(QRectF(r).adjusted(-4, 0, 4, 0), 4, 4);
        }
        p.setPen(Theme::tertiary());
        p.drawText(r, Qt::AlignLeft | Qt::AlignVCenter,
                   metrics.elidedText(toQString(e.paths[size_t(i)]), Qt::ElideMiddle, r.width()));
    }
}

void HistoryList::resizeEvent(QResizeEvent* e) {
    QAbstractScrollArea::resizeEvent(e);
    relayout();
}

void HistoryList::scrollContentsBy(int, int) { viewport()->update(); }

void HistoryList::mousePressEvent(QMouseEvent* e) {
    const Hit hit = hitAt(e->position().toPoint());
    if (hit.entry < 0) return;
    if (hit.path == -1) {
        if (e->button() == Qt::LeftButton) setExpanded(hit.entry, !isExpanded(hit.entry));
        return;
    }
    if (hit.path >= 0) {
        selected_ = std::make_pair(hit.entry, hit.path);
        viewport()->update();
    }
}

void HistoryList::copySelected() const {
    if (!selected_) return;
    Platform::Pasteboard::copyPath(entries_[size_t(selected_->first)].paths[size_t(selected_->second)]);
}

void HistoryList::keyPressEvent(QKeyEvent* e) {
    if (e->matches(QKeySequence::Copy) && selected_) {
        copySelected();
        return;
    }
    QAbstractScrollArea::keyPressEvent(e);
}

void HistoryList::contextMenuEvent(QContextMenuEvent* e) {
    const Hit hit = hitAt(e->pos());
    if (hit.path < 0) return;
    selected_ = std::make_pair(hit.entry, hit.path);
    viewport()->update();
    QMenu menu(this);
    menu.addAction(tr("Copy Path"), this, [this] { copySelected(); });
    menu.exec(e->globalPos());
}

// ---- HistoryView

HistoryView::HistoryView(QWidget* parent) : QWidget(parent) {
    setWindowTitle(tr("History"));
    resize(sheetWidth, sheetHeight);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    auto* header = new QHBoxLayout;
    header->setContentsMargins(18, 18, 18, 18);
    header->setSpacing(10);
    header->addWidget(plainLabel(tr("History"), Theme::font(18, QFont::Bold), Theme::text()));
    header->addStretch(1);
    clear_ = new PillButton(tr("Clear"), PillButtonStyle::Kind::secondary);
    done_ = new PillButton(tr("Done"), PillButtonStyle::Kind::primary);
    WindowActions::setRole(done_, WindowActions::Role::defaultAction);
    header->addWidget(clear_);
    header->addWidget(done_);
    column->addLayout(header);

    body_ = new QStackedWidget;
    list_ = new HistoryList;
    empty_ = plainLabel(tr("Nothing cleaned yet."), Theme::font(13), Theme::secondary());
    empty_->setAlignment(Qt::AlignCenter);
    body_->addWidget(new QWidget);  // while the first load runs
    body_->addWidget(list_);
    body_->addWidget(empty_);
    column->addWidget(body_, 1);
    clear_->setEnabled(false);

    connect(clear_, &QPushButton::clicked, this, &HistoryView::clear);
    connect(done_, &QPushButton::clicked, this, &HistoryView::dismiss);
}

HistoryView* HistoryView::present(QWidget* host, std::function<void()> onClose) {
    auto* sheet = new HistoryView;
    auto* overlay = new SheetOverlay(sheet, host, [sheet] { sheet->dismiss(); });
    sheet->dismiss_ = [overlay = QPointer<SheetOverlay>(overlay), onClose = std::move(onClose)] {
        if (!overlay || overlay->isHidden()) return;
        overlay->hide();
        overlay->deleteLater();
        if (onClose) onClose();
    };
    overlay->show();
    return sheet;
}

void HistoryView::dismiss() {
    if (dismiss_) dismiss_();
    else hide();
}

void HistoryView::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    if (!e->spontaneous()) reload();
}

QCoro::Task<> HistoryView::reload() {
    const quint64 generation = ++generation_;
    QPointer<HistoryView> self(this);
    // A history of large cleans holds many thousands of paths: read it off the window's thread.
    QFuture<std::vector<History::Entry>> reading = QtConcurrent::run([] { return History::entries(); });
    std::vector<History::Entry> entries = co_await reading;
    if (!self || generation != self->generation_) co_return;
    self->display(std::move(entries));
}

void HistoryView::display(std::vector<History::Entry> entries) {
    loaded_ = true;
    const bool none = entries.empty();
    list_->setEntries(std::move(entries));
    body_->setCurrentWidget(none ? static_cast<QWidget*>(empty_) : list_);
    clear_->setEnabled(!none);
}

QCoro::Task<> HistoryView::clear() {
    // A load still under way read the file before it was cleared.
    ++generation_;
    display({});
    QPointer<HistoryView> self(this);
    // Clearing waits for a record that holds the file.
    co_await QtConcurrent::run([] { History::clear(); });
    if (!self) co_return;
    // A file that could not be deleted shows as it is.
    if (Platform::FileOps::exists(History::fileURL())) self->reload();
}

void HistoryView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF ground = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QPainterPath shape;
    shape.addRoundedRect(ground, SheetOverlay::cornerRadius, SheetOverlay::cornerRadius);
    p.fillPath(shape, Theme::ink());
    p.fillPath(shape, Theme::card());
    p.strokePath(shape, QPen(Theme::white(0.14), 1));
}
