#include "Views/Status/FullDiskAccessBanner.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "Core/Permissions.h"
#include "Models/Window/AppState.h"
#include "Views/Kit/Symbols.h"
#include "Views/Kit/Theme.h"

FullDiskAccessBanner::FullDiskAccessBanner(AppState& state, QWidget* parent) : Card(14, parent) {
    auto* row = new QHBoxLayout;
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(12);
    constexpr double titleThree = 20;
    auto* shield = new QLabel(this);
    shield->setPixmap(Symbols::pixmap(QStringLiteral("lock.shield"), Symbols::sizeForFont(titleThree), Theme::review(), 1.0,
                                      devicePixelRatioF()));
    row->addWidget(shield, 0, Qt::AlignVCenter);

    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    title_ = new SymbolLabel({}, tr("Full Disk Access is off"), Theme::font(13, QFont::DemiBold), Theme::text(), this);
    message_ = new SymbolLabel({}, tr("macOS hides Mail, Safari and the Trash from Quelto until you allow it."),
                               Theme::font(12), Theme::secondary(), this);
    texts->addWidget(title_);
    texts->addWidget(message_);
    row->addLayout(texts);
    row->addStretch(1);

    open_ = new PillButton(tr("Open Settings"), PillButtonStyle::Kind::primary, this);
    check_ = new PillButton(tr("Check"), PillButtonStyle::Kind::secondary, this);
    row->addWidget(open_, 0, Qt::AlignVCenter);
    row->addWidget(check_, 0, Qt::AlignVCenter);
    contentLayout()->addLayout(row);

    connect(open_, &QPushButton::clicked, this, [] { Permissions::openFullDiskAccessSettings(); });
    connect(check_, &QPushButton::clicked, this, [&state] { state.setHasFullDiskAccess(Permissions::hasFullDiskAccess()); });
}
