#pragma once
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <optional>

#include "Models/Apps/UninstallModel.h"
#include "Models/Clean/SwallowFeed.h"
#include "Views/Clean/ReviewPanel.h"
#include "Views/Kit/RowList.h"

class AppState;
class BlackHole;
class HeroText;
class Preferences;
class QLabel;
class QLineEdit;

// What the detail pane shows for the model: which state, its texts and the black
// hole's mood.
struct UninstallPaneState {
    enum class Kind { pick, running, finding, review, uninstalling, gone, pickAgain };
    Kind kind = Kind::pick;
    QString title, subtitle;
    bool spinning = false;
    double open = 0;
    bool suction = false;
    bool card = false;  // the pane lies on its dark card

    static UninstallPaneState of(const UninstallModel& model);
};

// The app list's rows: icon and name, lit under the pointer, white when chosen.
class AppRows : public RowList {
    Q_OBJECT
public:
    static constexpr int rowHeight = 36;
    explicit AppRows(UninstallModel& model, QWidget* parent = nullptr);
    // The apps listed, as the search leaves them.
    const std::vector<UninstallModel::InstalledApp>& shown() const { return shown_; }
    int hovered() const { return hovered_; }
    static QString emptyText();

protected:
    void paintRow(QPainter& painter, int row, const QRect& rect) override;
    void paintEmpty(QPainter& painter, const QRect& rect) override;
    void pointerMoved(std::optional<QPoint> content) override;
    void rowClicked(int row, QPoint inRow, Qt::MouseButton button) override;

private:
    void refresh();
    UninstallModel& model_;
    std::vector<UninstallModel::InstalledApp> shown_;
    int hovered_ = -1;
    QFont name_, chosenName_, empty_;
};

// The Uninstall sub-tab: the searchable list of installed apps beside a pane that
// finds the chosen app's leftovers, reviews them and removes the app with them.
class UninstallView : public QWidget {
    Q_OBJECT
public:
    UninstallView(AppState& state, Preferences& prefs, QWidget* parent = nullptr);

    static constexpr double heroSize = 180;

    QLineEdit* searchField() const { return search_; }
    QLabel* countLabel() const { return count_; }
    AppRows* rows() const { return rows_; }
    BlackHole* hero() const { return hero_; }
    HeroText* heroText() const { return text_; }
    // Present while the review shows.
    ReviewPanel* reviewPanel() const { return panel_; }

protected:
    void showEvent(QShowEvent*) override;
    void hideEvent(QHideEvent*) override;

private:
    void sync();
    void watchFiles();
    void watchFeed();
    void syncCount();

    UninstallModel& model_;
    Preferences& prefs_;
    QLineEdit* search_;
    QLabel* count_;
    AppRows* rows_;
    QWidget* detail_;
    QWidget* heroBox_;
    BlackHole* hero_;
    HeroText* text_;
    QPointer<ReviewPanel> panel_;
    QPointer<CleanListModel> files_;
    QPointer<SwallowFeed> feed_;
    UninstallPaneState pane_;
    // Whether the chosen app runs is asked again now and then while the pane shows it.
    QTimer runningCheck_;
};
