#include "Views/Kit/WindowActions.h"

#include <QAbstractButton>
#include <QKeyEvent>
#include <QVariant>
#include <QWidget>

namespace WindowActions {

namespace {
constexpr const char* property = "quelto.windowActionRole";

// Nothing else is drawn over the button's centre.
bool uncovered(QWidget* window, QAbstractButton* button) {
    const QPoint centre = button->mapTo(window, button->rect().center());
    QWidget* hit = window->childAt(centre);
    return hit && (hit == button || button->isAncestorOf(hit));
}
}  // namespace

void setRole(QAbstractButton* button, Role role) { button->setProperty(property, static_cast<int>(role)); }

Role role(const QAbstractButton* button) {
    const QVariant v = button->property(property);
    return v.isValid() ? static_cast<Role>(v.toInt()) : Role::none;
}

QAbstractButton* target(QWidget* window, Role wanted) {
    if (!window || wanted == Role::none) return nullptr;
    for (QAbstractButton* b : window->findChildren<QAbstractButton*>()) {
        if (role(b) != wanted || !b->isVisibleTo(window) || !b->isEnabled()) continue;
        if (uncovered(window, b)) return b;
    }
    return nullptr;
}

bool handleKey(QWidget* window, const QKeyEvent* event) {
    if (event->modifiers() & ~(Qt::KeypadModifier)) return false;
    Role wanted = Role::none;
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: wanted = Role::defaultAction; break;
    case Qt::Key_Escape: wanted = Role::cancelAction; break;
    default: return false;
    }
    QAbstractButton* b = target(window, wanted);
    if (!b) return false;
    b->click();
    return true;
}

namespace {
// Sees a key only once it reaches the window itself, after the widgets inside it.
class KeyRouter : public QObject {
public:
    explicit KeyRouter(QWidget* window) : QObject(window), window_(window) { setObjectName(name); }
    static constexpr const char* name = "quelto.windowActions";
    bool eventFilter(QObject* watched, QEvent* e) override {
        if (watched == window_ && e->type() == QEvent::KeyPress && handleKey(window_, static_cast<QKeyEvent*>(e)))
            return true;
        return false;
    }

private:
    QWidget* window_;
};
}  // namespace

void install(QWidget* window) {
    if (window->findChild<QObject*>(QLatin1String(KeyRouter::name), Qt::FindDirectChildrenOnly)) return;
    window->installEventFilter(new KeyRouter(window));
}

}  // namespace WindowActions
