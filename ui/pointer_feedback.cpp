#include "ui/pointer_feedback.h"

#include "filelist/pointer_file.h"

#include <QLineEdit>
#include <QWidget>

namespace partwright {

QCursor HoverCursor(const QString& path) {
    if (std::optional<QCursor> fromFile = LoadPointerFile(path)) return *fromFile;
    return QCursor(Qt::PointingHandCursor);
}

PointerFeedback::PointerFeedback(QWidget& window) : window_(window) {}

void PointerFeedback::Hover(PointerKind target) {
    if (kind_ == PointerKind::Hourglass) return;
    if (target != kind_) Apply(target);
}

void PointerFeedback::BeginBusy() {
    ++busyDepth_;
    Apply(PointerKind::Hourglass);
}

void PointerFeedback::EndBusy() {
    if (busyDepth_ == 0) return;
    if (--busyDepth_ == 0) Apply(PointerKind::Default);
}

void PointerFeedback::Preload() {
    if (kind_ != PointerKind::Default) return;
    // Set and taken back before any event is handled: never seen.
    window_.setCursor(Qt::WaitCursor);
    window_.unsetCursor();
}

void PointerFeedback::Apply(PointerKind kind) {
    kind_ = kind;
    switch (kind) {
    case PointerKind::Default: window_.unsetCursor(); break;
    case PointerKind::Hourglass: window_.setCursor(Qt::WaitCursor); break;
    case PointerKind::Custom: window_.setCursor(hand_); break;
    }
    // Entry fields keep their text cursor of their own, which would hide the
    // hourglass over them; while busy they show the window's pointer too.
    const bool busy = kind == PointerKind::Hourglass;
    for (QLineEdit* field : window_.findChildren<QLineEdit*>()) {
        if (busy)
            field->setCursor(Qt::WaitCursor);
        else
            field->setCursor(Qt::IBeamCursor);
    }
}

}  // namespace partwright
