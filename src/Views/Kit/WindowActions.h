#pragma once

class QAbstractButton;
class QKeyEvent;
class QWidget;

// The window's default action (Return) and cancel action (Escape). Outside a
// dialog the toolkit binds neither, so a button takes a role here and the window
// hands it the key: the button that is shown, enabled and not covered by
// anything in front of it is pressed.
namespace WindowActions {
enum class Role { none, defaultAction, cancelAction };

void setRole(QAbstractButton* button, Role role);
Role role(const QAbstractButton* button);

// The button of `role` that a key would press now in `window`, if any.
QAbstractButton* target(QWidget* window, Role role);
// Return and Enter press the default button, Escape the cancel button; true
// when the key was used.
bool handleKey(QWidget* window, const QKeyEvent* event);
// From now on `window` hands those keys to its buttons once no widget inside it
// has used them.
void install(QWidget* window);
}  // namespace WindowActions
