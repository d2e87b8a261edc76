#include "ui/preview_dialog.h"

#include "partwright/failure.h"
#include "partwright/messages.h"
#include "ui/window_run.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <system_error>
#include <utility>

namespace partwright {

namespace {

enum Column { kName = 0, kSize = 1, kNote = 2 };

QString Size(std::uint64_t bytes) {
    if (bytes == 1) return PreviewDialog::tr("1 byte");
    if (bytes < 1024) return PreviewDialog::tr("%1 bytes").arg(bytes);
    return QLocale().formattedDataSize(static_cast<qint64>(bytes));
}

}  // namespace

// The run's dry run over the whole list, shown as it comes: the run reports
// progress as each source begins, before anything else of it, so every
// piece, notice and failure belongs to the last source reached.
class PreviewDialog::Host final : public RunHost {
public:
    explicit Host(PreviewDialog& dialog) : dialog_(dialog) {}

    bool Yield() override {
        // As the window's run does: events at most every so often, not at every piece.
        if (!sinceEvents_.isValid() || sinceEvents_.elapsed() >= WindowRunHost::kEventIntervalMs) {
            dialog_.ShowTotals();
            QCoreApplication::processEvents();
            sinceEvents_.start();
        }
        return !dialog_.cancelled_;
    }
    void ReportProgress(const Progress& progress) override { dialog_.ReachSource(progress.fileIndex); }
    // Comes just before the piece's PlannedPiece.
    void PieceRenamed(const std::filesystem::path& wanted, const std::filesystem::path& /*given*/) override {
        wanted_ = wanted;
    }
    void PlannedPiece(const std::filesystem::path& target) override {
        dialog_.AddPiece(target, wanted_);
        wanted_.clear();
    }
    void PlannedPieceSize(const std::filesystem::path& /*target*/, std::uint64_t bytes) override {
        dialog_.SetPieceSize(bytes);
    }
    void OlderPieceLeft(const std::filesystem::path& /*source*/, const std::filesystem::path& older) override {
        dialog_.AddOlderPiece(older);
    }
    void ReportFailure(const Failure& failure) override {
        dialog_.AddFailure(QString::fromStdString(Describe(failure)));
    }
    void ShowNotice(Notice notice, const std::filesystem::path& /*source*/) override {
        switch (notice) {
        case Notice::LinesNotNumber: dialog_.AddFailure(QString::fromUtf8(messages::kLinesNotNumber)); break;
        }
    }

private:
    PreviewDialog& dialog_;
    std::filesystem::path wanted_;  // the name the next planned piece wanted, when it takes another
    QElapsedTimer sinceEvents_;
};

PreviewDialog::PreviewDialog(const SourceList& sources, const SplitSettings& settings, RunOptions options,
                             QWidget* parent)
    : QDialog(parent), sources_(sources), settings_(settings), options_(std::move(options)) {
    setObjectName(QStringLiteral("previewDialog"));
    setWindowTitle(tr("Preview - Partwright"));
    options_.dryRun = true;

    plan_ = new QTreeWidget;
    plan_->setObjectName(QStringLiteral("previewList"));
    plan_->setAccessibleName(tr("Pieces each source would give"));
    plan_->setHeaderLabels({tr("Source and its pieces"), tr("Size"), tr("Note")});
    plan_->setUniformRowHeights(true);
    plan_->header()->setStretchLastSection(true);
    plan_->setColumnWidth(kName, 330);
    plan_->setColumnWidth(kSize, 90);
    summary_ = new QLabel;
    summary_->setObjectName(QStringLiteral("previewSummary"));
    summary_->setWordWrap(true);
    auto* buttons = new QDialogButtonBox;
    close_ = buttons->addButton(tr("Cancel"), QDialogButtonBox::RejectRole);
    close_->setObjectName(QStringLiteral("previewCloseButton"));

    auto* column = new QVBoxLayout(this);
    column->addWidget(plan_, 1);
    column->addWidget(summary_);
    column->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::rejected, this, &PreviewDialog::reject);
    resize(640, 420);
}

void PreviewDialog::Plan() {
    planning_ = true;
    // One dry run of the whole list, as Split! runs it: the names, copy names
    // and refusals are the run's own.
    Host host(*this);
    const RunReport report = SplitRun(sources_, settings_, host, options_);
    EndSourceRow();
    totals_.complete = !report.stopped && !cancelled_;
    planning_ = false;
    close_->setText(tr("Close"));
    ShowTotals();
}

// The run began the source at `position` (1-based): the rows of the sources
// before it are complete.
void PreviewDialog::ReachSource(int position) {
    while (plan_->topLevelItemCount() < position) {
        EndSourceRow();
        source_ = new QTreeWidgetItem(plan_, {NativePath(sources_.At(plan_->topLevelItemCount() + 1))});
        source_->setExpanded(true);
        lastPiece_ = nullptr;
        olderGroup_ = nullptr;
        ShowTotals();
    }
}

// The source's row shows its total size and pieces, and how many are not listed.
void PreviewDialog::EndSourceRow() {
    if (!source_) return;
    QTreeWidgetItem* item = std::exchange(source_, nullptr);
    const int pieces = item->data(kName, Qt::UserRole).toInt();
    item->setText(kSize, Size(item->data(kSize, Qt::UserRole).toULongLong()));
    item->setTextAlignment(kSize, Qt::AlignRight | Qt::AlignVCenter);
    if (item->text(kNote).isEmpty())
        item->setText(kNote, pieces == 1 ? tr("1 piece") : tr("%1 pieces").arg(QLocale().toString(pieces)));
    const int shown = item->childCount() - item->data(kNote, Qt::UserRole).toInt();  // less the other rows
    if (pieces > shown) {
        auto* more = new QTreeWidgetItem(item, {tr("and %1 more").arg(QLocale().toString(pieces - shown))});
        more->setFlags(Qt::ItemIsEnabled);
    }
}

void PreviewDialog::AddPiece(const std::filesystem::path& target, const std::filesystem::path& wanted) {
    ++totals_.pieces;
    QTreeWidgetItem* source = source_;
    source->setData(kName, Qt::UserRole, source->data(kName, Qt::UserRole).toInt() + 1);

    const QString path = NativePath(target);
    QStringList notes;
    if (!wanted.empty()) {
        ++totals_.colliding;
        notes << tr("%1 is taken by an earlier piece").arg(QString::fromStdU16String(wanted.filename().u16string()));
    }
    std::error_code error;
    if (std::filesystem::exists(std::filesystem::symlink_status(target, error))) {
        ++totals_.replacing;
        notes << tr("replaces an existing file");
    }
    const QString note = notes.join(QStringLiteral("; "));
    lastPiece_ = nullptr;
    if (shownPieces_ >= kShownPieces) return;
    ++shownPieces_;
    lastPiece_ = new QTreeWidgetItem(source, {QString::fromStdU16String(target.filename().u16string()), {}, note});
    lastPiece_->setToolTip(kName, path);
    lastPiece_->setTextAlignment(kSize, Qt::AlignRight | Qt::AlignVCenter);
}

void PreviewDialog::SetPieceSize(std::uint64_t bytes) {
    totals_.bytes += bytes;
    QTreeWidgetItem* source = source_;
    source->setData(kSize, Qt::UserRole, source->data(kSize, Qt::UserRole).toULongLong() + bytes);
    if (lastPiece_) lastPiece_->setText(kSize, Size(bytes));
}

void PreviewDialog::AddFailure(const QString& text) {
    ++totals_.failures;
    QTreeWidgetItem* source = source_;
    auto* failure = new QTreeWidgetItem(source, {tr("fails"), {}, text});
    failure->setToolTip(kNote, text);
    source->setData(kNote, Qt::UserRole, source->data(kNote, Qt::UserRole).toInt() + 1);
}

// Older pieces come once the source's pieces are all planned; they go first
// under it, in one row that counts them, so that a long list does not hide them.
void PreviewDialog::AddOlderPiece(const std::filesystem::path& older) {
    ++totals_.olderLeft;
    QTreeWidgetItem* source = source_;
    if (!olderGroup_) {
        olderGroup_ = new QTreeWidgetItem;
        olderGroup_->setFlags(Qt::ItemIsEnabled);
        source->insertChild(0, olderGroup_);
        olderGroup_->setExpanded(true);
        source->setData(kNote, Qt::UserRole, source->data(kNote, Qt::UserRole).toInt() + 1);
    }
    const int count = olderGroup_->data(kName, Qt::UserRole).toInt() + 1;
    olderGroup_->setData(kName, Qt::UserRole, count);
    olderGroup_->setText(kName, count == 1 ? tr("1 older piece left over")
                                           : tr("%1 older pieces left over").arg(QLocale().toString(count)));
    olderGroup_->setText(kNote, tr("kept as they are"));
    olderGroup_->setToolTip(kNote, tr("Files of the same names from a run that gave more pieces: neither "
                                      "replaced nor removed"));
    if (olderGroup_->childCount() >= kShownOlderPieces) return;
    auto* row = new QTreeWidgetItem(olderGroup_,
                                    {QString::fromStdU16String(older.filename().u16string()), {}, tr("left over")});
    row->setFlags(Qt::ItemIsEnabled);
    row->setToolTip(kName, NativePath(older));
}

void PreviewDialog::ShowTotals() {
    const QLocale locale;
    QStringList parts;
    parts << tr("%1 pieces (%2) from %3 of %4 sources")
                 .arg(locale.toString(totals_.pieces), Size(totals_.bytes))
                 .arg(plan_->topLevelItemCount())
                 .arg(sources_.Count());
    parts << tr("%1 would replace existing files").arg(locale.toString(totals_.replacing));
    parts << tr("%1 take the next free name").arg(locale.toString(totals_.colliding));
    if (totals_.olderLeft > 0)
        parts << tr("%1 older pieces of the same names would be left over").arg(locale.toString(totals_.olderLeft));
    if (totals_.failures > 0) parts << tr("%1 failures").arg(totals_.failures);
    QString text = parts.join(QStringLiteral("; ")) + QLatin1Char('.') + QLatin1Char(' ') +
                   (options_.outputFolder.empty() ? tr("Pieces go beside their sources.")
                                                  : tr("Pieces go into %1.").arg(NativePath(options_.outputFolder)));
    if (planning_)
        text += QLatin1Char(' ') + tr("Planning...");
    else if (!totals_.complete)
        text += QLatin1Char(' ') + tr("Stopped before the end.");
    summary_->setText(text);
}

void PreviewDialog::reject() {
    if (planning_) {
        cancelled_ = true;
        return;
    }
    QDialog::reject();
}

}  // namespace partwright
