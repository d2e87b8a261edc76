#include "filelist/file_list.h"

#include "filelist/pointer_file.h"

#include <QApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>
#include <QUrl>

#include <utility>

namespace partwright {

namespace {

// 6500 twips at 15 twips a pixel.
constexpr int kColumnWidth = 433;

// The display text is the path with the platform's separators; the path as
// added is kept beside it, and that is what the run reads and drags compare.
constexpr int kPathRole = Qt::UserRole;

QString PathOf(const QTreeWidgetItem* item) { return item->data(0, kPathRole).toString(); }

void SetPath(QTreeWidgetItem* item, const QString& path) {
    item->setData(0, kPathRole, path);
    item->setText(0, QDir::toNativeSeparators(path));
    // A path too long for the column keeps its file name in sight; the whole
    // path shows over the entry.
    item->setToolTip(0, QDir::toNativeSeparators(path));
}

// Only ever copy: accepting a move would let the file manager delete the
// files the list has just taken in.
bool AcceptAsCopy(QDropEvent* event) {
    for (Qt::DropAction action : {Qt::CopyAction, Qt::LinkAction}) {
        if (event->possibleActions() & action) {
            event->setDropAction(action);
            event->accept();
            return true;
        }
    }
    event->ignore();
    return false;
}

// The paths a drop of `data` would append, in order; nothing when the data
// is not a list of local files and must be refused.
QStringList DroppedPaths(const QMimeData* data) {
    if (data == nullptr || !data->hasUrls()) return {};
    QStringList paths;
    for (const QUrl& url : data->urls()) {
        if (!url.isLocalFile()) return {};
        paths << url.toLocalFile();
    }
    return paths;
}

}  // namespace

FileList::FileList(QWidget* parent) : QTreeWidget(parent) {
    setObjectName(QStringLiteral("fileList"));
    setColumnCount(1);
    setHeaderLabels({tr("Text File(s)")});
    setRootIsDecorated(false);
    setSortingEnabled(false);
    setUniformRowHeights(true);
    // Several entries can be selected from the keyboard, for the Delete key.
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Reordering is done by hand on the mouse events; the list takes drops
    // from outside but never starts a drag of its own.
    setDragDropMode(QAbstractItemView::DropOnly);
    setDragEnabled(false);
    setDropIndicatorShown(false);
    viewport()->setAcceptDrops(true);
    viewport()->setMouseTracking(true);
    // The user widens the column past the list's right edge to read long paths.
    header()->setStretchLastSection(false);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setTextElideMode(Qt::ElideMiddle);
    setColumnWidth(0, kColumnWidth);
    KeepSystemColours();
    setToolTip(tr("Drag and drop files here. Double-click item to remove it. "
                  "Move bar to right and out of window to reveal full names.") +
               QLatin1Char(' ') + tr("Delete removes the selected items; Clear List empties the list."));
    dragPointerFile_ = ProgramDataFile(QStringLiteral("drag.ico"));
}

// The list keeps the system's colours whatever its window sets: the header
// strip past the column is painted in the window colour, and a white one
// would cut the strip short at the column's edge.
void FileList::KeepSystemColours() {
    const QPalette system = QApplication::palette(this);
    QPalette own = palette();
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        own.setBrush(group, QPalette::Window, system.brush(group, QPalette::Window));
    setPalette(own);
}

void FileList::Append(const QString& path) {
    auto* item = new QTreeWidgetItem(this);
    SetPath(item, path);
}

int FileList::Count() const { return topLevelItemCount(); }

QString FileList::PathAt(int position) const {
    const QTreeWidgetItem* item = topLevelItem(position - 1);
    return item ? PathOf(item) : QString();
}

void FileList::SetRunActive(bool active) { runActive_ = active; }

// --- mouse -----------------------------------------------------------------

void FileList::mousePressEvent(QMouseEvent* event) {
    OnPress(event->position().toPoint());
    event->accept();
}

void FileList::mouseMoveEvent(QMouseEvent* event) {
    // Qt's own handling only for the hover highlight: with a button held it
    // would move the selection.
    if (event->buttons() == Qt::NoButton) {
        QTreeWidget::mouseMoveEvent(event);
        // The release went elsewhere (a message box took the mouse, say):
        // a move without a button must never go on dragging.
        if (buttonDown_) EndPress();
    }
    OnMove(event->position().toPoint());
    event->accept();
}

void FileList::mouseReleaseEvent(QMouseEvent* event) {
    EndPress();
    event->accept();
}

void FileList::mouseDoubleClickEvent(QMouseEvent* event) {
    // The second press of a double-click arrives as this event alone.
    OnPress(event->position().toPoint());
    RemoveSelectedEntry();
    event->accept();
}

QTreeWidgetItem* FileList::EntryAt(const QPoint& pos) const {
    // The whole width of a row counts as its entry, also right of the column.
    if (!viewport()->rect().contains(pos)) return nullptr;
    return itemAt(QPoint(header()->sectionViewportPosition(0), pos.y()));
}

void FileList::OnPress(const QPoint& pos) {
    buttonDown_ = true;
    refusalSignalled_ = false;
    if (focusPolicy() & Qt::ClickFocus) setFocus(Qt::MouseFocusReason);
    QTreeWidgetItem* item = EntryAt(pos);
    if (item == nullptr) {
        // A press off the entries drags nothing, not even an earlier entry.
        dragItem_ = QPersistentModelIndex();
        clearSelection();
        return;
    }
    setCurrentItem(item);
    PickEntry(item);
}

void FileList::PickEntry(QTreeWidgetItem* item) {
    if (!runActive_) viewport()->setCursor(DragPointer());
    dragItem_ = QPersistentModelIndex(indexFromItem(item));
}

void FileList::OnMove(const QPoint& pos) {
    emit pointerMoved();
    if (!buttonDown_) return;
    QTreeWidgetItem* hoverItem = EntryAt(pos);
    if (hoverItem == nullptr || !dragItem_.isValid()) return;
    QTreeWidgetItem* dragItem = itemFromIndex(dragItem_);
    const QString dragged = PathOf(dragItem);
    if (dragged == PathOf(hoverItem)) return;
    if (runActive_) {
        if (!std::exchange(refusalSignalled_, true)) emit changeRefused();
        return;
    }

    SetPath(dragItem, PathOf(hoverItem));
    SetPath(hoverItem, dragged);
    const int from = dragItem_.row();
    setCurrentItem(hoverItem);
    dragItem_ = QPersistentModelIndex(indexFromItem(hoverItem));
    RevealNeighbour(dragItem_.row(), dragItem_.row() > from);
}

void FileList::EndPress() {
    buttonDown_ = false;
    // Back to the window's pointer: the arrow, or the hourglass while the
    // window is busy, which a pointer of the list's own would hide.
    viewport()->unsetCursor();
}

void FileList::RemoveSelectedEntry() {
    const QList<QTreeWidgetItem*> selected = selectedItems();
    if (selected.isEmpty()) return;
    if (runActive_) {
        emit changeRefused();
        return;
    }
    delete takeTopLevelItem(indexOfTopLevelItem(selected.first()));
    // Qt would select the next entry; the selection belonged to the one that went.
    clearSelection();
}

void FileList::RemoveSelectedEntries() {
    const QList<QTreeWidgetItem*> selected = selectedItems();
    if (selected.isEmpty()) return;
    if (runActive_) {
        emit changeRefused();
        return;
    }
    qDeleteAll(selected);
    clearSelection();
}

void FileList::RemoveAllEntries() {
    if (Count() == 0) return;
    if (runActive_) {
        emit changeRefused();
        return;
    }
    clear();
}

void FileList::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Delete && event->modifiers() == Qt::NoModifier) {
        RemoveSelectedEntries();
        event->accept();
        return;
    }
    QTreeWidget::keyPressEvent(event);
}

void FileList::RevealNeighbour(int hoverRow, bool movedDown) {
    // Bring the next entry in the direction of the drag into view; near the
    // list's edge this scrolls by one entry, so the drag can go on past it.
    const int neighbour = movedDown ? hoverRow + 1 : hoverRow - 1;
    if (neighbour < 0 || neighbour >= Count()) return;
    scrollToItem(topLevelItem(neighbour), QAbstractItemView::EnsureVisible);
}

QCursor FileList::DragPointer() const {
    if (auto loaded = LoadPointerFile(dragPointerFile_)) return *loaded;
    return QCursor(Qt::DragMoveCursor);
}

// --- drops from the file manager -------------------------------------------

void FileList::dragEnterEvent(QDragEnterEvent* event) { JudgeDrop(event); }

void FileList::dragMoveEvent(QDragMoveEvent* event) { JudgeDrop(event); }

void FileList::dropEvent(QDropEvent* event) { TakeDrop(event); }

void FileList::JudgeDrop(QDragMoveEvent* event) {
    // No files join the list while a run works.
    if (runActive_ || DroppedPaths(event->mimeData()).isEmpty()) {
        event->ignore();  // the no-drop pointer shows
        return;
    }
    AcceptAsCopy(event);
}

void FileList::TakeDrop(QDropEvent* event) {
    const QStringList paths = DroppedPaths(event->mimeData());
    if (runActive_) {
        event->ignore();
        emit changeRefused();
        return;
    }
    if (paths.isEmpty() || !AcceptAsCopy(event)) {
        event->ignore();
        return;
    }
    for (const QString& path : paths) Append(path);
}

// --- frame -------------------------------------------------------------------

bool FileList::event(QEvent* event) {
    // The style's frame falls between device pixels at 150 % and loses its
    // left and bottom lines; a cosmetic pen one device pixel wide, set on the
    // outermost device pixels, shows all four at any scale.
    if (event->type() == QEvent::Paint) {
        QPainter painter(this);
        const qreal half = 0.5 / devicePixelRatioF();
        painter.setPen(QPen(palette().color(QPalette::Mid), 0));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(QRectF(rect()).adjusted(half, half, -half, -half));
        return true;
    }
    return QTreeWidget::event(event);
}

// --- tool tip ----------------------------------------------------------------

bool FileList::viewportEvent(QEvent* event) {
    // Over an entry its whole path shows; elsewhere the list's own tip.
    if (event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        const QTreeWidgetItem* entry = EntryAt(help->pos());
        QToolTip::showText(help->globalPos(), entry ? entry->toolTip(0) : toolTip(), viewport());
        return true;
    }
    return QTreeWidget::viewportEvent(event);
}

}  // namespace partwright
