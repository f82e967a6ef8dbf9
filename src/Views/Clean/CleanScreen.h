#pragma once
#include <QColor>
#include <QCoroTask>
#include <QImage>
#include <QPointer>
#include <QWidget>

#include "Views/Clean/CleanScreenState.h"
#include "Views/Clean/EmptyTrashButton.h"
#include "Views/Clean/ReviewPanel.h"
#include "Views/Kit/Spring.h"

class BlackHole;
class CleanListModel;
class HeroText;
class PillButton;
class Preferences;
class SwallowFeed;

// The Clean tab's screen for one cleaning list: the black hole over a title and
// subtitle that follow the list's phase, the buttons that scan, open the review
// and scan again, the Empty Trash button after a clean that filled the Trash, and
// the review sheet that slides up over the hero.
class CleanScreen : public QWidget {
    Q_OBJECT
public:
    struct Texts {
        QString idleTitle, idleSubtitle, reviewTitle, actionTitle;
    };

    CleanScreen(CleanListModel& model, Preferences& prefs, const QColor& glow, Texts texts, QWidget* parent = nullptr);

    static constexpr double heroSize = 240;

    BlackHole* hero() const { return hero_; }
    HeroText* heroText() const { return text_; }
    PillButton* scanButton() const { return scan_; }
    PillButton* reviewButton() const { return review_; }
    PillButton* scanAgainButton() const { return scanAgain_; }
    // Present only after a real clean that moved something to the Trash.
    EmptyTrashButton* emptyTrashButton() const { return emptyTrash_; }
    // Present while the sheet is up or on its way.
    ReviewPanel* reviewPanel() const { return panel_; }
    bool resealed() const { return resealed_; }
    // Ends the sheet's slide at once (for tests and pictures).
    void finishTransitions();

protected:
    void resizeEvent(QResizeEvent*) override;
    void paintEvent(QPaintEvent*) override;

private:
    void phaseChanged();
    void watchFeed();
    void sync();
    void reviewingChanged(bool reviewing);
    void freezeHero();
    void placeSheet();
    void closeSheet();
    void settleSheet();
    QCoro::Task<> resealLater(quint64 generation);

    CleanListModel& model_;
    Preferences& prefs_;
    Texts texts_;
    CleanScreenState state_;
    QWidget* column_;
    BlackHole* hero_;
    HeroText* text_;
    PillButton* scan_;
    PillButton* review_;
    PillButton* scanAgain_;
    QWidget* buttons_;
    QPointer<EmptyTrashButton> emptyTrash_;
    QPointer<SwallowFeed> feed_;

    // The sheet, the hero frozen behind it, and how far the sheet is up (0...1).
    QWidget* frozen_;
    QImage sharp_, blurred_;
    QPointer<QWidget> sheet_;
    QPointer<ReviewPanel> panel_;
    QImage shadow_;
    SpringAnimator slide_;
    double shown_ = 0, from_ = 0, to_ = 0;

    bool resealed_ = false;
    bool trashOnly_ = false;
    bool wasBusy_ = false, wasDoneRemoving_ = false;
    quint64 generation_ = 0;
};
