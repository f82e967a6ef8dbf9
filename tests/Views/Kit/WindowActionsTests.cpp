#include <gtest/gtest.h>

#include <QLabel>
#include <QTest>
#include <QVBoxLayout>

#include "Views/Kit/ConfirmationDialog.h"
#include "Views/Kit/Controls.h"
#include "Views/Kit/WindowActions.h"

using WindowActions::Role;

namespace {
// A window with a default and a cancel button and a label the keys are sent to.
struct Window {
    QWidget window;
    QLabel* inside = new QLabel("text");
    PillButton* scan = new PillButton("Scan", PillButtonStyle::Kind::primary);
    PillButton* close = new PillButton("Close", PillButtonStyle::Kind::secondary);
    int scans = 0, closes = 0;
    Window() {
        auto* v = new QVBoxLayout(&window);
        v->addWidget(inside);
        v->addWidget(scan);
        v->addWidget(close);
        WindowActions::setRole(scan, Role::defaultAction);
        WindowActions::setRole(close, Role::cancelAction);
        QObject::connect(scan, &QPushButton::clicked, [this] { ++scans; });
        QObject::connect(close, &QPushButton::clicked, [this] { ++closes; });
        WindowActions::install(&window);
        window.resize(300, 200);
        window.show();
    }
};
}  // namespace

struct KeyCase {
    const char* name;
    std::function<void(Window&)> arrange;
    int key;
    Qt::KeyboardModifiers modifiers;
    int scans, closes;
};

class WindowKeys : public ::testing::TestWithParam<KeyCase> {};

TEST_P(WindowKeys, PressTheButtonThatIsShownAndNotCovered) {
    Window w;
    GetParam().arrange(w);
    QTest::keyClick(w.inside, Qt::Key(GetParam().key), GetParam().modifiers);
    EXPECT_EQ(w.scans, GetParam().scans);
    EXPECT_EQ(w.closes, GetParam().closes);
}

INSTANTIATE_TEST_SUITE_P(
    Table, WindowKeys,
    ::testing::Values(
        KeyCase{"ReturnPressesTheDefault", [](Window&) {}, Qt::Key_Return, {}, 1, 0},
        KeyCase{"EnterPressesTheDefault", [](Window&) {}, Qt::Key_Enter, Qt::KeypadModifier, 1, 0},
        KeyCase{"EscapePressesCancel", [](Window&) {}, Qt::Key_Escape, {}, 0, 1},
        KeyCase{"ModifiedReturnDoesNothing", [](Window&) {}, Qt::Key_Return, Qt::ControlModifier, 0, 0},
        KeyCase{"HiddenDefaultIsSkipped", [](Window& w) { w.scan->hide(); }, Qt::Key_Return, {}, 0, 0},
        KeyCase{"DisabledDefaultIsSkipped", [](Window& w) { w.scan->setEnabled(false); }, Qt::Key_Return, {}, 0, 0},
        KeyCase{"CoveredDefaultIsSkipped",
                [](Window& w) {
                    // A sheet in front of the button, with its own default action.
                    auto* sheet = new QWidget(&w.window);
                    sheet->setGeometry(w.window.rect());
                    auto* action = new PillButton("Clean", PillButtonStyle::Kind::primary, sheet);
                    action->move(10, 10);
                    WindowActions::setRole(action, Role::defaultAction);
                    QObject::connect(action, &QPushButton::clicked, [&w] { w.closes += 10; });
                    sheet->show();
                },
                Qt::Key_Return, {}, 0, 10}),
    [](const auto& info) { return std::string(info.param.name); });

struct DialogAnswer {
    const char* name;
    std::function<void(ConfirmationDialog&)> answer;
    bool confirms;
};

class ConfirmationAnswers : public ::testing::TestWithParam<DialogAnswer> {};

TEST_P(ConfirmationAnswers, OnlyTheDestructiveButtonConfirms) {
    QWidget parent;
    parent.show();
    int confirmed = 0, closed = 0;
    QPointer<ConfirmationDialog> dialog = ConfirmationDialog::present(
        &parent, "Empty the Trash?", "Everything goes.", "Empty Trash", [&] { ++confirmed; }, [&] { ++closed; });
    ASSERT_TRUE(dialog->isVisible());
    EXPECT_TRUE(dialog->isModal());
    EXPECT_TRUE(dialog->cancelButton()->isDefault());
    GetParam().answer(*dialog);
    EXPECT_EQ(confirmed, GetParam().confirms ? 1 : 0);
    EXPECT_EQ(closed, 1);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(dialog.isNull());
}

INSTANTIATE_TEST_SUITE_P(
    Table, ConfirmationAnswers,
    ::testing::Values(
        DialogAnswer{"ReturnCancels", [](ConfirmationDialog& d) { QTest::keyClick(&d, Qt::Key_Return); }, false},
        DialogAnswer{"ReturnAfterHoveringTheDestructiveButtonCancels",
                     [](ConfirmationDialog& d) {
                         QTest::mouseMove(d.destructiveButton());
                         QTest::keyClick(d.destructiveButton(), Qt::Key_Return);
                     },
                     false},
        DialogAnswer{"EscapeCancels", [](ConfirmationDialog& d) { QTest::keyClick(&d, Qt::Key_Escape); }, false},
        DialogAnswer{"CancelCancels", [](ConfirmationDialog& d) { d.cancelButton()->click(); }, false},
        DialogAnswer{"DestructiveConfirms", [](ConfirmationDialog& d) { QTest::mouseClick(d.destructiveButton(), Qt::LeftButton); }, true}),
    [](const auto& info) { return std::string(info.param.name); });
