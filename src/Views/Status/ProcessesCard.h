#pragma once
#include <QFrame>
#include <QPointer>
#include <QStringList>

#include <array>
#include <optional>
#include <vector>

#include "Core/Status/Processes.h"
#include "Views/Kit/Controls.h"
#include "Views/Kit/RowList.h"

class Monitor;
class Preferences;
class ProcessesCard;
class QLabel;
class SubTabs;

// A process's explanation in a small panel under its info button. A click outside
// or Escape closes it.
class ExplanationPopover : public QFrame {
    Q_OBJECT
public:
    static constexpr int panelWidth = 260;
    explicit ExplanationPopover(QWidget* parent);
    void setContent(const QString& name, const QString& text);
    QString name() const { return name_; }
    QString text() const;
    // Shows it under `anchor`, a rectangle in screen coordinates.
    void popUp(const QRect& anchor);

signals:
    // A press outside, at this screen point: the owner closes or moves it.
    void pressedOutside(QPoint global);
    void dismissed();

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void hideEvent(QHideEvent*) override;

private:
    QString name_;
    QLabel* label_;
};

// The processes card's rows, each drawn from its figures: the pin, the name, the
// info button when there is an explanation, and the CPU, memory and energy columns.
class ProcessRows : public RowList {
    Q_OBJECT
public:
    using Column = Processes::SortKey;
    static constexpr std::array<int, 3> columnWidths = {64, 84, 52};

    explicit ProcessRows(ProcessesCard& card);
    static int rowHeight();
    // Where a row's pieces lie, relative to a row `width` wide.
    struct Layout {
        QRectF pin, name, info;  // no info rectangle without an explanation
        std::array<QRectF, 3> columns;
        // Whether a point in the row presses the pin or the info button (a little
        // beyond their symbols).
        bool onPin(QPointF at) const { return pin.adjusted(-5, -5, 5, 5).contains(at); }
        bool onInfo(QPointF at) const { return !info.isEmpty() && info.adjusted(-4, -4, 4, 4).contains(at); }
    };
    Layout layout(int row, int width) const;
    // A column's font and colour: the sorted one semibold in the text colour.
    static QFont columnFont(Column column, int sortedColumn);
    static QColor columnColor(Column column, int sortedColumn);
    // The column texts of a row.
    static std::array<QString, 3> columnTexts(const Processes::Info& process);
    // The name of the process whose info button lies under a screen point.
    std::optional<QString> infoAt(QPoint global) const;
    // Viewport rectangles of a row's buttons.
    QRect pinRect(int row) const;
    QRect infoRect(int row) const;

protected:
    void paintRow(QPainter& painter, int row, const QRect& rect) override;
    void rowClicked(int row, QPoint inRow, Qt::MouseButton button) override;
    QString toolTip(int row, QPoint inRow) const override;
    void pointerMoved(std::optional<QPoint> pos) override;
    void wheelEvent(QWheelEvent* e) override;

private:
    ProcessesCard& card_;
    QFont nameFont_;
};

// The busiest processes: sorted by CPU, memory or energy, pinned names first, at
// most twelve rows, each with a pin and, for well-known names, an explanation.
class ProcessesCard : public Card {
    Q_OBJECT
public:
    using Sort = Processes::SortKey;
    static constexpr int maxRows = 12;

    // Sorted by `sort`, largest first (equal keys keep their order), the processes
    // with a pinned name first, at most twelve.
    static std::vector<Processes::Info> ordered(std::vector<Processes::Info> processes, Sort sort,
                                                const QStringList& pinned);

    ProcessesCard(Monitor& monitor, Preferences& prefs, QWidget* parent = nullptr);

    const std::vector<Processes::Info>& rows() const { return rows_; }
    Sort sort() const { return sort_; }
    void setSort(Sort sort);
    bool isPinned(const Processes::Info& process) const;
    // Pins an unpinned name; unpins a pinned one wherever it is in the stored list.
    void togglePin(const Processes::Info& process);
    // The name whose explanation is open; opening one closes any other.
    const std::optional<QString>& explaining() const { return explaining_; }
    void setExplaining(const std::optional<QString>& name);
    void toggleExplaining(const QString& name);

    ProcessRows* list() const { return list_; }
    SubTabs* sortTabs() const { return tabs_; }
    QWidget* progress() const { return progress_; }
    ExplanationPopover* popover() const { return popover_; }

private:
    void refresh();
    Monitor& monitor_;
    Preferences& prefs_;
    Sort sort_ = Sort::cpu;
    std::optional<QString> explaining_;
    std::vector<Processes::Info> rows_;
    SubTabs* tabs_;
    QWidget* progress_;
    ProcessRows* list_;
    QPointer<ExplanationPopover> popover_;
};
