#pragma once
#include <QScrollArea>

#include "Models/Analyze/AnalyzeModel.h"

// The shown folder's path as clickable crumbs, from the whole disk down; dimmed
// and inert while large files are listed.
class Breadcrumbs : public QScrollArea {
    Q_OBJECT
public:
    explicit Breadcrumbs(AnalyzeModel& model, QWidget* parent = nullptr);

    QStringList titles() const;
    // The crumb's rectangle in this widget's coordinates.
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
