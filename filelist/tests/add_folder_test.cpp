#include "filelist/add_folder.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#ifdef Q_OS_UNIX
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif
#ifdef Q_OS_WIN
#include <windows.h>
#endif

using partwright::CollectSubfolders;
using partwright::FolderWalkFiles;
using partwright::ListFolderFiles;

namespace {

const std::function<void()> kNoYield = [] {};

// Makes every folder and (empty) file of `paths` under `root`; a path ending
// in "/" is a folder.
bool MakeTree(const QString& root, const QStringList& paths) {
    if (!QDir().mkpath(root)) return false;
    for (const QString& path : paths) {
        if (path.endsWith(u'/')) {
            if (!QDir(root).mkpath(path)) return false;
            continue;
        }
        if (!QDir(root).mkpath(QFileInfo(path).path())) return false;
        QFile file(QDir(root).filePath(path));
        if (!file.open(QIODevice::WriteOnly)) return false;
    }
    return true;
}

QSet<QString> SetOf(const QStringList& list) { return {list.begin(), list.end()}; }

#ifdef Q_OS_WIN
const wchar_t* Wide(const QString& text) { return reinterpret_cast<const wchar_t*>(text.utf16()); }

// Adds `attributes` to the file or folder; false when the file system does
// not keep them.
bool AddAttributes(const QString& path, DWORD attributes) {
    const QString native = QDir::toNativeSeparators(path);
    const DWORD before = GetFileAttributesW(Wide(native));
    return before != INVALID_FILE_ATTRIBUTES && SetFileAttributesW(Wide(native), before | attributes) &&
           (GetFileAttributesW(Wide(native)) & attributes) == attributes;
}
#endif

#ifdef Q_OS_UNIX
// The folder walk of `picked` as the "nobody" user: folder modes do not stop
// root, so a test of what an unreadable folder does runs the walk in a child
// that has given root up. What the child could not do comes back as a line
// starting with "!".
QStringList FolderWalkFilesWithoutRoot(const QString& picked) {
    int fds[2];
    if (pipe(fds) != 0) return {"!pipe"};
    const pid_t child = fork();
    if (child == 0) {
        close(fds[0]);
        const bool dropped = setgroups(0, nullptr) == 0 && setgid(65534) == 0 && setuid(65534) == 0 && geteuid() != 0;
        const QByteArray listed = dropped ? FolderWalkFiles(picked, kNoYield).join(u'\n').toUtf8()
                                          : QByteArray("!cannot give root up");
        for (qsizetype at = 0; at < listed.size();) {
            const ssize_t wrote = write(fds[1], listed.constData() + at, static_cast<size_t>(listed.size() - at));
            if (wrote <= 0) _exit(1);
            at += wrote;
        }
        _exit(0);
    }
    close(fds[1]);
    QByteArray listed;
    char buffer[4096];
    for (ssize_t got; (got = read(fds[0], buffer, sizeof buffer)) > 0;) listed.append(buffer, got);
    close(fds[0]);
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        return {"!the walk did not finish", QString::fromUtf8(listed)};
    }
    return QString::fromUtf8(listed).split(u'\n', Qt::SkipEmptyParts);
}
#endif

}  // namespace

class AddFolderTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init();
    void cleanup();

    void subfoldersComeLevelByLevelInTheOrderOfTheirParents();
    void withoutRecurseOnlyTheNextLevelIsCollected();
    void tildeFilesAreSkippedButTildeFoldersWalked();
    void hiddenFilesAreTakenHiddenFoldersNotEntered();
    void emptyFolderAddsNothing();
    void pickedRootGetsNoSecondSeparator();
    void linkToAnAncestorEndsTheWalk();
    void linkedFolderIsWalkedOnce();
    void folderGoneDuringTheWalkIsSkipped();
    void unreadableFolderIsSkipped();
    void specialFilesAreNotListed();
    void backslashedPathsAndDriveRootsWalkWithBackslashes();

private:
    [[nodiscard]] QString R() const { return temp_->path() + QStringLiteral("/R"); }
    [[nodiscard]] QString In(const QString& relative) const { return R() + u'/' + relative; }

    std::unique_ptr<QTemporaryDir> temp_;
    QString lockedFolder_;
};

void AddFolderTest::init() {
    temp_ = std::make_unique<QTemporaryDir>();
    QVERIFY(temp_->isValid());
}

void AddFolderTest::cleanup() {
#ifdef Q_OS_UNIX
    if (!lockedFolder_.isEmpty()) chmod(QFile::encodeName(lockedFolder_).constData(), 0755);
#endif
    lockedFolder_.clear();
    temp_.reset();
}

void AddFolderTest::subfoldersComeLevelByLevelInTheOrderOfTheirParents() {
    QVERIFY(MakeTree(R(), {"A/A1/X/", "A/A2/", "B/B1/"}));
    QStringList folders{R()};
    int yields = 0;
    CollectSubfolders(folders, true, [&] { ++yields; });

    QCOMPARE(folders.size(), 7);
    QCOMPARE(folders[0], R());
    // Siblings come in the platform's listing order; levels and parents fix the rest.
    const QStringList level1 = folders.mid(1, 2);
    QCOMPARE(SetOf(level1), (QSet<QString>{In("A"), In("B")}));
    const QStringList ofA{In("A/A1"), In("A/A2")};
    const QStringList ofB{In("B/B1")};
    const bool aFirst = level1[0] == In("A");
    const QStringList level2 = folders.mid(3, 3);
    QCOMPARE(SetOf(level2.mid(0, aFirst ? 2 : 1)), SetOf(aFirst ? ofA : ofB));
    QCOMPARE(SetOf(level2.mid(aFirst ? 2 : 1)), SetOf(aFirst ? ofB : ofA));
    QCOMPARE(folders[6], In("A/A1/X"));
    QVERIFY(yields >= 7);
}

void AddFolderTest::withoutRecurseOnlyTheNextLevelIsCollected() {
    QVERIFY(MakeTree(R(), {"A/A1/", "B/"}));
    QStringList folders{R()};
    CollectSubfolders(folders, false, kNoYield);
    QCOMPARE(folders.size(), 3);
    QCOMPARE(SetOf(folders.mid(1)), (QSet<QString>{In("A"), In("B")}));
}

void AddFolderTest::tildeFilesAreSkippedButTildeFoldersWalked() {
    QVERIFY(MakeTree(R(), {"~notes.txt", "report.txt", "a~b.txt", "~sub/y.txt", "~sub/~z.txt"}));
    const QStringList files = FolderWalkFiles(R(), kNoYield);
    QCOMPARE(SetOf(files.mid(0, 2)), (QSet<QString>{In("report.txt"), In("a~b.txt")}));
    QCOMPARE(files.mid(2), QStringList{In("~sub/y.txt")});
}

void AddFolderTest::hiddenFilesAreTakenHiddenFoldersNotEntered() {
#ifdef Q_OS_UNIX  // a leading dot hides a name only here
    QVERIFY(MakeTree(R(), {".hidden.txt", "shown.txt", ".secret/inside.txt", "sub/.also.txt"}));
    const QStringList files = FolderWalkFiles(R(), kNoYield);
    QCOMPARE(SetOf(files), (QSet<QString>{In(".hidden.txt"), In("shown.txt"), In("sub/.also.txt")}));
    QCOMPARE(files.size(), 3);
#elif defined(Q_OS_WIN)
    QVERIFY(MakeTree(R(), {"hidden.txt", "system.txt", "shown.txt", "hidden/inside.txt", "system/inside.txt",
                           "sub/also.txt"}));
    if (!AddAttributes(In("hidden.txt"), FILE_ATTRIBUTE_HIDDEN)) QSKIP("this file system keeps no attributes");
    QVERIFY(AddAttributes(In("system.txt"), FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_HIDDEN));
    QVERIFY(AddAttributes(In("hidden"), FILE_ATTRIBUTE_HIDDEN));
    QVERIFY(AddAttributes(In("system"), FILE_ATTRIBUTE_SYSTEM));
    QVERIFY(AddAttributes(In("sub/also.txt"), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
    const QStringList files = FolderWalkFiles(R(), kNoYield);
    QCOMPARE(SetOf(files.mid(0, 3)), (QSet<QString>{In("hidden.txt"), In("system.txt"), In("shown.txt")}));
    QCOMPARE(files.mid(3), QStringList{In("sub/also.txt")});
#else
    QSKIP("no way to hide a name here");
#endif
}

void AddFolderTest::emptyFolderAddsNothing() {
    QVERIFY(MakeTree(R(), {"empty/", "also/empty/"}));
    QVERIFY(FolderWalkFiles(In("empty"), kNoYield).isEmpty());
    QVERIFY(FolderWalkFiles(R(), kNoYield).isEmpty());
}

void AddFolderTest::pickedRootGetsNoSecondSeparator() {
    QVERIFY(MakeTree(R(), {"a.txt", "sub/b.txt"}));
    const QStringList files = FolderWalkFiles(R() + u'/', kNoYield);
    QCOMPARE(files, (QStringList{In("a.txt"), In("sub/b.txt")}));
}

void AddFolderTest::linkToAnAncestorEndsTheWalk() {
#ifdef Q_OS_UNIX
    QVERIFY(MakeTree(R(), {"a.txt", "A/b.txt", "A/A1/c.txt"}));
    QVERIFY(QFile::link(R(), In("A/A1/up")));
    QVERIFY(QFile::link(In("A"), In("A/self")));
    const QStringList files = FolderWalkFiles(R(), kNoYield);
    QCOMPARE(files, (QStringList{In("a.txt"), In("A/b.txt"), In("A/A1/c.txt")}));
#else
    QSKIP("symbolic links, FIFOs and modes are POSIX matters");
#endif
}

void AddFolderTest::linkedFolderIsWalkedOnce() {
#ifdef Q_OS_UNIX
    QVERIFY(MakeTree(R(), {"A/deep/d.txt", "B/"}));
    QVERIFY(QFile::link(In("A/deep"), In("B/shortcut")));
    const QStringList files = FolderWalkFiles(R(), kNoYield);
    QCOMPARE(files.size(), 1);
    QVERIFY(files[0] == In("A/deep/d.txt") || files[0] == In("B/shortcut/d.txt"));
#else
    QSKIP("symbolic links, FIFOs and modes are POSIX matters");
#endif
}

void AddFolderTest::folderGoneDuringTheWalkIsSkipped() {
    // Fails to list even for root: the folder vanishes while the window yields.
    QVERIFY(MakeTree(R(), {"r.txt", "gone/g.txt", "gone/deeper/h.txt", "kept/k.txt", "kept/more/m.txt"}));
    bool removed = false;
    const QStringList files = FolderWalkFiles(R(), [&] {
        if (!removed) removed = QDir(In("gone")).removeRecursively();
    });
    QVERIFY(removed);
    QCOMPARE(files, (QStringList{In("r.txt"), In("kept/k.txt"), In("kept/more/m.txt")}));
}

void AddFolderTest::unreadableFolderIsSkipped() {
#ifdef Q_OS_UNIX
    QVERIFY(MakeTree(R(), {"r.txt", "locked/l.txt", "locked/inner/i.txt", "open/o.txt"}));
    lockedFolder_ = In("locked");
    QCOMPARE(chmod(QFile::encodeName(lockedFolder_).constData(), 0), 0);
    // As root (as in CI), the walk runs as "nobody", who needs a way in to the tree.
    const bool root = geteuid() == 0;
    if (root) QCOMPARE(chmod(QFile::encodeName(temp_->path()).constData(), 0755), 0);
    const QStringList files = root ? FolderWalkFilesWithoutRoot(R()) : FolderWalkFiles(R(), kNoYield);
    QCOMPARE(files, (QStringList{In("r.txt"), In("open/o.txt")}));
#else
    QSKIP("symbolic links, FIFOs and modes are POSIX matters");
#endif
}

void AddFolderTest::specialFilesAreNotListed() {
#ifdef Q_OS_UNIX
    QVERIFY(MakeTree(R(), {"plain.txt"}));
    QCOMPARE(mkfifo(QFile::encodeName(In("pipe")).constData(), 0644), 0);
    QVERIFY(QFile::link(In("nowhere"), In("dangling")));
    QVERIFY(QFile::link(In("plain.txt"), In("linked.txt")));
    QCOMPARE(SetOf(ListFolderFiles(R())), (QSet<QString>{"plain.txt", "linked.txt"}));
#else
    QSKIP("symbolic links, FIFOs and modes are POSIX matters");
#endif
}

void AddFolderTest::backslashedPathsAndDriveRootsWalkWithBackslashes() {
#ifdef Q_OS_WIN
    QVERIFY(MakeTree(R(), {"a.txt", "sub/b.txt", "sub/deeper/c.txt"}));
    const auto native = [](const QString& path) { return QDir::toNativeSeparators(path); };
    QCOMPARE(FolderWalkFiles(native(In("sub")), kNoYield),
             (QStringList{native(In("sub/b.txt")), native(In("sub/deeper/c.txt"))}));

    // The system drive's root: its folders come with the root's one separator.
    wchar_t windowsFolder[MAX_PATH] = {};
    QVERIFY(GetWindowsDirectoryW(windowsFolder, MAX_PATH) > 3);
    const QString windows = QString::fromWCharArray(windowsFolder);
    const QString root = windows.left(3);  // "C:\\"
    QStringList folders{root};
    CollectSubfolders(folders, false, kNoYield);
    QVERIFY(folders.contains(windows, Qt::CaseInsensitive));
    for (const QString& folder : folders.mid(1)) {
        QVERIFY2(folder.startsWith(root) && !folder.mid(3).contains(u'\\') && !folder.contains(u'/'),
                 qPrintable(folder));
        QVERIFY2(QFileInfo(folder).isDir(), qPrintable(folder));
    }
#else
    QSKIP("\\ separates folders only on Windows");
#endif
}

QTEST_MAIN(AddFolderTest)
#include "add_folder_test.moc"
