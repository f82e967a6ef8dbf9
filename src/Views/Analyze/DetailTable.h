#pragma once
#include <QVariantAnimation>
#include <QWidget>

#include <map>
#include <optional>
#include <vector>

#include "Models/Analyze/AnalyzeModel.h"
#include "Views/Analyze/ListCard.h"
#include "Views/Kit/Controls.h"
#include "Views/Kit/RowList.h"

class CheckBox;
class RemovalBar;

// What one row of the detail table shows. Rows compare by these values, so a
// batch of new sizes redraws only the rows that changed.
struct DetailRow {
    AnalyzeModel::Entry entry;
    std::optional<int> colorIndex;  // the entry's colour number, when it has an arc of its own
    std::optional<double> share;    // of the folder's total, once measured
    bool lit = false;
    bool selected = false;
    bool removable = false;
    bool operator==(const DetailRow&) const = default;

    QColor color() const;                 // the arc's colour, or grey
    static QString percentText(const std::optional<double>& share);
};

// The columns of the header and of every row, left to right.
struct DetailColumns {
    double box, name, nameEnd, size, share, files;  // left edges (nameEnd: where the name must stop)
    static DetailColumns at(double width);
    static constexpr double padding = 12, spacing = 8, sizeWidth = 72, shareWidth = 92, filesWidth = 52;
};

// The painted rows of the detail table.
class DetailList : public RowList {
    Q_OBJECT
public:
    static constexpr int rowHeight = 34;
    explicit DetailList(AnalyzeModel& model, QWidget* parent = nullptr);

    // The row as the table shows it now, made from the model when asked: rows out of
    // view are never made.
    DetailRow row(int index) const;
    // Redraws the rows on screen that changed with the model.
    void refresh();
    void refreshLight();
    // Where a row draws its check box and its trash button (row coordinates).
    static QRectF boxRect();
    static QRectF trashRect(double width);
    // Ends the trash button's coming and going (for tests and pictures).
    void settle();
    // What the list says when there are no rows: why nothing is listed.
    QString emptyText() const;
    // What a row of a folder that cannot be read says after its name.
    static QString unreadableNote();

protected:
    void paintRow(QPainter& painter, int row, const QRect& rect) override;
    void paintEmpty(QPainter& painter, const QRect& rect) override;
    void pointerMoved(std::optional<QPoint> content) override;
    void rowClicked(int row, QPoint inRow, Qt::MouseButton button) override;
    void rowMenuRequested(int row, QPoint inRow, QPoint global) override;
    QString toolTip(int row, QPoint inRow) const override;
    void showEvent(QShowEvent*) override;
    void hideEvent(QHideEvent*) override;

private:
    bool showsTrash(const DetailRow& r) const { return r.lit && r.removable; }
    // The rows on screen, first and last; none when there are none.
    std::optional<std::pair<int, int>> onScreen() const;
    // The row of the entry with that path: looked for on screen first.
    std::optional<int> rowOf(const std::string& path) const;
    double trashAmount(const DetailRow& r) const;
    // Draws a row at the origin, `w` wide.
    void drawRow(QPainter& painter, const DetailRow& row, double w, double trash, double hot) const;
    void setHot(bool hot);
    void followLight();
    void syncSpinner();

    AnalyzeModel& model_;
    // What the rows are read against, made once for each change of the model's entries:
    // the shares' denominator and, as far as rows were asked for, how many sized entries
    // come before each (its colour number).
    mutable std::optional<double> denominator_;
    mutable std::vector<int> sizedBefore_;
    // The rows on screen as they were last drawn, to redraw only those that changed.
    std::map<int, DetailRow> drawn_;
    QFont name_, nameLit_, size_, small_;
    // The trash button comes and goes with its row's light.
    std::string appearing_, leaving_;
    void updateLightRows();
    double change_ = 1;
    QVariantAnimation lightChange_;
    int hotRow_ = -1;
    double hot_ = 0;
    QVariantAnimation hotChange_;
    Spinner::Clock spinner_;
};

// The card of the shown folder's children: the header with "Select all" and the
// column captions, the rows, and the removal bar at its foot.
class DetailTable : public ListCard {
    Q_OBJECT
public:
    explicit DetailTable(AnalyzeModel& model, QWidget* parent = nullptr);

    DetailList* list() const { return list_; }
    CheckBox* selectAll() const { return selectAll_; }
    RemovalBar* removalBar() const { return bar_; }

private:
    void syncSelectAll();
    void toggleAll();

    AnalyzeModel& model_;
    QWidget* header_;
    CheckBox* selectAll_;
    DetailList* list_;
    RemovalBar* bar_;
};
