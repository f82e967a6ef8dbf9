#pragma once
#include <QFont>
#include <QLabel>
#include <QPixmap>

// A plain-text label that keeps its painted text as a picture until the text,
// size, font, colours or state change. Over the animated sky a label repaints many
// times a second as stars pass behind it; laying the text out each time is what costs.
class StillLabel : public QLabel {
    Q_OBJECT
public:
    explicit StillLabel(const QString& text = {}, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    struct Key {
        QString text;
        QSize size;
        qreal ratio = 0;
        QFont font;
        qint64 palette = 0;
        bool enabled = true;
        int alignment = 0;
        bool wrap = false;
        bool operator==(const Key&) const = default;
    };
    Key key_;
    QPixmap picture_;
    bool painting_ = false;
};
