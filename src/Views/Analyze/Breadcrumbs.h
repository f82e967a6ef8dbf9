#pragma once
#include <QWidget>

#include "Models/Analyze/AnalyzeModel.h"

// The shown folder's path as clickable crumbs, from the whole disk down; dimmed
// and inert while large files are listed. When the bar is too narrow for every
// crumb, whole crumbs give way from the start behind an ellipsis, so the shown
// folder and its nearest parents stay readable (the shown folder's own name is cut
// in its middle only when it alone is wider than the bar).
class Breadcrumbs : public QWidget {
    Q_OBJECT
public:
    explicit Breadcrumbs(AnalyzeModel& model, QWidget* parent = nullptr);

    // Every crumb's title, the hidden ones included.
    QStringList titles() const;
    // The crumbs on show: from this index to the last.
    int firstShown() const;
    bool showsEllipsis() const;
    // What the crumb shows (its title, or the title cut short).
    QString shownTitle(int index) const;
    // The crumb's rectangle in this widget's coordinates; empty for a hidden crumb.
    QRect crumbRect(int index) const;
    bool isInert() const;
    double opacity() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* e) override;

private:
    class Row;
    void sync();
    AnalyzeModel& model_;
    Row* row_;
};
