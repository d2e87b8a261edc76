// The preview against Split! itself: over the same list and settings it shows
// the names the run gives and the pieces the run refuses.
#include "ui/preview_dialog.h"
#include "partwright/failure.h"
#include "ui/end_report.h"
#include "ui/replace_check.h"
#include "ui/tests/test_support.h"

#include <QDir>
#include <QLabel>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <filesystem>
#include <vector>

using partwright::test::WriteFile;

namespace {

class PathList final : public partwright::SourceList {
public:
    explicit PathList(std::vector<std::filesystem::path> paths) : paths_(std::move(paths)) {}
    int Count() const override { return static_cast<int>(paths_.size()); }
    std::filesystem::path At(int position) const override { return paths_.at(static_cast<std::size_t>(position - 1)); }

private:
    std::vector<std::filesystem::path> paths_;
};

QString FileName(const std::filesystem::path& path) { return QString::fromStdU16String(path.filename().u16string()); }

// Per source, in list order: the file name of every piece the run writes, and "fails" for every failure.
QList<QStringList> RunRows(const partwright::SourceList& sources, const partwright::SplitSettings& settings) {
    struct Recorder final : partwright::RunHost {
        QList<QStringList> rows;
        void ReportProgress(const partwright::Progress& progress) override {
            while (rows.size() < progress.fileIndex) rows.append(QStringList{});
        }
        void PieceWritten(const std::filesystem::path& target) override { rows.last() << FileName(target); }
        void ReportFailure(const partwright::Failure& /*failure*/) override { rows.last() << "fails"; }
    } host;
    (void)partwright::SplitRun(sources, settings, host, {});
    return host.rows;
}

// The same, as the preview's list shows it.
QList<QStringList> PreviewRows(const partwright::PreviewDialog& preview) {
    QList<QStringList> rows;
    const auto* list = preview.findChild<QTreeWidget*>("previewList");
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        QStringList row;
        for (int j = 0; j < list->topLevelItem(i)->childCount(); ++j) row << list->topLevelItem(i)->child(j)->text(0);
        rows << row;
    }
    return rows;
}

}  // namespace

class PreviewDialogTest : public QObject {
    Q_OBJECT
private slots:
    void previewGivesTheRunsCopyNamesAndRefusals() {
        QTemporaryDir folder;
        const auto path = [&](const char* name) {
            return std::filesystem::path(folder.filePath(name).toStdU16String());
        };
        // Two sources that both start "hello": the second's piece is "hello (2).txt".
        WriteFile(folder.filePath("a.txt"), "hello world\r\n");
        WriteFile(folder.filePath("b.txt"), "hello there\r\n");
        // A piece named c.txt would take the place of c.txt, a source of the run: refused.
        WriteFile(folder.filePath("x.txt"), "c\r\n");
        WriteFile(folder.filePath("c.txt"), "zzz\r\n");
        const PathList sources({path("a.txt"), path("b.txt"), path("x.txt"), path("c.txt")});
        partwright::FixedSettings settings;
        settings.linesPerPiece = partwright::ReadLinesPerPiece(u"10");
        settings.naming = partwright::NamingMode::FirstChars;
        settings.nameLength = partwright::ReadNameLength(u"5");

        partwright::PreviewDialog preview(sources, settings, {});
        preview.Plan();
        const QList<QStringList> planned = PreviewRows(preview);
        QCOMPARE(planned, (QList<QStringList>{{"hello.txt"}, {"hello (2).txt"}, {"fails"}, {"zzz.txt"}}));
        QCOMPARE(preview.Summary().colliding, 1u);
        QCOMPARE(preview.Summary().replacing, 0u);
        QCOMPARE(preview.Summary().failures, 1);
        QVERIFY(preview.Summary().complete);
        // Nothing is written by the preview.
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files), (QStringList{"a.txt", "b.txt", "c.txt", "x.txt"}));

        QCOMPARE(RunRows(sources, settings), planned);
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files),
                 (QStringList{"a.txt", "b.txt", "c.txt", "hello (2).txt", "hello.txt", "x.txt", "zzz.txt"}));
    }

    // small.txt was split before into pieces that are still there. Whatever
    // the new run does not replace stays among its pieces: past its last one,
    // or in a gap (a lines piece that is empty is not written), also when the
    // source turns out not to be UTF-8 and is cut again. The preview names
    // them before anything is written, the end box after; both are held to
    // what the run really left (the files that still hold "old"), and Split!'s
    // question counts the files the run really replaced.
    void previewAndEndReportNameTheOlderPiecesLeftOver_data() {
        QTest::addColumn<QByteArray>("source");
        QTest::addColumn<bool>("whole");
        QTest::addColumn<QList<int>>("older");
        const QList<int> oneToEleven = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
        QTest::newRow("fewer pieces") << QByteArray("one\r\ntwo\r\nthree\r\n") << true << oneToEleven;
        // A block of 30000 bytes that ends with its last line gives an empty last piece: 301 and 302 are gaps.
        QTest::newRow("gaps of empty pieces")
            << QByteArray("x").repeated(98).append("\r\n").repeated(300).append("tail\r\n") << false
            << QList<int>{299, 300, 301, 302, 303, 304, 305};
        const QByteArray notUtf8("one\r\ntwo\r\nthr\xe9\r\nfour\r\n");
        QTest::newRow("cut again, not UTF-8") << notUtf8 << true << oneToEleven;
        // The first cut writes pieces 1 to 4 under free names before it finds the byte that is not UTF-8.
        QTest::newRow("cut again after fresh pieces") << notUtf8 << true << QList<int>{7, 9, 11};
    }

    void previewAndEndReportNameTheOlderPiecesLeftOver() {
        QFETCH(QByteArray, source);
        QFETCH(bool, whole);
        QFETCH(QList<int>, older);
        QTemporaryDir folder;
        WriteFile(folder.filePath("small.txt"), source);
        const auto pieceName = [](int n) { return QStringLiteral("small-%1.txt").arg(n, 4, 10, QLatin1Char('0')); };
        for (const int n : older) WriteFile(folder.filePath(pieceName(n)), "old");
        WriteFile(folder.filePath("small-0012 (2).txt"), "old, but not a piece of small.txt's naming");
        const PathList sources({std::filesystem::path(folder.filePath("small.txt").toStdU16String())});
        partwright::FixedSettings settings;
        settings.linesPerPiece = partwright::ReadLinesPerPiece(u"1");
        settings.naming = partwright::NamingMode::Numbered;
        partwright::RunOptions options;
        options.reading.wholeFile = whole;

        partwright::PreviewDialog preview(sources, settings, options);
        preview.Plan();
        const std::optional<std::uint64_t> toReplace = partwright::FilesToReplace(sources, settings, options,
                                                                                  [] { return true; });
        partwright::WindowRunHost host(nullptr, [] { return true; }, {});
        const partwright::RunReport report = partwright::SplitRun(sources, settings, host, options);
        QVERIFY(report.failures.empty());

        QStringList left;
        std::uint64_t replaced = 0;
        for (const int n : older) {
            if (partwright::test::ReadFile(folder.filePath(pieceName(n))) == "old")
                left << pieceName(n);
            else
                ++replaced;
        }
        QVERIFY(!left.isEmpty());

        const auto* list = preview.findChild<QTreeWidget*>("previewList");
        const QTreeWidgetItem* group = list->topLevelItem(0)->child(0);
        QCOMPARE(group->text(0), QStringLiteral("%1 older pieces left over").arg(left.size()));
        QStringList shown;
        for (int i = 0; i < group->childCount(); ++i) shown << group->child(i)->text(0);
        QCOMPARE(shown, left);
        QCOMPARE(preview.Summary().olderLeft, std::uint64_t(left.size()));
        QCOMPARE(preview.Summary().replacing, replaced);
        QVERIFY(preview.findChild<QLabel*>("previewSummary")
                    ->text()
                    .contains(QString::number(left.size()) + " older pieces"));
        QCOMPARE(toReplace, std::optional<std::uint64_t>(replaced));

        QCOMPARE(report.olderPiecesLeft, std::uint64_t(left.size()));
        partwright::RunPlaces places = host.Places();
        places.sourceCount = 1;
        places.sourcesReached = 1;
        const QString text = partwright::ComposeEndReport(report, places).text;
        QVERIFY2(text.contains(QString::number(left.size()) + " older pieces") && text.contains(left.join(", ")),
                 qPrintable(text));
        QVERIFY2(!text.contains("small-0012 (2).txt"), qPrintable(text));
    }
};

PARTWRIGHT_UI_TEST_MAIN(PreviewDialogTest)
#include "preview_dialog_test.moc"
