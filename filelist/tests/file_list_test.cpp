#include "filelist/file_list.h"

#include <QApplication>
#include <QFile>
#include <QHeaderView>
#include <QImage>
#include <QMouseEvent>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using partwright::FileList;

namespace {

// Where the pointer goes in a drag step: an entry's row, or one of these.
constexpr int kEmptyArea = -1;
constexpr int kOutside = -2;

QStringList Texts(const FileList& list) {
    QStringList texts;
    for (int position = 1; position <= list.Count(); ++position) texts << list.PathAt(position);
    return texts;
}

int SelectedRow(const FileList& list) {
    const QList<QTreeWidgetItem*> selected = list.selectedItems();
    return selected.isEmpty() ? -1 : list.indexOfTopLevelItem(selected.first());
}

// Raw events straight to the viewport, so every move carries the held button
// exactly as the window system would deliver it.
class Mouse {
public:
    explicit Mouse(FileList& list) : list_(list) {}

    [[nodiscard]] QPoint At(int row) const {
        if (row == kOutside) return {list_.viewport()->width() / 2, -40};
        if (row == kEmptyArea) return {list_.viewport()->width() / 2, list_.viewport()->height() - 3};
        return list_.visualItemRect(list_.topLevelItem(row)).center();
    }
    void Press(int row) { Send(QEvent::MouseButtonPress, At(row), Qt::LeftButton, Qt::LeftButton); }
    void MoveTo(int row) { Send(QEvent::MouseMove, At(row), Qt::NoButton, held_); }
    void Release(int row) { Send(QEvent::MouseButtonRelease, At(row), Qt::LeftButton, Qt::NoButton); }
    void Click(int row) {
        Press(row);
        Release(row);
    }
    // What the window system sends for a double-click: press, release, then
    // the double-click in place of the second press, then its release.
    void DoubleClick(int row) {
        Click(row);
        Send(QEvent::MouseButtonDblClick, At(row), Qt::LeftButton, Qt::LeftButton);
        Release(row);
    }
    // The button came up while another window held the mouse.
    void LoseRelease() { held_ = Qt::NoButton; }
    void SecondPressOfDoubleClick(int row) {
        Send(QEvent::MouseButtonDblClick, At(row), Qt::LeftButton, Qt::LeftButton);
    }

private:
    void Send(QEvent::Type type, QPoint pos, Qt::MouseButton button, Qt::MouseButtons buttons) {
        held_ = buttons;
        QWidget* viewport = list_.viewport();
        QMouseEvent event(type, pos, viewport->mapToGlobal(pos), button, buttons, Qt::NoModifier);
        QApplication::sendEvent(viewport, &event);
    }

    FileList& list_;
    Qt::MouseButtons held_ = Qt::NoButton;
};

}  // namespace

class FileListTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init();
    void cleanup() { list_.reset(); }

    void listIsOneUnsortedColumnWithItsToolTip();
    void appendKeepsOrderAndDuplicates();
    void dragExchangesTexts_data();
    void dragExchangesTexts();
    void pressOffTheEntriesNeverDragsAnEarlierEntry();
    void removedEntryNeverTakesPartInAnExchange();
    void moveWithoutAButtonEndsADragWhoseReleaseWasLost();
    void doubleClickRemovesTheSelectedEntry();
    void doubleClickOffTheEntriesRemovesNothing();
    void runRefusesRemovalsAndReordersButTakesAppends();
    void dragPointerIsReadAtEveryPressAndReleaseGivesTheWindowsPointer();
    void everyMoveReportsThePointer();
    void draggingPastTheBottomEdgeScrollsOnAndBack();

private:
    void Fill(const QStringList& texts) {
        for (const QString& text : texts) list_->Append(text);
    }

    std::unique_ptr<FileList> list_;
    QTemporaryDir temp_;
};

void FileListTest::init() {
    list_ = std::make_unique<FileList>();
    list_->SetDragPointerFile(temp_.filePath(QStringLiteral("missing.ico")));
    list_->resize(497, 200);
    list_->show();
    QVERIFY(QTest::qWaitForWindowExposed(list_.get()));
}

void FileListTest::listIsOneUnsortedColumnWithItsToolTip() {
    QCOMPARE(list_->objectName(), QStringLiteral("fileList"));
    QCOMPARE(list_->columnCount(), 1);
    QCOMPARE(list_->headerItem()->text(0), QStringLiteral("Text File(s)"));
    QCOMPARE(list_->columnWidth(0), 433);
    QCOMPARE(list_->toolTip(), QStringLiteral("Drag and drop files here. Double-click item to remove it. "
                                              "Move bar to right and out of window to reveal full names. "
                                              "Delete removes the selected items; Clear List empties the list."));
    QVERIFY(!list_->isSortingEnabled());
    QVERIFY(!list_->header()->stretchLastSection());
    QVERIFY(!list_->dragEnabled());
    QCOMPARE(list_->editTriggers(), QAbstractItemView::NoEditTriggers);
}

void FileListTest::appendKeepsOrderAndDuplicates() {
    Fill({"/data/b.txt", "/data/a.txt", "C:/Data/x.txt", "/data/b.txt"});
    QCOMPARE(Texts(*list_), (QStringList{"/data/b.txt", "/data/a.txt", "C:/Data/x.txt", "/data/b.txt"}));
    QCOMPARE(list_->topLevelItem(2)->text(0), QDir::toNativeSeparators("C:/Data/x.txt"));
    QCOMPARE(list_->PathAt(0), QString());
    QCOMPARE(list_->PathAt(5), QString());
}

void FileListTest::dragExchangesTexts_data() {
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<int>("pressRow");
    QTest::addColumn<QList<int>>("moves");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<int>("selectedRow");

    const QStringList abcd{"A", "B", "C", "D"};
    QTest::newRow("slow drag over B") << abcd << 0 << QList<int>{1} << QStringList{"B", "A", "C", "D"} << 1;
    QTest::newRow("slow drag over B, C") << abcd << 0 << QList<int>{1, 2} << QStringList{"B", "C", "A", "D"} << 2;
    QTest::newRow("slow drag over B, C, D") << abcd << 0 << QList<int>{1, 2, 3} << QStringList{"B", "C", "D", "A"} << 3;
    QTest::newRow("jump from A onto D") << abcd << 0 << QList<int>{3} << QStringList{"D", "B", "C", "A"} << 3;
    QTest::newRow("jump from D onto A") << abcd << 3 << QList<int>{0} << QStringList{"D", "B", "C", "A"} << 0;
    QTest::newRow("down and back again") << abcd << 0 << QList<int>{1, 2, 1, 0} << abcd << 0;
    QTest::newRow("staying on the pressed entry") << abcd << 1 << QList<int>{1, 1} << abcd << 1;
    QTest::newRow("equal texts stay") << QStringList{"A", "A", "B"} << 0 << QList<int>{1} << QStringList{"A", "A", "B"}
                                      << 0;
    QTest::newRow("letter case differs") << QStringList{"a.txt", "A.txt"} << 0 << QList<int>{1}
                                         << QStringList{"A.txt", "a.txt"} << 1;
    QTest::newRow("empty area and outside") << abcd << 0 << QList<int>{kEmptyArea, kOutside} << abcd << 0;
    QTest::newRow("outside, then onto C")
        << abcd << 0 << QList<int>{kOutside, 2} << QStringList{"C", "B", "A", "D"} << 2;
    QTest::newRow("plain click") << abcd << 2 << QList<int>{} << abcd << 2;
}

void FileListTest::dragExchangesTexts() {
    QFETCH(QStringList, entries);
    QFETCH(int, pressRow);
    QFETCH(QList<int>, moves);
    QFETCH(QStringList, expected);
    QFETCH(int, selectedRow);

    Fill(entries);
    Mouse mouse(*list_);
    mouse.Press(pressRow);
    for (int row : moves) mouse.MoveTo(row);
    mouse.Release(moves.isEmpty() ? pressRow : moves.last());

    QCOMPARE(Texts(*list_), expected);
    QCOMPARE(SelectedRow(*list_), selectedRow);
    QCOMPARE(list_->viewport()->cursor().shape(), Qt::ArrowCursor);
}

void FileListTest::pressOffTheEntriesNeverDragsAnEarlierEntry() {
    Fill({"A", "B", "C", "D"});
    Mouse mouse(*list_);
    mouse.Click(0);
    mouse.Press(kEmptyArea);
    mouse.MoveTo(2);
    mouse.MoveTo(3);
    mouse.Release(3);
    QCOMPARE(Texts(*list_), (QStringList{"A", "B", "C", "D"}));
    QCOMPARE(SelectedRow(*list_), -1);
}

void FileListTest::removedEntryNeverTakesPartInAnExchange() {
    Fill({"A", "B", "C", "D"});
    Mouse mouse(*list_);
    mouse.Click(1);
    // The double-click's own press drags B, which it then removes while the
    // button is still down.
    mouse.SecondPressOfDoubleClick(1);
    QCOMPARE(Texts(*list_), (QStringList{"A", "C", "D"}));
    mouse.MoveTo(0);
    mouse.MoveTo(2);
    mouse.Release(2);
    QCOMPARE(Texts(*list_), (QStringList{"A", "C", "D"}));
}

void FileListTest::moveWithoutAButtonEndsADragWhoseReleaseWasLost() {
    Fill({"A", "B", "C"});
    Mouse mouse(*list_);
    mouse.Press(0);
    mouse.MoveTo(1);
    mouse.LoseRelease();
    mouse.MoveTo(2);
    QCOMPARE(Texts(*list_), (QStringList{"B", "A", "C"}));
    QCOMPARE(list_->viewport()->cursor().shape(), Qt::ArrowCursor);
}

void FileListTest::doubleClickRemovesTheSelectedEntry() {
    Fill({"A", "B", "C", "D", "E"});
    Mouse mouse(*list_);
    mouse.DoubleClick(2);
    QCOMPARE(Texts(*list_), (QStringList{"A", "B", "D", "E"}));
    QCOMPARE(SelectedRow(*list_), -1);
    mouse.DoubleClick(0);
    QCOMPARE(Texts(*list_), (QStringList{"B", "D", "E"}));
}

void FileListTest::doubleClickOffTheEntriesRemovesNothing() {
    Fill({"A", "B", "C"});
    Mouse mouse(*list_);
    mouse.Click(1);
    mouse.DoubleClick(kEmptyArea);
    QCOMPARE(Texts(*list_), (QStringList{"A", "B", "C"}));
}

void FileListTest::runRefusesRemovalsAndReordersButTakesAppends() {
    Fill({"A", "B", "C", "D"});
    Mouse mouse(*list_);
    QSignalSpy refusals(list_.get(), &FileList::changeRefused);
    list_->SetRunActive(true);
    mouse.Press(0);
    mouse.MoveTo(1);
    mouse.MoveTo(3);
    mouse.Release(3);
    QCOMPARE(refusals.count(), 1);  // once for the whole drag
    mouse.DoubleClick(2);
    QCOMPARE(refusals.count(), 2);
    list_->Append("E");
    QCOMPARE(Texts(*list_), (QStringList{"A", "B", "C", "D", "E"}));

    list_->SetRunActive(false);
    mouse.Press(0);
    mouse.MoveTo(1);
    mouse.Release(1);
    mouse.DoubleClick(4);
    QCOMPARE(Texts(*list_), (QStringList{"B", "A", "C", "D"}));
    QCOMPARE(refusals.count(), 2);
}

void FileListTest::dragPointerIsReadAtEveryPressAndReleaseGivesTheWindowsPointer() {
    const QString icon = temp_.filePath(QStringLiteral("drag.ico"));
    QImage image(32, 32, QImage::Format_ARGB32);
    image.fill(Qt::red);
    QVERIFY(image.save(icon, "ICO"));
    list_->SetDragPointerFile(icon);
    Fill({"A", "B"});
    Mouse mouse(*list_);

    mouse.Press(0);
    QCOMPARE(list_->viewport()->cursor().shape(), Qt::BitmapCursor);
    mouse.Release(0);
    QCOMPARE(list_->viewport()->cursor().shape(), Qt::ArrowCursor);

    QVERIFY(QFile::remove(icon));
    mouse.Press(1);
    QCOMPARE(list_->viewport()->cursor().shape(), Qt::DragMoveCursor);
    mouse.Release(1);

    QFile garbage(icon);
    QVERIFY(garbage.open(QIODevice::WriteOnly));
    garbage.write("not an icon at all, just some bytes");
    garbage.close();
    mouse.Press(0);
    QCOMPARE(list_->viewport()->cursor().shape(), Qt::DragMoveCursor);
    mouse.Release(0);

    mouse.Press(kEmptyArea);
    QCOMPARE(list_->viewport()->cursor().shape(), Qt::ArrowCursor);
    mouse.Release(kEmptyArea);

    // While the window around it is busy, the list shows the hourglass too.
    list_->setCursor(Qt::WaitCursor);
    mouse.Click(0);
    QCOMPARE(list_->viewport()->cursor().shape(), Qt::WaitCursor);
}

void FileListTest::everyMoveReportsThePointer() {
    Fill({"A", "B"});
    QSignalSpy moved(list_.get(), &FileList::pointerMoved);
    Mouse mouse(*list_);
    mouse.MoveTo(0);
    mouse.Press(0);
    mouse.MoveTo(1);
    mouse.MoveTo(kOutside);
    mouse.Release(kOutside);
    QCOMPARE(moved.count(), 3);
}

void FileListTest::draggingPastTheBottomEdgeScrollsOnAndBack() {
    QStringList entries;
    for (int i = 0; i < 40; ++i) entries << QStringLiteral("entry %1").arg(i, 2, 10, QLatin1Char('0'));
    Fill(entries);
    const QRect view = list_->viewport()->rect();
    auto fullyVisible = [&](int row) { return view.contains(list_->visualItemRect(list_->topLevelItem(row))); };
    int lastVisible = 0;
    while (fullyVisible(lastVisible + 1)) ++lastVisible;
    QVERIFY(lastVisible > 2);
    QVERIFY(!fullyVisible(lastVisible + 1));

    Mouse mouse(*list_);
    mouse.Press(0);
    for (int row = 1; row <= lastVisible; ++row) mouse.MoveTo(row);
    QVERIFY(fullyVisible(lastVisible + 1));
    QVERIFY(list_->verticalScrollBar()->value() > 0);
    // The scroll put the next entry under the pointer: the drag goes on.
    mouse.MoveTo(lastVisible + 1);
    QCOMPARE(list_->PathAt(lastVisible + 2), QStringLiteral("entry 00"));
    QVERIFY(fullyVisible(lastVisible + 2));

    // Upwards, the entry above comes into view once the top one is reached.
    int topVisible = lastVisible + 1;
    while (topVisible > 0 && fullyVisible(topVisible - 1)) --topVisible;
    QVERIFY(topVisible > 0);
    for (int row = lastVisible; row >= topVisible; --row) mouse.MoveTo(row);
    QVERIFY(fullyVisible(topVisible - 1));
    mouse.Release(topVisible);
    QCOMPARE(list_->PathAt(topVisible + 1), QStringLiteral("entry 00"));
}

QTEST_MAIN(FileListTest)
#include "file_list_test.moc"
