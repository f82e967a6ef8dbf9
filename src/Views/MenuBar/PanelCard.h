#pragma once
#include <QString>

#include <optional>

#include "Views/Kit/Controls.h"
#include "Views/MenuBar/PanelCards.h"

class Chip;
class MetricValue;
class OneLine;

// The menu-bar panel's compact metric card: a titled header with an optional chip,
// the value and its unit, a graph at least 22 points high, and a one-line footer.
class PanelCard : public Card {
public:
    static constexpr int minimumGraphHeight = 22;
    // The card takes ownership of `graph`.
    PanelCard(const QString& symbol, const QString& title, const std::optional<QString>& chip, const QString& value,
              const QString& unit, const QString& footer, QWidget* graph, QWidget* parent = nullptr);

    // Chip, value, unit and footer (the graph is the caller's).
    void setTexts(const PanelCards::Content& content);

    // None while the chip is hidden.
    std::optional<QString> chipText() const { return chipText_; }
    MetricValue* valueView() const { return value_; }
    QString footer() const;
    QWidget* graph() const { return graph_; }

protected:
    // The graph widget is replaced; the card owns the new one.
    void setGraph(QWidget* graph);

private:
    void setChip(const std::optional<QString>& chip);
    Chip* chip_;
    std::optional<QString> chipText_;
    MetricValue* value_;
    QWidget* graph_;
    int graphIndex_ = 0;
    OneLine* footer_;
};

class AppState;
class HeatFanControls;
class Meter;

// The heat card: the processor's temperature and the thermal state, with the fan
// controls on a machine with fans and a temperature meter on one without.
class PanelHeat : public PanelCard {
public:
    explicit PanelHeat(AppState& state, QWidget* parent = nullptr);
    void refresh(const PanelCards::Content& content, bool fans);
    // The fan controls, or none on a machine without fans.
    HeatFanControls* fanControls() const { return controls_; }
    Meter* meter() const { return meter_; }

private:
    AppState& state_;
    HeatFanControls* controls_ = nullptr;
    Meter* meter_ = nullptr;
};
