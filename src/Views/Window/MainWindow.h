#pragma once
#include <QWidget>

class AppState;
class ContentView;
class Preferences;
class WindowOcclusion;

// The one main window, "main": the content view, and the motion switch kept in
// step with whether the window is on screen.
class MainWindow : public QWidget {
    Q_OBJECT
public:
    MainWindow(AppState& state, Preferences& prefs, QWidget* parent = nullptr);
    ContentView* content() const { return content_; }

    // Visible, not minimised, and not fully covered.
    bool isOnScreen() const;
    WindowOcclusion* occlusion() const { return occlusion_; }

protected:
    bool event(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void scheduleVisibilityCheck();
    ContentView* content_;
    WindowOcclusion* occlusion_;
    bool checkPending_ = false;
};

// Brings `window` to the user: restored if minimised, shown, raised and focused.
void bringToFront(QWidget* window);
