#pragma once
#include <QCoroTask>

#include <cstdint>
#include <vector>

#include "Core/Clean/History.h"
#include "Views/Kit/Controls.h"

class QLabel;

// What the user has cleaned so far, from the cleaning history: the bytes freed by
// every kind of clean, the apps uninstalled and the tune-ups run. Read afresh each
// time the card shows, so a clean made meanwhile counts the next time.
class CleaningTotals : public Card {
public:
    struct Totals {
        int64_t freed = 0;
        int64_t uninstalled = 0;
        int64_t optimized = 0;
        bool operator==(const Totals&) const = default;
    };
    // Tune-ups free nothing; every other entry adds its bytes. The sum stops at the
    // largest count rather than wrapping, and a negative count adds nothing.
    static Totals sum(const std::vector<History::Entry>& entries);

    explicit CleaningTotals(QWidget* parent = nullptr);
    const Totals& totals() const { return totals_; }
    // Whether a reading of the history has come back since the card last showed.
    bool isLoaded() const { return loaded_; }
    QString shownText(int column) const;

    // Reads the history off the window's thread.
    QCoro::Task<> load();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void display(const Totals& totals);
    Totals totals_;
    bool loaded_ = false;
    QLabel* values_[3];
};
