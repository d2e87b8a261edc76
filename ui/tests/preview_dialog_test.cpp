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

    // small.txt was split into 11 pieces before; now it gives 3. The 8 older
    // pieces past them stay among the new ones: the preview names them before
    // anything is written, the end box after, and Split!'s question counts
    // the 3 files the new pieces replace.
    void previewAndEndReportNameTheOlderPiecesLeftOver() {
        QTemporaryDir folder;
        WriteFile(folder.filePath("small.txt"), "one\r\ntwo\r\nthree\r\n");
        for (int n = 1; n <= 11; ++n)
            WriteFile(folder.filePath(QStringLiteral("small-%1.txt").arg(n, 4, 10, QLatin1Char('0'))), "old");
        WriteFile(folder.filePath("small-0012 (2).txt"), "not a piece of small.txt's naming");
        const PathList sources({std::filesystem::path(folder.filePath("small.txt").toStdU16String())});
        partwright::FixedSettings settings;
        settings.linesPerPiece = partwright::ReadLinesPerPiece(u"1");
        settings.naming = partwright::NamingMode::Numbered;
        QStringList older;
        for (int n = 4; n <= 11; ++n) older << QStringLiteral("small-%1.txt").arg(n, 4, 10, QLatin1Char('0'));

        partwright::PreviewDialog preview(sources, settings, {});
        preview.Plan();
        const auto* list = preview.findChild<QTreeWidget*>("previewList");
        const QTreeWidgetItem* group = list->topLevelItem(0)->child(0);
        QCOMPARE(group->text(0), QStringLiteral("8 older pieces left over"));
        QStringList shown;
        for (int i = 0; i < group->childCount(); ++i) shown << group->child(i)->text(0);
        QCOMPARE(shown, older);
        QCOMPARE(preview.Summary().olderLeft, 8u);
        QCOMPARE(preview.Summary().replacing, 3u);
        QVERIFY(preview.findChild<QLabel*>("previewSummary")->text().contains("8 older pieces"));

        QCOMPARE(partwright::FilesToReplace(sources, settings, {}, [] { return true; }),
                 std::optional<std::uint64_t>(3));

        partwright::WindowRunHost host(nullptr, [] { return true; }, {});
        const partwright::RunReport report = partwright::SplitRun(sources, settings, host, {});
        QCOMPARE(report.olderPiecesLeft, 8u);
        partwright::RunPlaces places = host.Places();
        places.sourceCount = 1;
        places.sourcesReached = 1;
        const QString text = partwright::ComposeEndReport(report, places).text;
        QVERIFY2(text.contains("8 older pieces") && text.contains(older.join(", ")), qPrintable(text));
        QVERIFY2(!text.contains("small-0012 (2).txt"), qPrintable(text));
    }
};

PARTWRIGHT_UI_TEST_MAIN(PreviewDialogTest)
#include "preview_dialog_test.moc"
