#include "ui/window_run.h"
#include "filelist/file_list.h"
#include "partwright/failure.h"
#include "ui/main_window.h"
#include "ui/tests/main_window_access.h"
#include "ui/tests/test_support.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>

#include <filesystem>

using partwright::MainWindow;
using partwright::PointerKind;
namespace test = partwright::test;
using partwright::test::ReadFile;
using partwright::test::WriteFile;

namespace {

QStringList FilesIn(const QString& folder) {
    QStringList names = QDir(folder).entryList(QDir::Files);
    names.sort();
    return names;
}

template <typename T>
T* Control(MainWindow& window, const char* name) {
    auto* control = window.findChild<T*>(name);
    if (!control) qFatal("no control %s", name);
    return control;
}

void PressSplit(MainWindow& window) { QTest::mouseClick(Control<QToolButton>(window, "splitButton"), Qt::LeftButton); }

// Runs `action` at the run's first yield: a zero timer fires inside processEvents.
void AtFirstYield(std::function<void()> action) { QTimer::singleShot(0, std::move(action)); }

partwright::OptionControls ControlsOf(MainWindow& window) {
    return {.linesOption = Control<QRadioButton>(window, "linesOption"),
            .separatorOption = Control<QRadioButton>(window, "separatorOption"),
            .blankLinesOption = Control<QRadioButton>(window, "blankLinesOption"),
            .firstCharactersOption = Control<QRadioButton>(window, "firstCharactersOption"),
            .numberedOption = Control<QRadioButton>(window, "numberedOption"),
            .prefixOption = Control<QRadioButton>(window, "prefixOption"),
            .linesPerPieceField = Control<QLineEdit>(window, "linesPerPieceField"),
            .separatorField = Control<QLineEdit>(window, "separatorField"),
            .nameLengthField = Control<QLineEdit>(window, "nameLengthField"),
            .prefixField = Control<QLineEdit>(window, "prefixField"),
            .firstNumberField = Control<QLineEdit>(window, "firstNumberField"),
            .templateOption = Control<QRadioButton>(window, "templateOption"),
            .templateField = Control<QLineEdit>(window, "templateField")};
}

class OneSource final : public partwright::SourceList {
public:
    explicit OneSource(std::filesystem::path path) : path_(std::move(path)) {}
    int Count() const override { return 1; }
    std::filesystem::path At(int /*position*/) const override { return path_; }

private:
    std::filesystem::path path_;
};

// What a dry run of `source` plans, step by step: piece names and sizes, notices, failures.
QStringList PlanOf(const partwright::SplitSettings& settings, const std::filesystem::path& source) {
    struct Recorder final : partwright::RunHost {
        QStringList steps;
        void ShowNotice(partwright::Notice, const std::filesystem::path& /*source*/) override { steps << "notice"; }
        void PlannedPiece(const std::filesystem::path& target) override {
            steps << QString::fromStdU16String(target.filename().u16string());
        }
        void PlannedPieceSize(const std::filesystem::path& /*target*/, std::uint64_t bytes) override {
            steps << QString::number(bytes);
        }
    } host;
    partwright::RunOptions options;
    options.dryRun = true;
    const partwright::RunReport report = partwright::SplitRun(OneSource(source), settings, host, options);
    for (const partwright::Failure& failure : report.failures)
        host.steps << QString::fromStdString(partwright::Describe(failure));
    return host.steps;
}

}  // namespace

class WindowRunTest : public QObject {
    Q_OBJECT
private slots:
    void init() { test::ClearStore(); }

    // Options' "Write pieces as" and "End every piece with a line end", as
    // stored, decide the bytes of the pieces; nothing stored gives valid
    // UTF-8 pieces that join back into the source.
    void storedOutputChoicesGiveThePiecesBytes_data() {
        QTest::addColumn<QString>("encoding");
        QTest::addColumn<QString>("finalLineEnd");
        QTest::addColumn<QByteArray>("first");
        QTest::addColumn<QByteArray>("second");
        QTest::addColumn<QString>("summary");  // the line under the frames
        const QByteArray emoji("\xF0\x9F\x98\x80", 4);
        QTest::newRow("nothing stored") << QString() << QString() << QByteArray("a\r\n") << emoji + "\r\n" << QString();
        QTest::newRow("utf-8-bom") << "utf-8-bom"
                                   << "1"
                                   << QByteArray(
                                          "\xEF\xBB\xBF"
                                          "a\r\n")
                                   << "\xEF\xBB\xBF" + emoji + "\r\n"
                                   << "UTF-8 with byte-order mark";
        QTest::newRow("utf-16le, no final line end")
            << "utf-16le"
            << "0"
            << QByteArray(
                   "\xFF\xFE"
                   "a\0",
                   4)
            << QByteArray("\xFF\xFE\x3D\xD8\x00\xDE", 6) << "UTF-16 \u00b7 no line end after the last line";
        QTest::newRow("cesu-8, no final line end")
            << "cesu-8"
            << "0" << QByteArray("a") << QByteArray("\xED\xA0\xBD\xED\xB8\x80")
            << "as the first release (CESU-8) \u00b7 no line end after the last line";
    }
    void storedOutputChoicesGiveThePiecesBytes() {
        QFETCH(QString, encoding);
        QFETCH(QString, finalLineEnd);
        QFETCH(QByteArray, first);
        QFETCH(QByteArray, second);
        QFETCH(QString, summary);
        if (!encoding.isEmpty()) test::StoreValue("Output Encoding", encoding);
        if (!finalLineEnd.isEmpty()) test::StoreValue("Final Line End", finalLineEnd);
        QTemporaryDir folder;
        WriteFile(folder.filePath("a.txt"), QByteArray("a\r\n\xF0\x9F\x98\x80\r\n"));
        test::MessageRecorder messages;
        MainWindow window;
        QCOMPARE(Control<QLabel>(window, "choicesSummary")->accessibleName(), summary);
        test::List(window).Append(folder.filePath("a.txt"));
        Control<QRadioButton>(window, "numberedOption")->setChecked(true);
        Control<QLineEdit>(window, "linesPerPieceField")->setText("1");
        PressSplit(window);
        QCOMPARE(test::FirstParagraphs(messages.Texts()), QStringList{"Done."});
        QCOMPARE(ReadFile(folder.filePath("a-0001.txt")), first);
        QCOMPARE(ReadFile(folder.filePath("a-0002.txt")), second);
    }

    void emptyListSaysNoFilesAddedAndLeavesThePointer() {
        test::MessageRecorder messages;
        MainWindow window;
        test::Pointer(window).Hover(PointerKind::Custom);
        PressSplit(window);
        QCOMPARE(messages.Texts(), QStringList{"No files added."});
        QCOMPARE(test::Pointer(window).Kind(), PointerKind::Custom);
    }

    void onePressRunsOnceAndTheButtonSpringsBack() {
        QTemporaryDir folder;
        WriteFile(folder.filePath("a.txt"), "1\r\n2\r\n3\r\n4\r\n");
        test::MessageRecorder messages;
        MainWindow window;
        test::List(window).Append(folder.filePath("a.txt"));
        Control<QLineEdit>(window, "linesPerPieceField")->setText("2");
        PressSplit(window);
        QCOMPARE(test::FirstParagraphs(messages.Texts()), QStringList{"Done."});
        auto* splitButton = Control<QToolButton>(window, "splitButton");
        QVERIFY(!splitButton->isDown());
        QVERIFY(!splitButton->isChecked());
        QVERIFY(!test::IsRunning(window));
        QCOMPARE(test::Pointer(window).Kind(), PointerKind::Default);
        QCOMPARE(FilesIn(folder.path()), (QStringList{"a-0001.txt", "a-0002.txt", "a.txt"}));
    }

    // Every field the selected options use is checked before the run: one box
    // naming the field, the focus in it, nothing written; a field the options
    // do not use is not checked.
    void badFieldStopsTheRunBeforeItStarts_data() {
        QTest::addColumn<QString>("splitOption");
        QTest::addColumn<QString>("saveOption");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("box");  // "" when the run goes ahead
        const QString lines = QStringLiteral("Lines per piece: \"%1\" is not a whole number of at least 1.");
        const QString notice = QStringLiteral("Every x number of lines, where x can only be a number.");
        const QString prefix = QStringLiteral("Name prefix: \"%1\" cannot begin a file name: %2.");
        QTest::newRow("lines 0") << "linesOption"
                                 << "numberedOption"
                                 << "linesPerPieceField"
                                 << "0" << lines.arg("0");
        QTest::newRow("lines -1") << "linesOption"
                                  << "numberedOption"
                                  << "linesPerPieceField"
                                  << "-1" << lines.arg("-1");
        QTest::newRow("lines 0.4") << "linesOption"
                                   << "numberedOption"
                                   << "linesPerPieceField"
                                   << "0.4" << lines.arg("0.4");
        QTest::newRow("lines abc") << "linesOption"
                                   << "numberedOption"
                                   << "linesPerPieceField"
                                   << "abc" << notice;
        QTest::newRow("lines empty") << "linesOption"
                                     << "numberedOption"
                                     << "linesPerPieceField"
                                     << "" << notice;
        QTest::newRow("lines 0, separator mode") << "separatorOption"
                                                 << "numberedOption"
                                                 << "linesPerPieceField"
                                                 << "0"
                                                 << "";
        QTest::newRow("name length -1")
            << "linesOption"
            << "firstCharactersOption"
            << "nameLengthField"
            << "-1"
            << "Name length in characters: \"-1\" is not a whole number from 0 to 2147483647.";
        QTest::newRow("name length abc") << "linesOption"
                                         << "firstCharactersOption"
                                         << "nameLengthField"
                                         << "abc"
                                         << "Name length in characters: \"abc\" is not a number.";
        QTest::newRow("name length 3e9") << "linesOption"
                                         << "firstCharactersOption"
                                         << "nameLengthField"
                                         << "3e9"
                                         << "Name length in characters: \"3e9\" is not a whole number from 0 to "
                                            "2147483647.";
        QTest::newRow("first number 40000")
            << "linesOption"
            << "prefixOption"
            << "firstNumberField"
            << "40000"
            << "First counting number: \"40000\" is not a whole number from -32768 to 32767.";
        QTest::newRow("first number 7a, numbered") << "linesOption"
                                                   << "numberedOption"
                                                   << "firstNumberField"
                                                   << "7a"
                                                   << "";
        QTest::newRow("prefix ../esc") << "linesOption"
                                       << "prefixOption"
                                       << "prefixField"
                                       << "../esc" << prefix.arg("../esc", "it holds a folder separator (/ or \\)");
        QTest::newRow("prefix a\\b") << "linesOption"
                                     << "prefixOption"
                                     << "prefixField"
                                     << "a\\b" << prefix.arg("a\\b", "it holds a folder separator (/ or \\)");
        QTest::newRow("prefix ..") << "linesOption"
                                   << "prefixOption"
                                   << "prefixField"
                                   << ".." << prefix.arg("..", "it is \".\" or \"..\"");
        QTest::newRow("prefix nul.x") << "linesOption"
                                      << "prefixOption"
                                      << "prefixField"
                                      << "nul.x"
                                      << prefix.arg("nul.x",
                                                    "with a number after it, it makes a name Windows keeps "
                                                    "for a device (CON, NUL, COM1...)");
        QTest::newRow("prefix ../esc, numbered") << "linesOption"
                                                 << "numberedOption"
                                                 << "prefixField"
                                                 << "../esc"
                                                 << "";
    }
    void badFieldStopsTheRunBeforeItStarts() {
        QFETCH(QString, splitOption);
        QFETCH(QString, saveOption);
        QFETCH(QString, field);
        QFETCH(QString, text);
        QFETCH(QString, box);
        QTemporaryDir folder;
        QVERIFY(QDir(folder.path()).mkdir("in"));
        WriteFile(folder.filePath("in/a.txt"), "1\r\n2\r\n");
        test::MessageRecorder messages;
        MainWindow window;
        test::List(window).Append(folder.filePath("in/a.txt"));
        Control<QLineEdit>(window, "linesPerPieceField")->setText("1");
        Control<QLineEdit>(window, qPrintable(field))->setText(text);
        Control<QRadioButton>(window, qPrintable(splitOption))->click();
        Control<QRadioButton>(window, qPrintable(saveOption))->click();
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        PressSplit(window);
        if (box.isEmpty()) {
            QCOMPARE(test::FirstParagraphs(messages.Texts()), QStringList{"Done."});
            QVERIFY(FilesIn(folder.filePath("in")).size() > 1);
        } else {
            QCOMPARE(messages.Texts(), QStringList{box});
            QCOMPARE(FilesIn(folder.filePath("in")), QStringList{"a.txt"});
            QTRY_VERIFY(Control<QLineEdit>(window, qPrintable(field))->hasFocus());
        }
        QCOMPARE(FilesIn(folder.path()), QStringList());  // nothing beside the source's folder
        QVERIFY(!test::IsRunning(window));
    }

    void runWritesThePiecesOfEveryListedFile_data() {
        QTest::addColumn<QString>("splitOption");
        QTest::addColumn<QString>("saveOption");
        QTest::addColumn<QString>("linesPerPieceField");
        QTest::addColumn<QString>("separatorField");
        QTest::addColumn<QStringList>("expected");  // name=content per piece, both files
        QTest::addColumn<QString>("report");        // a line the end report must hold, or "" for no renaming line
        QTest::newRow("lines, numbered") << "linesOption"
                                         << "numberedOption"
                                         << "2"
                                         << ","
                                         << QStringList{"a-0001.txt=a\r\nb\r\n", "a-0002.txt=c",
                                                        "b-0001.txt=x\r\ny\r\n", "b-0002.txt=z"}
                                         << "";
        // The count starts again for b, whose first piece finds bob1.txt taken.
        QTest::newRow("separator, prefix")
            << "separatorOption"
            << "prefixOption"
            << "2"
            << "b" << QStringList{"bob1 (2).txt=x\r\ny\r\nz", "bob1.txt=a\r\n", "bob2.txt=\r\nc"}
            << "1 name was given a number to avoid a collision.";
        QTest::newRow("blank lines, numbered")
            << "blankLinesOption"
            << "numberedOption"
            << "2"
            << "," << QStringList{"a-0001.txt=a\r\nb\r\nc", "b-0001.txt=x\r\ny\r\nz"} << "";
    }
    void runWritesThePiecesOfEveryListedFile() {
        QFETCH(QString, splitOption);
        QFETCH(QString, saveOption);
        QFETCH(QString, linesPerPieceField);
        QFETCH(QString, separatorField);
        QFETCH(QStringList, expected);
        QFETCH(QString, report);
        QTemporaryDir folder;
        WriteFile(folder.filePath("a.txt"), "a\r\nb\r\nc");
        WriteFile(folder.filePath("b.txt"), "x\r\ny\r\nz");
        test::MessageRecorder messages;
        MainWindow window;
        test::List(window).Append(folder.filePath("a.txt"));
        test::List(window).Append(folder.filePath("b.txt"));
        Control<QLineEdit>(window, "linesPerPieceField")->setText(linesPerPieceField);
        Control<QLineEdit>(window, "separatorField")->setText(separatorField);
        Control<QRadioButton>(window, qPrintable(splitOption))->click();
        Control<QRadioButton>(window, qPrintable(saveOption))->click();
        PressSplit(window);
        QCOMPARE(test::FirstParagraphs(messages.Texts()), QStringList{"Done."});
        QCOMPARE(messages.Texts().size(), 1);
        if (report.isEmpty()) {
            QVERIFY(!messages.Texts()[0].contains(QStringLiteral("avoid a collision")));
        } else {
            QVERIFY2(messages.Texts()[0].contains(report), qPrintable(messages.Texts()[0]));
        }

        QStringList found;
        for (const QString& name : FilesIn(folder.path()))
            if (name != QLatin1String("a.txt") && name != QLatin1String("b.txt"))
                found << name + "=" + QString::fromUtf8(ReadFile(folder.filePath(name)));
        QCOMPARE(found, expected);
    }

    // The window reads its number fields as the command line reads its
    // arguments: whatever is typed, a run plans the same pieces under the same
    // names, with the same notices and failures.
    void typedNumbersPlanWhatTheCommandLinePlans_data() {
        QTest::addColumn<QString>("typed");
        for (const char* typed :
             {"3",     " 2",    "2 ",     "+4",     "2.5",        "3.5",        "1e1",  "0",      "0.4",
              "-1",    "",      "abc",    "0x10",   "nan",        "inf",        "1,5",  "\u0663", "1\u00A0",
              "32767", "32768", "-32768", "-32769", "2147483647", "2147483648", "9e18", "1e300"})
            QTest::newRow(typed) << QString::fromUtf8(typed);
    }
    void typedNumbersPlanWhatTheCommandLinePlans() {
        QFETCH(QString, typed);
        QTemporaryDir folder;
        WriteFile(folder.filePath("s.txt"), "alpha 1\r\nbeta 2\r\ngamma 3\r\ndelta 4\r\nepsilon 5\r\nzeta 6\r\neta 7");
        const std::filesystem::path source(folder.filePath("s.txt").toStdU16String());
        MainWindow window;
        const partwright::ControlSettings live(ControlsOf(window));
        const struct {
            const char* field;
            const char* naming;
            partwright::NamingMode mode;
        } cases[] = {{"linesPerPieceField", "numberedOption", partwright::NamingMode::Numbered},
                     {"nameLengthField", "firstCharactersOption", partwright::NamingMode::FirstChars},
                     {"firstNumberField", "prefixOption", partwright::NamingMode::Prefix}};
        for (const auto& c : cases) {
            // The fields the case does not try hold numbers both sides read alike.
            const auto text = [&](const char* field) {
                return qstrcmp(field, c.field) == 0 ? typed : QStringLiteral("2");
            };
            for (const char* field : {"linesPerPieceField", "nameLengthField", "firstNumberField"})
                Control<QLineEdit>(window, field)->setText(text(field));
            Control<QRadioButton>(window, "linesOption")->setChecked(true);
            Control<QRadioButton>(window, c.naming)->setChecked(true);

            partwright::FixedSettings fixed;
            fixed.naming = c.mode;
            fixed.linesPerPiece = partwright::ReadLinesPerPiece(text("linesPerPieceField").toStdU16String());
            fixed.nameLength = partwright::ReadNameLength(text("nameLengthField").toStdU16String());
            fixed.firstNumber = partwright::ReadFirstNumber(text("firstNumberField").toStdU16String());

            const QStringList plan = PlanOf(live, source);
            QVERIFY2(!plan.isEmpty(), c.field);  // pieces, a notice or failures: the run did something
            QCOMPARE(plan, PlanOf(fixed, source));
        }
    }

    void controlsAreReadWhileTheRunWorks() {
        QTemporaryDir folder;
        WriteFile(folder.filePath("a.txt"), "p;q");
        test::MessageRecorder messages;
        MainWindow window;
        test::List(window).Append(folder.filePath("a.txt"));
        Control<QRadioButton>(window, "linesOption")->click();
        // Typing into separatorField during the run selects the separator mode before the block is cut.
        AtFirstYield([&window] { Control<QLineEdit>(window, "separatorField")->setText(";"); });
        PressSplit(window);
        QCOMPARE(test::FirstParagraphs(messages.Texts()), QStringList{"Done."});
        QCOMPARE(ReadFile(folder.filePath("a-0001.txt")), QByteArray("p"));
        QCOMPARE(ReadFile(folder.filePath("a-0002.txt")), QByteArray("q"));
    }

    void whileRunningTheHourglassStaysAndASecondPressDoesNothing() {
        QTemporaryDir folder;
        WriteFile(folder.filePath("a.txt"), "1\r\n2\r\n3\r\n");
        test::MessageRecorder messages;
        MainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        test::List(window).Append(folder.filePath("a.txt"));
        PointerKind duringRun = PointerKind::Default;
        bool listLocked = false;
        bool wasRunning = false;
        QString titleAfterRemoval;
        AtFirstYield([&] {
            wasRunning = test::IsRunning(window);
            listLocked = test::List(window).IsRunActive();
            QTest::mouseMove(Control<QToolButton>(window, "splitButton"));
            duringRun = test::Pointer(window).Kind();
            PressSplit(window);
            auto* list = &test::List(window);
            const QPoint entry = list->visualItemRect(list->topLevelItem(0)).center();
            QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, entry);
            titleAfterRemoval = window.windowTitle();
        });
        PressSplit(window);
        QVERIFY(wasRunning);
        QVERIFY(listLocked);
        // The refused removal says so where the progress shows.
        QVERIFY2(titleAfterRemoval.endsWith(" - the list cannot change until the split is done"),
                 qPrintable(titleAfterRemoval));
        QCOMPARE(test::List(window).Count(), 1);
        QCOMPARE(duringRun, PointerKind::Hourglass);
        QCOMPARE(test::FirstParagraphs(messages.Texts()), QStringList{"Done."});
        QVERIFY(!test::List(window).IsRunActive());
        QCOMPARE(test::Pointer(window).Kind(), PointerKind::Default);
    }

    void progressShowsWhileTheRunWorksAndGoesAfterwards() {
        QTemporaryDir folder;
        // Long enough for the window to handle its events during the run.
        WriteFile(folder.filePath("a.txt"), QByteArray("1\r\n").repeated(6000));
        WriteFile(folder.filePath("b.txt"), "3\r\n");
        test::MessageRecorder messages;
        MainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        test::List(window).Append(folder.filePath("a.txt"));
        test::List(window).Append(folder.filePath("b.txt"));
        Control<QLineEdit>(window, "linesPerPieceField")->setText("1");
        auto* bar = window.findChild<QWidget*>("runProgress");
        QVERIFY(bar);
        const QRect barPlace = bar->geometry();
        QStringList titles;
        bool barShown = false;
        QTimer watch;
        connect(&watch, &QTimer::timeout, this, [&] {
            if (!titles.contains(window.windowTitle())) titles << window.windowTitle();
            barShown = barShown || bar->isVisible();
        });
        watch.start(0);
        PressSplit(window);
        watch.stop();
        const QRegularExpression progress(QStringLiteral("^Partwright - file [12] of 2, \\d+ pieces written$"));
        QVERIFY2(titles.indexOf(progress) >= 0, qPrintable(titles.join('|')));
        QVERIFY(barShown);
        // The bar lies in the window's bottom margin, below the frames.
        QVERIFY(barPlace.top() >= window.findChild<QWidget*>("saveOptions")->geometry().bottom());
        QVERIFY(barPlace.bottom() < window.height());
        QCOMPARE(window.windowTitle(), QStringLiteral("Partwright"));
        QVERIFY(!bar->isVisible());
    }

    void theHourglassStaysWhileDoneIsShown() {
        QTemporaryDir folder;
        WriteFile(folder.filePath("a.txt"), "1\r\n");
        test::MessageRecorder messages;
        MainWindow window;
        test::List(window).Append(folder.filePath("a.txt"));
        PointerKind whileShown = PointerKind::Default;
        messages.OnMessage([&](const QString&) { whileShown = test::Pointer(window).Kind(); });
        PressSplit(window);
        QCOMPARE(whileShown, PointerKind::Hourglass);
        QCOMPARE(test::Pointer(window).Kind(), PointerKind::Default);
    }

    void failuresAreShownTogetherInOneBoxAtTheEnd() {
        QTemporaryDir folder;
        WriteFile(folder.filePath("b.txt"), "1\r\n");
        test::MessageRecorder messages;
        MainWindow window;
        test::List(window).Append(folder.filePath("missing-1.txt"));
        test::List(window).Append(folder.filePath("b.txt"));
        test::List(window).Append(folder.filePath("missing-2.txt"));
        Control<QLineEdit>(window, "linesPerPieceField")->setText("1");
        PressSplit(window);
        QCOMPARE(messages.Texts().size(), 1);
        const QString box = messages.Texts().first();
        QVERIFY2(box.startsWith("Done, but 2 things failed:"), qPrintable(box));
        QVERIFY2(box.contains("missing-1.txt") && box.contains("missing-2.txt"), qPrintable(box));
        QCOMPARE(ReadFile(folder.filePath("b-0001.txt")), QByteArray("1\r\n"));
    }

    void closingTheWindowStopsTheRunWithoutAFinalBox() {
        QTemporaryDir folder;
        QByteArray source;
        for (int line = 1; line <= 2000; ++line) source += "line " + QByteArray::number(line) + "\r\n";
        WriteFile(folder.filePath("a.txt"), source);
        test::MessageRecorder messages;
        MainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        test::List(window).Append(folder.filePath("a.txt"));
        Control<QLineEdit>(window, "linesPerPieceField")->setText("1");
        QTimer::singleShot(0, &window, [&window] { window.close(); });
        PressSplit(window);
        QCOMPARE(messages.Texts(), QStringList());
        QVERIFY(!test::IsRunning(window));
        const QStringList pieces = FilesIn(folder.path()).filter("a-");
        QVERIFY2(pieces.size() < 2000, qPrintable(QString::number(pieces.size())));
        // Whatever was written is whole.
        for (const QString& name : pieces) {
            const int number = name.mid(2, 4).toInt();
            QCOMPARE(ReadFile(folder.filePath(name)), "line " + QByteArray::number(number));
        }
    }

    void finalReportNamesTheFailures_data() {
        QTest::addColumn<int>("failures");
        QTest::addColumn<int>("emptyBlocks");
        QTest::addColumn<QStringList>("text");
        QTest::newRow("none") << 0 << 0 << QStringList{"Done."};
        QTest::newRow("one") << 1 << 0 << QStringList{"Done, but 1 thing failed:", "f0"};
        QTest::newRow("ten")
            << 10 << 0
            << QStringList{"Done, but 10 things failed:", "f0", "f1", "f2", "f3", "f4", "f5", "f6", "f7", "f8", "f9"};
        QTest::newRow("twelve, one empty block")
            << 12 << 1
            << QStringList{"Done, but 12 things failed:",
                           "f0",
                           "f1",
                           "f2",
                           "f3",
                           "f4",
                           "f5",
                           "f6",
                           "f7",
                           "f8",
                           "f9",
                           "and 2 more",
                           "",
                           "1 block gave no pieces: the number of lines was not a number."};
        QTest::newRow("empty blocks only")
            << 0 << 3 << QStringList{"Done.", "", "3 blocks gave no pieces: the number of lines was not a number."};
    }
    void finalReportNamesTheFailures() {
        QFETCH(int, failures);
        QFETCH(int, emptyBlocks);
        QFETCH(QStringList, text);
        partwright::RunReport report;
        report.blocksNotCut = emptyBlocks;
        const std::string deep = "/data/" + std::string(300, 'd') + "/";
        for (int i = 0; i < failures; ++i)
            report.failures.push_back(
                {partwright::Failure::Kind::ReadSource, deep + "f" + std::to_string(i) + ".txt", "No such file"});
        const partwright::EndReport end = partwright::FinalReport(report, 10);
        const QStringList lines = end.text.split('\n');
        QCOMPARE(lines.size(), text.size());
        for (int i = 0; i < lines.size(); ++i)
            QVERIFY2(lines[i].startsWith(text[i]) || lines[i].contains("/" + text[i] + ".txt"), qPrintable(lines[i]));
        // The details hold every failure, each with its whole path.
        const QStringList details = end.details.isEmpty() ? QStringList() : end.details.split('\n');
        QCOMPARE(details.size(), failures);
        for (int i = 0; i < failures; ++i)
            QVERIFY2(details[i].contains(QString::fromStdString(deep) + "f" + QString::number(i) + ".txt"),
                     qPrintable(details[i]));
    }
};

PARTWRIGHT_UI_TEST_MAIN(WindowRunTest)
#include "window_run_test.moc"
