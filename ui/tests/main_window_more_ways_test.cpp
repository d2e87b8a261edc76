// The window's further ways to read, cut and name, each driven through the
// real window against what the run writes: CSV records with their delimiter,
// Fit for Excel, and the choices that stop a run before it starts.
#include "ui/main_window.h"
#include "ui/settings_store.h"
#include "ui/tests/main_window_access.h"
#include "ui/tests/test_support.h"

#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QRadioButton>
#include <QToolButton>

using partwright::MainWindow;
namespace test = partwright::test;
using partwright::test::ReadFile;
using partwright::test::WriteFile;
namespace keys = partwright::settings_keys;

namespace {

// A window set up as a user would leave it: `stored` in the settings store
// before it opens, then `lines` lines per piece, the CSV box and delimiter,
// and, when not empty, a name template chosen.
using Pieces = QMap<QString, QByteArray>;

struct Setup {
    QMap<QString, QString> stored;
    QString lines = QStringLiteral("1");
    bool csv = false;
    QString delimiter = QStringLiteral(",");
    QString nameTemplate;
    QString parts;   // when not empty: equal parts chosen
    QString match;   // when not empty: lines that match chosen
    QString column;  // when not empty: a piece per value of this column chosen
};

Setup Stored(const QString& key, const QString& value) {
    Setup setup;
    setup.stored[key] = value;
    return setup;
}
Setup CsvRecords(const QString& delimiter) {
    Setup setup;
    setup.csv = true;
    setup.delimiter = delimiter;
    return setup;
}
Setup Parts(const QString& parts) {
    Setup setup;
    setup.parts = parts;
    return setup;
}
Setup Match(const QString& pattern) {
    Setup setup;
    setup.match = pattern;
    return setup;
}
Setup ByColumn(const QString& column) {
    Setup setup;
    setup.column = column;
    return setup;
}
Setup Template(const QString& nameTemplate, const QString& lines = QStringLiteral("1")) {
    Setup setup;
    setup.lines = lines;
    setup.nameTemplate = nameTemplate;
    return setup;
}

}  // namespace

Q_DECLARE_METATYPE(Setup)

namespace {

// The pieces the window writes beside `source`, by name, and the boxes it showed.
struct Result {
    Pieces pieces;
    QStringList messages;
};

Result SplitInWindow(const Setup& setup, const QByteArray& text) {
    QTemporaryDir folder;
    const QString source = folder.filePath("data.csv");
    WriteFile(source, text);
    {
        partwright::SettingsStore store;
        for (auto it = setup.stored.begin(); it != setup.stored.end(); ++it) store.Write(it.key(), it.value());
    }
    test::MessageRecorder messages;
    MainWindow window;
    test::List(window).Append(source);
    window.findChild<QLineEdit*>("linesPerPieceField")->setText(setup.lines);
    window.findChild<QCheckBox*>("csvRecordsOption")->setChecked(setup.csv);
    window.findChild<QLineEdit*>("delimiterField")->setText(setup.delimiter);
    if (!setup.nameTemplate.isEmpty()) window.findChild<QLineEdit*>("templateField")->setText(setup.nameTemplate);
    if (!setup.parts.isEmpty()) window.findChild<QLineEdit*>("partsField")->setText(setup.parts);
    if (!setup.match.isEmpty()) window.findChild<QLineEdit*>("matchField")->setText(setup.match);
    if (!setup.column.isEmpty()) window.findChild<QLineEdit*>("columnField")->setText(setup.column);
    window.findChild<QToolButton*>("splitButton")->click();
    Result result;
    for (const QString& name : QDir(folder.path()).entryList(QDir::Files))
        if (name != QLatin1String("data.csv")) result.pieces[name] = ReadFile(folder.filePath(name));
    result.messages = messages.Texts();
    return result;
}

}  // namespace

class MainWindowMoreWaysTest : public QObject {
    Q_OBJECT
private slots:
    void init() { test::ClearStore(); }

    void eachControlReachesTheRun_data() {
        QTest::addColumn<Setup>("setup");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<Pieces>("pieces");
        const QByteArray quoted = "a;\"x\ny\"\nb;c\n";
        QTest::newRow("lines cut a quoted line break")
            << Setup{} << quoted
            << Pieces{{"data-0001.csv", "a;\"x\n"}, {"data-0002.csv", "y\"\n"}, {"data-0003.csv", "b;c\n"}};
        QTest::newRow("CSV records keep it inside")
            << CsvRecords(";") << quoted << Pieces{{"data-0001.csv", "a;\"x\ny\"\n"}, {"data-0002.csv", "b;c\n"}};
        QTest::newRow("Fit for Excel: records, a header and a mark in every piece")
            << Stored(keys::kFitForExcel, "1") << QByteArray("h\n\"1\n1\"\n2\n")
            << Pieces{{"data-0001.csv", "\xEF\xBB\xBFh\n\"1\n1\"\n"}, {"data-0002.csv", "\xEF\xBB\xBFh\n2\n"}};
        QTest::newRow("a name template") << Template("{name}.part{n:00}.{ext}", "2") << QByteArray("1\n2\n3\n")
                                         << Pieces{{"data.part01.csv", "1\n2\n"}, {"data.part02.csv", "3\n"}};
        QTest::newRow("two equal parts") << Parts("2") << QByteArray("1234\n1234\n1234\n1234\n")
                                         << Pieces{{"data-0001.csv", "1234\n1234\n"},
                                                   {"data-0002.csv", "1234\n1234\n"}};
        QTest::newRow("a cut before lines that match")
            << Match("^== ") << QByteArray("pre\n== A\na\n== B\n")
            << Pieces{{"data-0001.csv", "pre\n"}, {"data-0002.csv", "== A\na\n"}, {"data-0003.csv", "== B\n"}};
        const QByteArray cities = "id,city\n1,Oslo\n2,\"Rio\nBR\"\n3,Oslo\n";
        QTest::newRow("a piece per value of a column named in the header")
            << ByColumn("city") << cities
            << Pieces{{"data-Oslo.csv", "id,city\n1,Oslo\n3,Oslo\n"}, {"data-RioBR.csv", "id,city\n2,\"Rio\nBR\"\n"}};
        QTest::newRow("a piece per value of a numbered column") << ByColumn("2") << cities
                                                                << Pieces{{"data-city.csv", "id,city\n"},
                                                                          {"data-Oslo.csv", "1,Oslo\n3,Oslo\n"},
                                                                          {"data-RioBR.csv", "2,\"Rio\nBR\"\n"}};
        QTest::newRow("at most 2 pieces a source") << Stored(keys::kMaxPieces, "2") << QByteArray("1\n2\n3\n4\n")
                                                   << Pieces{{"data-0001.csv", "1\n"}, {"data-0002.csv", "2\n"}};
    }
    void eachControlReachesTheRun() {
        QFETCH(Setup, setup);
        QFETCH(QByteArray, text);
        QFETCH(Pieces, pieces);
        const Result result = SplitInWindow(setup, text);
        QCOMPARE(result.pieces, pieces);
        QCOMPARE(result.messages.size(), 1);
        QVERIFY2(result.messages.first().startsWith("Done."), qPrintable(result.messages.first()));
    }

    // Compress pieces (gzip): every piece under its name with .gz added, a gzip stream.
    void compressedPiecesAreGzipUnderTheirNames() {
        const Result result = SplitInWindow(Stored(keys::kCompressPieces, "1"), "1\n2\n");
        QCOMPARE(result.pieces.keys(), (QStringList{"data-0001.csv.gz", "data-0002.csv.gz"}));
        for (const QByteArray& piece : result.pieces) QVERIFY(piece.startsWith("\x1F\x8B"));
    }

    // A choice the run cannot use stops it in one box that names the field, before anything is written.
    void anUnusableChoiceStopsTheRunAndSaysWhich_data() {
        QTest::addColumn<Setup>("setup");
        QTest::addColumn<QString>("named");
        QTest::newRow("delimiter of two characters") << CsvRecords(";;") << "Delimiter";
        QTest::newRow("delimiter that is a quote") << CsvRecords("\"") << "Delimiter";
        QTest::newRow("parts that are no number") << Parts("two") << "Equal parts";
        QTest::newRow("pattern that is no pattern") << Match("(a") << "Lines matching";
        QTest::newRow("column without a column") << ByColumn(" ") << "Split by value of column";
        QTest::newRow("template that makes a path") << Template("{name}/{n}") << "Name template";
    }
    void anUnusableChoiceStopsTheRunAndSaysWhich() {
        QFETCH(Setup, setup);
        QFETCH(QString, named);
        const Result result = SplitInWindow(setup, "a,b\n");
        QVERIFY(result.pieces.isEmpty());
        QCOMPARE(result.messages.size(), 1);
        QVERIFY2(result.messages.first().startsWith(named), qPrintable(result.messages.first()));
    }

    // The CSV box and the delimiter come back as they were left; the
    // column option reads records, so the box shows it checked and fixed.
    void csvChoicesPersistAndTheColumnOptionHoldsTheBox() {
        {
            MainWindow window;
            window.findChild<QCheckBox*>("csvRecordsOption")->setChecked(true);
            window.findChild<QLineEdit*>("delimiterField")->setText("tab");
        }
        MainWindow window;
        auto* box = window.findChild<QCheckBox*>("csvRecordsOption");
        QVERIFY(box->isChecked());
        QCOMPARE(window.findChild<QLineEdit*>("delimiterField")->text(), "tab");
        box->setChecked(false);
        QVERIFY(!window.findChild<QLineEdit*>("delimiterField")->isEnabled());
        window.findChild<QLineEdit*>("columnField")->setText("city");
        QVERIFY(window.findChild<QRadioButton*>("byColumnOption")->isChecked());
        QVERIFY(box->isChecked() && !box->isEnabled());
        QVERIFY(window.findChild<QLineEdit*>("delimiterField")->isEnabled());
        window.findChild<QRadioButton*>("linesOption")->setChecked(true);
        QVERIFY(!box->isChecked() && box->isEnabled());
        QCOMPARE(test::StoredValue(keys::kCsvRecords), std::optional<QString>("0"));
    }
};

QTEST_MAIN(MainWindowMoreWaysTest)
#include "main_window_more_ways_test.moc"
