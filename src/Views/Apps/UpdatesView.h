#pragma once
#include <QFont>
#include <QWidget>

#include "Models/Apps/UpdatesModel.h"
#include "Views/Kit/Controls.h"
#include "Views/Kit/RowList.h"

class BlackHole;
class HeroText;
class PillButton;
class QLabel;

// Which screen the Updates sub-tab shows for the model, with the hero's texts and mood.
struct UpdatesScreenState {
    enum class Kind { idle, checking, upToDate, failed, list };
    enum class Button { none, check, checkAgain };
    Kind kind = Kind::idle;
    QString title, subtitle;
    bool spinning = false;
    double open = 0;
    Button button = Button::check;

    static UpdatesScreenState of(const UpdatesModel& model);
    // The first `most` lines, then how many more there are.
    static QString someOf(const QStringList& lines, int most);
    // The hero lists this many of the lines; the list's note fewer.
    static constexpr int heroLines = 6, noteLines = 3;
};

// One card per update: icon, name with its source, the two versions, the message
// or the in-app line, and the row's button or, while it applies, a spinner.
class UpdateRows : public RowList {
    Q_OBJECT
public:
    explicit UpdateRows(UpdatesModel& model, QWidget* parent = nullptr);

    // What a row shows; the button's label is empty while the row applies.
    struct Row {
        QString name, source, versions, message;
        bool messageIsInstruction = false;  // the fixed in-app line, not a stored message
        bool working = false;
        QString button;
        bool primary = false;
    };
    static Row describe(const UpdatesModel& model, const UpdatesModel::Update& update);
    Row row(int index) const { return describe(model_, model_.updates().at(size_t(index))); }
    // Where row `index`'s button lies, in viewport coordinates; empty while it applies.
    QRect buttonRect(int index) const;
    int spinnerStep() const { return spin_.step(); }

protected:
    void paintRow(QPainter& painter, int row, const QRect& rect) override;
    void rowClicked(int row, QPoint inRow, Qt::MouseButton button) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;
    void showEvent(QShowEvent*) override;
    void hideEvent(QHideEvent*) override;
    void resizeEvent(QResizeEvent*) override;

private:
    void refresh();
    void syncSpinner();
    QRectF buttonIn(const QRectF& card, const Row& row) const;
    double textWidth(const QRectF& card, const Row& row) const;
    int rowHeightFor() const;

    UpdatesModel& model_;
    QFont name_, versions_, message_;
    int pressed_ = -1;
    Spinner::Clock spin_;
};

// The Updates sub-tab: the black hole while nothing is listed (before a check,
// during one, when all is current, or when something could not be checked and
// nothing newer was found), else the list, with a note of what could not be checked.
class UpdatesView : public QWidget {
    Q_OBJECT
public:
    explicit UpdatesView(UpdatesModel& model, QWidget* parent = nullptr);

    static constexpr double heroSize = 170;

    const UpdatesScreenState& screenState() const { return state_; }
    BlackHole* hero() const { return hero_; }
    HeroText* heroText() const { return text_; }
    PillButton* checkButton() const { return check_; }
    PillButton* checkAgainButton() const { return checkAgain_; }
    QLabel* countLabel() const { return count_; }
    // Under the list's header: what the check could not check; hidden when nothing.
    QLabel* uncheckedNote() const { return note_; }
    PillButton* listCheckAgainButton() const { return listCheckAgain_; }
    PillButton* updateAllButton() const { return updateAll_; }
    UpdateRows* rows() const { return rows_; }

private:
    void sync();

    UpdatesModel& model_;
    UpdatesScreenState state_;
    QWidget* heroPage_;
    BlackHole* hero_;
    HeroText* text_;
    PillButton* check_;
    PillButton* checkAgain_;
    QWidget* listPage_;
    QLabel* count_;
    QLabel* note_;
    PillButton* listCheckAgain_;
    PillButton* updateAll_;
    UpdateRows* rows_;
};
