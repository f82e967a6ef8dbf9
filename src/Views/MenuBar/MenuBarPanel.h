#pragma once
#include <QImage>
#include <QString>
#include <QWidget>

#include <functional>
#include <map>
#include <optional>
#include <vector>

#include "Core/Status/Processes.h"
#include "Models/Kit/CoalescedCall.h"
#include "Models/Window/AppTab.h"
#include "Views/MenuBar/PanelCards.h"

class AppState;
class CleaningTotals;
class MonitorWatch;
class PanelBattery;
class PanelCard;
class PanelHeader;
class PanelHeat;
class PanelProcesses;
class PillButton;
class Preferences;
class QScrollArea;
class QuickCleanCard;
class SymbolButton;

// The glass panel's content: health, six live cards, batteries and accessories, the
// busiest processes, the quick clean, the actions and the cleaning totals, all read
// from the live monitor and the application state. Made for one showing of the panel;
// it counts as one watcher of the monitor while it is on screen.
class MenuBarPanel : public QWidget {
    Q_OBJECT
public:
    static constexpr int width = 340;
    static constexpr int padding = 12;

    // `close` hides the panel (and so lets go of this content).
    MenuBarPanel(AppState& state, Preferences& prefs, std::function<void()> close, QWidget* parent = nullptr);

    // Closes the panel and brings the main window up, on `tab` when one is given.
    void open(std::optional<AppTab> tab);
    // Brings the header and the cards up to the monitor's readings now.
    void refreshNow() { refresh(); }

    // The symbol of an accessory's battery by the words in its name.
    static QString accessorySymbol(const QString& name);
    // The busiest processes by CPU, at most five.
    static std::vector<Processes::Info> topProcesses(std::vector<Processes::Info> processes);
    // The row with the highest energy figure (the earlier one on a tie); none when no
    // row has a figure above 0, as where the system keeps none.
    static std::optional<Processes::Info> topEnergy(const std::vector<Processes::Info>& processes);

    // The whole column's size: the panel is cut to the screen and scrolls when taller.
    QSize sizeHint() const override;

    PanelHeader* header() const { return header_; }
    // The heat card is a PanelHeat.
    PanelCard* card(PanelCards::Card card) const { return cards_.at(card); }
    PanelHeat* heat() const;
    PanelBattery* battery() const { return battery_; }
    MonitorWatch* watch() const { return watch_; }
    PanelProcesses* processes() const { return processes_; }
    QuickCleanCard* quickClean() const { return quickClean_; }
    CleaningTotals* totals() const { return totals_; }
    PillButton* openButton() const { return openButton_; }
    PillButton* cleanButton() const { return cleanButton_; }
    SymbolButton* settingsButton() const { return settingsButton_; }
    SymbolButton* quitButton() const { return quitButton_; }
    QScrollArea* scrollArea() const { return scroll_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;

private:
    QWidget* makeActions();
    void refresh();
    AppState& state_;
    Preferences& prefs_;
    std::function<void()> close_;
    QScrollArea* scroll_;
    QWidget* column_;
    PanelHeader* header_;
    std::map<PanelCards::Card, PanelCard*> cards_;
    PanelBattery* battery_;
    PanelProcesses* processes_;
    QuickCleanCard* quickClean_;
    CleaningTotals* totals_;
    PillButton* openButton_;
    PillButton* cleanButton_;
    SymbolButton* settingsButton_;
    SymbolButton* quitButton_;
    MonitorWatch* watch_;
    CoalescedCall refreshSoon_{this, [this] { refresh(); }};  // one refresh for a tick's burst of changes
    QImage sky_;  // the still backdrop, drawn once for the panel's size
};
