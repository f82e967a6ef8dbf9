#pragma once
// A status button for offscreen tests: no tray, everything it is told kept for the
// test to read, and its tray, frame and clicks set by the test.
#include <QIcon>
#include <QMenu>
#include <QPointer>
#include <QStringList>

#include "Platform/Gui/StatusButton.h"

class FakeStatusButton : public Platform::StatusButton {
public:
    using Platform::StatusButton::StatusButton;

    bool isAvailable() const override { return available_; }
    void setIcon(const QIcon& icon) override {
        icon_ = icon;
        ++iconFrames;
    }
    void setToolTip(const QString& text) override { toolTip_ = text; }
    void setMenu(QMenu* menu) override { menu_ = menu; }
    QRect geometry() const override { return frame; }
    void showMessage(const QString& title, const QString& text) override { messages << title + ": " + text; }

    // The tray comes or goes.
    void setAvailable(bool available) {
        available_ = available;
        emit availableChanged(available);
    }
    // A left click on the button.
    void click() { emit activated(frame); }

    const QIcon& icon() const { return icon_; }
    const QString& toolTip() const { return toolTip_; }
    QMenu* menu() const { return menu_; }

    QRect frame{1240, 0, 22, 22};
    int iconFrames = 0;  // icons handed to the tray
    QStringList messages;

private:
    bool available_ = true;
    QIcon icon_;
    QString toolTip_;
    QPointer<QMenu> menu_;
};
