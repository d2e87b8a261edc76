// The window's run controls, each driven through the real window: the
// Options dialog and what a run does with its choices, the preview, Cancel
// during a run, the end report, Delete and Clear List, and the keyboard.
#include "filelist/add_files.h"
#include "filelist/file_list.h"
#include "ui/main_window.h"
#include "ui/options_dialog.h"
#include "ui/preview_dialog.h"
#include "ui/run_progress.h"
#include "ui/settings_store.h"
#include "ui/tests/main_window_access.h"
#include "ui/tests/test_support.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTimer>
#include <QToolButton>

using partwright::MainWindow;
namespace test = partwright::test;
using partwright::test::ReadFile;
using partwright::test::WriteFile;
namespace keys = partwright::settings_keys;

namespace {

template <class T>
T* Child(QObject& parent, const char* name) {
    auto* child = parent.findChild<T*>(QString::fromLatin1(name));
    if (!child) qWarning("no %s", name);
    return child;
}

// Runs `act` once the window has opened a dialog of kind T, from inside the
// window's own event processing (the dialog's loop, or the run's yields).
template <class T>
void WhenOpen(MainWindow& window, std::function<bool(T&)> act) {
    auto* timer = new QTimer(&window);
    timer->setInterval(1);
    QObject::connect(timer, &QTimer::timeout, &window, [&window, timer, act] {
        T* dialog = window.findChild<T*>();
        if (dialog && dialog->isVisible() && act(*dialog)) timer->deleteLater();
    });
    timer->start();
}

class CountingDialogs final : public partwright::AddFilesDialogs {
public:
    explicit CountingDialogs(int* shown) : shown_(shown) {}
    QStringList ChooseFiles(QWidget*) override { return ++*shown_, QStringList(); }
    QString BrowseForFolder(QWidget*) override { return ++*shown_, QString(); }

private:
    int* shown_;
};

}  // namespace

class MainWindowRunControlTest : public QObject {
    Q_OBJECT
private slots:
    void init() { test::ClearStore(); }

    void optionsAreStoredUnderTheirKeysAndTheRunFollowsThem() {
        QTemporaryDir sources;
        QTemporaryDir out;
        const QString source = sources.filePath("data.txt");
        WriteFile(source, "head\n1\n2\n3\n4\n5\n");
        WriteFile(out.filePath("data-0002.txt"), "older");
        test::MessageRecorder messages;
        MainWindow window;
        const QStringList keysBefore = test::StoredKeys();

        auto* summary = Child<QLabel>(window, "choicesSummary");
        QVERIFY(summary->isHidden());  // nothing differs from a new user's choices
        Child<QAction>(window, "optionsAction")->trigger();
        auto* dialog = window.findChild<partwright::OptionsDialog*>();
        QVERIFY(dialog && dialog->isVisible());
        // Options opens once, and keeps the window's keys and clicks for itself.
        Child<QAction>(window, "optionsAction")->trigger();
        QCOMPARE(window.findChildren<partwright::OptionsDialog*>().size(), 1);
        auto* linesPerPiece = Child<QLineEdit>(window, "linesPerPieceField");
        QTest::keyClicks(linesPerPiece, "9");
        QCOMPARE(linesPerPiece->text(), "3");
        // A fresh store shows the defaults.
        QCOMPARE(Child<QComboBox>(*dialog, "codePageChoice")->currentData().toString(), "auto");
        QVERIFY(Child<QRadioButton>(*dialog, "wholeSourcesOption")->isChecked());
        QVERIFY(Child<QRadioButton>(*dialog, "besideSourcesOption")->isChecked());
        QCOMPARE(Child<QSpinBox>(*dialog, "headerLinesField")->value(), 0);

        auto* lineEnd = Child<QComboBox>(*dialog, "lineEndChoice");
        lineEnd->setCurrentIndex(lineEnd->findData("lf"));
        Child<QRadioButton>(*dialog, "blocksOption")->setChecked(true);
        Child<QRadioButton>(*dialog, "intoFolderOption")->setChecked(true);
        Child<QLineEdit>(*dialog, "outputFolderField")->setText(out.path());
        Child<QSpinBox>(*dialog, "headerLinesField")->setValue(1);
        // A folder that is not there keeps the dialog open and stores nothing.
        Child<QLineEdit>(*dialog, "outputFolderField")->setText(out.filePath("missing"));
        dialog->accept();
        QVERIFY(dialog->isVisible());
        QVERIFY(Child<QLabel>(*dialog, "optionsProblem")->text().contains("missing"));
        QCOMPARE(test::StoredKeys(), keysBefore);
        Child<QLineEdit>(*dialog, "outputFolderField")->setText(out.path());
        dialog->accept();
        QVERIFY(!dialog->isVisible());

        const QMap<QString, QString> expected = {{keys::kLineEnd, "lf"},
                                                 {keys::kCodePage, "auto"},
                                                 {keys::kWholeSources, "0"},
                                                 {keys::kOutputFolder, out.path()},
                                                 {keys::kHeaderLines, "1"}};
        for (auto it = expected.begin(); it != expected.end(); ++it)
            QCOMPARE(test::StoredValue(it.key()), std::optional<QString>(it.value()));
        // What changes the result shows in the window, in one line under the frames.
        QVERIFY(!summary->isHidden());
        QCOMPARE(summary->accessibleName(),
                 QStringLiteral("Into %1 \u00b7 header 1 line \u00b7 LF \u00b7 blocks of 30000 bytes").arg(out.path()));

        // The run cuts LF lines, repeats the header and writes into the chosen folder.
        test::List(window).Append(source);
        Child<QLineEdit>(window, "linesPerPieceField")->setText("2");
        Child<QToolButton>(window, "splitButton")->click();
        QCOMPARE(ReadFile(out.filePath("data-0001.txt")), "head\n1\n2\n");
        QCOMPARE(ReadFile(out.filePath("data-0002.txt")), "head\n3\n4\n");
        QCOMPARE(ReadFile(out.filePath("data-0003.txt")), "head\n5\n");
        QCOMPARE(QDir(sources.path()).entryList(QDir::Files), QStringList{"data.txt"});

        // Asked once, before anything was written, about the file it replaces.
        QCOMPARE(messages.Questions(),
                 QStringList{"1 existing file would be replaced by a piece of the same name.\n\nReplace it?"});
        // The end report says what happened and where.
        QCOMPARE(messages.Texts().size(), 1);
        const QStringList paragraphs = messages.Texts().first().split("\n\n");
        QCOMPARE(paragraphs.first(), "Done.");
        QCOMPARE(paragraphs.last(), QStringLiteral("3 pieces written from 1 source, into %1\n"
                                                   "1 existing file was replaced.")
                                        .arg(QDir::toNativeSeparators(out.path())));
    }

    // The size is a way to cut like the three others: it cuts only while its
    // option is selected, and a size left in the store from before never
    // overrides the option the window shows.
    void theSizeCutsOnlyWhenItsOptionIsSelected() {
        QTemporaryDir folder;
        const QString source = folder.filePath("s.txt");
        WriteFile(source, "aaaa\nbbbb\ncccc\ndddd\n");
        test::StoreValue(keys::kMaxPieceSize, "10");
        test::StoreValue(keys::kSplitOption, "1");
        test::StoreValue(keys::kLineEnd, "lf");
        test::MessageRecorder messages;
        MainWindow window;
        auto* sizeOption = Child<QRadioButton>(window, "sizeOption");
        QVERIFY(sizeOption);
        QVERIFY(Child<QRadioButton>(window, "linesOption")->isChecked());
        QCOMPARE(Child<QLineEdit>(window, "pieceSizeField")->text(), "10");
        window.AddSources({source});
        Child<QLineEdit>(window, "linesPerPieceField")->setText("3");
        Child<QToolButton>(window, "splitButton")->click();
        QCOMPARE(ReadFile(folder.filePath("s-0001.txt")), "aaaa\nbbbb\ncccc\n");
        QCOMPARE(ReadFile(folder.filePath("s-0002.txt")), "dddd\n");

        sizeOption->click();
        QCOMPARE(test::StoredValue(keys::kSplitOption), "4");
        Child<QToolButton>(window, "splitButton")->click();
        // Ten bytes hold two lines with their line ends.
        QCOMPARE(ReadFile(folder.filePath("s-0001.txt")), "aaaa\nbbbb\n");
        QCOMPARE(ReadFile(folder.filePath("s-0002.txt")), "cccc\ndddd\n");
        QCOMPARE(messages.Texts().size(), 2);
    }

    // Before anything is written: a folder that cannot take the pieces is
    // named in one box, and files the pieces would replace are counted and
    // asked about once; "no" writes nothing.
    void splitChecksTheFoldersAndAsksBeforeReplacing() {
        QTemporaryDir folder;
        const QString source = folder.filePath("s.txt");
        WriteFile(source, "1\r\n2\r\n3\r\n");
        WriteFile(folder.filePath("s-0002.txt"), "older");
        WriteFile(folder.filePath("s-0003.txt"), "older");
        WriteFile(folder.filePath("unrelated.txt"), "other");
        test::MessageRecorder messages;
        MainWindow window;
        window.AddSources({source});
        Child<QLineEdit>(window, "linesPerPieceField")->setText("1");
        messages.Answer(false);
        Child<QToolButton>(window, "splitButton")->click();
        QCOMPARE(messages.Questions(),
                 QStringList{"2 existing files would be replaced by pieces of the same names.\n\nReplace them?"});
        QCOMPARE(messages.Texts(), QStringList());
        QCOMPARE(ReadFile(folder.filePath("s-0002.txt")), "older");
        QVERIFY(!QFile::exists(folder.filePath("s-0001.txt")));

#ifdef Q_OS_LINUX
        // A folder no one can write in, whoever runs the test.
        test::StoreValue(keys::kOutputFolder, "/proc");
        Child<QToolButton>(window, "splitButton")->click();
        QCOMPARE(messages.Texts().size(), 1);
        QVERIFY2(messages.Texts().first().startsWith("The pieces cannot be written, so nothing was split:\n/proc: "),
                 qPrintable(messages.Texts().first()));
        QCOMPARE(messages.Questions().size(), 1);
#endif
    }

    void previewShowsThePlanWritesNothingAndCanBeCancelled() {
        QTemporaryDir folder;
        const QString source = folder.filePath("a.txt");
        WriteFile(source, "1\r\n2\r\n3\r\n4");
        WriteFile(folder.filePath("a-0002.txt"), "older");
        MainWindow window;
        test::List(window).Append(source);
        test::List(window).Append(source);  // the same names again: every one collides
        Child<QLineEdit>(window, "linesPerPieceField")->setText("1");

        partwright::PreviewDialog::Totals totals;
        QStringList rows;
        bool addWasRefused = false;
        int shown = 0;
        window.SetAddFilesDialogs(std::make_unique<CountingDialogs>(&shown));
        WhenOpen<partwright::PreviewDialog>(window, [&](partwright::PreviewDialog& preview) {
            if (!preview.Summary().complete) return false;
            totals = preview.Summary();
            auto* list = Child<QTreeWidget>(preview, "previewList");
            for (int i = 0; i < list->topLevelItem(0)->childCount(); ++i)
                rows << list->topLevelItem(0)->child(i)->text(0) + " | " + list->topLevelItem(0)->child(i)->text(1) +
                            " | " + list->topLevelItem(0)->child(i)->text(2);
            // The list is held while the preview is up.
            Child<QToolButton>(window, "addFilesButton")->click();
            addWasRefused = shown == 0;
            preview.reject();
            return true;
        });
        Child<QAction>(window, "previewAction")->trigger();
        QCOMPARE(totals.pieces, 8u);
        QCOMPARE(totals.replacing, 1u);
        QCOMPARE(totals.colliding, 4u);
        QCOMPARE(rows, (QStringList{"a-0001.txt | 3 bytes | ", "a-0002.txt | 3 bytes | replaces an existing file",
                                    "a-0003.txt | 3 bytes | ", "a-0004.txt | 1 byte | "}));
        QCOMPARE(totals.bytes, 20u);
        QVERIFY(addWasRefused);
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files), (QStringList{"a-0002.txt", "a.txt"}));
        QCOMPARE(ReadFile(folder.filePath("a-0002.txt")), "older");
        QVERIFY(Child<QAction>(window, "previewAction")->isEnabled());

        // Cancel while planning stops it where it is.
        QByteArray many;
        for (int i = 0; i < 200000; ++i) many += "x\r\n";
        WriteFile(source, many);
        WhenOpen<partwright::PreviewDialog>(window, [&](partwright::PreviewDialog& preview) {
            if (preview.Summary().pieces == 0) return false;
            preview.reject();  // Cancel, or Esc
            totals = preview.Summary();
            QTimer::singleShot(0, &preview, [&preview] { preview.reject(); });  // then Close
            return true;
        });
        Child<QAction>(window, "previewAction")->trigger();
        QVERIFY(!totals.complete);
        QVERIFY2(totals.pieces < 200000, qPrintable(QString::number(totals.pieces)));
    }

    void escapeStopsARunAtAPieceAndTheReportSaysSo() {
        QTemporaryDir folder;
        const QString source = folder.filePath("s.txt");
        QByteArray lines;
        constexpr int kLines = 100000;
        for (int i = 1; i <= kLines; ++i) lines += QByteArray::number(i) + "\r\n";
        WriteFile(source, lines);
        test::MessageRecorder messages;
        MainWindow window;
        int shown = 0;
        window.SetAddFilesDialogs(std::make_unique<CountingDialogs>(&shown));
        test::List(window).Append(source);
        Child<QLineEdit>(window, "linesPerPieceField")->setText("1");
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));

        QString sourceLine;
        QString piecesLine;
        WhenOpen<partwright::RunProgressDialog>(window, [&](partwright::RunProgressDialog& progress) {
            piecesLine = Child<QLabel>(progress, "progressPieces")->text();
            if (!piecesLine.endsWith("pieces written") || piecesLine.startsWith("0 ")) return false;
            sourceLine = Child<QLabel>(progress, "progressSource")->text();
            // Adding files is refused during the run: no dialog opens.
            Child<QToolButton>(window, "addFilesButton")->click();
            // Esc where the user is: the progress dialog, or the window.
            QWidget* active = QApplication::activeWindow();
            QTest::keyClick(active ? active : &window, Qt::Key_Escape);
            return true;
        });
        Child<QToolButton>(window, "splitButton")->click();

        QCOMPARE(sourceLine, QStringLiteral("File 1 of 1: %1").arg(QDir::toNativeSeparators(source)));
        QCOMPARE(shown, 0);
        QStringList pieces = QDir(folder.path()).entryList({"s-*.txt"}, QDir::Files, QDir::Name);
        QVERIFY2(!pieces.isEmpty() && pieces.size() < kLines, qPrintable(QString::number(pieces.size())));
        // Only whole pieces, numbered without a gap (past 9999 the names sort out of number order).
        QStringList expected;
        for (int i = 1; i <= pieces.size(); ++i) {
            expected << QStringLiteral("s-%1.txt").arg(i, 4, 10, QLatin1Char('0'));
            QCOMPARE(ReadFile(folder.filePath(expected.back())), QByteArray::number(i) + "\r\n");
        }
        expected.sort();
        pieces.sort();
        QCOMPARE(pieces, expected);
        QCOMPARE(messages.Texts().size(), 1);
        QCOMPARE(messages.Texts().first(),
                 QStringLiteral("Stopped before the end, as asked: only whole pieces were kept.\n\n"
                                "%1 pieces written from 1 source, into %2")
                     .arg(QLocale().toString(pieces.size()), QDir::toNativeSeparators(folder.path())));
        QVERIFY(!test::IsRunning(window));
        QVERIFY(!window.findChild<partwright::RunProgressDialog*>());
    }

    void deleteAndClearListRemoveEntriesExceptDuringARun() {
        MainWindow window;
        for (const char* path : {"/a", "/b", "/c", "/d", "/e"}) test::List(window).Append(path);
        auto& list = test::List(window);
        const auto select = [&list](int row) {
            list.selectionModel()->select(list.model()->index(row, 0), QItemSelectionModel::Select);
        };
        select(1);
        select(3);
        QTest::keyClick(&list, Qt::Key_Delete);
        QStringList left;
        for (int i = 1; i <= list.Count(); ++i) left << list.PathAt(i);
        QCOMPARE(left, (QStringList{"/a", "/c", "/e"}));
        QVERIFY(list.toolTip().contains("Delete removes the selected items; Clear List empties the list."));

        list.SetRunActive(true);
        select(0);
        QTest::keyClick(&list, Qt::Key_Delete);
        list.RemoveAllEntries();
        QCOMPARE(list.Count(), 3);
        list.SetRunActive(false);
        Child<QAction>(window, "clearListAction")->trigger();
        QCOMPARE(list.Count(), 0);
    }

    void enterPressesTheFocusedButtonAndScreenReadersHearSentences() {
        MainWindow window;
        int shown = 0;
        window.SetAddFilesDialogs(std::make_unique<CountingDialogs>(&shown));
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        auto* addFiles = Child<QToolButton>(window, "addFilesButton");
        addFiles->setFocus(Qt::TabFocusReason);
        QTest::keyClick(addFiles, Qt::Key_Return);
        QCOMPARE(shown, 1);
        Child<QToolButton>(window, "addFolderButton")->setFocus(Qt::TabFocusReason);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Enter);
        QCOMPARE(shown, 2);

        // Every control a screen reader reaches has a name that reads as words.
        for (QWidget* widget : window.findChildren<QWidget*>()) {
            const bool reached = (widget->focusPolicy() & Qt::TabFocus) || widget->objectName() == "runProgress";
            if (!reached || widget->inherits("QScrollBar") || widget->parentWidget()->inherits("QAbstractScrollArea"))
                continue;
            const QString name = widget->accessibleName().isEmpty() ? widget->property("text").toString()
                                                                    : widget->accessibleName();
            QVERIFY2(!name.isEmpty(), qPrintable(widget->objectName()));
            QVERIFY2(!name.contains("[Text"), qPrintable(name));
            QVERIFY2(name != "Partwright", qPrintable(widget->objectName()));
        }
        QCOMPARE(Child<QWidget>(window, "prefixOption")->accessibleName(),
                 "Save filename with characters and these counting numbers");
    }
};

PARTWRIGHT_UI_TEST_MAIN(MainWindowRunControlTest)
#include "main_window_run_control_test.moc"
