#include "Views/Apps/UpdatesView.h"

#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QVBoxLayout>

#include <functional>

#include "Models/Kit/QtBridge.h"
#include "Models/Window/AppTab.h"
#include "Platform/Gui/IconCache.h"
#include "Views/Clean/BlackHole.h"
#include "Views/Clean/HeroColumn.h"
#include "Views/Clean/HeroText.h"
#include "Views/Kit/Controls.h"
#include "Views/Kit/Theme.h"
#include "Views/Kit/WindowActions.h"
#include "Models/Kit/Localization.h"

namespace {
using Source = AppUpdates::Source;
constexpr double padding = 12, iconSide = 34, lineGap = 3, chipGap = 6;
constexpr int maxMessageLines = 2;
}  // namespace

// ---- UpdatesScreenState

UpdatesScreenState UpdatesScreenState::of(const UpdatesModel& model) {
    UpdatesScreenState s;
    if (model.checking() || !model.checked()) {
        s.kind = model.checking() ? Kind::checking : Kind::idle;
        s.title = model.checking() ? UpdatesView::tr("Checking for updates…") : UpdatesView::tr("App updates");
        s.subtitle = UpdatesView::tr("Homebrew casks, the App Store and developer feeds");
        s.spinning = model.checking();
        s.button = model.checking() ? Button::none : Button::check;
    } else if (!model.updates().empty()) {
        s.kind = Kind::list;
        s.button = Button::none;
    } else if (model.answered() && model.unchecked().isEmpty()) {
        s.kind = Kind::upToDate;
        s.title = UpdatesView::tr("Everything is up to date");
        s.open = 0.5;
        s.button = Button::checkAgain;
    } else {
        // Nothing newer among what answered is no all-clear while something did not.
        s.kind = Kind::failed;
        s.title = model.answered() ? UpdatesView::tr("Some apps couldn't be checked")
                                   : UpdatesView::tr("Couldn't check for updates");
        s.subtitle = someOf(model.unchecked(), heroLines);
        s.button = Button::checkAgain;
    }
    return s;
}

QString UpdatesScreenState::someOf(const QStringList& lines, int most) {
    // One line for the rest rather than a line that shows only that more exist.
    const int shown = lines.size() <= most ? int(lines.size()) : most - 1;
    QString text = lines.mid(0, shown).join(QLatin1Char('\n'));
    if (shown < lines.size()) text += QLatin1Char('\n') + counted("and %n others", qlonglong(lines.size() - shown));
    return text;
}

// ---- UpdateRows

UpdateRows::UpdateRows(UpdatesModel& model, QWidget* parent)
    : RowList({64, 8, 0}, parent), model_(model), spin_([this] {
          for (int i = 0; i < count(); ++i)
              if (model_.isWorking(model_.updates()[size_t(i)])) updateRow(i);
      }) {
    name_ = Theme::font(13, QFont::DemiBold);
    versions_ = Theme::font(11.5, QFont::Normal, Theme::Design::monospaced);
    message_ = Theme::font(11);
    connect(&model_, &UpdatesModel::updatesChanged, this, &UpdateRows::refresh);
    connect(&model_, &UpdatesModel::workingChanged, this, &UpdateRows::refresh);
    connect(&model_, &UpdatesModel::messagesChanged, this, &UpdateRows::refresh);
    refresh();
}

UpdateRows::Row UpdateRows::describe(const UpdatesModel& model, const UpdatesModel::Update& u) {
    Row r;
    r.name = toQString(u.name);
    r.source = toQString(AppUpdates::title(u.source));
    r.versions = toQString(u.installed) + QStringLiteral("  →  ") + toQString(u.available);
    if (const auto m = model.messages().find(u.key()); m != model.messages().end()) {
        r.message = m->second;
    } else if (u.source == Source::inApp) {
        r.message = tr("Homebrew cannot update this app; use its own updater.");
        r.messageIsInstruction = true;
    }
    r.working = model.isWorking(u);
    if (!r.working) {
        switch (u.source) {
            case Source::homebrew: r.button = tr("Update"); break;
            case Source::appStore: r.button = tr("App Store"); break;
            case Source::sparkle:
            case Source::inApp: r.button = tr("Open app"); break;
        }
        r.primary = u.source == Source::homebrew;
    }
    return r;
}

// Rows are as tall as the row with the most message lines needs.
int UpdateRows::rowHeightFor() const {
    const double name = std::max(QFontMetricsF(name_).height(), Chip::size(QStringLiteral("X")).height());
    const double text = name + lineGap + QFontMetricsF(versions_).height();
    const QRectF card(0, 0, viewport()->width() - 2 * geometry().padding, 100);
    int lines = 0;
    for (const auto& u : model_.updates()) {
        // Most rows have no message: only those are described and laid out.
        if (u.source != Source::inApp && !model_.messages().count(u.key())) continue;
        const Row r = describe(model_, u);
        lines = std::max(lines, int(wrappedLines(r.message, message_, textWidth(card, r), maxMessageLines).size()));
        if (lines == maxMessageLines) break;
    }
    const double withMessage = text + (lines ? lineGap + lines * QFontMetricsF(message_).height() : 0);
    return int(std::ceil(2 * padding + std::max(iconSide, std::max(withMessage, PillButtonStyle::size("X").height()))));
}

double UpdateRows::textWidth(const QRectF& card, const Row& row) const {
    const double right = row.working ? card.right() - padding - Spinner::side : buttonIn(card, row).left();
    return std::max(0.0, right - 12 - (card.left() + padding + iconSide + 12));
}

void UpdateRows::refresh() {
    setRowHeight(rowHeightFor());
    setCount(int(model_.updates().size()));
    syncSpinner();
}

void UpdateRows::syncSpinner() {
    const bool any = !model_.working().empty() && isVisible();
    spin_.run(any);
}

void UpdateRows::showEvent(QShowEvent* e) {
    RowList::showEvent(e);
    syncSpinner();
}

void UpdateRows::hideEvent(QHideEvent* e) {
    RowList::hideEvent(e);
    spin_.run(false);
}

void UpdateRows::resizeEvent(QResizeEvent* e) {
    RowList::resizeEvent(e);
    setRowHeight(rowHeightFor());
}

QRectF UpdateRows::buttonIn(const QRectF& card, const Row& row) const {
    if (row.working) return {};
    const QSizeF s = PillButtonStyle::size(row.button);
    return QRectF(card.right() - padding - s.width(), card.top() + (card.height() - s.height()) / 2, s.width(), s.height());
}

QRect UpdateRows::buttonRect(int index) const {
    const QRect r = rowRect(index);
    if (!r.isValid()) return {};
    return buttonIn(QRectF(r), row(index)).toAlignedRect();
}

void UpdateRows::paintRow(QPainter& p, int index, const QRect& rect) {
    const UpdatesModel::Update& update = model_.updates().at(size_t(index));
    const Row r = describe(model_, update);
    const bool pressed = index == pressed_;
    const size_t key = std::hash<std::string>{}(update.app.native()) ^
                       std::hash<QString>{}(r.name + r.source + r.versions + r.message + r.button) * 31 ^
                       size_t(r.working ? spin_.step() + 1 : 0) << 8 ^ size_t(pressed) << 16 ^ size_t(rect.width()) << 20;
    paintFromPicture(p, index, rect, key, [&](QPainter& on) {
        on.setRenderHint(QPainter::Antialiasing);
        const QRectF card(0, 0, rect.width(), rect.height());
        CardModifier::paint(on, card);
        IconCache::draw(on, QRectF(padding, (card.height() - iconSide) / 2, iconSide, iconSide), update.app);

        if (r.working) {
            const double side = Spinner::side;
            Spinner::paint(on, QRectF(card.right() - padding - side, (card.height() - side) / 2, side, side),
                           Theme::secondary(), spin_.step());
        } else {
            PillButtonStyle{r.primary ? PillButtonStyle::Kind::primary : PillButtonStyle::Kind::secondary}.paint(
                on, buttonIn(card, r), r.button, true, pressed ? 1.0 : 0.0);
        }
        const double left = padding + iconSide + 12, width = textWidth(card, r);

        const QFontMetricsF nameMetrics(name_), versionMetrics(versions_), messageMetrics(message_);
        const QSizeF chip = Chip::size(r.source);
        const double nameLine = std::max(nameMetrics.height(), chip.height());
        const QStringList message = r.message.isEmpty() ? QStringList() : wrappedLines(r.message, message_, width, maxMessageLines);
        const double total = nameLine + lineGap + versionMetrics.height() +
                             (message.isEmpty() ? 0 : lineGap + message.size() * messageMetrics.height());
        double y = (card.height() - total) / 2;

        const double nameRoom = std::max(0.0, width - chip.width() - chipGap);
        const QString name = nameMetrics.elidedText(r.name, Qt::ElideRight, nameRoom);
        on.setFont(name_);
        on.setPen(Theme::text());
        on.drawText(QRectF(left, y, nameRoom, nameLine), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, name);
        Chip::paint(on, QPointF(left + nameMetrics.horizontalAdvance(name) + chipGap, y + (nameLine - chip.height()) / 2),
                    r.source, Theme::secondary());
        y += nameLine + lineGap;

        on.setFont(versions_);
        on.setPen(Theme::secondary());
        on.drawText(QRectF(left, y, width, versionMetrics.height()), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                    versionMetrics.elidedText(r.versions, Qt::ElideRight, width));
        y += versionMetrics.height() + lineGap;

        on.setFont(message_);
        on.setPen(r.messageIsInstruction ? Theme::secondary() : Theme::review());
        for (const QString& line : message) {
            on.drawText(QRectF(left, y, width, messageMetrics.height()), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                        line);
            y += messageMetrics.height();
        }
    });
}

void UpdateRows::mousePressEvent(QMouseEvent* e) {
    RowList::mousePressEvent(e);
    const QPoint pos = e->position().toPoint();
    const int index = rowAt(pos);
    if (e->button() == Qt::LeftButton && index >= 0 && buttonRect(index).contains(pos)) {
        pressed_ = index;
        updateRow(index);
    }
}

void UpdateRows::mouseReleaseEvent(QMouseEvent* e) {
    RowList::mouseReleaseEvent(e);
    updateRow(std::exchange(pressed_, -1));
}

void UpdateRows::rowClicked(int index, QPoint inRow, Qt::MouseButton button) {
    if (button != Qt::LeftButton || index != pressed_ || index >= int(model_.updates().size())) return;
    const QRect r = rowRect(index);
    if (!buttonRect(index).contains(inRow + r.topLeft())) return;
    model_.apply(model_.updates()[size_t(index)]);
}

// ---- UpdatesView

UpdatesView::UpdatesView(UpdatesModel& model, QWidget* parent) : QWidget(parent), model_(model) {
    auto* pages = new QVBoxLayout(this);
    pages->setContentsMargins(0, 0, 0, 0);
    pages->setSpacing(0);

    heroPage_ = new QWidget;
    HeroColumn column(heroPage_, heroSize, Theme::color(glow(AppTab::apps)), 22, 40);
    hero_ = column.hole();
    text_ = new HeroText;
    column.add(text_);
    auto* buttons = new QWidget;
    auto* row = new QHBoxLayout(buttons);
    row->setContentsMargins(0, 0, 0, 0);
    check_ = new PillButton(tr("Check for updates"), PillButtonStyle::Kind::primary);
    checkAgain_ = new PillButton(tr("Check again"), PillButtonStyle::Kind::secondary);
    WindowActions::setRole(check_, WindowActions::Role::defaultAction);
    row->addStretch(1);
    row->addWidget(check_);
    row->addWidget(checkAgain_);
    row->addStretch(1);
    // The row keeps its height while a check runs without a button, so the hero stays put.
    buttons->setFixedHeight(check_->sizeHint().height());
    column.add(buttons);
    pages->addWidget(heroPage_);

    listPage_ = new QWidget;
    auto* list = new QVBoxLayout(listPage_);
    list->setContentsMargins(24, 24, 24, 24);
    list->setSpacing(12);
    auto* header = new QHBoxLayout;
    header->setSpacing(10);
    count_ = plainLabel({}, Theme::font(18, QFont::Bold), Theme::text());
    header->addWidget(count_);
    header->addStretch(1);
    listCheckAgain_ = new PillButton(tr("Check again"), PillButtonStyle::Kind::secondary);
    updateAll_ = new PillButton(tr("Update all Homebrew"), PillButtonStyle::Kind::primary);
    header->addWidget(listCheckAgain_);
    header->addWidget(updateAll_);
    list->addLayout(header);
    note_ = plainLabel({}, Theme::font(11), Theme::review());
    note_->setWordWrap(true);
    list->addWidget(note_);
    rows_ = new UpdateRows(model_);
    list->addWidget(rows_, 1);
    pages->addWidget(listPage_);

    for (PillButton* b : {check_, checkAgain_, listCheckAgain_})
        connect(b, &QPushButton::clicked, this, [this] { model_.check(); });
    connect(updateAll_, &QPushButton::clicked, this, [this] { model_.updateAllHomebrew(); });
    connect(&model_, &UpdatesModel::checkingChanged, this, &UpdatesView::sync);
    connect(&model_, &UpdatesModel::checkedChanged, this, &UpdatesView::sync);
    connect(&model_, &UpdatesModel::updatesChanged, this, &UpdatesView::sync);
    connect(&model_, &UpdatesModel::uncheckedChanged, this, &UpdatesView::sync);
    sync();
}

void UpdatesView::sync() {
    using Kind = UpdatesScreenState::Kind;
    state_ = UpdatesScreenState::of(model_);
    const bool listed = state_.kind == Kind::list;
    heroPage_->setVisible(!listed);
    listPage_->setVisible(listed);
    if (listed) {
        count_->setText(counted("%n updates available", qlonglong(model_.updates().size())));
        const auto& u = model_.updates();
        updateAll_->setVisible(std::any_of(u.begin(), u.end(), [](const auto& x) { return x.source == Source::homebrew; }));
        const QStringList& unchecked = model_.unchecked();
        note_->setVisible(!unchecked.isEmpty());
        note_->setText(unchecked.isEmpty() ? QString()
                                           : tr("Not checked:") + QLatin1Char('\n') +
                                                 UpdatesScreenState::someOf(unchecked, UpdatesScreenState::noteLines));
        return;
    }
    hero_->setSpinning(state_.spinning);
    hero_->setOpen(state_.open);
    text_->setTitle(state_.title);
    text_->setSubtitle(state_.subtitle);
    check_->setVisible(state_.button == UpdatesScreenState::Button::check);
    checkAgain_->setVisible(state_.button == UpdatesScreenState::Button::checkAgain);
}
