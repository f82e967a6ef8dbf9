#pragma once
#include <QWidget>

#include <functional>

class CleanListModel;
class PillButton;
class Preferences;
class QAbstractButton;
class QLabel;
class ReviewList;
class SymbolLabel;

// The review sheet of one cleaning list: a header, the findings by category with
// the last report above them, and a footer whose button starts the clean. Draws
// no background of its own: the screen that shows it frames it.
class ReviewPanel : public QWidget {
    Q_OBJECT
public:
    // Without `onClose` there is no close button and Escape does nothing here.
    ReviewPanel(CleanListModel& model, Preferences& prefs, const QString& title, const QString& subtitle,
                const QString& actionTitle, std::function<void()> onClose = {}, QWidget* parent = nullptr);

    ReviewList* list() const { return list_; }
    QAbstractButton* closeButton() const { return close_; }
    PillButton* actionButton() const { return action_; }
    QLabel* countLabel() const { return count_; }
    SymbolLabel* previewNote() const { return preview_; }
    QLabel* titleLabel() const { return title_; }
    QLabel* subtitleLabel() const { return subtitle_; }
    // The frame's corner radius, which the footer's band follows at the bottom.
    void setCornerRadius(double radius);

private:
    void syncFooter();

    CleanListModel& model_;
    Preferences& prefs_;
    QString actionTitle_;
    QLabel* title_;
    QLabel* subtitle_;
    QAbstractButton* close_ = nullptr;
    ReviewList* list_;
    QWidget* footer_;
    QLabel* count_;
    SymbolLabel* preview_;
    PillButton* action_;
};
