#pragma once
#include <QCoroTask>
#include <QIcon>
#include <QObject>
#include <QRect>
#include <QVector>

#include <memory>

#include "Models/Kit/CoalescedCall.h"

class AppState;
class GlassPanel;
class Preferences;
class QMenu;
namespace Platform { class StatusButton; }

// The application's status item in the desktop's tray: the glyph, pulsing while
// any tab has work running, the chosen live readings in its tool tip, and the glass
// panel that a click opens. It has
// no timer of its own: it refreshes once after each burst of changes to what it
// shows, and sends no icon frame while nothing runs. One per process, kept by
// AppState. Main thread only.
class StatusItemController : public QObject {
    Q_OBJECT
public:
    // The pulse: opacity from 1 down to this and back, each way in `pulseHalfCycle`
    // seconds, shown in `pulseSteps` frames each way.
    static constexpr double pulseLow = 0.45;
    static constexpr double pulseHalfCycle = 0.7;
    static constexpr int pulseSteps = 4;

    // Takes `button`; without one it makes the desktop tray's own.
    StatusItemController(AppState& state, Preferences& prefs, Platform::StatusButton* button = nullptr,
                         QObject* parent = nullptr);
    ~StatusItemController() override;

    Platform::StatusButton& button() const { return *button_; }
    // The right-click menu (the application's commands); not owned.
    void setMenu(QMenu* menu);
    // The button's click, with the button's frame on the screen: opens the glass panel
    // by the button, or closes it when it is open.
    void toggle(QRect frame);
    GlassPanel& panel() const { return *panel_; }

    bool isPulsing() const { return pulsing_; }
    // How many refreshes ran, for tests.
    int refreshes() const { return refreshes_; }

private:
    void refresh();
    void setPulsing(bool on);
    QCoro::Task<> pulse(int generation);
    void showFrame(int frame);

    AppState& state_;
    Preferences& prefs_;
    Platform::StatusButton* button_;
    std::unique_ptr<GlassPanel> panel_;
    // The glyph at full opacity, then a frame for each step down to the pulse's low.
    QVector<QIcon> frames_;
    int shownFrame_ = -1;
    bool pulsing_ = false;
    int pulseGeneration_ = 0;
    CoalescedCall refreshSoon_{this, [this] { refresh(); }};
    int refreshes_ = 0;
};
