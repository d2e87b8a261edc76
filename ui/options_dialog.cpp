#include "ui/options_dialog.h"

#include "partwright/byte_size.h"
#include "partwright/codepage.h"
#include "partwright/csv_presets.h"
#include "partwright/option_text.h"
#include "ui/settings_store.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>
#include <limits>
#include <utility>

namespace partwright {

namespace keys = settings_keys;

namespace {

const QString kAuto = QStringLiteral("auto");
const QString kSystem = QStringLiteral("system");
const QString kNamed = QStringLiteral("named");

// The engine's defaults, as the dialog stores them.
QString DefaultLineEnd() { return QString::fromUtf8(LineEndWord(kDefaultLineEnd)); }
QString DefaultOutputEncoding() { return QString::fromUtf8(OutputEncodingWord(RunOptions{}.outputEncoding)); }
QString DefaultCodePage() { return QString::fromStdString(SourceReading{}.codepage); }
QString DefaultWholeSources() { return SourceReading{}.wholeFile ? QStringLiteral("1") : QStringLiteral("0"); }

std::optional<std::int64_t> HeaderLineCount(const QString& text) { return ParseHeaderLines(text.toStdString()); }

// A few words for the summary line, for each way pieces are written but the default.
QString OutputEncodingSummary(OutputEncoding encoding) {
    switch (encoding) {
    case OutputEncoding::Utf8: return QObject::tr("UTF-8");
    case OutputEncoding::Utf8Bom: return QObject::tr("UTF-8 with byte-order mark");
    case OutputEncoding::Utf16Le: return QObject::tr("UTF-16");
    case OutputEncoding::Source: return QObject::tr("in each source's encoding");
    case OutputEncoding::Cesu8: return QObject::tr("as the first release (CESU-8)");
    }
    return {};
}

QRadioButton* Choice(const QString& caption, const char* name, QButtonGroup* group) {
    auto* option = new QRadioButton(caption);
    option->setObjectName(QString::fromLatin1(name));
    group->addButton(option);
    return option;
}

}  // namespace

RunChoices ReadRunChoices(const SettingsStore& store) {
    RunChoices choices;
    choices.lineEnd = store.Read(keys::kLineEnd, DefaultLineEnd());
    choices.codePage = store.Read(keys::kCodePage, DefaultCodePage());
    choices.wholeSources = store.Read(keys::kWholeSources, DefaultWholeSources()) != QLatin1String("0");
    choices.outputFolder = store.Read(keys::kOutputFolder, QString());
    choices.maxPieceSize = store.Read(keys::kMaxPieceSize, QString());
    choices.headerLines = store.Read(keys::kHeaderLines, QStringLiteral("0"));
    choices.askBeforeReplacing = store.Read(keys::kAskBeforeReplacing, QStringLiteral("1")) != QLatin1String("0");
    choices.outputEncoding = store.Read(keys::kOutputEncoding, DefaultOutputEncoding());
    choices.finalLineEnd = store.Read(keys::kFinalLineEnd, QStringLiteral("1")) != QLatin1String("0");
    choices.fitForExcel = store.Read(keys::kFitForExcel, QStringLiteral("0")) == QLatin1String("1");
    choices.maxPieces = store.Read(keys::kMaxPieces, QStringLiteral("0"));
    choices.compressPieces = store.Read(keys::kCompressPieces, QStringLiteral("0")) == QLatin1String("1");
    return choices;
}

void WriteRunChoices(SettingsStore& store, const RunChoices& choices) {
    store.Write(keys::kLineEnd, choices.lineEnd);
    store.Write(keys::kCodePage, choices.codePage);
    store.Write(keys::kWholeSources, choices.wholeSources ? QStringLiteral("1") : QStringLiteral("0"));
    store.Write(keys::kOutputFolder, choices.outputFolder);
    store.Write(keys::kHeaderLines, choices.headerLines);
    store.Write(keys::kAskBeforeReplacing, choices.askBeforeReplacing ? QStringLiteral("1") : QStringLiteral("0"));
    store.Write(keys::kOutputEncoding, choices.outputEncoding);
    store.Write(keys::kFinalLineEnd, choices.finalLineEnd ? QStringLiteral("1") : QStringLiteral("0"));
    store.Write(keys::kFitForExcel, choices.fitForExcel ? QStringLiteral("1") : QStringLiteral("0"));
    store.Write(keys::kMaxPieces, choices.maxPieces);
    store.Write(keys::kCompressPieces, choices.compressPieces ? QStringLiteral("1") : QStringLiteral("0"));
}

QString ChoicesSummary(const RunChoices& choices) {
    QStringList parts;
    if (!choices.outputFolder.isEmpty()) parts << QObject::tr("Into %1").arg(choices.outputFolder);
    const QString header = choices.headerLines.trimmed();
    if (!header.isEmpty() && header != QLatin1String("0")) {
        parts << (header == QLatin1String("1") ? QObject::tr("header 1 line")
                                               : QObject::tr("header %1 lines").arg(header));
    }
    if (choices.lineEnd != DefaultLineEnd()) {
        if (choices.lineEnd == QLatin1String("crlf"))
            parts << QStringLiteral("CR LF");
        else if (choices.lineEnd == QLatin1String("lf"))
            parts << QStringLiteral("LF");
        else if (choices.lineEnd == kAuto)
            parts << QObject::tr("line ends as in each source");
        else
            parts << QObject::tr("line end %1").arg(choices.lineEnd);
    }
    if (choices.codePage != DefaultCodePage()) {
        parts << (choices.codePage == kSystem ? QObject::tr("system code page")
                                              : QObject::tr("code page %1").arg(choices.codePage));
    }
    if (choices.wholeSources != SourceReading{}.wholeFile) {
        parts << (choices.wholeSources ? QObject::tr("whole sources") : QObject::tr("blocks of 30000 bytes"));
    }
    if (choices.outputEncoding != DefaultOutputEncoding()) {
        const auto encoding = ParseOutputEncoding(choices.outputEncoding.toStdString());
        parts << (encoding ? OutputEncodingSummary(*encoding)
                           : QObject::tr("written as %1").arg(choices.outputEncoding));
    }
    if (!choices.finalLineEnd) parts << QObject::tr("no line end after the last line");
    if (choices.fitForExcel) parts << QObject::tr("fit for Excel");
    const QString cap = choices.maxPieces.trimmed();
    if (!cap.isEmpty() && cap != QLatin1String("0")) {
        parts << (cap == QLatin1String("1") ? QObject::tr("at most 1 piece a source")
                                            : QObject::tr("at most %1 pieces a source").arg(cap));
    }
    if (choices.compressPieces) parts << QObject::tr("gzip");
    return parts.join(QStringLiteral(" \u00b7 "));
}

CheckedRunOptions ToRunOptions(const RunChoices& choices) {
    CheckedRunOptions checked;
    RunOptions options;
    options.reading.wholeFile = choices.wholeSources;

    if (const auto lineEnd = ParseLineEnd(choices.lineEnd.toStdString())) {
        options.lineEnd = *lineEnd;
    } else {
        checked.problem = QObject::tr("The line end \"%1\" is not one of auto, crlf and lf.").arg(choices.lineEnd);
        return checked;
    }

    if (choices.codePage == kAuto) {
        options.reading.codepage = "auto";
    } else if (choices.codePage == kSystem) {
        options.reading.codepage = "system";
    } else {
        std::string error;
        const std::string name = choices.codePage.trimmed().toStdString();
        if (name.empty() || !CanReadCodepage(name, error)) {
            checked.problem = QObject::tr("\"%1\" is not a code page this program knows.").arg(choices.codePage);
            return checked;
        }
        options.reading.codepage = name;
    }

    if (!choices.outputFolder.isEmpty()) {
        if (!QFileInfo(choices.outputFolder).isDir()) {
            checked.problem =
                QObject::tr("The folder for the pieces, \"%1\", does not exist.").arg(choices.outputFolder);
            return checked;
        }
        options.outputFolder = std::filesystem::path(choices.outputFolder.toStdU16String());
    }

    if (!choices.maxPieceSize.trimmed().isEmpty()) {
        const auto size = ParseByteSize(choices.maxPieceSize.trimmed().toStdString());
        if (!size) {
            checked.problem = QObject::tr(
                                  "The size cap \"%1\" is not a whole number of bytes such as 4096, 512K, 1M or 2G.")
                                  .arg(choices.maxPieceSize);
            return checked;
        }
        options.maxPieceBytes = *size;
    }

    if (const auto encoding = ParseOutputEncoding(choices.outputEncoding.toStdString())) {
        options.outputEncoding = *encoding;
    } else {
        checked.problem = QObject::tr("\"%1\" is no way this program writes pieces.").arg(choices.outputEncoding);
        return checked;
    }
    options.finalLineEnd = choices.finalLineEnd;

    const auto header = HeaderLineCount(choices.headerLines.trimmed());
    if (!header) {
        checked.problem = QObject::tr("The header lines \"%1\" are not a whole number.").arg(choices.headerLines);
        return checked;
    }
    options.headerLines = *header;

    if (choices.csvRecords) {
        const auto delimiter = ParseDelimiter(choices.csvDelimiter.toStdString());
        if (!delimiter) {
            checked.problem = QObject::tr("The delimiter \"%1\" is not one character other than a quote, or tab.")
                                  .arg(choices.csvDelimiter);
            return checked;
        }
        options.csv.records = true;
        options.csv.delimiter = *delimiter;
    }
    const QString cap = choices.maxPieces.trimmed();
    if (!cap.isEmpty()) {
        bool ok = false;
        const qlonglong pieces = cap.toLongLong(&ok);
        if (!ok || pieces < 0) {
            checked.problem = QObject::tr("The cap on pieces \"%1\" is not a whole number.").arg(choices.maxPieces);
            return checked;
        }
        options.maxPieces = pieces;
    }
    if (choices.compressPieces) options.compression = PieceCompression::Gzip;
    if (!choices.parts.isEmpty()) {
        const auto parts = ParseParts(choices.parts.toStdString());
        if (!parts) {
            checked.problem =
                QObject::tr("The equal parts \"%1\" are not a whole number of at least 1.").arg(choices.parts);
            return checked;
        }
        if (!options.reading.wholeFile) {
            checked.problem = QObject::tr("Equal parts share out whole sources, not blocks of 30000 bytes.");
            return checked;
        }
        options.parts = *parts;
    }
    if (!choices.matchPattern.isEmpty()) options.matchPattern = choices.matchPattern.toStdString();
    if (!choices.byColumn.isEmpty()) {
        if (choices.fitForExcel || choices.compressPieces || options.maxPieces > 0 || !options.reading.wholeFile) {
            checked.problem = QObject::tr(
                "One piece per value of a column goes with none of Fit for Excel, gzip "
                "pieces, a cap on pieces and blocks of 30000 bytes.");
            return checked;
        }
        options.byColumn = choices.byColumn.toStdU16String();
        // A column named rather than numbered is looked up in the header.
        bool numbered = false;
        choices.byColumn.toInt(&numbered);
        if (!numbered && options.headerLines == 0) options.headerLines = 1;
    }
    // Excel's own needs come last: they hold whatever else is chosen.
    if (choices.fitForExcel) FitForExcel(options);

    checked.options = options;
    return checked;
}

OptionsDialog::OptionsDialog(SettingsStore& store, QWidget* parent) : QDialog(parent), store_(store) {
    setObjectName(QStringLiteral("optionsDialog"));
    setWindowTitle(tr("Options"));

    lineEnd_ = new QComboBox;
    lineEnd_->setObjectName(QStringLiteral("lineEndChoice"));
    lineEnd_->addItem(tr("Automatic: the first line end in each source"), kAuto);
    lineEnd_->addItem(tr("CR LF (Windows)"), QStringLiteral("crlf"));
    lineEnd_->addItem(tr("LF (Linux, macOS)"), QStringLiteral("lf"));

    codePage_ = new QComboBox;
    codePage_->setObjectName(QStringLiteral("codePageChoice"));
    codePage_->addItem(tr("Automatic: UTF-8 when valid, else the system's"), kAuto);
    codePage_->addItem(tr("The system's code page"), kSystem);
    codePage_->addItem(tr("This code page:"), kNamed);
    codePageName_ = new QLineEdit;
    codePageName_->setObjectName(QStringLiteral("codePageName"));
    codePageName_->setAccessibleName(tr("Code page name"));
    codePageName_->setPlaceholderText(tr("such as windows-1250, 932 or utf-8"));
    codePageName_->setMinimumWidth(codePageName_->fontMetrics().horizontalAdvance(codePageName_->placeholderText()) +
                                   16);
    auto* codePageRow = new QHBoxLayout;
    codePageRow->addWidget(codePage_);
    codePageRow->addWidget(codePageName_);

    auto* cutting = new QButtonGroup(this);
    wholeSources_ = Choice(tr("&Whole sources"), "wholeSourcesOption", cutting);
    blocks_ = Choice(tr("&Blocks of 30000 bytes, each cut on its own"), "blocksOption", cutting);
    auto* cuttingColumn = new QVBoxLayout;
    cuttingColumn->addWidget(wholeSources_);
    cuttingColumn->addWidget(blocks_);

    auto* destination = new QButtonGroup(this);
    besideSources_ = Choice(tr("Beside each &source"), "besideSourcesOption", destination);
    intoFolder_ = Choice(tr("&Into this folder:"), "intoFolderOption", destination);
    folder_ = new QLineEdit;
    folder_->setObjectName(QStringLiteral("outputFolderField"));
    folder_->setAccessibleName(tr("Folder for the pieces"));
    auto* browse = new QPushButton(tr("B&rowse..."));
    browse->setObjectName(QStringLiteral("browseFolderButton"));
    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(intoFolder_);
    folderRow->addWidget(folder_, 1);
    folderRow->addWidget(browse);
    auto* destinationColumn = new QVBoxLayout;
    destinationColumn->addWidget(besideSources_);
    destinationColumn->addLayout(folderRow);

    headerLines_ = new QSpinBox;
    headerLines_->setObjectName(QStringLiteral("headerLinesField"));
    headerLines_->setRange(0, 1000000);
    headerLines_->setSpecialValueText(tr("off"));
    headerLines_->setToolTip(tr("The first lines of each source, written at the head of every piece of it."));

    askBeforeReplacing_ = new QCheckBox(tr("&Ask before pieces replace existing files"));
    askBeforeReplacing_->setObjectName(QStringLiteral("askBeforeReplacingOption"));

    outputEncoding_ = new QComboBox;
    outputEncoding_->setObjectName(QStringLiteral("outputEncodingChoice"));
    for (const auto& [caption, encoding] : {
             std::pair{tr("UTF-8"), OutputEncoding::Utf8},
             std::pair{tr("UTF-8 with byte-order mark (for Excel)"), OutputEncoding::Utf8Bom},
             std::pair{tr("UTF-16"), OutputEncoding::Utf16Le},
             std::pair{tr("The source's own encoding"), OutputEncoding::Source},
             std::pair{tr("As the first release (CESU-8)"), OutputEncoding::Cesu8},
         }) {
        outputEncoding_->addItem(caption, QString::fromUtf8(OutputEncodingWord(encoding)));
    }
    finalLineEnd_ = new QCheckBox(tr("&End every piece with a line end"));
    finalLineEnd_->setObjectName(QStringLiteral("finalLineEndOption"));
    finalLineEnd_->setToolTip(tr("So that the pieces joined in order give back the source's text."));

    fitForExcel_ = new QCheckBox(tr("Fit for E&xcel"));
    fitForExcel_->setObjectName(QStringLiteral("fitForExcelOption"));
    fitForExcel_->setToolTip(
        tr("CSV records, the first record as the header of every piece, at most 1,048,575 "
           "records a piece and UTF-8 with a byte-order mark: pieces that Excel opens whole."));
    maxPieces_ = new QSpinBox;
    maxPieces_->setObjectName(QStringLiteral("maxPiecesField"));
    maxPieces_->setRange(0, 1000000000);
    maxPieces_->setSpecialValueText(tr("no cap"));
    maxPieces_->setToolTip(tr("The rest of a source is not read once it has given this many pieces."));
    compressPieces_ = new QCheckBox(tr("Compress pieces (g&zip)"));
    compressPieces_->setObjectName(QStringLiteral("compressPiecesOption"));
    compressPieces_->setToolTip(tr("Every piece is written as NAME.EXT.gz."));

    problem_ = new QLabel;
    problem_->setObjectName(QStringLiteral("optionsProblem"));
    problem_->setWordWrap(true);
    problem_->setStyleSheet(QStringLiteral("color: #b00000"));
    problem_->hide();

    auto* form = new QFormLayout;
    // Every label has a mnemonic that takes the keyboard to its control.
    const auto label = [](const QString& text, QWidget* buddy) {
        auto* shown = new QLabel(text);
        shown->setBuddy(buddy);
        return shown;
    };
    form->addRow(label(tr("&Line ends:"), lineEnd_), lineEnd_);
    form->addRow(label(tr("Code &page:"), codePage_), codePageRow);
    form->addRow(label(tr("C&ut:"), wholeSources_), cuttingColumn);
    form->addRow(label(tr("Pieces &go:"), besideSources_), destinationColumn);
    form->addRow(label(tr("&Header lines in every piece:"), headerLines_), headerLines_);
    form->addRow(label(tr("Wri&te pieces as:"), outputEncoding_), outputEncoding_);
    form->addRow(QString(), finalLineEnd_);
    form->addRow(QString(), fitForExcel_);
    form->addRow(label(tr("At &most this many pieces from each source:"), maxPieces_), maxPieces_);
    form->addRow(QString(), compressPieces_);
    form->addRow(QString(), askBeforeReplacing_);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    auto* column = new QVBoxLayout(this);
    column->addLayout(form);
    column->addWidget(problem_);
    column->addWidget(buttons);

    connect(buttons, &QDialogButtonBox::accepted, this, &OptionsDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &OptionsDialog::reject);
    connect(browse, &QPushButton::clicked, this, &OptionsDialog::onBrowseClicked);
    connect(codePage_, &QComboBox::currentIndexChanged, this, &OptionsDialog::UpdateEnabled);
    connect(intoFolder_, &QRadioButton::toggled, this, &OptionsDialog::UpdateEnabled);
    connect(fitForExcel_, &QCheckBox::toggled, this, &OptionsDialog::UpdateEnabled);
    // Typing a folder or a code-page name means choosing it.
    connect(folder_, &QLineEdit::textEdited, intoFolder_, [this] { intoFolder_->setChecked(true); });

    Show(ReadRunChoices(store_));
}

void OptionsDialog::Show(const RunChoices& choices) {
    const int lineEnd = lineEnd_->findData(choices.lineEnd);
    lineEnd_->setCurrentIndex(lineEnd < 0 ? 0 : lineEnd);
    const int codePage = codePage_->findData(choices.codePage);
    codePage_->setCurrentIndex(codePage < 0 ? codePage_->findData(kNamed) : codePage);
    codePageName_->setText(codePage < 0 ? choices.codePage : QString());
    (choices.wholeSources ? wholeSources_ : blocks_)->setChecked(true);
    (choices.outputFolder.isEmpty() ? besideSources_ : intoFolder_)->setChecked(true);
    folder_->setText(choices.outputFolder);
    const std::int64_t header = HeaderLineCount(choices.headerLines.trimmed()).value_or(0);
    headerLines_->setValue(static_cast<int>(std::min<std::int64_t>(header, headerLines_->maximum())));
    askBeforeReplacing_->setChecked(choices.askBeforeReplacing);
    const int encoding = outputEncoding_->findData(choices.outputEncoding);
    outputEncoding_->setCurrentIndex(encoding < 0 ? 0 : encoding);
    finalLineEnd_->setChecked(choices.finalLineEnd);
    fitForExcel_->setChecked(choices.fitForExcel);
    maxPieces_->setValue(choices.maxPieces.trimmed().toInt());
    compressPieces_->setChecked(choices.compressPieces);
    UpdateEnabled();
}

RunChoices OptionsDialog::Shown() const {
    RunChoices choices;
    choices.lineEnd = lineEnd_->currentData().toString();
    choices.codePage = codePage_->currentData().toString();
    if (choices.codePage == kNamed) choices.codePage = codePageName_->text().trimmed();
    choices.wholeSources = wholeSources_->isChecked();
    choices.outputFolder = intoFolder_->isChecked() ? folder_->text().trimmed() : QString();
    choices.headerLines = QString::number(headerLines_->value());
    choices.askBeforeReplacing = askBeforeReplacing_->isChecked();
    choices.outputEncoding = outputEncoding_->currentData().toString();
    choices.finalLineEnd = finalLineEnd_->isChecked();
    choices.fitForExcel = fitForExcel_->isChecked();
    choices.maxPieces = QString::number(maxPieces_->value());
    choices.compressPieces = compressPieces_->isChecked();
    return choices;
}

void OptionsDialog::UpdateEnabled() {
    codePageName_->setEnabled(codePage_->currentData().toString() == kNamed);
    // Fit for Excel sets the header and the encoding itself.
    headerLines_->setEnabled(!fitForExcel_->isChecked());
    outputEncoding_->setEnabled(!fitForExcel_->isChecked());
}

void OptionsDialog::onBrowseClicked() {
    const QString folder = QFileDialog::getExistingDirectory(this, tr("Folder for the pieces"), folder_->text());
    if (folder.isEmpty()) return;
    folder_->setText(folder);
    intoFolder_->setChecked(true);
}

void OptionsDialog::accept() {
    const RunChoices choices = Shown();
    QString problem;
    if (intoFolder_->isChecked() && choices.outputFolder.isEmpty())
        problem = tr("Choose the folder for the pieces, or let them go beside each source.");
    else
        problem = ToRunOptions(choices).problem;
    if (!problem.isEmpty()) {
        problem_->setText(problem);
        problem_->show();
        return;
    }
    WriteRunChoices(store_, choices);
    QDialog::accept();
}

}  // namespace partwright
