// The window's message boxes as a user meets them: real boxes, a real click
// on Split!, OK pressed on each box, and a close request delivered the way the
// window system delivers it when the title bar's close button is pressed.
#include "filelist/file_list.h"
#include "ui/main_window.h"
#include "ui/tests/main_window_access.h"
#include "ui/tests/test_support.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <qpa/qwindowsysteminterface.h>

#include <functional>

using partwright::MainWindow;
namespace test = partwright::test;

namespace {

const QString kLinesNotice = QStringLiteral("Every x number of lines, where x can only be a number.");

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QStringList PiecesIn(const QString& folder) { return QDir(folder).entryList({"a-*"}, QDir::Files); }

QList<QMessageBox*> VisibleBoxes() {
    QList<QMessageBox*> boxes;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(widget); box && box->isVisible()) boxes << box;
    return boxes;
}

// The close request a window manager sends, through Qt's own path for it
// (the one a modal box would block).
void RequestClose(QWidget& window) {
    QWindowSystemInterface::handleCloseEvent<QWindowSystemInterface::SynchronousDelivery>(window.windowHandle());
}

// Watches for boxes while the window works, as a user would: notes each new
// box's text, then acts on it (by default presses its OK button). Counts how
// many boxes were ever up at the same time.
class BoxWatcher {
public:
    using Action = std::function<void(QMessageBox&)>;
    explicit BoxWatcher(Action action = {}) : action_(std::move(action)) {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this] { Look(); });
        timer_.start();
    }

    [[nodiscard]] const QStringList& Texts() const { return texts_; }
    [[nodiscard]] int MostAtOnce() const { return mostAtOnce_; }

private:
    void Look() {
        const QList<QMessageBox*> boxes = VisibleBoxes();
        mostAtOnce_ = std::max(mostAtOnce_, static_cast<int>(boxes.size()));
        for (QMessageBox* box : boxes) {
            if (seen_.contains(box)) continue;
            seen_ << box;
            texts_ << box->text();
            if (action_)
                action_(*box);
            else
                QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
        }
    }

    Action action_;
    QTimer timer_;
    QList<QMessageBox*> seen_;
    QStringList texts_;
    int mostAtOnce_ = 0;
};

void ShowAndWait(MainWindow& window) {
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
}

}  // namespace

class MainWindowBoxesTest : public QObject {
    Q_OBJECT
private slots:
    void init() { test::ClearStore(); }

    // The value is checked before the run; one that turns bad while the run
    // works is read live, and its notice still comes once.
    void aHundredBlocksWithABadLinesValueShowTwoBoxesInAll() {
        QTemporaryDir folder;
        QByteArray line(98, 'x');
        line += "\r\n";
        WriteFile(folder.filePath("a.txt"), line.repeated(100 * 30000 / line.size()));
        test::StoreValue(partwright::settings_keys::kWholeSources, "0");  // 30000-byte blocks
        MainWindow window;
        ShowAndWait(window);
        test::List(window).Append(folder.filePath("a.txt"));
        auto* linesField = window.findChild<QLineEdit*>("linesPerPieceField");
        linesField->setText("1");
        // At the run's first yield, before its first block.
        QTimer::singleShot(0, linesField, [linesField] { linesField->setText("ten"); });
        BoxWatcher boxes;
        QTest::mouseClick(window.findChild<QToolButton*>("splitButton"), Qt::LeftButton);
        QCOMPARE(boxes.Texts().size(), 2);
        QCOMPARE(boxes.Texts()[0], kLinesNotice);
        QVERIFY2(boxes.Texts()[1].startsWith(
                     "Done.\n\n100 blocks gave no pieces: the number of lines was not a number.\n\n"),
                 qPrintable(boxes.Texts()[1]));
        QCOMPARE(boxes.MostAtOnce(), 1);
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files), QStringList{"a.txt"});  // the source alone
    }

    // A close request while a box is up leaves the box to be read; answering
    // it (OK, Enter or Esc) closes the window. A second request adds nothing.
    void closingDuringABoxWaitsForItsAnswer_data() {
        QTest::addColumn<QString>("lines");
        QTest::addColumn<bool>("listed");
        QTest::addColumn<int>("answer");  // a key, or 0 for a click on OK
        QTest::addColumn<QString>("box");
        QTest::addColumn<int>("pieces");
        QTest::newRow("lines notice, OK") << "x" << true << 0 << kLinesNotice << 0;
        QTest::newRow("end box, Enter") << "1" << true << int(Qt::Key_Return) << "Done." << 120;
        QTest::newRow("no files, Esc") << "1" << false << int(Qt::Key_Escape) << "No files added." << 0;
    }
    void closingDuringABoxWaitsForItsAnswer() {
        QFETCH(QString, lines);
        QFETCH(bool, listed);
        QFETCH(int, answer);
        QFETCH(QString, box);
        QFETCH(int, pieces);
        QTemporaryDir folder;
        // Four 30000-byte blocks of 30 lines each. Few pieces, all in one
        // folder: Wine reads the whole folder to look up every new name, so
        // 20000 one-line pieces took it minutes.
        WriteFile(folder.filePath("a.txt"), (QByteArray(998, 'x') + "\r\n").repeated(120));
        MainWindow window;
        ShowAndWait(window);
        if (listed) test::List(window).Append(folder.filePath("a.txt"));
        window.findChild<QLineEdit*>("linesPerPieceField")->setText(lines);
        bool boxStayed = false;
        bool windowStayed = false;
        BoxWatcher boxes([&](QMessageBox& shown) {
            RequestClose(window);
            QTest::qWait(50);
            RequestClose(window);
            QTest::qWait(50);
            boxStayed = shown.isVisible() && VisibleBoxes().size() == 1;
            windowStayed = window.isVisible();
            if (answer == 0)
                QTest::mouseClick(shown.button(QMessageBox::Ok), Qt::LeftButton);
            else
                QTest::keyClick(&shown, Qt::Key(answer));
        });
        QTest::mouseClick(window.findChild<QToolButton*>("splitButton"), Qt::LeftButton);
        QVERIFY(boxStayed);
        QVERIFY(windowStayed);
        QCOMPARE(test::FirstParagraphs(boxes.Texts()), QStringList{box});
        QTRY_VERIFY(!window.isVisible());
        QVERIFY(!test::IsRunning(window));
        QCOMPARE(VisibleBoxes().size(), 0);  // no second box came of the second request
        // No window is left: the program ends.
        for (const QWidget* widget : QApplication::topLevelWidgets()) QVERIFY(!widget->isVisible());
        QCOMPARE(PiecesIn(folder.path()).size(), pieces);
    }

    // A click on the window behind a box, as a user does who looks for it,
    // leaves the box in charge: Enter (or Esc) typed next answers it. The box
    // shows its text as written and its title whole.
    void aBoxKeepsTheKeyboardAfterAClickOnTheWindow_data() {
        QTest::addColumn<int>("key");
        QTest::newRow("Enter") << int(Qt::Key_Return);
        QTest::newRow("Esc") << int(Qt::Key_Escape);
    }
    void aBoxKeepsTheKeyboardAfterAClickOnTheWindow() {
        QFETCH(int, key);
        MainWindow window;
        ShowAndWait(window);
        const QString text = "cannot open /tmp/" + QString(60, 'a') + "/b.txt: denied";
        auto* list = window.findChild<QWidget*>("fileList");
        bool answeredByKey = false;
        QString shownText;
        int titleRoom = 0;
        BoxWatcher boxes([&](QMessageBox& box) {
            shownText = box.text();
            titleRoom = box.width() - box.fontMetrics().horizontalAdvance(box.windowTitle());
            // The window system gives the window behind the keyboard, as a
            // click on it does without a window manager to say otherwise.
            window.activateWindow();
            QTest::mouseClick(list, Qt::LeftButton);
            QTest::keyClick(list, Qt::Key(key));
            answeredByKey = !box.isVisible();
            if (!answeredByKey) box.button(QMessageBox::Ok)->click();
        });
        partwright::ShowMessage(&window, text);
        QVERIFY(answeredByKey);
        QCOMPARE(shownText, text);
        QVERIFY2(titleRoom >= 150, qPrintable(QString::number(titleRoom)));
    }

    void splitAfterABadFieldShowsTheFieldsMessageThenRuns_data() {
        QTest::addColumn<int>("heldMs");
        QTest::newRow("quick click") << 0;
        QTest::newRow("held half a second") << 500;
    }
    void splitAfterABadFieldShowsTheFieldsMessageThenRuns() {
        QFETCH(int, heldMs);
        QTemporaryDir folder;
        WriteFile(folder.filePath("a.txt"), "1\r\n2\r\n");
        MainWindow window;
        ShowAndWait(window);
        test::List(window).Append(folder.filePath("a.txt"));
        window.findChild<QLineEdit*>("linesPerPieceField")->setText("1");
        auto* firstNumber = window.findChild<QLineEdit*>("firstNumberField");
        firstNumber->setFocus(Qt::MouseFocusReason);
        firstNumber->setText("7a");
        BoxWatcher boxes;
        auto* split = window.findChild<QToolButton*>("splitButton");
        QTest::mousePress(split, Qt::LeftButton);
        QVERIFY(!firstNumber->hasFocus());
        if (heldMs > 0) QTest::qWait(heldMs);
        QCOMPARE(boxes.Texts(), QStringList());
        QTest::mouseRelease(split, Qt::LeftButton);
        QTRY_COMPARE(test::FirstParagraphs(boxes.Texts()), (QStringList{"Non numeric entry.", "Done."}));
        QCOMPARE(boxes.MostAtOnce(), 1);
        QCOMPARE(PiecesIn(folder.path()), (QStringList{"a-0001.txt", "a-0002.txt"}));
    }
};

PARTWRIGHT_UI_TEST_MAIN(MainWindowBoxesTest)
#include "main_window_boxes_test.moc"
