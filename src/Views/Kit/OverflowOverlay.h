#pragma once
#include <QPointer>
#include <QWidget>

#include <functional>

// Lets a view draw far beyond its layout box (a hero's glow, the icons flying in,
// a shockwave across the window) without being clipped: the view keeps its box in
// the layout, and this transparent widget, placed in the window's content under
// every other widget and taking no input, paints for it around the box's centre.
// It follows the view as it moves and shows only while the view shows; the
// buttons and texts above it stay on top and clickable.
//
// The host is the nearest ancestor marked with `markHost`, else the view's window;
// overlays sit right above the host's backdrop.
class OverflowOverlay : public QWidget {
    Q_OBJECT
public:
    // Paints the view's layers around `centre` (the box's centre, in the painter's coordinates).
    using Paint = std::function<void(QPainter& painter, QPointF centre)>;

    // `reach`: how far from the box's centre the view may draw, in points.
    OverflowOverlay(QWidget* anchor, double reach, Paint paint);
    ~OverflowOverlay() override;

    static void markHost(QWidget* host, QWidget* backdrop = nullptr);

    // Where the view's layers hold any pixels now, relative to the box's centre. The
    // overlay spans the whole reach; a repaint of the sky beyond this area (a star
    // twinkling across the window) then skips the view's layers.
    void setExtent(std::function<QRectF()> extent) { extent_ = std::move(extent); }

    // The anchor's centre in this widget's coordinates.
    QPointF anchorCentre() const;
    // Repaints `area`, given relative to the anchor's centre.
    void updateAround(const QRectF& area);
    void updateAround(const QRegion& area);

    // Paints every overlay whose anchor lies inside `screen`, as they would show
    // behind it, onto `painter` in `screen`'s coordinates: a picture of the screen
    // then shows what draws beyond its views too.
    static void paintBehind(QPainter& painter, QWidget* screen);

protected:
    void paintEvent(QPaintEvent*) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void attach();
    void follow();

    QPointer<QWidget> anchor_;
    QPointer<QWidget> host_;
    double reach_;
    Paint paint_;
    std::function<QRectF()> extent_;
    QList<QPointer<QWidget>> watched_;
};
