#pragma once

#include <QCursor>
#include <QPersistentModelIndex>
#include <QString>
#include <QTreeWidget>

class QTreeWidgetItem;

namespace partwright {

// The ordered list of source files the next split run processes.
// Every entry holds one text, the full path of a source as it was added.
// Positions run from 1 to Count(); duplicates are allowed; nothing sorts it.
//
// Entries are reordered by pressing on one and moving over the others: the
// dragged text trades places with the entry under the pointer. This is done
// by hand on the mouse events, not with Qt's item drag and drop, so the list
// stays a drop target for files from the file manager at all times.
class FileList : public QTreeWidget {
    Q_OBJECT
public:
    explicit FileList(QWidget* parent = nullptr);

    // Adds a new last entry holding `path`; nothing is checked.
    void Append(const QString& path);
    [[nodiscard]] int Count() const;
    [[nodiscard]] QString PathAt(int position) const;  // 1-based

    // While a split run works, removals, reorders and drops are refused, so the
    // run never reads a position that moved or vanished and the list stays as
    // the run took it; Append still works.
    void SetRunActive(bool active);

    // Remove every selected entry (the Delete key), or every entry. Both are
    // refused while a run works, as a double-click removal is.
    void RemoveSelectedEntries();
    void RemoveAllEntries();
    [[nodiscard]] bool IsRunActive() const { return runActive_; }

    // The image shown while an entry is dragged; read again at every press.
    // Defaults to "drag.ico" beside the program.
    void SetDragPointerFile(const QString& path) { dragPointerFile_ = path; }

signals:
    // Every pointer move over the list (and, during a press, anywhere); the
    // window applies its hover rule on it.
    void pointerMoved();
    // A removal, reorder or drop asked for while a run works, and refused; once
    // per double-click, key press, drop or drag.
    void changeRefused();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    bool event(QEvent* event) override;

private:
    void KeepSystemColours();
    void OnPress(const QPoint& pos);
    void PickEntry(QTreeWidgetItem* item);
    void OnMove(const QPoint& pos);
    void EndPress();
    void RemoveSelectedEntry();
    void JudgeDrop(QDragMoveEvent* event);
    void TakeDrop(QDropEvent* event);

    [[nodiscard]] QTreeWidgetItem* EntryAt(const QPoint& pos) const;
    void RevealNeighbour(int hoverRow, bool movedDown);
    [[nodiscard]] QCursor DragPointer() const;

    bool runActive_ = false;
    bool buttonDown_ = false;
    bool refusalSignalled_ = false;  // for the drag of the current press
    // A persistent index follows its entry when rows above it go and turns
    // invalid when the entry itself is removed, so a removed entry can never
    // take part in an exchange.
    QPersistentModelIndex dragItem_;
    QString dragPointerFile_;
};

}  // namespace partwright
