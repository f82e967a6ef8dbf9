#pragma once
#include <QPointer>
#include <QWidget>

#include "Models/Analyze/AnalyzeModel.h"

#include "Views/Kit/ConfirmationDialog.h"
class PillButton;
class PlainButton;
class QLabel;
class QMenu;
class QPainter;
class SpinnerView;
class SymbolButton;
class SymbolLabel;

// The foot of the analyzer's lists: while entries are selected, their count and
// size with "Move to Trash" behind a confirmation; otherwise the report of the last
// removal; otherwise nothing, taking no room.
class RemovalBar : public QWidget {
    Q_OBJECT
public:
    explicit RemovalBar(AnalyzeModel& model, QWidget* parent = nullptr);

    enum class Content { none, selection, banner };
    Content content() const { return content_; }

    // The texts the bar shows, by the model's state.
    static QString selectionText(qsizetype count, int64_t size);
    static QString confirmationTitle(qsizetype count, int64_t size);
    static QString confirmationMessage(qsizetype count);
    static QString bannerText(const CleanReport& report);
    static QString skippedToolTip(const CleanReport& report);

    // Rounds the bar's lower corners to sit at the foot of a card.
    void setCornerRadius(double radius);

    PillButton* removeButton() const { return remove_; }
    PlainButton* clearButton() const { return clear_; }
    SpinnerView* spinner() const { return spinner_; }
    QLabel* summary() const { return summary_; }
    QLabel* bannerLabel() const { return bannerText_; }
    SymbolLabel* bannerIcon() const { return bannerIcon_; }
    QLabel* skippedLabel() const { return skipped_; }
    PillButton* openTrashButton() const { return openTrash_; }
    SymbolButton* dismissButton() const { return dismiss_; }
    ConfirmationDialog* confirmation() const { return dialog_; }
    bool confirming() const { return confirming_; }

    // What "Open Trash" opens.
    static std::filesystem::path trashFolder();

protected:
    void paintEvent(QPaintEvent*) override;

private:
    void sync();
    void confirm();

    AnalyzeModel& model_;
    Content content_ = Content::none;
    bool confirming_ = false;
    double cornerRadius_ = 0;
    QWidget* selectionRow_;
    QWidget* bannerRow_;
    QLabel* summary_;
    PlainButton* clear_;
    SpinnerView* spinner_;
    PillButton* remove_;
    SymbolLabel* bannerIcon_;
    QLabel* bannerText_;
    QLabel* skipped_;
    PillButton* openTrash_;
    SymbolButton* dismiss_;
    QPointer<ConfirmationDialog> dialog_;
};

// The small trash button a detail row shows for its own entry; rows draw it.
namespace RowTrashButton {
inline constexpr double width = 26, height = 22;
// `hot` is 0 at rest and 1 under the pointer (in between while it changes).
void paint(QPainter& painter, const QRectF& rect, double hot);
QString toolTip();
}  // namespace RowTrashButton

// The context menu of an analyzer entry: "Open" for a folder, "Show in Finder",
// and "Move to Trash" unless the safety gate refuses the entry.
namespace EntryMenu {
QMenu* make(const AnalyzeModel::Entry& entry, AnalyzeModel& model, QWidget* parent);
}  // namespace EntryMenu
