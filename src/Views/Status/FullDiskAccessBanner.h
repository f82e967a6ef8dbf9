#pragma once
#include "Views/Kit/Controls.h"

class AppState;

// Asks for Full Disk Access: opens the system's settings for it, and checks afresh
// whether it was granted. Shown by its caller only while access is off.
class FullDiskAccessBanner : public Card {
    Q_OBJECT
public:
    explicit FullDiskAccessBanner(AppState& state, QWidget* parent = nullptr);
    SymbolLabel* title() const { return title_; }
    SymbolLabel* message() const { return message_; }
    PillButton* openSettingsButton() const { return open_; }
    PillButton* checkButton() const { return check_; }

private:
    SymbolLabel* title_;
    SymbolLabel* message_;
    PillButton* open_;
    PillButton* check_;
};
