#pragma once
#include <QWidget>

#include "Models/Analyze/AnalyzeModel.h"
#include "Views/Kit/StillPicture.h"

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
    QStringList titles() const { return titles_; }
    // The crumbs on show: from this index to the last.
    int firstShown() const { return first_; }
    bool showsEllipsis() const { return ellipsis_; }
    // What the crumb shows (its title, or the title cut short).
    QString shownTitle(int index) const;
    // The crumb's rectangle in this widget's coordinates; empty for a hidden crumb.
    QRect crumbRect(int index) const;
    bool isInert() const { return inert_; }
    double opacity() const { return inert_ ? 0.4 : 1.0; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* e) override;
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    void sync();
    void relayout();
    static double gap();
    int lineHeight() const;
    double advance(int i, const QString& text) const;
    double fullWidth() const;  // every crumb together
    int at(QPointF pos) const;

    AnalyzeModel& model_;
    QFont regular_, last_;
    QStringList titles_, shown_;
    QList<QRectF> rects_;
    int first_ = 0;
    bool ellipsis_ = false;
    bool inert_ = false;
    int pressed_ = -1;
    StillPicture picture_;
};
