#pragma once
#include <QAbstractScrollArea>
#include <QCoroTask>
#include <QFont>
#include <QWidget>

#include <functional>
#include <optional>
#include <set>
#include <vector>

#include "Core/Clean/History.h"

class PillButton;
class QLabel;
class QStackedWidget;

// The entries of the cleaning history as cards that open to list their paths.
// Drawn row by row: only what is on screen is painted, however many paths the
// opened entries hold.
class HistoryList : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit HistoryList(QWidget* parent = nullptr);

    void setEntries(std::vector<History::Entry> entries);
    const std::vector<History::Entry>& entries() const { return entries_; }
    bool isExpanded(int entry) const;
    void setExpanded(int entry, bool expanded);
    // The paths an opened entry lists: its first 200.
    static int listedPaths(const History::Entry& entry);
    // The path picked for copying: entry and path index.
    std::optional<std::pair<int, int>> selectedPath() const { return selected_; }

    // The texts of an entry's label.
    static QString actionTitle(const std::string& action);
    static QString dateText(std::chrono::system_clock::time_point date);
    static QString countText(int64_t count);
    // None below one byte.
    static std::optional<QString> sizeText(int64_t bytes);

    // Where an entry's card lies, in viewport coordinates.
    QRect cardRect(int entry) const;
    int contentHeight() const;

    static constexpr int maxPaths = 200;
    static constexpr int padding = 18, cardPadding = 12, spacing = 8, pathsTop = 6, labelHeight = 18;

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void scrollContentsBy(int, int) override;
    void mousePressEvent(QMouseEvent*) override;
    void keyPressEvent(QKeyEvent*) override;
    void contextMenuEvent(QContextMenuEvent*) override;

private:
    struct Hit {
        int entry = -1;
        int path = -1;  // -1: the label
    };
    Hit hitAt(QPoint viewportPos) const;
    void relayout();
    void copySelected() const;
    int lineHeight() const;
    int cardHeight(int entry) const;
    void paintCard(QPainter& p, int entry, const QRect& card, const QRect& dirty);

    std::vector<History::Entry> entries_;
    std::set<std::string> expanded_;  // by entry id
    std::vector<int> tops_;           // content y of each card
    std::optional<std::pair<int, int>> selected_;
    QFont action_, date_, count_, size_, path_;
};

// The cleaning history sheet: every clean, uninstall and tune-up with its date,
// count, bytes and paths, newest first, with Clear and Done. It reads the file
// each time it is shown and clears it on request, then shows what the file holds.
class HistoryView : public QWidget {
    Q_OBJECT
public:
    explicit HistoryView(QWidget* parent = nullptr);

    // Opens the sheet inside `host` (the window's content), which takes no input
    // while it shows; `onClose` runs when it closes, however it closes. The sheet
    // deletes itself then.
    static HistoryView* present(QWidget* host, std::function<void()> onClose);

    PillButton* clearButton() const { return clear_; }
    PillButton* doneButton() const { return done_; }
    HistoryList* list() const { return list_; }
    // "Nothing cleaned yet." once a load found no entries.
    QLabel* emptyLabel() const { return empty_; }
    bool loaded() const { return loaded_; }

    // Reads the file again (off the main thread).
    QCoro::Task<> reload();
    // Shows the empty history at once and deletes the file off the main thread (a
    // record under way holds it meanwhile), then shows what is left of it.
    QCoro::Task<> clear();
    // Closes the sheet, as Done does; until it is presented, hides it.
    void dismiss();

    static constexpr int sheetWidth = 620, sheetHeight = 460;
    QSize sizeHint() const override { return {sheetWidth, sheetHeight}; }

protected:
    void showEvent(QShowEvent*) override;
    void paintEvent(QPaintEvent*) override;

private:
    void display(std::vector<History::Entry> entries);

    PillButton* clear_;
    PillButton* done_;
    QStackedWidget* body_;
    HistoryList* list_;
    QLabel* empty_;
    std::function<void()> dismiss_;
    bool loaded_ = false;
    quint64 generation_ = 0;
};
