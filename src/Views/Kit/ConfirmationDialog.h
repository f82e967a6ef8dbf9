#pragma once
#include <QDialog>

#include <functional>

class BorderedButton;
class QLabel;

// The one confirmation before an action that cannot be undone: a title, a
// message, the destructive button and Cancel. Cancel is the default, so Return
// and Escape both cancel; only a click on the destructive button confirms.
class ConfirmationDialog : public QDialog {
    Q_OBJECT
public:
    ConfirmationDialog(const QString& title, const QString& message, const QString& destructiveTitle,
                       QWidget* parent = nullptr);

    // Opens a dialog over `parent`'s window without blocking; `onConfirm` runs
    // only after the destructive button, `onClose` after either answer. The dialog
    // deletes itself once answered.
    static ConfirmationDialog* present(QWidget* parent, const QString& title, const QString& message,
                                       const QString& destructiveTitle, std::function<void()> onConfirm,
                                       std::function<void()> onClose = {});

    BorderedButton* destructiveButton() const { return destructive_; }
    BorderedButton* cancelButton() const { return cancel_; }
    QString title() const;
    QString message() const;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QLabel* title_;
    QLabel* message_;
    BorderedButton* destructive_;
    BorderedButton* cancel_;
};
