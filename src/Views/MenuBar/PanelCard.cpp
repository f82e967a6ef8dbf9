#include "Views/MenuBar/PanelCard.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

#include "Views/Kit/Theme.h"
#include "Views/MenuBar/PanelSections.h"
#include "Views/Status/MetricViews.h"
#include "Views/Status/StatusTexts.h"

PanelCard::PanelCard(const QString& symbol, const QString& title, const std::optional<QString>& chip,
                     const QString& value, const QString& unit, const QString& footer, QWidget* graph, QWidget* parent)
    : Card(10, parent), graph_(graph) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    auto* column = contentLayout();
    column->setSpacing(7);

    auto* header = new QHBoxLayout;
    header->setContentsMargins(0, 0, 0, 0);
    header->setSpacing(4);
    header->addWidget(new SymbolLabel(symbol, title, Theme::font(11.5, QFont::Medium), Theme::secondary(), this), 0,
                      Qt::AlignVCenter);
    header->addStretch(1);
    header->addSpacing(2);
    chip_ = new Chip(QString(), Theme::secondary(), this);
    header->addWidget(chip_, 0, Qt::AlignVCenter);
    column->addLayout(header);
    setChip(chip);

    value_ = new MetricValue(value, unit, {22, 11, 3}, this);
    column->addWidget(value_);
    graph_->setParent(this);
    graph_->setMinimumHeight(minimumGraphHeight);
    column->addWidget(graph_, 1);
    graphIndex_ = column->indexOf(graph_);
    footer_ = new OneLine(footer, Theme::font(10.5), Theme::secondary(), this);
    column->addWidget(footer_);
}

void PanelCard::setChip(const std::optional<QString>& chip) {
    if (chip == chipText_ && chip_->isHidden() != chip.has_value()) return;
    chipText_ = chip;
    if (chip) chip_->setText(*chip);
    chip_->setVisible(chip.has_value());
}

QString PanelCard::footer() const { return footer_->text(); }

void PanelCard::setTexts(const PanelCards::Content& c) {
    setChip(c.chip);
    value_->set(c.value, c.unit);
    footer_->setText(c.footer);
}

void PanelCard::setGraph(QWidget* graph) {
    graph->setParent(this);
    graph->setMinimumHeight(minimumGraphHeight);
    contentLayout()->insertWidget(graphIndex_, graph, 1);
    delete graph_;
    graph_ = graph;
}

// ---- PanelHeat

PanelHeat::PanelHeat(AppState& state, QWidget* parent)
    : PanelCard(QStringLiteral("thermometer.medium"), tr("Heat"), std::nullopt, QString(), QStringLiteral("°C"), QString(),
                new QWidget, parent),
      state_(state) {}

void PanelHeat::refresh(const PanelCards::Content& c, bool fans) {
    setTexts(c);
    if (fans && !controls_) {
        controls_ = new HeatFanControls(state_);
        meter_ = nullptr;
        setGraph(controls_);
    } else if (!fans && !meter_) {
        meter_ = new Meter(c.graph.fraction, c.graph.color);
        controls_ = nullptr;
        setGraph(meter_);
    }
    if (meter_) StatusCards::updateGraph(meter_, c.graph);
}
