#pragma once
#include <QFont>
#include <QLineEdit>
#include <QMargins>
#include <QPixmap>

// A line edit that keeps its look as a picture while it sits empty and unfocused,
// showing only its placeholder. Over the animated sky it repaints whenever a star
// passes behind it, and laying out the placeholder each time costs far more than
// copying it. Typing, focus (and its blinking cursor) and any state change paint
// as a plain line edit does.
class StillLineEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit StillLineEdit(QWidget* parent = nullptr) : QLineEdit(parent) {}

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // Empty and unfocused: the one look a picture is kept of.
    bool showsPlaceholderOnly() const { return !hasFocus() && text().isEmpty(); }
    void makePicture();
    struct Key {
        QString placeholder;
        QSize size;
        qreal ratio = 0;
        QFont font;
        qint64 palette = 0;
        bool enabled = true;
        bool frame = true;
        int alignment = 0;
        QMargins margins;
        int direction = 0;
        bool operator==(const Key&) const = default;
    };
    Key currentKey() const;
    Key key_;
    QPixmap picture_;
    bool rendering_ = false;
    bool pending_ = false;
};
