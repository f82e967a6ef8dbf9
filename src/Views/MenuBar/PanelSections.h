#pragma once
#include <QList>
#include <QString>
#include <QWidget>

#include <array>
#include <vector>

#include "Core/Status/Processes.h"
#include "Models/Status/FanPreset.h"
#include "Views/Kit/Controls.h"

class Chip;
class Monitor;
class QHBoxLayout;
class QLabel;
class Ring;
class SymbolLabel;

// The panel's battery section: the charge, the power state and the adapter, one
// ring per accessory, and the process that uses the most energy. Shown only while
// the monitor has a battery or an accessory.
class PanelBattery : public Card {
public:
    static constexpr int padding = 12;
    explicit PanelBattery(Monitor& monitor, QWidget* parent = nullptr);
    QString chargeText() const;
    QString stateText() const;
    QString topEnergyText() const;  // empty when the line is not shown
    std::optional<QString> healthText() const;
    QList<Ring*> rings() const { return rings_; }

private:
    void sync();
    void placeRings(bool beside);
    Monitor& monitor_;
    CardLabel* label_ = nullptr;
    QHBoxLayout* header_;
    Chip* health_;
    QWidget* chargeLine_;
    QLabel* charge_;
    QLabel* state_;
    QHBoxLayout* line_;
    QHBoxLayout* ringLine_;  // the rings' own line, when the charge line has no room for them
    QWidget* ringBox_;
    QHBoxLayout* ringRow_;
    bool ringsBeside_ = true;
    QList<Ring*> rings_;
    SymbolLabel* topEnergy_;
    bool charging_ = false;
};

// The five busiest processes by CPU under a header with the column captions; a
// spinner until the first list has come.
class PanelProcesses : public Card {
public:
    static constexpr int listHeight = 100;
    explicit PanelProcesses(Monitor& monitor, QWidget* parent = nullptr);
    const std::vector<Processes::Info>& rows() const { return rows_; }

private:
    class List;
    void sync();
    Monitor& monitor_;
    std::vector<Processes::Info> rows_;
    List* list_;
    SpinnerView* spinner_;
};

class AppState;
class BaselineTexts;
class ChipRow;
class FanModeButton;
class Meter;
class PanelCard;

// The panel's health line (the score and its word) over the chips of the machine:
// processor, memory, system and uptime.
class PanelHeader : public QWidget {
public:
    explicit PanelHeader(QWidget* parent = nullptr);
    void refresh(const Monitor& monitor, int score, int64_t memoryTotal);
    ChipRow* chips() const { return chips_; }

private:
    BaselineTexts* score_;
    ChipRow* chips_;
};

// The first fan's speed with the three fan mode buttons, which ask fan control for
// a mode; a spinner while it works.
class HeatFanControls : public QWidget {
public:
    explicit HeatFanControls(AppState& state, QWidget* parent = nullptr);
    FanModeButton* button(FanPreset preset) const { return buttons_[static_cast<size_t>(preset)]; }
    QString speedText() const;
    SpinnerView* spinner() const { return spinner_; }

private:
    void sync();
    AppState& state_;
    QLabel* speed_;
    SpinnerView* spinner_;
    std::array<FanModeButton*, 3> buttons_{};
};
