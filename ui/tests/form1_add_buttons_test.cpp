#include "filelist/add_files.h"
#include "filelist/file_list.h"
#include "ui/form1.h"
#include "ui/tests/test_support.h"

#include <QDir>
#include <QFile>
#include <QToolButton>

using partwright::Form1;
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

QStringList Entries(Form1& form) {
    QStringList entries;
    for (int position = 1; position <= form.List().Count(); ++position) entries << form.List().TextAt(position);
    return entries;
}

}  // namespace

class Form1AddButtonsTest : public QObject {
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
        Form1 form;
        int shown = 0;
        form.SetAddFilesDialogs(std::make_unique<ScriptedDialogs>(chosen, QString(), &shown));
        QTest::mouseClick(form.findChild<QToolButton*>("Check1"), Qt::LeftButton);
        QCOMPARE(shown, 1);
        QCOMPARE(Entries(form), chosen);
        QVERIFY(!form.findChild<QToolButton*>("Check1")->isDown());
    }

    void addFolderWalksThePickedFolderAndGivesThePointerBack() {
        QTemporaryDir folder;
        QVERIFY(QDir(folder.path()).mkpath("sub"));
        for (const char* name : {"report.txt", "~notes.txt", "sub/x.txt"}) {
            QFile file(folder.filePath(name));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        Form1 form;
        int shown = 0;
        form.SetAddFilesDialogs(std::make_unique<ScriptedDialogs>(QStringList{}, folder.path(), &shown));
        QTest::mouseClick(form.findChild<QToolButton*>("Check4"), Qt::LeftButton);
        QCOMPARE(shown, 1);
        QCOMPARE(Entries(form), (QStringList{QDir::toNativeSeparators(folder.filePath("report.txt")),
                                             QDir::toNativeSeparators(folder.filePath("sub/x.txt"))}));
        QCOMPARE(form.Pointer().Kind(), PointerKind::Default);
    }

    void cancelledFolderPickerAddsNothingAndLeavesThePointer() {
        Form1 form;
        int shown = 0;
        form.SetAddFilesDialogs(std::make_unique<ScriptedDialogs>(QStringList{}, QString(), &shown));
        form.Pointer().Hover(PointerKind::Custom);
        QTest::mouseClick(form.findChild<QToolButton*>("Check4"), Qt::LeftButton);
        QCOMPARE(shown, 1);
        QCOMPARE(form.List().Count(), 0);
        QCOMPARE(form.Pointer().Kind(), PointerKind::Custom);
    }
};

PARTWRIGHT_UI_TEST_MAIN(Form1AddButtonsTest)
#include "form1_add_buttons_test.moc"
