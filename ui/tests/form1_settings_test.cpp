#include "ui/form1.h"
#include "ui/tests/test_support.h"

#include <QLineEdit>
#include <QRadioButton>

using partwright::Form1;
namespace test = partwright::test;

namespace {

const QStringList kTextKeys = {"End With These Numbers", "Every X Character", "First Character Split",
                               "Number Of Lines", "Start With These Character"};

QString Selected(Form1& form, const QStringList& group) {
    QStringList selected;
    for (const QString& name : group)
        if (form.findChild<QRadioButton*>(name)->isChecked()) selected << name;
    return selected.join(QLatin1Char('+'));
}

QString SplitSelection(Form1& form) { return Selected(form, {"Option1", "Option2", "Option5"}); }
QString SaveSelection(Form1& form) { return Selected(form, {"Option4", "Option3", "Option6"}); }

}  // namespace

class Form1SettingsTest : public QObject {
    Q_OBJECT
private slots:
    void init() { test::ClearStore(); }

    void freshStoreShowsDefaultsAndWritesOnlyTheTextKeys() {
        Form1 form;
        QVERIFY(!form.IsLoading());
        const QStringList fields = {"Text1", "Text2", "Text3", "Text5", "Text6"};
        const QStringList defaults = {"3", ",", "8", "bob", "1"};
        for (int i = 0; i < fields.size(); ++i)
            QCOMPARE(form.findChild<QLineEdit*>(fields[i])->text(), defaults[i]);
        QCOMPARE(SplitSelection(form), QStringLiteral("Option1"));
        QCOMPARE(SaveSelection(form), QStringLiteral("Option4"));
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
        QTest::newRow("1 and 1") << "1" << "1" << "Option1" << "Option4";
        QTest::newRow("2 and 2") << "2" << "2" << "Option2" << "Option3";
        QTest::newRow("3 and 3") << "3" << "3" << "Option5" << "Option6";
        QTest::newRow("3 and 2") << "3" << "2" << "Option5" << "Option3";
        QTest::newRow("7 and 7") << "7" << "7" << "Option2" << "Option3";
        QTest::newRow("leading blank and zero") << " 1" << "01" << "Option2" << "Option3";
        QTest::newRow("words") << "one" << "three" << "Option2" << "Option3";
        QTest::newRow("empty") << "" << "" << "Option2" << "Option3";
    }
    void storedOptionValuesSelect() {
        QFETCH(QString, splitValue);
        QFETCH(QString, saveValue);
        QFETCH(QString, split);
        QFETCH(QString, save);
        test::StoreValue("Split Option", splitValue);
        test::StoreValue("Save Option", saveValue);
        Form1 form;
        QCOMPARE(SplitSelection(form), split);
        QCOMPARE(SaveSelection(form), save);
        // Loading writes neither option key.
        QCOMPARE(test::StoredValue("Split Option"), splitValue);
        QCOMPARE(test::StoredValue("Save Option"), saveValue);
    }

    void storedTextsShowAsStored() {
        test::StoreValue("Number Of Lines", "abc");
        test::StoreValue("Start With These Character", "");
        test::StoreValue("Every X Character", "a,b");
        Form1 form;
        QCOMPARE(form.findChild<QLineEdit*>("Text1")->text(), QStringLiteral("abc"));
        QCOMPARE(form.findChild<QLineEdit*>("Text5")->text(), QStringLiteral(""));
        QCOMPARE(form.findChild<QLineEdit*>("Text2")->text(), QStringLiteral("a,b"));
        QCOMPARE(test::StoredValue("Start With These Character"), QStringLiteral(""));
    }

    void fieldChangeSelectsItsOptionThenWritesItsKey_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("writes");
        QTest::addColumn<QString>("split");
        QTest::addColumn<QString>("save");
        // Before typing, Option5 and Option6 are selected.
        QTest::newRow("Text1") << "Text1" << "7"
                               << QStringList{"Split Option=1", "Number Of Lines=7"} << "Option1" << "Option6";
        QTest::newRow("Text2") << "Text2" << ";"
                               << QStringList{"Split Option=2", "Every X Character=;"} << "Option2" << "Option6";
        QTest::newRow("Text3") << "Text3" << "5"
                               << QStringList{"Save Option=2", "First Character Split=5"} << "Option5" << "Option3";
        QTest::newRow("Text5") << "Text5" << "x"
                               << QStringList{"Start With These Character=x"} << "Option5" << "Option6";
        QTest::newRow("Text6") << "Text6" << "9"
                               << QStringList{"End With These Numbers=9"} << "Option5" << "Option6";
    }
    void fieldChangeSelectsItsOptionThenWritesItsKey() {
        QFETCH(QString, field);
        QFETCH(QString, typed);
        QFETCH(QStringList, writes);
        QFETCH(QString, split);
        QFETCH(QString, save);
        Form1 form;
        auto* edit = form.findChild<QLineEdit*>(field);
        edit->clear();
        form.findChild<QRadioButton*>("Option5")->click();
        form.findChild<QRadioButton*>("Option6")->click();
        QStringList seen;
        form.Store().SetWriteObserver([&seen](const QString& key, const QString& value) { seen << key + "=" + value; });
        QTest::keyClicks(edit, typed);
        QCOMPARE(seen, writes);
        QCOMPARE(SplitSelection(form), split);
        QCOMPARE(SaveSelection(form), save);
    }

    void typingTwoDigitsWritesEachChange() {
        Form1 form;
        form.findChild<QRadioButton*>("Option2")->click();
        auto* text1 = form.findChild<QLineEdit*>("Text1");
        QStringList seen;
        form.Store().SetWriteObserver([&seen](const QString& key, const QString& value) { seen << key + "=" + value; });
        text1->clear();
        QTest::keyClicks(text1, "12");
        QCOMPARE(seen, (QStringList{"Split Option=1", "Number Of Lines=", "Number Of Lines=1", "Number Of Lines=12"}));
        QCOMPARE(test::StoredValue("Number Of Lines"), QStringLiteral("12"));
    }

    void optionClickWritesOnlyItsGroupKey_data() {
        QTest::addColumn<QString>("option");
        QTest::addColumn<QString>("write");
        QTest::newRow("Option1") << "Option1" << "Split Option=1";
        QTest::newRow("Option2") << "Option2" << "Split Option=2";
        QTest::newRow("Option5") << "Option5" << "Split Option=3";
        QTest::newRow("Option4") << "Option4" << "Save Option=1";
        QTest::newRow("Option3") << "Option3" << "Save Option=2";
        QTest::newRow("Option6") << "Option6" << "Save Option=3";
    }
    void optionClickWritesOnlyItsGroupKey() {
        QFETCH(QString, option);
        QFETCH(QString, write);
        test::StoreValue("Split Option", "7");  // nothing selected in either group by the stored value
        test::StoreValue("Save Option", "7");
        Form1 form;
        form.findChild<QRadioButton*>("Option1")->click();
        form.findChild<QRadioButton*>("Option4")->click();
        if (option == QLatin1String("Option1")) form.findChild<QRadioButton*>("Option2")->click();
        if (option == QLatin1String("Option4")) form.findChild<QRadioButton*>("Option3")->click();
        QStringList seen;
        form.Store().SetWriteObserver([&seen](const QString& key, const QString& value) { seen << key + "=" + value; });
        form.findChild<QRadioButton*>(option)->click();
        QCOMPARE(seen, QStringList{write});
    }

    void valuesComeBackAtTheNextStart() {
        {
            Form1 form;
            form.findChild<QRadioButton*>("Option5")->click();
            form.findChild<QRadioButton*>("Option6")->click();
            form.findChild<QLineEdit*>("Text5")->setText("");
            form.findChild<QLineEdit*>("Text6")->setText("40");
        }
        Form1 form;
        QCOMPARE(SplitSelection(form), QStringLiteral("Option5"));
        QCOMPARE(SaveSelection(form), QStringLiteral("Option6"));
        QCOMPARE(form.findChild<QLineEdit*>("Text5")->text(), QStringLiteral(""));
        QCOMPARE(form.findChild<QLineEdit*>("Text6")->text(), QStringLiteral("40"));
    }
};

PARTWRIGHT_UI_TEST_MAIN(Form1SettingsTest)
#include "form1_settings_test.moc"
