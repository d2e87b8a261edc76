#include "filelist/add_files.h"
#include "filelist/file_list.h"
#include "ui/main_window.h"
#include "ui/tests/main_window_access.h"
#include "ui/tests/test_support.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
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
    for (int position = 1; position <= test::List(window).Count(); ++position)
        entries << test::List(window).PathAt(position);
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

    // A path outside the ANSI code page goes from the dialog through the list
    // to the engine as UTF-16, and the pieces are named and written with it.
    void chosenFileWithANonAnsiPathIsSplitBesideItself() {
        QTemporaryDir temp;
        const QString folder = temp.filePath(QStringLiteral("Zürich-東京"));
        QVERIFY(QDir().mkpath(folder));
        const QString source = QDir::toNativeSeparators(folder + QStringLiteral("/Grüße ✓.txt"));
        {
            QFile file(source);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("1\r\n2\r\n3\r\n4\r\n");
        }
        test::MessageRecorder messages;
        MainWindow window;
        int shown = 0;
        window.SetAddFilesDialogs(std::make_unique<ScriptedDialogs>(QStringList{source}, QString(), &shown));
        QTest::mouseClick(window.findChild<QToolButton*>("addFilesButton"), Qt::LeftButton);
        QCOMPARE(Entries(window), QStringList{source});
        window.findChild<QLineEdit*>("linesPerPieceField")->setText("2");
        QTest::mouseClick(window.findChild<QToolButton*>("splitButton"), Qt::LeftButton);
        QCOMPARE(test::FirstParagraphs(messages.Texts()), QStringList{"Done."});
        const QString first = QStringLiteral("Grüße ✓-0001.txt");
        const QString second = QStringLiteral("Grüße ✓-0002.txt");
        QCOMPARE(QDir(folder).entryList(QDir::Files, QDir::Name),
                 (QStringList{first, second, QStringLiteral("Grüße ✓.txt")}));
        const std::pair<QString, QByteArray> pieces[] = {{first, "1\r\n2\r\n"}, {second, "3\r\n4\r\n"}};
        for (const auto& [name, bytes] : pieces) {
            QFile piece(QDir(folder).filePath(name));
            QVERIFY(piece.open(QIODevice::ReadOnly));
            QCOMPARE(piece.readAll(), bytes);
        }
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
        // The picker gives the folder as the platform writes it ("C:\\..." on Windows).
        window.SetAddFilesDialogs(
            std::make_unique<ScriptedDialogs>(QStringList{}, QDir::toNativeSeparators(folder.path()), &shown));
        QTest::mouseClick(window.findChild<QToolButton*>("addFolderButton"), Qt::LeftButton);
        QCOMPARE(shown, 1);
        QCOMPARE(Entries(window), (QStringList{QDir::toNativeSeparators(folder.filePath("report.txt")),
                                               QDir::toNativeSeparators(folder.filePath("sub/x.txt"))}));
        QCOMPARE(test::Pointer(window).Kind(), PointerKind::Default);
    }

    void cancelledFolderPickerAddsNothingAndLeavesThePointer() {
        MainWindow window;
        int shown = 0;
        window.SetAddFilesDialogs(std::make_unique<ScriptedDialogs>(QStringList{}, QString(), &shown));
        test::Pointer(window).Hover(PointerKind::Custom);
        QTest::mouseClick(window.findChild<QToolButton*>("addFolderButton"), Qt::LeftButton);
        QCOMPARE(shown, 1);
        QCOMPARE(test::List(window).Count(), 0);
        QCOMPARE(test::Pointer(window).Kind(), PointerKind::Custom);
    }
};

PARTWRIGHT_UI_TEST_MAIN(MainWindowAddButtonsTest)
#include "main_window_add_buttons_test.moc"
