#pragma once

#include <QCursor>
#include <QString>

class QWidget;

namespace partwright {

// The window's pointer kind; the numbers are the ones the window has always used.
enum class PointerKind : int {
    Default = 0,
    Hourglass = 11,
    Custom = 99,  // the hand over the picture buttons
};

// The hand shown over the picture buttons: the cursor file at `path` with its
// hotspot, or the platform's pointing hand when the file is missing or unreadable.
[[nodiscard]] QCursor HoverCursor(const QString& path);

// Owns the pointer kind of one window and shows it over the window and every
// control that has no pointer of its own.
class PointerFeedback {
public:
    explicit PointerFeedback(QWidget& window);

    // The image kind 99 shows; the platform's pointing hand until one is set.
    void SetHand(const QCursor& hand) { hand_ = hand; }

    [[nodiscard]] PointerKind Kind() const { return kind_; }

    // The hover rule: take `target` unless the window is busy.
    void Hover(PointerKind target);

    // Busy work (a split run, a folder walk) shows the hourglass from
    // BeginBusy until the matching EndBusy. The two may nest, as a folder
    // walk can start while a run yields; the pointer comes back only when the
    // last one ends.
    void BeginBusy();
    void EndBusy();
    [[nodiscard]] bool IsBusy() const { return busyDepth_ > 0; }
    // Has the system load the hourglass while the window is idle: the first
    // time it is shown, it comes from the pointer theme on disk, which took
    // the first Split! up to 12 ms under X.
    void Preload();

private:
    void Apply(PointerKind kind);

    QWidget& window_;
    QCursor hand_{Qt::PointingHandCursor};
    PointerKind kind_ = PointerKind::Default;
    int busyDepth_ = 0;
};

}  // namespace partwright
