#pragma once
#include <QImage>
#include <QWidget>

#include <optional>

#include "Views/Kit/Spring.h"

// Holds the one screen on show. Replacing it inside an animation lets the new
// screen grow in from 0.94 of its size while fading in, and the old one grow to
// 1.04 while fading out.
class ScreenStack : public QWidget {
    Q_OBJECT
public:
    explicit ScreenStack(QWidget* parent = nullptr);

    // Takes ownership of `screen`; the old screen is deleted.
    void setScreen(const QString& identity, QWidget* screen, std::optional<Spring> animation);
    QString identity() const { return identity_; }
    QWidget* screen() const { return screen_; }
    bool isTransitioning() const { return transition_.isRunning(); }
    // Where the leaving screen's picture is drawn, relative to this widget: it stays
    // where it was in the window when the stack itself moves (a bar above it came
    // or went with the same change).
    QPoint outgoingOffset() const;
    QSize incomingPictureSize() const { return incoming_.deviceIndependentSize().toSize(); }

    static constexpr double incomingScale = 0.94;
    static constexpr double outgoingScale = 1.04;

protected:
    void resizeEvent(QResizeEvent*) override;
    void paintEvent(QPaintEvent*) override;

private:
    QImage snapshot(QWidget* w) const;
    void finish();

    QString identity_;
    QWidget* screen_ = nullptr;
    QImage outgoing_, incoming_;
    QPoint outgoingOrigin_;  // this widget's place in the window when outgoing_ was taken
    SpringAnimator transition_;
};
