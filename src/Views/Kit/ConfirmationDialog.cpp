#include "Views/Kit/ConfirmationDialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

#include "Views/Kit/Controls.h"
#include "Views/Kit/Theme.h"

ConfirmationDialog::ConfirmationDialog(const QString& title, const QString& message,
                                       const QString& destructiveTitle, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint) {
    setModal(true);
    setFixedWidth(340);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(22, 20, 22, 18);
    column->setSpacing(8);
    title_ = plainLabel(title, Theme::font(14, QFont::Bold), Theme::text());
    message_ = plainLabel(message, Theme::font(12), Theme::secondary());
    title_->setWordWrap(true);
    message_->setWordWrap(true);
    column->addWidget(title_);
    column->addWidget(message_);
    column->addSpacing(10);

    auto* row = new QHBoxLayout;
    row->setSpacing(8);
    row->addStretch(1);
    destructive_ = new BorderedButton(destructiveTitle);
    destructive_->setTextColor(Theme::danger());
    cancel_ = new BorderedButton(tr("Cancel"));
    // Neither button takes focus, so the default stays Cancel whatever was clicked.
    destructive_->setAutoDefault(false);
    cancel_->setAutoDefault(false);
    cancel_->setDefault(true);
    row->addWidget(destructive_);
    row->addWidget(cancel_);
    column->addLayout(row);

    connect(destructive_, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
}

ConfirmationDialog* ConfirmationDialog::present(QWidget* parent, const QString& title, const QString& message,
                                                const QString& destructiveTitle, std::function<void()> onConfirm,
                                                std::function<void()> onClose) {
    auto* dialog = new ConfirmationDialog(title, message, destructiveTitle, parent ? parent->window() : nullptr);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::finished, dialog,
            [onConfirm = std::move(onConfirm), onClose = std::move(onClose)](int result) {
                if (onClose) onClose();
                if (result == QDialog::Accepted && onConfirm) onConfirm();
            });
    dialog->open();
    return dialog;
}

QString ConfirmationDialog::title() const { return title_->text(); }
QString ConfirmationDialog::message() const { return message_->text(); }

void ConfirmationDialog::paintEvent(QPaintEvent*) {
    QPainter p(this);
    paintWindowGround(p, rect());
}
