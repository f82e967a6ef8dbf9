#pragma once
#include <QPointer>
#include <QWidget>

#include <optional>

#include "Models/Window/AppTab.h"
#include "Models/Window/CleanMode.h"
#include "Views/Kit/Spring.h"

class AppState;
class HistoryView;
class Preferences;
class ScreenStack;
class SpaceBackground;
class SubTabs;
class SymbolButton;
class TabBar;
namespace Platform { class LoginItemService; }

// The main window's content: the header with the tab bar and the History and
// Settings buttons, the Clean tab's sub-tabs, and the screen of the selected tab
// or the settings screen, over the space backdrop.
class ContentView : public QWidget {
    Q_OBJECT
public:
    explicit ContentView(AppState& state, Preferences& prefs, QWidget* parent = nullptr);
    // For tests: the login item the settings screen switches.
    ContentView(AppState& state, Preferences& prefs, Platform::LoginItemService& loginItem, QWidget* parent = nullptr);

    TabBar* tabBar() const { return tabBar_; }
    SubTabs* cleanSubTabs() const { return subTabs_; }
    SpaceBackground* background() const { return background_; }
    SymbolButton* historyButton() const { return history_; }
    SymbolButton* settingsButton() const { return settings_; }
    ScreenStack* screens() const { return screens_; }
    // The history sheet while it is up.
    HistoryView* historySheet() const;
    // "settings" while the settings screen shows, else the tab's raw value.
    QString screenIdentity() const;

    // The tab bar's write: choose a tab (also the current one) and leave settings.
    void chooseTab(AppTab tab);
    // The gear's action.
    void toggleSettings();

protected:
    void resizeEvent(QResizeEvent*) override;
    void showEvent(QShowEvent*) override;

private:
    void sync();
    void syncHistory();
    QWidget* makeScreen();

    AppState& state_;
    Preferences& prefs_;
    Platform::LoginItemService* loginItem_;
    SpaceBackground* background_;
    TabBar* tabBar_;
    SymbolButton* history_;
    SymbolButton* settings_;
    QWidget* subTabsSlot_;
    SubTabs* subTabs_;
    ScreenStack* screens_;
    QPointer<HistoryView> historySheet_;
    // The animation the change being applied happens in, if any.
    std::optional<Spring> pendingAnimation_;
    CleanMode shownCleanMode_ = CleanMode::system;
    bool batching_ = false;
};
