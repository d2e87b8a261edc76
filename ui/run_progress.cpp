#include "ui/run_progress.h"

#include <QDir>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace partwright {

namespace {

constexpr int kBarSteps = 1000;

QLabel* Line(const char* name) {
    auto* label = new QLabel;
    label->setObjectName(QString::fromLatin1(name));
    label->setTextFormat(Qt::PlainText);
    return label;
}

}  // namespace

void SetBarValue(QProgressBar& bar, int value) {
    if (bar.value() == value) return;
    // A widget whose updates are off is not painted by repaint(); turning
    // them on again asks for the paint that events then bring.
    const bool updates = bar.updatesEnabled();
    bar.setUpdatesEnabled(false);
    bar.setValue(value);
    bar.setUpdatesEnabled(updates);
}

RunProgressDialog::RunProgressDialog(std::vector<std::uint64_t> sourceBytes, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("runProgressDialog"));
    setWindowTitle(tr("Splitting - Partwright"));
    before_.assign(1, 0);
    for (const std::uint64_t bytes : sourceBytes) before_.push_back(before_.back() + bytes);

    source_ = Line("progressSource");
    // The path is cut to the dialog's width, never the dialog widened to the path.
    source_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    pieces_ = Line("progressPieces");
    bytes_ = Line("progressBytes");
    bar_ = new QProgressBar;
    bar_->setObjectName(QStringLiteral("progressBar"));
    bar_->setAccessibleName(tr("Progress through all sources"));
    bar_->setRange(0, kBarSteps);
    bar_->setTextVisible(true);
    cancel_ = new QPushButton(tr("Cancel"));
    cancel_->setObjectName(QStringLiteral("cancelButton"));
    cancel_->setAutoDefault(true);
    cancel_->setDefault(true);

    QFont bigger = pieces_->font();
    bigger.setPointSizeF(bigger.pointSizeF() * 1.25);
    bigger.setBold(true);
    pieces_->setFont(bigger);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cancel_);
    auto* column = new QVBoxLayout(this);
    column->addWidget(source_);
    column->addWidget(pieces_);
    column->addWidget(bar_);
    column->addWidget(bytes_);
    column->addLayout(buttons);
    // Wide enough that a usual path reads whole; a long one is cut in the middle.
    setMinimumWidth(QFontMetrics(font()).averageCharWidth() * 80);

    connect(cancel_, &QPushButton::clicked, this, &RunProgressDialog::RequestCancel);
    Show(Progress{});
}

std::uint64_t RunProgressDialog::BytesDone(const Progress& progress) const {
    if (progress.fileIndex < 1) return 0;
    const auto position = std::min<std::size_t>(static_cast<std::size_t>(progress.fileIndex), before_.size() - 1);
    // A source may have grown since its size was taken: never beyond its own share.
    const std::uint64_t own = before_[position] - before_[position - 1];
    return before_[position - 1] + std::min(progress.bytesRead, own);
}

void RunProgressDialog::Show(const Progress& progress) {
    const QLocale locale;
    if (progress.fileIndex < 1) {
        source_->setText(tr("Starting..."));
    } else {
        const QString path = QDir::toNativeSeparators(QString::fromStdU16String(progress.source.u16string()));
        const QString lead = tr("File %1 of %2: ").arg(progress.fileIndex).arg(progress.fileCount);
        const QFontMetrics metrics = source_->fontMetrics();
        // A label not yet laid out in a shown dialog has no width of its own.
        const int room = isVisible() && source_->contentsRect().width() > 0 ? source_->contentsRect().width()
                                                                            : minimumWidth() - 24;
        source_->setText(lead + metrics.elidedText(path, Qt::ElideMiddle, room - metrics.horizontalAdvance(lead)));
    }
    pieces_->setText(progress.piecesWritten == 1
                         ? tr("1 piece written")
                         : tr("%1 pieces written").arg(locale.toString(progress.piecesWritten)));
    const std::uint64_t done = BytesDone(progress);
    const std::uint64_t total = TotalBytes();
    SetBarValue(*bar_,
                total == 0 ? 0 : static_cast<int>(static_cast<double>(done) / static_cast<double>(total) * kBarSteps));
    bytes_->setText(tr("%1 of %2 read")
                        .arg(locale.formattedDataSize(static_cast<qint64>(done)),
                             locale.formattedDataSize(static_cast<qint64>(total))));
}

void RunProgressDialog::RequestCancel() {
    if (cancelRequested_) return;
    cancelRequested_ = true;
    cancel_->setEnabled(false);
    cancel_->setText(tr("Stopping..."));
}

void RunProgressDialog::reject() { RequestCancel(); }

}  // namespace partwright
