#include "Views/Status/ProcessesCard.h"

#include <QFontMetricsF>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

#include "Core/Clean/CleanTypes.h"
#include "Models/Kit/QtBridge.h"
#include "Models/Settings/Preferences.h"
#include "Models/Status/Monitor.h"
#include "Views/Kit/StillPicture.h"
#include "Views/Kit/SubTabs.h"
#include "Views/Kit/Symbols.h"
#include "Views/Kit/Theme.h"
#include "Models/Window/AppTab.h"

namespace {
const QColor& pinColor() {
    static const QColor c = Theme::color(glow(AppTab::status));
    return c;
}
constexpr double gap = 10;
constexpr double verticalPadding = 6;
const char* sortRaws[] = {"cpu", "memory", "energy"};

std::optional<QString> explanationOf(const std::string& name) {
    if (const auto text = Processes::explanation(name)) return toQString(*text);
    return std::nullopt;
}

// A figure that is not a number shows as 0.
double figure(double v) { return std::isfinite(v) ? v : 0.0; }
}  // namespace

// ---- ExplanationPopover

ExplanationPopover::ExplanationPopover(QWidget* parent) : QFrame(parent, Qt::Popup | Qt::FramelessWindowHint) {
    setAttribute(Qt::WA_TranslucentBackground);
    // A click outside is the owner's to act on, never passed on as well.
    setAttribute(Qt::WA_NoMouseReplay);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(12, 12, 12, 12);
    label_ = plainLabel({}, Theme::font(12), Theme::text(), this);
    label_->setWordWrap(true);
    column->addWidget(label_);
    setFixedWidth(panelWidth);
    adjustSize();
}

QString ExplanationPopover::text() const { return label_->text(); }

void ExplanationPopover::setContent(const QString& name, const QString& text) {
    name_ = name;
    label_->setText(text);
}

void ExplanationPopover::popUp(const QRect& anchor) {
    adjustSize();
    QPoint at(anchor.center().x() - width() / 2, anchor.bottom() + 6);
    if (const QScreen* screen = QGuiApplication::screenAt(anchor.center())) {
        const QRect room = screen->availableGeometry();
        if (at.y() + height() > room.bottom()) at.setY(anchor.top() - 6 - height());
        at.setX(std::clamp(at.x(), room.left() + 4, std::max(room.left() + 4, room.right() - 4 - width())));
    }
    move(at);
    show();
}

void ExplanationPopover::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Theme::white(0.12), 1));
    p.setBrush(QColor::fromRgbF(0.13f, 0.15f, 0.21f, 0.98f));
    p.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 10, 10);
}

void ExplanationPopover::mousePressEvent(QMouseEvent* e) {
    if (!rect().contains(e->position().toPoint())) {
        e->accept();
        emit pressedOutside(e->globalPosition().toPoint());
        return;
    }
    QFrame::mousePressEvent(e);
}

void ExplanationPopover::hideEvent(QHideEvent* e) {
    QFrame::hideEvent(e);
    emit dismissed();
}

// ---- ProcessRows

ProcessRows::ProcessRows(ProcessesCard& card) : RowList({rowHeight(), 0, 0}), card_(card), nameFont_(Theme::font(12.5)) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

int ProcessRows::rowHeight() {
    return int(std::ceil(QFontMetricsF(Theme::font(12.5)).height() + 2 * verticalPadding));
}

ProcessRows::Layout ProcessRows::layout(int row, int width) const {
    Layout l;
    const double h = rowHeight();
    const double pin = Symbols::sizeForFont(10), info = Symbols::sizeForFont(11);
    l.pin = QRectF(0, (h - pin) / 2, pin, pin);
    double right = width;
    for (int c = 2; c >= 0; --c) {
        l.columns[size_t(c)] = QRectF(right - columnWidths[size_t(c)], 0, columnWidths[size_t(c)], h);
        right -= columnWidths[size_t(c)] + gap;
    }
    const double nameLeft = l.pin.right() + gap;
    const auto& process = card_.rows().at(size_t(row));
    const bool explained = explanationOf(process.name).has_value();
    const double room = std::max(0.0, l.columns[0].left() - gap - nameLeft - (explained ? info + gap : 0));
    const double nameWidth = std::min(room, QFontMetricsF(nameFont_).horizontalAdvance(toQString(process.name)));
    l.name = QRectF(nameLeft, 0, nameWidth, h);
    if (explained) l.info = QRectF(l.name.right() + gap, (h - info) / 2, info, info);
    return l;
}

QFont ProcessRows::columnFont(Column column, int sortedColumn) {
    return Theme::font(11.5, int(column) == sortedColumn ? QFont::DemiBold : QFont::Normal, Theme::Design::monospaced);
}

QColor ProcessRows::columnColor(Column column, int sortedColumn) {
    return int(column) == sortedColumn ? Theme::text() : Theme::secondary();
}

std::array<QString, 3> ProcessRows::columnTexts(const Processes::Info& p) {
    return {QString::asprintf("%.1f%%", figure(p.cpu)), toQString(formattedMemory(p.memory)),
            QString::asprintf("%.1f", figure(p.power))};
}

QRect ProcessRows::pinRect(int row) const {
    const QRect r = rowRect(row);
    if (!r.isValid()) return {};
    return layout(row, r.width()).pin.translated(r.topLeft()).toAlignedRect();
}

QRect ProcessRows::infoRect(int row) const {
    const QRect r = rowRect(row);
    if (!r.isValid()) return {};
    const QRectF info = layout(row, r.width()).info;
    return info.isEmpty() ? QRect() : info.translated(r.topLeft()).toAlignedRect();
}

std::optional<QString> ProcessRows::infoAt(QPoint global) const {
    const QPoint pos = viewport()->mapFromGlobal(global);
    const int row = rowAt(pos);
    if (row < 0 || !infoRect(row).adjusted(-4, -4, 4, 4).contains(pos)) return std::nullopt;
    return toQString(card_.rows()[size_t(row)].name);
}

void ProcessRows::paintRow(QPainter& painter, int row, const QRect& rect) {
    const auto& process = card_.rows().at(size_t(row));
    const bool pinned = card_.isPinned(process);
    const int sorted = int(card_.sort());
    const auto texts = columnTexts(process);
    const size_t key = combinedKey({std::hash<std::string>{}(process.name), size_t(process.pid), qHash(texts[0]),
                                    qHash(texts[1]), qHash(texts[2]), size_t(pinned) | size_t(sorted) << 1});
    const Layout l = layout(row, rect.width());
    paintFromPicture(painter, row, rect, key, [&](QPainter& on) {
        on.setRenderHint(QPainter::Antialiasing);
        Symbols::paint(on, pinned ? QStringLiteral("pin.fill") : QStringLiteral("pin"), l.pin,
                       pinned ? pinColor() : Theme::tertiary());
        on.setFont(nameFont_);
        on.setPen(Theme::text());
        on.drawText(l.name, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                    QFontMetricsF(nameFont_).elidedText(toQString(process.name), Qt::ElideRight, l.name.width() + 0.5));
        if (!l.info.isEmpty()) Symbols::paint(on, QStringLiteral("info.circle"), l.info, Theme::tertiary());
        for (int c = 0; c < 3; ++c) {
            on.setFont(columnFont(Column(c), sorted));
            on.setPen(columnColor(Column(c), sorted));
            on.drawText(l.columns[size_t(c)], Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine, texts[size_t(c)]);
        }
        on.fillRect(QRectF(0, rect.height() - 1, rect.width(), 1), Theme::stroke());
    });
}

void ProcessRows::rowClicked(int row, QPoint inRow, Qt::MouseButton button) {
    if (button != Qt::LeftButton || row >= int(card_.rows().size())) return;
    const Layout l = layout(row, rowRect(row).width());
    const auto& process = card_.rows()[size_t(row)];
    if (l.onPin(inRow)) card_.togglePin(process);
    else if (l.onInfo(inRow)) card_.toggleExplaining(toQString(process.name));
}

QString ProcessRows::toolTip(int row, QPoint inRow) const {
    if (row >= int(card_.rows().size())) return {};
    const Layout l = layout(row, rowRect(row).width());
    if (l.onPin(inRow)) return card_.isPinned(card_.rows()[size_t(row)]) ? tr("Unpin") : tr("Pin to top");
    if (l.columns[2].contains(inRow)) return tr("Energy impact, as in Activity Monitor");
    return {};
}

void ProcessRows::pointerMoved(std::optional<QPoint> pos) {
    bool onButton = false;
    if (pos) {
        const QPoint at = *pos;  // no scrolling here: content and viewport agree
        const int row = rowAt(at);
        if (row >= 0) {
            const QPoint inRow = at - rowRect(row).topLeft();
            const Layout l = layout(row, rowRect(row).width());
            onButton = l.onPin(inRow) || l.onInfo(inRow);
        }
    }
    if (onButton) viewport()->setCursor(Qt::PointingHandCursor);
    else viewport()->unsetCursor();
}

void ProcessRows::wheelEvent(QWheelEvent* e) {
    // The rows never scroll on their own: the page around them does.
    e->ignore();
}

// ---- ProcessesCard

std::vector<Processes::Info> ProcessesCard::ordered(std::vector<Processes::Info> processes, Sort sort,
                                                    const QStringList& pinned) {
    Processes::sortLargestFirst(processes, sort);
    std::stable_partition(processes.begin(), processes.end(),
                          [&](const Processes::Info& p) { return pinned.contains(toQString(p.name)); });
    if (processes.size() > maxRows) processes.resize(maxRows);
    return processes;
}

ProcessesCard::ProcessesCard(Monitor& monitor, Preferences& prefs, QWidget* parent)
    : Card(16, parent), monitor_(monitor), prefs_(prefs) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    auto* column = contentLayout();
    column->setSpacing(10);
    auto* header = new QHBoxLayout;
    header->setContentsMargins(0, 0, 0, 0);
    header->addWidget(new CardLabel(QStringLiteral("list.bullet.rectangle"), tr("Processes"), Theme::secondary(), this), 0,
                      Qt::AlignVCenter);
    header->addStretch(1);
    tabs_ = new SubTabs({{QString::fromLatin1(sortRaws[0]), QStringLiteral("CPU")},
                         {QString::fromLatin1(sortRaws[1]), tr("Memory")},
                         {QString::fromLatin1(sortRaws[2]), tr("Energy")}},
                        this);
    tabs_->setSelection(QString::fromLatin1(sortRaws[0]));
    header->addWidget(tabs_, 0, Qt::AlignVCenter);
    column->addLayout(header);

    progress_ = new QWidget(this);
    auto* around = new QHBoxLayout(progress_);
    around->setContentsMargins(20, 20, 20, 20);
    around->addWidget(new SpinnerView(Theme::secondary(), progress_), 0, Qt::AlignCenter);
    column->addWidget(progress_);
    list_ = new ProcessRows(*this);
    list_->setParent(this);
    column->addWidget(list_);

    connect(tabs_, &SubTabs::selectionRequested, this, [this](const QString& raw) {
        for (int i = 0; i < 3; ++i)
            if (raw == QLatin1String(sortRaws[i])) setSort(Sort(i));
    });
    connect(&monitor_, &Monitor::processesChanged, this, &ProcessesCard::refresh);
    connect(&prefs_, &Preferences::pinnedProcessesChanged, this, &ProcessesCard::refresh);
    refresh();
}

void ProcessesCard::setSort(Sort sort) {
    if (sort == sort_) return;
    sort_ = sort;
    tabs_->setSelection(QString::fromLatin1(sortRaws[int(sort)]));
    refresh();
}

bool ProcessesCard::isPinned(const Processes::Info& process) const {
    return prefs_.pinnedProcesses().contains(toQString(process.name));
}

void ProcessesCard::togglePin(const Processes::Info& process) {
    const QString name = toQString(process.name);
    QStringList pins = prefs_.pinnedProcesses();
    if (pins.contains(name)) pins.removeAll(name);
    else pins.append(name);
    prefs_.setPinnedProcesses(pins);
}

void ProcessesCard::toggleExplaining(const QString& name) {
    setExplaining(explaining_ == name ? std::nullopt : std::optional<QString>(name));
}

void ProcessesCard::setExplaining(const std::optional<QString>& name) {
    if (name == explaining_ && (popover_ != nullptr) == name.has_value()) return;
    int row = -1;
    for (size_t i = 0; name && i < rows_.size(); ++i)
        if (toQString(rows_[i].name) == *name) row = int(i);
    const auto text = row < 0 ? std::nullopt : explanationOf(rows_[size_t(row)].name);
    explaining_ = text ? name : std::nullopt;
    if (!explaining_) {
        if (ExplanationPopover* old = popover_) {
            popover_ = nullptr;
            old->disconnect(this);
            old->close();
            old->deleteLater();
        }
        return;
    }
    // Another name moves the open panel rather than closing it and opening a new
    // one: a popup closing hands the activation back, which would close the next.
    if (!popover_) {
        auto* popover = new ExplanationPopover(this);
        popover_ = popover;
        connect(popover, &ExplanationPopover::pressedOutside, this, [this](QPoint global) {
            const auto hit = list_->infoAt(global);
            setExplaining(hit && hit != explaining_ ? hit : std::nullopt);
        });
        connect(popover, &ExplanationPopover::dismissed, this, [this, popover] {
            if (popover_ == popover) setExplaining(std::nullopt);
        });
    }
    popover_->setContent(*explaining_, *text);
    const QRect anchor = list_->infoRect(row);
    popover_->popUp(QRect(list_->viewport()->mapToGlobal(anchor.topLeft()), anchor.size()));
}

void ProcessesCard::refresh() {
    rows_ = ordered(monitor_.processes(), sort_, prefs_.pinnedProcesses());
    const bool none = monitor_.processes().empty();
    progress_->setVisible(none);
    list_->setVisible(!none);
    const int n = int(rows_.size());
    if (list_->count() != n) list_->setCount(n);
    list_->setFixedHeight(list_->contentHeight());
    list_->viewport()->update();
    // The popover follows its process to its new row, or goes with it from the list.
    if (explaining_) {
        const auto name = explaining_;
        explaining_.reset();
        setExplaining(name);
    }
}
