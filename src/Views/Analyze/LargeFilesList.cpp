#include "Views/Analyze/LargeFilesList.h"

#include <QCoreApplication>
#include <QFontMetricsF>
#include <QMenu>
#include <QPainter>
#include <QStackedLayout>
#include <QVBoxLayout>

#include "Models/Kit/QtBridge.h"
#include "Models/Settings/Preferences.h"
#include "Platform/Gui/IconCache.h"
#include "Views/Analyze/AnalyzeHero.h"
#include "Views/Analyze/ListCard.h"
#include "Views/Analyze/PathText.h"
#include "Views/Analyze/RemovalBar.h"
#include "Views/Kit/Controls.h"
#include "Views/Kit/Theme.h"

namespace {
constexpr int padX = 10;
}  // namespace

LargeFileRows::LargeFileRows(AnalyzeModel& model, QWidget* parent)
    : RowList({rowHeight, 2, 6}, parent), model_(model) {
    path_ = Theme::font(12.5);
    size_ = Theme::font(11.5, QFont::Medium, Theme::Design::monospaced);
    empty_ = Theme::font(12);
    setEmptyHeight(int(std::ceil(QFontMetricsF(empty_).height())) + 60);
    connect(&model_, &AnalyzeModel::entriesChanged, this, &LargeFileRows::refresh);
    connect(&model_, &AnalyzeModel::selectionChanged, this, [this] { viewport()->update(); });
    connect(&model_, &AnalyzeModel::searchedChanged, this, [this] { viewport()->update(); });
    connect(&model_, &AnalyzeModel::readableChanged, this, [this] { viewport()->update(); });
    connect(&Preferences::shared(), &Preferences::protectedPathsChanged, this, [this] { viewport()->update(); });
    refresh();
}

void LargeFileRows::refresh() { setCount(int(model_.entries().size())); }

QString LargeFileRows::emptyText() { return tr("No files over 500 MB here"); }

QRectF LargeFileRows::boxRect() { return QRectF(padX, (rowHeight - CheckBox::side) / 2.0, CheckBox::side, CheckBox::side); }

void LargeFileRows::paintEmpty(QPainter& p, const QRect& rect) {
    // Where no search was made, it says so rather than claim there is nothing.
    const QString text = model_.searched()          ? emptyText()
                         : !model_.readable() ? tr("Not searched: Quelto can't read this folder")
                                                     : tr("Not searched: this folder is on a network or system file system");
    paintNote(p, rect, empty_, text);
}

void LargeFileRows::paintRow(QPainter& p, int row, const QRect& rect) {
    const auto& entry = model_.entries().at(size_t(row));
    const bool removable = model_.canRemove(entry), selected = model_.selection().contains(entry.url);
    const size_t key = combinedKey({entry.url.hash(), size_t(entry.size.value_or(0)),
                                    size_t(removable) | size_t(selected) << 1});
    paintFromPicture(p, row, rect, key, [&](QPainter& on) {
        on.setRenderHint(QPainter::Antialiasing);
        const double cy = rowHeight / 2.0;
        on.save();
        on.setOpacity(removable ? 1.0 : 0.25);
        CheckBox::paint(on, boxRect().topLeft(), selected ? CheckBox::Mark::on : CheckBox::Mark::off);
        on.restore();
        double x = boxRect().right() + 10;
        IconCache::draw(on, QRectF(x, cy - 10, 20, 20), entry.url);
        x += 20 + 10;
        const QString size = toQString(formattedBytes(entry.size.value_or(0)));
        const double sizeWidth = QFontMetricsF(size_).horizontalAdvance(size), right = rect.width() - padX;
        on.setFont(size_);
        on.setPen(Theme::secondary());
        on.drawText(QRectF(right - sizeWidth, 0, sizeWidth, rowHeight), Qt::AlignRight | Qt::AlignVCenter, size);
        const double room = std::max(0.0, right - sizeWidth - 10 - x);
        on.setFont(path_);
        on.setPen(Theme::text());
        on.drawText(QRectF(x, 0, room, rowHeight), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                    QFontMetricsF(path_).elidedText(PathText::tilde(entry.url, model_.home()), Qt::ElideMiddle, room));
    });
}

void LargeFileRows::rowClicked(int row, QPoint inRow, Qt::MouseButton button) {
    if (button != Qt::LeftButton || row >= int(model_.entries().size())) return;
    if (boxRect().adjusted(-4, -4, 4, 4).contains(inRow)) model_.toggleSelection(model_.entries()[size_t(row)]);
}

void LargeFileRows::rowMenuRequested(int row, QPoint, QPoint global) {
    if (row >= int(model_.entries().size())) return;
    QMenu* menu = EntryMenu::make(model_.entries()[size_t(row)], model_, this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(global);
}

LargeFilesList::LargeFilesList(AnalyzeModel& model, QWidget* parent) : QWidget(parent), model_(model) {
    stack_ = new QStackedLayout(this);
    hero_ = new AnalyzeHero(tr("Searching…"), tr("Files over 500 MB"));
    card_ = new ListCard;
    rows_ = new LargeFileRows(model_);
    bar_ = new RemovalBar(model_);
    bar_->setCornerRadius(CardModifier::cornerRadius);
    card_->contentLayout()->addWidget(rows_, 1);
    card_->contentLayout()->addWidget(bar_);
    card_->clipToCorners(rows_);
    stack_->addWidget(hero_);
    stack_->addWidget(card_);
    connect(&model_, &AnalyzeModel::listingChanged, this, &LargeFilesList::sync);
    sync();
}

bool LargeFilesList::showsHero() const { return stack_->currentWidget() == hero_; }

void LargeFilesList::sync() { stack_->setCurrentWidget(model_.listing() ? static_cast<QWidget*>(hero_) : card_); }
