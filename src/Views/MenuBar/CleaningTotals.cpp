#include "Views/MenuBar/CleaningTotals.h"

#include <QCoroFuture>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QShowEvent>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

#include <limits>

#include "Core/Clean/CleanTypes.h"
#include "Models/Kit/QtBridge.h"
#include "Views/Kit/Theme.h"

CleaningTotals::Totals CleaningTotals::sum(const std::vector<History::Entry>& entries) {
    Totals t;
    for (const History::Entry& e : entries) {
        if (e.action == "optimize") {
            ++t.optimized;
            continue;
        }
        if (e.action == "uninstall") ++t.uninstalled;
        if (e.bytes > 0 && __builtin_add_overflow(t.freed, e.bytes, &t.freed))
            t.freed = std::numeric_limits<int64_t>::max();
    }
    return t;
}

CleaningTotals::CleaningTotals(QWidget* parent) : Card(12, parent) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    auto* column = contentLayout();
    column->setSpacing(8);
    column->addWidget(new CardLabel(QStringLiteral("sparkle"), tr("Cleaning history"), Theme::secondary(), this), 0,
                      Qt::AlignLeft);
    auto* row = new QHBoxLayout;
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(8);
    const QString labels[] = {tr("Cleaned"), tr("Uninstalled"), tr("Optimized")};
    for (int i = 0; i < 3; ++i) {
        auto* cell = new QVBoxLayout;
        cell->setContentsMargins(0, 0, 0, 0);
        cell->setSpacing(1);
        values_[i] = plainLabel(QString(), Theme::font(18, QFont::Bold), Theme::text(), this);
        cell->addWidget(values_[i]);
        cell->addWidget(plainLabel(labels[i], Theme::font(10.5), Theme::secondary(), this));
        row->addLayout(cell, 1);
    }
    column->addLayout(row);
    display(totals_);
}

QString CleaningTotals::shownText(int column) const { return column >= 0 && column < 3 ? values_[column]->text() : QString(); }

void CleaningTotals::display(const Totals& totals) {
    totals_ = totals;
    values_[0]->setText(toQString(formattedBytes(totals.freed)));
    values_[1]->setText(QString::number(totals.uninstalled));
    values_[2]->setText(QString::number(totals.optimized));
}

void CleaningTotals::showEvent(QShowEvent* event) {
    Card::showEvent(event);
    if (!event->spontaneous()) load();
}

QCoro::Task<> CleaningTotals::load() {
    loaded_ = false;
    QPointer<CleaningTotals> self(this);
    QFuture<Totals> reading = QtConcurrent::run([] { return sum(History::entries()); });
    const Totals totals = co_await reading;
    if (!self) co_return;
    self->display(totals);
    self->loaded_ = true;
}
