#include "filelist/add_files.h"
#include "filelist/file_list.h"
#include "filelist/path_join.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using partwright::AddFilesDialogs;
using partwright::FileList;
using partwright::NativeAddFilesDialogs;
using partwright::PathStyle;

Q_DECLARE_METATYPE(partwright::PathStyle)

namespace {

QStringList Texts(const FileList& list) {
    QStringList texts;
    for (int position = 1; position <= list.Count(); ++position) texts << list.PathAt(position);
    return texts;
}

// Stands in for the user at the dialogs: gives back what it was told to.
class FakeDialogs final : public AddFilesDialogs {
public:
    QStringList files;
    QString folder;
    int shown = 0;

    QStringList ChooseFiles(QWidget*) override {
        ++shown;
        return files;
    }
    QString BrowseForFolder(QWidget*) override {
        ++shown;
        return folder;
    }
};

}  // namespace

class AddFilesTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void collapseSeparators_data();
    void collapseSeparators();
    void joinPath_data();
    void joinPath();

    void dialogAppendsChosenFilesInOrder();
    void cancelledDialogAddsNothing();
    void sameFileTwiceGivesTwoEntries();
    void cancelledFolderPickerAddsNothingAndStaysIdle();
    void pickedFolderIsWalkedWhileBusy();
    void dialogsStartInDocumentsOnlyWhereThatFolderIs();
};

void AddFilesTest::collapseSeparators_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<PathStyle>("style");
    QTest::addColumn<QString>("expected");
    const auto win = PathStyle::Windows;
    const auto posix = PathStyle::Posix;
    QTest::newRow("clean windows path") << "C:\\Data\\a.txt" << win << "C:\\Data\\a.txt";
    QTest::newRow("doubled after drive root") << "C:\\\\a.txt" << win << "C:\\a.txt";
    QTest::newRow("doubled in the middle") << "C:\\Data\\\\sub\\\\\\a.txt" << win << "C:\\Data\\sub\\a.txt";
    QTest::newRow("network share keeps its pair") << "\\\\server\\share\\\\a.txt" << win << "\\\\server\\share\\a.txt";
    QTest::newRow("network share, forward") << "//server/share//a.txt" << win << "//server/share/a.txt";
    QTest::newRow("mixed separators") << "C:/Data\\/a.txt" << win << "C:/Data\\a.txt";
    QTest::newRow("posix doubled") << "/home//me///a.txt" << posix << "/home/me/a.txt";
    QTest::newRow("posix leading pair") << "//server/share" << posix << "//server/share";
    QTest::newRow("posix backslashes are name characters") << "/tmp/a\\\\b.txt" << posix << "/tmp/a\\\\b.txt";
    QTest::newRow("single separator") << "/" << posix << "/";
    QTest::newRow("empty") << "" << posix << "";
}

void AddFilesTest::collapseSeparators() {
    QFETCH(QString, path);
    QFETCH(PathStyle, style);
    QFETCH(QString, expected);
    QCOMPARE(partwright::CollapseSeparators(path, style), expected);
}

void AddFilesTest::joinPath_data() {
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("name");
    QTest::addColumn<PathStyle>("style");
    QTest::addColumn<QString>("expected");
    const auto win = PathStyle::Windows;
    const auto posix = PathStyle::Posix;
    QTest::newRow("folder") << "C:/Data"
                            << "a.txt" << win << "C:/Data/a.txt";
    QTest::newRow("drive root") << "C:/"
                                << "a.txt" << win << "C:/a.txt";
    QTest::newRow("drive root, backslash") << "C:\\"
                                           << "a.txt" << win << "C:\\a.txt";
    QTest::newRow("backslashed folder") << "C:\\Data"
                                        << "a.txt" << win << "C:\\Data\\a.txt";
    QTest::newRow("network share") << "\\\\server\\share"
                                   << "a.txt" << win << "\\\\server\\share\\a.txt";
    QTest::newRow("network share root") << "//server/share/"
                                        << "a.txt" << win << "//server/share/a.txt";
    QTest::newRow("posix folder") << "/home/me"
                                  << "a.txt" << posix << "/home/me/a.txt";
    QTest::newRow("posix root") << "/"
                                << "a.txt" << posix << "/a.txt";
    QTest::newRow("posix trailing separator") << "/home/me/"
                                              << "~a.txt" << posix << "/home/me/~a.txt";
}

void AddFilesTest::joinPath() {
    QFETCH(QString, folder);
    QFETCH(QString, name);
    QFETCH(PathStyle, style);
    QFETCH(QString, expected);
    QCOMPARE(partwright::JoinPath(folder, name, style), expected);
}

void AddFilesTest::dialogAppendsChosenFilesInOrder() {
    FileList list;
    list.Append("/before.txt");
    FakeDialogs dialogs;
    dialogs.files = {"/data/z.txt", "/data/a.txt", "/data//m.txt"};
    partwright::AddFilesFromDialog(list, dialogs, nullptr);
    QCOMPARE(dialogs.shown, 1);
    QCOMPARE(Texts(list), (QStringList{"/before.txt", "/data/z.txt", "/data/a.txt", "/data/m.txt"}));
}

void AddFilesTest::cancelledDialogAddsNothing() {
    FileList list;
    list.Append("/before.txt");
    FakeDialogs dialogs;
    partwright::AddFilesFromDialog(list, dialogs, nullptr);
    QCOMPARE(dialogs.shown, 1);
    QCOMPARE(Texts(list), QStringList{"/before.txt"});
}

void AddFilesTest::sameFileTwiceGivesTwoEntries() {
    FileList list;
    FakeDialogs dialogs;
    dialogs.files = {"/data/a.txt"};
    partwright::AddFilesFromDialog(list, dialogs, nullptr);
    partwright::AddFilesFromDialog(list, dialogs, nullptr);
    QCOMPARE(Texts(list), (QStringList{"/data/a.txt", "/data/a.txt"}));
}

void AddFilesTest::cancelledFolderPickerAddsNothingAndStaysIdle() {
    FileList list;
    FakeDialogs dialogs;
    int busyCalls = 0;
    int yields = 0;
    partwright::AddFolderFromPicker(
        list, dialogs, nullptr, [&](bool) { ++busyCalls; }, [&] { ++yields; });
    QCOMPARE(dialogs.shown, 1);
    QCOMPARE(list.Count(), 0);
    QCOMPARE(busyCalls, 0);
    QCOMPARE(yields, 0);
}

void AddFilesTest::pickedFolderIsWalkedWhileBusy() {
    QTemporaryDir temp;
    QVERIFY(temp.isValid());
    QVERIFY(QDir(temp.path()).mkdir("sub"));
    for (const QString& name : {QStringLiteral("a.txt"), QStringLiteral("sub/b.txt")}) {
        QFile file(temp.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    FileList list;
    FakeDialogs dialogs;
    dialogs.folder = temp.path();
    QList<bool> busy;
    int yields = 0;
    int countWhenBusyEnded = -1;
    partwright::AddFolderFromPicker(
        list, dialogs, nullptr,
        [&](bool on) {
            busy << on;
            if (!on) countWhenBusyEnded = list.Count();
        },
        [&] {
            QCOMPARE(busy, QList<bool>{true});
            ++yields;
        });
    QCOMPARE(busy, (QList<bool>{true, false}));
    QVERIFY(yields > 0);
    QCOMPARE(countWhenBusyEnded, 2);
    QCOMPARE(Texts(list), (QStringList{temp.filePath("a.txt"), temp.filePath("sub/b.txt")}));
}

// A Documents folder that is not there would show up in the dialog as a file
// name to open: then the dialogs start in the home folder.
void AddFilesTest::dialogsStartInDocumentsOnlyWhereThatFolderIs() {
#ifdef _WIN32
    QSKIP("Windows finds the home and Documents folders by the user's profile, not $HOME");
#endif
    QTemporaryDir home;
    const QByteArray realHome = qgetenv("HOME");
    qputenv("HOME", QFile::encodeName(home.path()));
    const NativeAddFilesDialogs dialogs;
    const QString withoutDocuments = dialogs.StartFolder();
    QDir(home.path()).mkdir(QStringLiteral("Documents"));
    const QString withDocuments = dialogs.StartFolder();
    qputenv("HOME", realHome);
    QCOMPARE(withoutDocuments, QDir(home.path()).absolutePath());
    QCOMPARE(withDocuments, QDir(home.path()).filePath(QStringLiteral("Documents")));
}

QTEST_MAIN(AddFilesTest)
#include "add_files_test.moc"
