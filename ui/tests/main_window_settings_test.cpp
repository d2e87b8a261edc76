#include "ui/main_window.h"
#include "ui/tests/main_window_access.h"
#include "ui/tests/test_support.h"

#include <QLineEdit>
#include <QRadioButton>

using partwright::MainWindow;
namespace test = partwright::test;

namespace {

const QStringList kTextKeys = {"End With These Numbers", "Every X Character", "First Character Split",
                               "Number Of Lines", "Start With These Character"};

QString Selected(MainWindow& window, const QStringList& group) {
    QStringList selected;
    for (const QString& name : group)
        if (window.findChild<QRadioButton*>(name)->isChecked()) selected << name;
    return selected.join(QLatin1Char('+'));
}

QString SplitSelection(MainWindow& window) {
    return Selected(window, {"linesOption", "separatorOption", "blankLinesOption"});
}
QString SaveSelection(MainWindow& window) {
    return Selected(window, {"numberedOption", "firstCharactersOption", "prefixOption"});
}

}  // namespace

class MainWindowSettingsTest : public QObject {
    Q_OBJECT
private slots:
    void init() { test::ClearStore(); }

    void freshStoreShowsDefaultsAndWritesOnlyTheTextKeys() {
        MainWindow window;
        QVERIFY(!test::IsLoading(window));
        const QStringList fields = {"linesPerPieceField", "separatorField", "nameLengthField", "prefixField",
                                    "firstNumberField"};
        const QStringList defaults = {"3", ",", "8", "bob", "1"};
        for (int i = 0; i < fields.size(); ++i) QCOMPARE(window.findChild<QLineEdit*>(fields[i])->text(), defaults[i]);
        QCOMPARE(SplitSelection(window), QStringLiteral("linesOption"));
        QCOMPARE(SaveSelection(window), QStringLiteral("numberedOption"));
        QCOMPARE(test::StoredKeys(), kTextKeys);
        QCOMPARE(test::StoredValue("Number Of Lines"), QStringLiteral("3"));
        QCOMPARE(test::StoredValue("Every X Character"), QStringLiteral(","));
        QCOMPARE(test::StoredValue("First Character Split"), QStringLiteral("8"));
        QCOMPARE(test::StoredValue("Start With These Character"), QStringLiteral("bob"));
        QCOMPARE(test::StoredValue("End With These Numbers"), QStringLiteral("1"));
    }

    void storedOptionValuesSelect_data() {
        QTest::addColumn<QString>("splitValue");
        QTest::addColumn<QString>("saveValue");
        QTest::addColumn<QString>("split");
        QTest::addColumn<QString>("save");
        QTest::newRow("1 and 1") << "1"
                                 << "1"
                                 << "linesOption"
                                 << "numberedOption";
        QTest::newRow("2 and 2") << "2"
                                 << "2"
                                 << "separatorOption"
                                 << "firstCharactersOption";
        QTest::newRow("3 and 3") << "3"
                                 << "3"
                                 << "blankLinesOption"
                                 << "prefixOption";
        QTest::newRow("3 and 2") << "3"
                                 << "2"
                                 << "blankLinesOption"
                                 << "firstCharactersOption";
        QTest::newRow("9 and 9") << "9"
                                 << "9"
                                 << "separatorOption"
                                 << "firstCharactersOption";
        QTest::newRow("leading blank and zero") << " 1"
                                                << "01"
                                                << "separatorOption"
                                                << "firstCharactersOption";
        QTest::newRow("words") << "one"
                               << "three"
                               << "separatorOption"
                               << "firstCharactersOption";
        QTest::newRow("empty") << ""
                               << ""
                               << "separatorOption"
                               << "firstCharactersOption";
    }
    void storedOptionValuesSelect() {
        QFETCH(QString, splitValue);
        QFETCH(QString, saveValue);
        QFETCH(QString, split);
        QFETCH(QString, save);
        test::StoreValue("Split Option", splitValue);
        test::StoreValue("Save Option", saveValue);
        MainWindow window;
        QCOMPARE(SplitSelection(window), split);
        QCOMPARE(SaveSelection(window), save);
        // Loading writes neither option key.
        QCOMPARE(test::StoredValue("Split Option"), splitValue);
        QCOMPARE(test::StoredValue("Save Option"), saveValue);
    }

    void storedTextsShowAsStored() {
        test::StoreValue("Number Of Lines", "abc");
        test::StoreValue("Start With These Character", "");
        test::StoreValue("Every X Character", "a,b");
        MainWindow window;
        QCOMPARE(window.findChild<QLineEdit*>("linesPerPieceField")->text(), QStringLiteral("abc"));
        QCOMPARE(window.findChild<QLineEdit*>("prefixField")->text(), QStringLiteral(""));
        QCOMPARE(window.findChild<QLineEdit*>("separatorField")->text(), QStringLiteral("a,b"));
        QCOMPARE(test::StoredValue("Start With These Character"), QStringLiteral(""));
    }

    void fieldChangeSelectsItsOptionThenWritesItsKey_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("writes");
        QTest::addColumn<QString>("split");
        QTest::addColumn<QString>("save");
        // Before typing, blankLinesOption and prefixOption are selected.
        QTest::newRow("linesPerPieceField")
            << "linesPerPieceField"
            << "7" << QStringList{"Split Option=1", "Number Of Lines=7"} << "linesOption"
            << "prefixOption";
        QTest::newRow("separatorField") << "separatorField"
                                        << ";" << QStringList{"Split Option=2", "Every X Character=;"}
                                        << "separatorOption"
                                        << "prefixOption";
        QTest::newRow("nameLengthField") << "nameLengthField"
                                         << "5" << QStringList{"Save Option=2", "First Character Split=5"}
                                         << "blankLinesOption"
                                         << "firstCharactersOption";
        QTest::newRow("prefixField") << "prefixField"
                                     << "x" << QStringList{"Start With These Character=x"} << "blankLinesOption"
                                     << "prefixOption";
        QTest::newRow("firstNumberField") << "firstNumberField"
                                          << "9" << QStringList{"End With These Numbers=9"} << "blankLinesOption"
                                          << "prefixOption";
    }
    void fieldChangeSelectsItsOptionThenWritesItsKey() {
        QFETCH(QString, field);
        QFETCH(QString, typed);
        QFETCH(QStringList, writes);
        QFETCH(QString, split);
        QFETCH(QString, save);
        MainWindow window;
        auto* edit = window.findChild<QLineEdit*>(field);
        edit->clear();
        window.findChild<QRadioButton*>("blankLinesOption")->click();
        window.findChild<QRadioButton*>("prefixOption")->click();
        QStringList seen;
        test::ObserveWrites(window, [&seen](const QString& key, const QString& value) { seen << key + "=" + value; });
        QTest::keyClicks(edit, typed);
        QCOMPARE(seen, writes);
        QCOMPARE(SplitSelection(window), split);
        QCOMPARE(SaveSelection(window), save);
    }

    void typingTwoDigitsWritesEachChange() {
        MainWindow window;
        window.findChild<QRadioButton*>("separatorOption")->click();
        auto* linesPerPieceField = window.findChild<QLineEdit*>("linesPerPieceField");
        QStringList seen;
        test::ObserveWrites(window, [&seen](const QString& key, const QString& value) { seen << key + "=" + value; });
        linesPerPieceField->clear();
        QTest::keyClicks(linesPerPieceField, "12");
        // The empty text between is no number of lines and is not kept.
        QCOMPARE(seen, (QStringList{"Split Option=1", "Number Of Lines=1", "Number Of Lines=12"}));
        QCOMPARE(test::StoredValue("Number Of Lines"), QStringLiteral("12"));
    }

    void optionClickWritesOnlyItsGroupKey_data() {
        QTest::addColumn<QString>("option");
        QTest::addColumn<QString>("write");
        QTest::newRow("linesOption") << "linesOption"
                                     << "Split Option=1";
        QTest::newRow("separatorOption") << "separatorOption"
                                         << "Split Option=2";
        QTest::newRow("blankLinesOption") << "blankLinesOption"
                                          << "Split Option=3";
        QTest::newRow("numberedOption") << "numberedOption"
                                        << "Save Option=1";
        QTest::newRow("firstCharactersOption") << "firstCharactersOption"
                                               << "Save Option=2";
        QTest::newRow("prefixOption") << "prefixOption"
                                      << "Save Option=3";
    }
    void optionClickWritesOnlyItsGroupKey() {
        QFETCH(QString, option);
        QFETCH(QString, write);
        test::StoreValue("Split Option", "7");  // nothing selected in either group by the stored value
        test::StoreValue("Save Option", "7");
        MainWindow window;
        window.findChild<QRadioButton*>("linesOption")->click();
        window.findChild<QRadioButton*>("numberedOption")->click();
        if (option == QLatin1String("linesOption")) window.findChild<QRadioButton*>("separatorOption")->click();
        if (option == QLatin1String("numberedOption"))
            window.findChild<QRadioButton*>("firstCharactersOption")->click();
        QStringList seen;
        test::ObserveWrites(window, [&seen](const QString& key, const QString& value) { seen << key + "=" + value; });
        window.findChild<QRadioButton*>(option)->click();
        QCOMPARE(seen, QStringList{write});
    }

    void valuesComeBackAtTheNextStart() {
        {
            MainWindow window;
            window.findChild<QRadioButton*>("blankLinesOption")->click();
            window.findChild<QRadioButton*>("prefixOption")->click();
            window.findChild<QLineEdit*>("prefixField")->setText("");
            window.findChild<QLineEdit*>("firstNumberField")->setText("40");
        }
        MainWindow window;
        QCOMPARE(SplitSelection(window), QStringLiteral("blankLinesOption"));
        QCOMPARE(SaveSelection(window), QStringLiteral("prefixOption"));
        QCOMPARE(window.findChild<QLineEdit*>("prefixField")->text(), QStringLiteral(""));
        QCOMPARE(window.findChild<QLineEdit*>("firstNumberField")->text(), QStringLiteral("40"));
    }

    void mistakesAreNotKeptForTheNextStart_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("restored");
        QTest::newRow("no lines") << "linesPerPieceField"
                                  << "0"
                                  << "3";
        QTest::newRow("empty lines") << "linesPerPieceField"
                                     << ""
                                     << "3";
        QTest::newRow("good lines") << "linesPerPieceField"
                                    << "12"
                                    << "12";
        QTest::newRow("name length with a colon") << "nameLengthField"
                                                  << "a:b"
                                                  << "8";
        QTest::newRow("first number abc") << "firstNumberField"
                                          << "abc"
                                          << "1";
        QTest::newRow("first number x1") << "firstNumberField"
                                         << "x1"
                                         << "1";
        // Emptied on the way, which is a prefix the run can use.
        QTest::newRow("prefix with a slash first") << "prefixField"
                                                   << "/a"
                                                   << "";
        QTest::newRow("size no size") << "pieceSizeField"
                                      << "M5"
                                      << "";
        QTest::newRow("size good") << "pieceSizeField"
                                   << "512K"
                                   << "512K";
    }
    void mistakesAreNotKeptForTheNextStart() {
        QFETCH(QString, field);
        QFETCH(QString, typed);
        QFETCH(QString, restored);
        {
            MainWindow window;
            auto* edit = window.findChild<QLineEdit*>(field);
            QVERIFY(edit);
            edit->selectAll();
            QTest::keyClick(edit, Qt::Key_Backspace);
            QTest::keyClicks(edit, typed);
            QCOMPARE(edit->text(), typed);
        }
        MainWindow window;
        QCOMPARE(window.findChild<QLineEdit*>(field)->text(), restored);
    }

    void theListHasTheKeyboardAtStart() {
        MainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QCOMPARE(QApplication::focusWidget(), window.findChild<QWidget*>("fileList"));
    }

    // Another program reading the store (the registry API on Windows, the INI
    // file elsewhere) finds the same seven texts on every platform.
    void storeHoldsTheSevenValuesAsTextsUnderQuillmarkPartwright() {
        MainWindow window;
        window.findChild<QLineEdit*>("linesPerPieceField")->setText("12");
        window.findChild<QLineEdit*>("separatorField")->setText(QStringLiteral(";§"));
        window.findChild<QLineEdit*>("nameLengthField")->setText("5");
        window.findChild<QLineEdit*>("prefixField")->setText(QStringLiteral("Grüße"));
        window.findChild<QLineEdit*>("firstNumberField")->setText("40");
        window.findChild<QRadioButton*>("blankLinesOption")->click();
        window.findChild<QRadioButton*>("firstCharactersOption")->click();
        const QMap<QString, QString> expected{{"Split Option", "3"},
                                              {"Save Option", "2"},
                                              {"Number Of Lines", "12"},
                                              {"Every X Character", QStringLiteral(";§")},
                                              {"First Character Split", "5"},
                                              {"Start With These Character", QStringLiteral("Grüße")},
                                              {"End With These Numbers", "40"}};
        QCOMPARE(test::StoreAsOtherProgramsSeeIt(), expected);
    }
};

PARTWRIGHT_UI_TEST_MAIN(MainWindowSettingsTest)
#include "main_window_settings_test.moc"
