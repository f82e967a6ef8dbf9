#pragma once
#include <QWidget>

#include "Models/Analyze/AnalyzeModel.h"
#include "Views/Kit/RowList.h"

class AnalyzeHero;
class ListCard;
class QStackedLayout;
class RemovalBar;

// The rows of the large files: a check box, the icon, the path and the size.
class LargeFileRows : public RowList {
    Q_OBJECT
public:
    static constexpr int rowHeight = 34;
    explicit LargeFileRows(AnalyzeModel& model, QWidget* parent = nullptr);
    static QRectF boxRect();
    static QString emptyText();

protected:
    void paintRow(QPainter& painter, int row, const QRect& rect) override;
    void paintEmpty(QPainter& painter, const QRect& rect) override;
    void rowClicked(int row, QPoint inRow, Qt::MouseButton button) override;
    void rowMenuRequested(int row, QPoint inRow, QPoint global) override;

private:
    void refresh();
    AnalyzeModel& model_;
    QFont path_, size_, empty_;
};

// In place of the detail table while large files are listed: the searching hero
// while the search runs, then the files found, largest first, with the removal bar.
class LargeFilesList : public QWidget {
    Q_OBJECT
public:
    explicit LargeFilesList(AnalyzeModel& model, QWidget* parent = nullptr);
    bool showsHero() const;
    AnalyzeHero* hero() const { return hero_; }
    LargeFileRows* rows() const { return rows_; }
    RemovalBar* removalBar() const { return bar_; }

private:
    void sync();
    AnalyzeModel& model_;
    QStackedLayout* stack_;
    AnalyzeHero* hero_;
    ListCard* card_;
    LargeFileRows* rows_;
    RemovalBar* bar_;
};
