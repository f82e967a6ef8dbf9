#pragma once
#include <QCoroTask>
#include <QPointer>
#include <QWidget>

#include <optional>

#include "Core/Clean/Cleaner.h"
#include "Views/Kit/ConfirmationDialog.h"

class PillButton;
class SymbolLabel;

// Empties the user's Trash after a confirmation, off the window's thread, then
// says what it freed for the rest of its life: with a checkmark when the Trash is
// empty, in the review colour when entries could not be deleted.
class EmptyTrashButton : public QWidget {
    Q_OBJECT
public:
    explicit EmptyTrashButton(QWidget* parent = nullptr);

    bool confirming() const { return confirming_; }
    bool working() const { return working_; }
    const std::optional<Cleaner::TrashEmptied>& emptied() const { return emptied_; }

    PillButton* button() const { return button_; }
    SymbolLabel* result() const { return result_; }
    // The open confirmation, if any.
    ConfirmationDialog* dialog() const { return dialog_; }

    // The result's text and whether it shows the checkmark.
    static QString resultText(const Cleaner::TrashEmptied& emptied);

signals:
    void emptiedChanged();

private:
    void ask();
    QCoro::Task<> empty();
    void sync();

    bool confirming_ = false;
    std::optional<Cleaner::TrashEmptied> emptied_;
    bool working_ = false;
    PillButton* button_;
    SymbolLabel* result_;
    QPointer<ConfirmationDialog> dialog_;
};
