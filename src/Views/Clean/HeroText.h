#pragma once
#include <QWidget>

#include "Views/Kit/Spring.h"
#include "Views/Kit/StillPicture.h"

// The title under a hero, with an optional subtitle below it. When the title
// changes, the characters that differ roll: the old ones rise and fade out while
// the new ones rise into place, so a changing number counts rather than flickers.
class HeroText : public QWidget {
    Q_OBJECT
public:
    explicit HeroText(const QString& title = {}, const QString& subtitle = {}, QWidget* parent = nullptr);

    QString title() const { return title_; }
    QString subtitle() const { return subtitle_; }
    void setTitle(const QString& title);
    // An empty subtitle shows the title alone.
    void setSubtitle(const QString& subtitle);

    static constexpr double titleSize = 30, subtitleSize = 13, spacing = 6;

    // 1 while no roll runs.
    double rollProgress() const;
    // Shows the running roll at `progress` and stops it there (for tests and pictures).
    void showRollAt(double progress);
    // Where the rolling characters are drawn, in this widget's coordinates; empty
    // when nothing rolls.
    QRectF rollingArea() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    struct Layout {
        double left = 0;         // where the new title starts
        int prefix = 0, suffix = 0;  // characters shared with the old title at either end
    };
    Layout layout() const;
    QRectF titleRect() const;
    QRectF subtitleRect(double width) const;
    void paintText(QPainter& painter, double progress) const;

    QString from_;  // the title rolling out
    QString title_;
    QString subtitle_;
    QFont titleFont_, subtitleFont_;
    SpringAnimator roll_;
    double shownProgress_ = 1.0;
    bool frozen_ = false;
    StillPicture still_;
};
