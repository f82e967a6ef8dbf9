#pragma once
#include <QString>

#include <optional>
#include <vector>

#include "Sensors/Fans/FanReader.h"
#include "Views/Status/StatusCards.h"

// What the menu-bar panel's six compact cards show, worked out from the monitor's
// readings alone: one pure function per card behind one list of the cards, as the
// Status tab's cards are, with the panel's own texts.
namespace PanelCards {

struct Content {
    QString symbol, title;
    std::optional<QString> chip;
    QString value, unit, footer;
    StatusCards::Graph graph;
};

enum class Card { cpu, gpu, memory, disk, network, heat };
// In the panel's order, two to a row.
inline constexpr Card cards[] = {Card::cpu, Card::gpu, Card::memory, Card::disk, Card::network, Card::heat};

// The heat card's graph with fans is the fan controls rather than `graph`.
Content content(Card card, const StatusCards::Readings& readings, const std::vector<FanReader::Fan>& fans);

}  // namespace PanelCards
