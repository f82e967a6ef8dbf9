#include "Views/Analyze/RemovalBar.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>

#include "Models/Kit/QtBridge.h"
#include "Models/Settings/Preferences.h"
#include "Platform/Gui/FileManager.h"
#include "Platform/Locations.h"
#include "Views/Clean/ReviewList.h"
#include "Views/Kit/ConfirmationDialog.h"
#include "Views/Kit/Controls.h"
#include "Views/Kit/Symbols.h"
#include "Views/Kit/Theme.h"
#include "Models/Kit/Localization.h"

namespace {
QString bytes(int64_t n) { return toQString(formattedBytes(n)); }

QHBoxLayout* row(QWidget* w) {
    auto* l = new QHBoxLayout(w);
    l->setContentsMargins(0, 0, 0, 0);
    l->setSpacing(10);
    return l;
}
}  // namespace

RemovalBar::RemovalBar(AnalyzeModel& model, QWidget* parent) : QWidget(parent), model_(model) {
    auto* stack = new QHBoxLayout(this);
    stack->setContentsMargins(12, 10, 12, 10);
    stack->setSpacing(0);

    selectionRow_ = new QWidget;
    auto* s = row(selectionRow_);
    summary_ = plainLabel({}, Theme::font(12.5, QFont::DemiBold), Theme::text());
    clear_ = new PlainButton(tr("Clear"), Theme::font(12), Theme::secondary());
    spinner_ = new SpinnerView(Theme::secondary());
    remove_ = new PillButton({}, PillButtonStyle::Kind::primary);
    remove_->setSymbol(QStringLiteral("trash"));
    s->addWidget(summary_);
    s->addWidget(clear_);
    s->addStretch(1);
    s->addWidget(spinner_);
    s->addWidget(remove_);

    bannerRow_ = new QWidget;
    auto* b = row(bannerRow_);
    bannerIcon_ = new SymbolLabel({}, {}, Theme::font(12.5), Theme::good());
    bannerText_ = plainLabel({}, Theme::font(12.5), Theme::text());
    skipped_ = plainLabel({}, Theme::font(12), Theme::review());
    openTrash_ = new PillButton(tr("Open Trash"), PillButtonStyle::Kind::secondary);
    dismiss_ = new SymbolButton(QStringLiteral("xmark"), 12);
    dismiss_->setToolTip(tr("Dismiss"));
    b->addWidget(bannerIcon_);
    b->addWidget(bannerText_);
    b->addWidget(skipped_);
    b->addStretch(1);
    b->addWidget(openTrash_);
    b->addWidget(dismiss_);

    stack->addWidget(selectionRow_);
    stack->addWidget(bannerRow_);

    connect(clear_, &QAbstractButton::clicked, this, [this] { model_.setSelection({}); });
    connect(remove_, &QAbstractButton::clicked, this, &RemovalBar::confirm);
    connect(openTrash_, &QAbstractButton::clicked, this, [] { Platform::FileManager::open(trashFolder()); });
    connect(dismiss_, &QAbstractButton::clicked, this, [this] { model_.setLastRemoval(std::nullopt); });
    connect(&model_, &AnalyzeModel::selectionChanged, this, &RemovalBar::sync);
    connect(&model_, &AnalyzeModel::entriesChanged, this, &RemovalBar::sync);
    connect(&model_, &AnalyzeModel::removingChanged, this, &RemovalBar::sync);
    connect(&model_, &AnalyzeModel::lastRemovalChanged, this, &RemovalBar::sync);
    connect(&Preferences::shared(), &Preferences::dryRunChanged, this, &RemovalBar::sync);
    sync();
}

std::filesystem::path RemovalBar::trashFolder() { return Platform::Locations::trashFiles(); }

QString RemovalBar::selectionText(qsizetype count, int64_t size) {
    return tr("%1 selected · %2").arg(qlonglong(count)).arg(bytes(size));
}

QString RemovalBar::confirmationTitle(qsizetype count, int64_t size) {
    return counted("Move %n items (%1) to the Trash?", qlonglong(count)).arg(bytes(size));
}

QString RemovalBar::confirmationMessage(qsizetype count) {
    return counted("You can put them back from the Trash until you empty it.", qlonglong(count));
}

QString RemovalBar::bannerText(const CleanReport& r) {
    if (r.dryRun) return tr("Preview: %1 would be freed").arg(bytes(r.freed));
    return counted("%n items · %1 moved to the Trash", qlonglong(r.removed.size())).arg(bytes(r.trashed));
}

QString RemovalBar::skippedToolTip(const CleanReport& r) {
    QStringList lines;
    for (const auto& skip : r.skipped) lines.append(ReportBanner::skippedLine(skip));
    return plainToolTip(lines.join(QLatin1Char('\n')));
}

void RemovalBar::setCornerRadius(double radius) {
    cornerRadius_ = radius;
    update();
}

void RemovalBar::sync() {
    const auto& selection = model_.selection();
    const auto& report = model_.lastRemoval();
    content_ = !selection.empty() ? Content::selection : report ? Content::banner : Content::none;
    selectionRow_->setVisible(content_ == Content::selection);
    bannerRow_->setVisible(content_ == Content::banner);
    if (content_ == Content::selection) {
        summary_->setText(selectionText(qsizetype(selection.size()), model_.selectedSize()));
        spinner_->setVisible(model_.removing());
        remove_->setText(Preferences::shared().dryRun() ? tr("Preview removal") : tr("Move to Trash"));
        remove_->setEnabled(!model_.removing());
        remove_->updateGeometry();
    } else if (content_ == Content::banner) {
        bannerIcon_->set(ReportBanner::symbol(*report), {}, ReportBanner::color(*report));
        bannerText_->setText(bannerText(*report));
        skipped_->setVisible(!report->skipped.empty());
        skipped_->setText(ReportBanner::skippedTitle(*report));
        skipped_->setToolTip(skippedToolTip(*report));
        openTrash_->setVisible(!report->dryRun);
    }
    setVisible(content_ != Content::none);
}

void RemovalBar::confirm() {
    if (confirming_ || model_.removing()) return;
    confirming_ = true;
    const auto count = qsizetype(model_.selection().size());
    dialog_ = ConfirmationDialog::present(
        this, confirmationTitle(count, model_.selectedSize()),
        confirmationMessage(count), tr("Move to Trash"),
        [self = QPointer(this)] {
            if (self) self->model_.trashSelected();
        },
        [self = QPointer(this)] {
            if (self) self->confirming_ = false;
        });
}

void RemovalBar::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    // Within the card's outline, following its lower corners.
    const QRectF r(rect());
    const double c = std::max(0.0, cornerRadius_ - 1);
    QPainterPath shape;
    shape.moveTo(r.topLeft());
    shape.lineTo(r.topRight());
    shape.lineTo(r.right(), r.bottom() - c);
    shape.quadTo(r.bottomRight(), QPointF(r.right() - c, r.bottom()));
    shape.lineTo(r.left() + c, r.bottom());
    shape.quadTo(r.bottomLeft(), QPointF(r.left(), r.bottom() - c));
    shape.closeSubpath();
    p.fillPath(shape, Theme::black(0.25));
}

// ---- RowTrashButton

void RowTrashButton::paint(QPainter& p, const QRectF& rect, double hot) {
    const auto mix = [hot](const QColor& a, const QColor& b) {
        return QColor::fromRgbF(float(a.redF() + (b.redF() - a.redF()) * hot),
                                float(a.greenF() + (b.greenF() - a.greenF()) * hot),
                                float(a.blueF() + (b.blueF() - a.blueF()) * hot),
                                float(a.alphaF() + (b.alphaF() - a.alphaF()) * hot));
    };
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    const double radius = rect.height() / 2;
    p.setPen(Qt::NoPen);
    p.setBrush(mix(Theme::white(0.08), Theme::withOpacity(Theme::danger(), 0.16)));
    p.drawRoundedRect(rect, radius, radius);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(mix(Theme::stroke(), Theme::withOpacity(Theme::danger(), 0.35)), 1));
    p.drawRoundedRect(rect.adjusted(0.5, 0.5, -0.5, -0.5), radius - 0.5, radius - 0.5);
    const double icon = Symbols::sizeForFont(10.5);
    Symbols::paint(p, QStringLiteral("trash"), QRectF(rect.center().x() - icon / 2, rect.center().y() - icon / 2, icon, icon),
                   mix(Theme::secondary(), Theme::danger()), 1.4);
    p.restore();
}

QString RowTrashButton::toolTip() { return QCoreApplication::translate("RowTrashButton", "Move to Trash"); }

// ---- EntryMenu

QMenu* EntryMenu::make(const AnalyzeModel::Entry& entry, AnalyzeModel& model, QWidget* parent) {
    const auto tr = [](const char* text) { return QCoreApplication::translate("EntryMenu", text); };
    auto* menu = new QMenu(parent);
    QPointer<AnalyzeModel> m(&model);
    if (entry.isFolder)
        menu->addAction(tr("Open"), menu, [m, entry] {
            if (m) m->open(entry);
        });
    menu->addAction(tr("Show in Finder"), menu, [url = entry.url] { Platform::FileManager::reveal(url); });
    menu->addSeparator();
    QAction* trash = menu->addAction(Symbols::pixmap(QStringLiteral("trash"), 14, Theme::danger()), tr("Move to Trash"),
                                     menu, [m, entry] {
                                         if (m) m->trash(entry);
                                     });
    // Asked afresh each time: the settings may have changed since the row was drawn.
    trash->setEnabled(Preferences::shared().safetyGuard({}).check(entry.url).isAllowed());
    return menu;
}
