#pragma once
#include <QPointer>
#include <QString>

#include <functional>
#include <optional>

#include "Models/MenuBar/QuickClean.h"
#include "Models/Window/AppTab.h"
#include "Views/Kit/Controls.h"

class AppState;
class CleanListModel;
class Preferences;
class SwallowFeed;
class QuickCleanTexts;

// The panel's one-click clean of the safe caches: every phase of the quick clean
// over the junk list as a title, a detail line and the buttons that move it on.
// The phase lives in the model, so it outlives the panel; the card only shows it.
class QuickCleanCard : public Card {
    Q_OBJECT
public:
    using Open = std::function<void(std::optional<AppTab>)>;

    static QString title(const QuickClean::Phase& phase, const CleanListModel& list);
    static QString detail(const QuickClean::Phase& phase);

    // `open` closes the panel and brings the main window up on a tab.
    QuickCleanCard(AppState& state, Preferences& prefs, Open open, QWidget* parent = nullptr);

    QString shownTitle() const;
    QString shownDetail() const;
    // Progress of the change between two phases' texts; 1 when none runs.
    double transition() const;
    PillButton* quickCleanButton() const { return quick_; }
    PillButton* cleanButton() const { return clean_; }
    PillButton* detailsButton() const { return details_; }
    SymbolButton* cancelButton() const { return cancel_; }
    SymbolButton* doneButton() const { return done_; }
    SpinnerView* spinner() const { return spinner_; }

private:
    void sync();
    void watchFeed();
    AppState& state_;
    Preferences& prefs_;
    Open open_;
    QuickCleanTexts* texts_;
    PillButton* quick_;
    SymbolButton* cancel_;
    PillButton* clean_;
    PillButton* details_;
    SymbolButton* done_;
    SpinnerView* spinner_;
    QuickClean::Phase::Kind shownKind_ = QuickClean::Phase::Kind::idle;
    QPointer<SwallowFeed> feed_;
};
