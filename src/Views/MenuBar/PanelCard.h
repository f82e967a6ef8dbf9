#pragma once
#include <QString>

#include <optional>

#include "Views/Kit/Controls.h"

class Chip;
class MetricValue;
class OneLine;
class QHBoxLayout;
class SymbolLabel;

// The menu-bar panel's compact metric card: a titled header with an optional chip,
// the value and its unit, a graph at least 22 points high, and a one-line footer.
class PanelCard : public Card {
public:
    static constexpr int minimumGraphHeight = 22;
    // The card takes ownership of `graph`.
    PanelCard(const QString& symbol, const QString& title, const std::optional<QString>& chip, const QString& value,
              const QString& unit, const QString& footer, QWidget* graph, QWidget* parent = nullptr);

    void setChip(const std::optional<QString>& chip);
    void setValue(const QString& value, const QString& unit);
    void setFooter(const QString& footer);

    SymbolLabel* titleLabel() const { return title_; }
    // Hidden without a chip.
    Chip* chip() const { return chip_; }
    std::optional<QString> chipText() const { return chipText_; }
    MetricValue* valueView() const { return value_; }
    QString footer() const;
    QWidget* graph() const { return graph_; }

private:
    SymbolLabel* title_;
    Chip* chip_;
    std::optional<QString> chipText_;
    MetricValue* value_;
    QWidget* graph_;
    OneLine* footer_;
};
