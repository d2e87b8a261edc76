#include "filelist/file_list.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QStandardPaths>
#include <QTest>
#include <QUrl>

#include <memory>

using partwright::FileList;

namespace {

QStringList Texts(const FileList& list) {
    QStringList texts;
    for (int position = 1; position <= list.Count(); ++position) texts << list.PathAt(position);
    return texts;
}

std::unique_ptr<QMimeData> FileData(const QStringList& paths) {
    auto data = std::make_unique<QMimeData>();
    QList<QUrl> urls;
    for (const QString& path : paths) urls << QUrl::fromLocalFile(path);
    data->setUrls(urls);
    return data;
}

struct DropResult {
    bool enterAccepted = false;
    bool moveAccepted = false;
    bool dropAccepted = false;
    Qt::DropAction moveAction = Qt::IgnoreAction;
    Qt::DropAction action = Qt::IgnoreAction;
};

// Passes `data` over the list's middle and lets it go there, as a file
// manager's drag would.
DropResult DragAndDrop(FileList& list, const QMimeData* data,
                       Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction) {
    QWidget* viewport = list.viewport();
    const QPoint middle = viewport->rect().center();
    DropResult result;
    QDragEnterEvent enter(middle, offered, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &enter);
    result.enterAccepted = enter.isAccepted();
    QDragMoveEvent move(middle, offered, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &move);
    result.moveAccepted = move.isAccepted();
    result.moveAction = move.dropAction();
    QDropEvent drop(middle, offered, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &drop);
    result.dropAccepted = drop.isAccepted();
    result.action = drop.dropAction();
    return result;
}

}  // namespace

class FileDropTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init();
    void cleanup() { list_.reset(); }

    void filesAndAFolderAppendInDroppedOrder();
    void dataWithoutLocalFilesIsRefused_data();
    void dataWithoutLocalFilesIsRefused();
    void dropIsTakenAsCopyEvenWhenMoveIsProposed();
    void dropsStayAcceptedAfterAPressOnAnEntry();
    void dropsAreRefusedDuringARunAndTakenAfterIt();

private:
    std::unique_ptr<FileList> list_;
};

void FileDropTest::init() {
    list_ = std::make_unique<FileList>();
    list_->resize(497, 200);
    list_->show();
    QVERIFY(QTest::qWaitForWindowExposed(list_.get()));
}

void FileDropTest::filesAndAFolderAppendInDroppedOrder() {
    list_->Append("/first.txt");
    const QStringList dropped{"/data/c.txt", "/data/a b.txt", "/data/first.txt", "/data/sub"};
    const auto data = FileData(dropped);
    const DropResult result = DragAndDrop(*list_, data.get());
    QVERIFY(result.enterAccepted);
    QVERIFY(result.moveAccepted);
    QVERIFY(result.dropAccepted);
    QCOMPARE(Texts(*list_), QStringList{"/first.txt"} + dropped);
}

void FileDropTest::dataWithoutLocalFilesIsRefused_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("urls");
    QTest::newRow("plain text") << QStringLiteral("/data/a.txt") << QStringList{};
    QTest::newRow("web address") << QString() << QStringList{"https://example.org/a.txt"};
    QTest::newRow("a file beside a web address")
        << QString() << QStringList{"file:///data/a.txt", "https://example.org/b.txt"};
}

void FileDropTest::dataWithoutLocalFilesIsRefused() {
    QFETCH(QString, text);
    QFETCH(QStringList, urls);
    QMimeData data;
    if (!text.isEmpty()) data.setText(text);
    if (!urls.isEmpty()) data.setUrls(QUrl::fromStringList(urls));

    const DropResult result = DragAndDrop(*list_, &data);
    QVERIFY(!result.enterAccepted);
    QVERIFY(!result.moveAccepted);
    QVERIFY(!result.dropAccepted);
    QCOMPARE(list_->Count(), 0);
}

void FileDropTest::dropIsTakenAsCopyEvenWhenMoveIsProposed() {
    const auto data = FileData({"/data/a.txt"});
    const DropResult copy = DragAndDrop(*list_, data.get(), Qt::MoveAction | Qt::CopyAction);
    QCOMPARE(copy.moveAction, Qt::CopyAction);
    QCOMPARE(copy.action, Qt::CopyAction);
    const DropResult link = DragAndDrop(*list_, data.get(), Qt::MoveAction | Qt::LinkAction);
    QCOMPARE(link.moveAction, Qt::LinkAction);
    QCOMPARE(link.action, Qt::LinkAction);
    const DropResult moveOnly = DragAndDrop(*list_, data.get(), Qt::MoveAction);
    QVERIFY(!moveOnly.dropAccepted);
    QCOMPARE(Texts(*list_), (QStringList{"/data/a.txt", "/data/a.txt"}));
}

void FileDropTest::dropsStayAcceptedAfterAPressOnAnEntry() {
    list_->Append("/data/a.txt");
    QWidget* viewport = list_->viewport();
    const QPoint onEntry = list_->visualItemRect(list_->topLevelItem(0)).center();
    QMouseEvent press(QEvent::MouseButtonPress, onEntry, viewport->mapToGlobal(onEntry), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(viewport, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, onEntry, viewport->mapToGlobal(onEntry), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &release);

    const auto data = FileData({"/data/b.txt"});
    QVERIFY(DragAndDrop(*list_, data.get()).dropAccepted);
    QCOMPARE(Texts(*list_), (QStringList{"/data/a.txt", "/data/b.txt"}));
}

void FileDropTest::dropsAreRefusedDuringARunAndTakenAfterIt() {
    const auto data = FileData({"/data/a.txt", "/data/b.txt"});
    list_->SetRunActive(true);
    QVERIFY(!DragAndDrop(*list_, data.get()).dropAccepted);
    QCOMPARE(list_->Count(), 0);
    list_->SetRunActive(false);
    QVERIFY(DragAndDrop(*list_, data.get()).dropAccepted);
    QCOMPARE(Texts(*list_), (QStringList{"/data/a.txt", "/data/b.txt"}));
}

QTEST_MAIN(FileDropTest)
#include "file_drop_test.moc"
