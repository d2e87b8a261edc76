#include "ui/input_checks.h"
#include "ui/main_window.h"
#include "ui/tests/test_support.h"

#include <QDir>
#include <QLineEdit>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QToolButton>

using partwright::MainWindow;
namespace test = partwright::test;

namespace {

const QString kRefused = QStringLiteral("/\\:*?\"<>|");

}  // namespace

class InputChecksTest : public QObject {
    Q_OBJECT
private slots:
    void init() { test::ClearStore(); }

    void refusedCharacterAnywhereIsFound_data() {
        QTest::addColumn<QString>("text");
        for (const QChar refused : kRefused) {
            const QString c(refused);
            QTest::addRow("%s first", qPrintable(c)) << c + "ab";
            QTest::addRow("%s middle", qPrintable(c)) << "a" + c + "b";
            QTest::addRow("%s last", qPrintable(c)) << "ab" + c;
        }
    }
    void refusedCharacterAnywhereIsFound() {
        QFETCH(QString, text);
        QVERIFY(partwright::HasRefusedFileNameChar(text));
    }

    void ordinaryNamesPass_data() {
        QTest::addColumn<QString>("text");
        for (const char* text : {"8", "abc", "", "a.b c", "-_(){}[]!#%&'+,;=@^`~", "ä"}) QTest::newRow(text) << text;
    }
    void ordinaryNamesPass() {
        QFETCH(QString, text);
        QVERIFY(!partwright::HasRefusedFileNameChar(text));
    }

    void numericTestIsTheEngines_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("numeric");
        QTest::newRow("12") << "12" << true;
        QTest::newRow("blank then 12") << " 12" << true;
        QTest::newRow("-3") << "-3" << true;
        QTest::newRow("2.5") << "2.5" << true;
        QTest::newRow("1E2") << "1E2" << true;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("7a") << "7a" << false;
        QTest::newRow("abc") << "abc" << false;
    }
    void numericTestIsTheEngines() {
        QFETCH(QString, text);
        QFETCH(bool, numeric);
        QCOMPARE(partwright::PassesNumericTest(text), numeric);
    }

    void leavingNameLengthFieldWithARefusedCharacterComplainsAndReturns_data() {
        QTest::addColumn<QString>("text");
        for (const QChar refused : kRefused)
            QTest::addRow("%s", qPrintable(QString(refused))) << "ab" + QString(refused);
    }
    void leavingNameLengthFieldWithARefusedCharacterComplainsAndReturns() {
        QFETCH(QString, text);
        LeaveFieldWith("nameLengthField", text, QStringLiteral("Invalid filename"));
        // Not kept for the next start: the last good text stays stored.
        QCOMPARE(test::StoredValue("First Character Split"), QStringLiteral("8"));
    }

    void leavingNameLengthFieldWithAnOrdinaryTextSaysNothing_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("8") << "8";
        QTest::newRow("abc") << "abc";
    }
    void leavingNameLengthFieldWithAnOrdinaryTextSaysNothing() {
        QFETCH(QString, text);
        LeaveFieldWith("nameLengthField", text, QString());
    }

    void leavingFirstNumberFieldChecksTheNumber_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message");
        QTest::newRow("empty") << ""
                               << "Non numeric entry.";
        QTest::newRow("7a") << "7a"
                            << "Non numeric entry.";
        QTest::newRow("7") << "7"
                           << "";
        QTest::newRow("-2") << "-2"
                            << "";
        QTest::newRow("2.5") << "2.5"
                             << "";
    }
    void leavingFirstNumberFieldChecksTheNumber() {
        QFETCH(QString, text);
        QFETCH(QString, message);
        LeaveFieldWith("firstNumberField", text, message);
    }

    void aMistakeLeftInAFieldTheRunNeedsGivesOneBoxNamingIt() {
        QTemporaryDir folder;
        test::WriteFile(folder.filePath("a.txt"), "1\r\n2\r\n");
        test::MessageRecorder messages;
        MainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        window.AddSources({folder.filePath("a.txt")});
        window.findChild<QRadioButton*>("prefixOption")->click();
        auto* edit = window.findChild<QLineEdit*>("firstNumberField");
        edit->setFocus(Qt::MouseFocusReason);
        edit->setText("abc");
        QTest::mouseClick(window.findChild<QToolButton*>("splitButton"), Qt::LeftButton);
        QCoreApplication::processEvents();
        QCOMPARE(messages.Texts().size(), 1);
        QVERIFY2(messages.Texts().first().contains("First counting number: \"abc\""),
                 qPrintable(messages.Texts().first()));
        QTRY_VERIFY(edit->hasFocus());
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files), QStringList{"a.txt"});
    }

    void switchingToAnotherWindowIsNotLeavingTheField() {
        test::MessageRecorder messages;
        MainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        auto* nameLengthField = window.findChild<QLineEdit*>("nameLengthField");
        nameLengthField->setFocus();
        nameLengthField->setText("a:b");
        QWidget other;
        other.show();
        other.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&other));
        QCoreApplication::processEvents();
        QCOMPARE(messages.Texts(), QStringList());
    }

private:
    // Types `text` into the field, tabs away, and checks the message (none
    // when empty) and where the focus ends up.
    void LeaveFieldWith(const char* field, const QString& text, const QString& message) {
        test::MessageRecorder messages;
        MainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        auto* edit = window.findChild<QLineEdit*>(field);
        edit->setFocus(Qt::MouseFocusReason);
        edit->setText(text);
        QTest::keyClick(edit, Qt::Key_Tab);
        QVERIFY(!edit->hasFocus());
        QCoreApplication::processEvents();
        if (message.isEmpty()) {
            QCOMPARE(messages.Texts(), QStringList());
            QVERIFY(!edit->hasFocus());
        } else {
            // One box: the check's own notice, then the field named.
            QCOMPARE(test::FirstParagraphs(messages.Texts()), QStringList{message});
            const QString named = edit->accessibleName() + QStringLiteral(": \"") + text + QLatin1Char('"');
            QVERIFY2(messages.Texts().first().contains(named, Qt::CaseInsensitive),
                     qPrintable(messages.Texts().first()));
            QTRY_VERIFY(edit->hasFocus());
        }
        QCOMPARE(edit->text(), text);
    }
};

PARTWRIGHT_UI_TEST_MAIN(InputChecksTest)
#include "input_checks_test.moc"
