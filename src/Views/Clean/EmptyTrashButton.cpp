#include "Views/Clean/EmptyTrashButton.h"

#include <QCoroFuture>
#include <QHBoxLayout>

#include "Models/Clean/CleanListModel.h"
#include "Models/Kit/QtBridge.h"
#include "Views/Kit/ConfirmationDialog.h"
#include "Views/Kit/Controls.h"
#include "Views/Kit/Theme.h"
#include "Models/Kit/Localization.h"

EmptyTrashButton::EmptyTrashButton(QWidget* parent) : QWidget(parent) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    button_ = new PillButton(tr("Empty Trash"), PillButtonStyle::Kind::secondary);
    button_->setSymbol(QStringLiteral("trash"));
    result_ = new SymbolLabel({}, {}, Theme::font(12.5, QFont::DemiBold), Theme::good());
    row->addWidget(button_);
    row->addWidget(result_);
    connect(button_, &QPushButton::clicked, this, &EmptyTrashButton::ask);
    sync();
}

QString EmptyTrashButton::resultText(const Cleaner::TrashEmptied& e) {
    const QString freed = toQString(formattedBytes(e.freed));
    if (e.left == 0) return tr("Trash emptied · %1").arg(freed);
    return counted("Freed %1 · %n items could not be deleted", e.left).arg(freed);
}

void EmptyTrashButton::ask() {
    if (working_ || confirming_) return;
    confirming_ = true;
    dialog_ = ConfirmationDialog::present(
        this, tr("Empty the Trash?"),
        tr("Everything in the Trash is deleted for good, including files you put there yourself."),
        tr("Empty Trash"), [self = QPointer(this)] {
            if (self) self->empty();
        },
        [self = QPointer(this)] {
            if (self) self->confirming_ = false;
        });
}

QCoro::Task<> EmptyTrashButton::empty() {
    QPointer self(this);
    working_ = true;
    sync();
    // A large Trash takes a while: the window keeps drawing meanwhile.
    const Cleaner::TrashEmptied result = co_await CleanListModel::emptyTrash();
    if (!self) co_return;
    emptied_ = result;
    working_ = false;
    sync();
    emit emptiedChanged();
}

void EmptyTrashButton::sync() {
    button_->setVisible(!emptied_);
    button_->setEnabled(!working_);
    button_->setBusy(working_);
    result_->setVisible(emptied_.has_value());
    if (emptied_) {
        const bool clean = emptied_->left == 0;
        result_->set(clean ? QStringLiteral("checkmark") : QString(), resultText(*emptied_),
                     clean ? Theme::good() : Theme::review());
    }
}
