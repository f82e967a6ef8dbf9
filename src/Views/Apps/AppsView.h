#pragma once
#include <QWidget>

#include "Models/Window/AppsMode.h"

class AppState;
class Preferences;
class ScreenStack;
class SubTabs;

// The Apps tab: the bar of its three sub-tabs over the screen of the one the
// application state selects. Holds no state of its own.
class AppsView : public QWidget {
    Q_OBJECT
public:
    AppsView(AppState& state, Preferences& prefs, QWidget* parent = nullptr);

    SubTabs* subTabs() const { return subTabs_; }
    // The sub-tab's screen on show.
    QWidget* screen() const;

private:
    void sync();
    QWidget* makeScreen(AppsMode mode);

    AppState& state_;
    Preferences& prefs_;
    SubTabs* subTabs_;
    ScreenStack* screens_;
};
