#pragma once
#include <QAbstractButton>
#include <QString>

#include <array>
#include <vector>

#include "Models/Status/FanPreset.h"
#include "Sensors/Fans/FanReader.h"
#include "Views/Kit/Controls.h"

class AppState;
class BaselineTexts;
class OneLine;
class QHBoxLayout;
class SymbolLabel;
class WrappedText;

// One fan mode's capsule button: the mode's title on a capsule, brighter for the
// mode in force (which it reports as checked).
class FanModeButton : public QAbstractButton {
public:
    // The fan card's two sizes, and the menu-bar panel's heat card, whose mode in
    // force stands on a cream capsule.
    enum class Look { full, compact, heat };
    FanModeButton(FanPreset preset, Look look, QWidget* parent = nullptr);
    FanPreset preset() const { return preset_; }
    void setCurrent(bool current);
    bool isCurrent() const { return isChecked(); }
    // The row's opacity: dimmed while fan control is unavailable.
    void setRowOpacity(double opacity);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent*) override;
    void nextCheckState() override {}  // the model decides which mode is in force

private:
    FanPreset preset_;
    Look look_;
    double rowOpacity_ = 1.0;
};

// The first fan's speed and load, a status line, and the three fan mode buttons,
// which ask fan control for a mode. In full size on the Status tab, compact in the
// menu-bar panel.
class FanControlCard : public Card {
    Q_OBJECT
public:
    // What the card shows, from the fans, fan control and whether it is available.
    struct Content {
        QString title;       // "Fan", or "Fans" from two fans on
        int load = 0;        // percent of the first fan's maximum, rounded
        long long rpm = 0;   // the first fan's speed, cut to a whole number
        QString status;
        bool failed = false;  // the status is fan control's error
        struct Button {
            bool current = false;
            bool enabled = false;
        };
        std::array<Button, 3> buttons;  // auto, cool, max
        double rowOpacity = 1.0;
        bool spinner = false;
    };
    static Content content(const std::vector<FanReader::Fan>& fans, bool available, FanPreset preset, bool busy,
                           const QString& error);
    // Sets the mode buttons (auto, cool, max) to what `content` says of them.
    static void showButtons(const Content& content, const std::array<FanModeButton*, 3>& buttons);

    FanControlCard(AppState& state, bool compact, QWidget* parent = nullptr);

    bool isCompact() const { return compact_; }
    const Content& shown() const { return shown_; }
    SymbolLabel* titleLabel() const { return title_; }
    QString loadText() const;
    BaselineTexts* speed() const { return speed_; }
    WrappedText* statusLine() const { return status_; }
    FanModeButton* button(FanPreset preset) const { return buttons_[static_cast<size_t>(preset)]; }
    SpinnerView* spinner() const { return spinner_; }

private:
    void sync();
    AppState& state_;
    bool compact_;
    Content shown_;
    SymbolLabel* title_;
    OneLine* load_;
    BaselineTexts* speed_;
    WrappedText* status_;
    std::array<FanModeButton*, 3> buttons_{};
    SpinnerView* spinner_;
};
