#include "ui/modal_guard.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

#include <algorithm>
#include <vector>

namespace partwright {

namespace {

std::vector<const ModalGuard*>& Guards() {
    static std::vector<const ModalGuard*> guards;
    return guards;
}

bool IsUserInput(QEvent::Type type) {
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::ContextMenu:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
    case QEvent::TabletMove: return true;
    default: return false;
    }
}

}  // namespace

ModalGuard::ModalGuard(QWidget* window) : window_(window) {
    Guards().push_back(this);
    qApp->installEventFilter(this);
}

ModalGuard::~ModalGuard() {
    qApp->removeEventFilter(this);
    auto& guards = Guards();
    guards.erase(std::remove(guards.begin(), guards.end(), this), guards.end());
}

bool ModalGuard::eventFilter(QObject* watched, QEvent* event) {
    if (Guards().empty() || Guards().back() != this) return false;
    if (!IsUserInput(event->type()) || !watched->isWidgetType() || !window_->isVisible()) return false;
    auto* widget = static_cast<QWidget*>(watched);
    if (widget == window_ || window_->isAncestorOf(widget)) return false;

    const QEvent::Type type = event->type();
    if (type == QEvent::MouseButtonPress || type == QEvent::KeyPress) {
        // The user is looking elsewhere: the window that waits for an answer
        // comes to the front and takes the keyboard again.
        window_->raise();
        window_->activateWindow();
    }
    if (type == QEvent::KeyPress || type == QEvent::KeyRelease) {
        // Keys typed while the system still gave another window the focus
        // answer this one, so Enter and Esc are never lost.
        auto* key = static_cast<QKeyEvent*>(event);
        QWidget* target = window_->focusWidget() ? window_->focusWidget() : window_;
        QKeyEvent copy(key->type(), key->key(), key->modifiers(), key->text(), key->isAutoRepeat(),
                       static_cast<ushort>(key->count()));
        QCoreApplication::sendEvent(target, &copy);
    }
    return true;
}

void RunAsModal(QWidget* dialog) {
    // Lives as long as the dialog; acts only while the dialog is shown.
    auto* guard = new ModalGuard(dialog);
    guard->setParent(dialog);
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}

}  // namespace partwright
