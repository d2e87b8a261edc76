#include "filelist/add_files.h"
#include "filelist/file_list.h"
#include "ui/main_window.h"
#include "ui/tests/test_support.h"

#include <QDir>
#include <QFile>
#include <QToolButton>

using partwright::MainWindow;
using partwright::PointerKind;
namespace test = partwright::test;

namespace {

// Stands in for the user at the dialogs; counts how often each is shown.
class ScriptedDialogs final : public partwright::AddFilesDialogs {
public:
    ScriptedDialogs(QStringList files, QString folder, int* shown)
        : files_(std::move(files)), folder_(std::move(folder)), shown_(shown) {}
    QStringList ChooseFiles(QWidget*) override {
        ++*shown_;
        return files_;
    }
    QString BrowseForFolder(QWidget*) override {
        ++*shown_;
        return folder_;
    }

private:
    QStringList files_;
    QString folder_;
    int* shown_;
};

QStringList Entries(MainWindow& window) {
    QStringList entries;
    for (int position = 1; position <= window.List().Count(); ++position) entries << window.List().TextAt(position);
    return entries;
}

}  // namespace

class MainWindowAddButtonsTest : public QObject {
    Q_OBJECT
private slots:
    void init() { test::ClearStore(); }

    void addFilesAppendsTheChosenFilesOncePerPress_data() {
        QTest::addColumn<QStringList>("chosen");
        QTest::newRow("two files") << QStringList{"/data/a.txt", "/data/b.txt"};
        QTest::newRow("cancelled") << QStringList{};
    }
    void addFilesAppendsTheChosenFilesOncePerPress() {
        QFETCH(QStringList, chosen);
        MainWindow window;
        int shown = 0;
        window.SetAddFilesDialogs(std::make_unique<ScriptedDialogs>(chosen, QString(), &shown));
        QTest::mouseClick(window.findChild<QToolButton*>("addFilesButton"), Qt::LeftButton);
        QCOMPARE(shown, 1);
        QCOMPARE(Entries(window), chosen);
        QVERIFY(!window.findChild<QToolButton*>("addFilesButton")->isDown());
    }

    void addFolderWalksThePickedFolderAndGivesThePointerBack() {
        QTemporaryDir folder;
        QVERIFY(QDir(folder.path()).mkpath("sub"));
        for (const char* name : {"report.txt", "~notes.txt", "sub/x.txt"}) {
            QFile file(folder.filePath(name));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        MainWindow window;
        int shown = 0;
        window.SetAddFilesDialogs(std::make_unique<ScriptedDialogs>(QStringList{}, folder.path(), &shown));
        QTest::mouseClick(window.findChild<QToolButton*>("addFolderButton"), Qt::LeftButton);
        QCOMPARE(shown, 1);
        QCOMPARE(Entries(window), (QStringList{QDir::toNativeSeparators(folder.filePath("report.txt")),
                                               QDir::toNativeSeparators(folder.filePath("sub/x.txt"))}));
        QCOMPARE(window.Pointer().Kind(), PointerKind::Default);
    }

    void cancelledFolderPickerAddsNothingAndLeavesThePointer() {
        MainWindow window;
        int shown = 0;
        window.SetAddFilesDialogs(std::make_unique<ScriptedDialogs>(QStringList{}, QString(), &shown));
        window.Pointer().Hover(PointerKind::Custom);
        QTest::mouseClick(window.findChild<QToolButton*>("addFolderButton"), Qt::LeftButton);
        QCOMPARE(shown, 1);
        QCOMPARE(window.List().Count(), 0);
        QCOMPARE(window.Pointer().Kind(), PointerKind::Custom);
    }
};

PARTWRIGHT_UI_TEST_MAIN(MainWindowAddButtonsTest)
#include "main_window_add_buttons_test.moc"
