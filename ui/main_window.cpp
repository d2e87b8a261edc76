#include "ui/main_window.h"

#include "filelist/add_files.h"
#include "filelist/file_list.h"
#include "filelist/pointer_file.h"
#include "partwright/line_match.h"
#include "partwright/messages.h"
#include "partwright/option_text.h"
#include "partwright/setting_fields.h"
#include "partwright/settings_defaults.h"
#include "ui/end_report.h"
#include "ui/input_checks.h"
#include "ui/message_box.h"
#include "ui/modal_guard.h"
#include "ui/options_dialog.h"
#include "ui/preview_dialog.h"
#include "ui/replace_check.h"
#include "ui/run_progress.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMouseEvent>
#include <QProgressBar>
#include <QRadioButton>
#include <QScreen>
#include <QShortcut>
#include <QSignalBlocker>
#include <QTimer>
#include <QToolButton>

#include <optional>
#include <utility>

namespace partwright {

namespace keys = settings_keys;

namespace {

const QString kTitle = QStringLiteral("Partwright");

QString Default(const char16_t* value) { return QString::fromUtf16(value); }

// Screen readers announce the window as a frame, as they do any program's
// main window; a plain top-level widget would be a mere client area.
QAccessibleInterface* WindowAccessible(const QString& className, QObject* object) {
    if (className == QLatin1String("partwright::MainWindow") && object->isWidgetType())
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Window);
    return nullptr;
}

}  // namespace

QPoint CenteredPosition(const QRect& screen, const QSize& outer) {
    return {screen.x() + (screen.width() - outer.width()) / 2, screen.y() + (screen.height() - outer.height()) / 2};
}

MainWindow::MainWindow(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint |
                          Qt::WindowCloseButtonHint),
      pointer_(std::make_unique<PointerFeedback>(*this)),
      dialogs_(std::make_unique<NativeAddFilesDialogs>()) {
    setObjectName(QStringLiteral("mainWindow"));
    static const bool accessibleInstalled = (QAccessible::installFactory(WindowAccessible), true);
    Q_UNUSED(accessibleInstalled);
    BuildControls();
    BuildMenus();
    SetTabOrder();
    ConnectHandlers();
    WatchPointer();
    LoadSettings();
}

MainWindow::~MainWindow() = default;

void MainWindow::AddSources(const QStringList& paths) {
    for (const QString& path : paths) fileList_->Append(path);
}

void MainWindow::SetAddFilesDialogs(std::unique_ptr<AddFilesDialogs> dialogs) { dialogs_ = std::move(dialogs); }

void MainWindow::ConnectHandlers() {
    // An option's handler runs whenever it becomes selected: by mouse, keyboard or program.
    const auto onSelect = [this](QRadioButton* option, void (MainWindow::*handler)()) {
        connect(option, &QRadioButton::toggled, this, [this, handler](bool selected) {
            if (selected) (this->*handler)();
        });
    };
    onSelect(linesOption_, &MainWindow::onLinesOptionSelected);
    onSelect(separatorOption_, &MainWindow::onSeparatorOptionSelected);
    onSelect(blankLinesOption_, &MainWindow::onBlankLinesOptionSelected);
    onSelect(sizeOption_, &MainWindow::onSizeOptionSelected);
    onSelect(byColumnOption_, &MainWindow::onByColumnOptionSelected);
    onSelect(partsOption_, &MainWindow::onPartsOptionSelected);
    onSelect(matchOption_, &MainWindow::onMatchOptionSelected);
    onSelect(templateOption_, &MainWindow::onTemplateOptionSelected);
    onSelect(numberedOption_, &MainWindow::onNumberedOptionSelected);
    onSelect(firstCharactersOption_, &MainWindow::onFirstCharactersOptionSelected);
    onSelect(prefixOption_, &MainWindow::onPrefixOptionSelected);

    // Every change counts, typed, pasted or set by the program.
    connect(linesPerPieceField_, &QLineEdit::textChanged, this, &MainWindow::onLinesPerPieceChanged);
    connect(separatorField_, &QLineEdit::textChanged, this, &MainWindow::onSeparatorChanged);
    connect(pieceSizeField_, &QLineEdit::textChanged, this, &MainWindow::onPieceSizeChanged);
    connect(columnField_, &QLineEdit::textChanged, this, &MainWindow::onColumnChanged);
    connect(partsField_, &QLineEdit::textChanged, this, &MainWindow::onPartsChanged);
    connect(matchField_, &QLineEdit::textChanged, this, &MainWindow::onMatchChanged);
    connect(delimiterField_, &QLineEdit::textChanged, this, &MainWindow::onDelimiterChanged);
    connect(templateField_, &QLineEdit::textChanged, this, &MainWindow::onTemplateChanged);
    connect(csvRecordsOption_, &QCheckBox::toggled, this, &MainWindow::onCsvRecordsToggled);
    // A column's values are read from CSV records: the box shows it, checked and fixed.
    connect(byColumnOption_, &QRadioButton::toggled, this, &MainWindow::onCsvRecordsToggled);
    connect(nameLengthField_, &QLineEdit::textChanged, this, &MainWindow::onNameLengthChanged);
    connect(prefixField_, &QLineEdit::textChanged, this, &MainWindow::onPrefixChanged);
    connect(firstNumberField_, &QLineEdit::textChanged, this, &MainWindow::onFirstNumberChanged);
    nameLengthField_->installEventFilter(this);
    firstNumberField_->installEventFilter(this);

    connect(addFilesButton_, &QToolButton::clicked, this, &MainWindow::onAddFilesClicked);
    connect(splitButton_, &QToolButton::clicked, this, &MainWindow::onSplitClicked);
    connect(addFolderButton_, &QToolButton::clicked, this, &MainWindow::onAddFolderClicked);
    connect(fileList_, &FileList::changeRefused, this, &MainWindow::onListChangeRefused);

    connect(optionsAction_, &QAction::triggered, this, &MainWindow::onOptionsClicked);
    connect(previewAction_, &QAction::triggered, this, &MainWindow::onPreviewClicked);
    connect(removeSelectedAction_, &QAction::triggered, fileList_, &FileList::RemoveSelectedEntries);
    connect(clearListAction_, &QAction::triggered, fileList_, &FileList::RemoveAllEntries);
    connect(choicesSummary_, &QLabel::linkActivated, this, &MainWindow::onOptionsClicked);
    cancelShortcut_ = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    cancelShortcut_->setEnabled(false);
    connect(cancelShortcut_, &QShortcut::activated, this, &MainWindow::onCancelRunClicked);
}

void MainWindow::WatchPointer() {
    // The blank-lines and prefix options and the prefix and first-number fields
    // are left out on purpose: over them the pointer stays as the frame around
    // them last set it.
    const QList<QPair<QWidget*, PointerKind>> targets = {
        {this, PointerKind::Default},
        {surface_, PointerKind::Default},
        {menuBar_, PointerKind::Default},
        {splitOptions_, PointerKind::Default},
        {saveOptions_, PointerKind::Default},
        {addFilesButton_, PointerKind::Custom},
        {splitButton_, PointerKind::Custom},
        {addFolderButton_, PointerKind::Custom},
        {linesOption_, PointerKind::Default},
        {separatorOption_, PointerKind::Default},
        {firstCharactersOption_, PointerKind::Default},
        {numberedOption_, PointerKind::Default},
        {linesPerPieceField_, PointerKind::Default},
        {separatorField_, PointerKind::Default},
        {nameLengthField_, PointerKind::Default},
        {fileList_->viewport(), PointerKind::Default},
    };
    for (const auto& [widget, kind] : targets) {
        widget->setMouseTracking(true);
        widget->installEventFilter(this);
        hoverTargets_.insert(widget, kind);
    }
}

void MainWindow::LoadSettings() {
    loading_ = true;
    CenterOnScreen();
    pointer_->SetHand(HoverCursor(ProgramDataFile(QStringLiteral("HAND-M.CUR"))));
    setWindowTitle(kTitle);
    fileList_->setColumnWidth(0, 6500 / 15);

    // Setting the fields runs their change handlers, which select the size,
    // lines, separator and first-characters options in turn and write the
    // text keys back.
    pieceSizeField_->setText(store_.Read(keys::kMaxPieceSize, QString()));
    columnField_->setText(store_.Read(keys::kByColumn, QString()));
    partsField_->setText(store_.Read(keys::kParts, QString()));
    matchField_->setText(store_.Read(keys::kMatchPattern, QString()));
    templateField_->setText(store_.Read(keys::kNameTemplate, QString()));
    delimiterField_->setText(store_.Read(keys::kCsvDelimiter, QStringLiteral(",")));
    csvRecordsOption_->setChecked(store_.Read(keys::kCsvRecords, QStringLiteral("0")) == QLatin1String("1"));
    linesPerPieceField_->setText(store_.Read(keys::kNumberOfLines, Default(defaults::kLinesPerPiece)));
    separatorField_->setText(store_.Read(keys::kSeparator, Default(defaults::kSeparator)));
    nameLengthField_->setText(store_.Read(keys::kFirstCharacterSplit, Default(defaults::kNameLength)));
    prefixField_->setText(store_.Read(keys::kStartWithTheseCharacter, Default(defaults::kPrefix)));
    firstNumberField_->setText(store_.Read(keys::kFirstNumber, Default(defaults::kFirstNumber)));

    // Only the exact texts select; anything else leaves the separator and
    // first-characters options standing from the field changes above.
    const QString split = store_.Read(keys::kSplitOption, QStringLiteral("1"));
    if (split == QLatin1String("1")) linesOption_->setChecked(true);
    if (split == QLatin1String("2")) separatorOption_->setChecked(true);
    if (split == QLatin1String("3")) blankLinesOption_->setChecked(true);
    if (split == QLatin1String("4")) sizeOption_->setChecked(true);
    if (split == QLatin1String("5")) byColumnOption_->setChecked(true);
    if (split == QLatin1String("6")) partsOption_->setChecked(true);
    if (split == QLatin1String("7")) matchOption_->setChecked(true);
    const QString save = store_.Read(keys::kSaveOption, QStringLiteral("1"));
    if (save == QLatin1String("1")) numberedOption_->setChecked(true);
    if (save == QLatin1String("2")) firstCharactersOption_->setChecked(true);
    if (save == QLatin1String("3")) prefixOption_->setChecked(true);
    if (save == QLatin1String("4")) templateOption_->setChecked(true);
    onCsvRecordsToggled();

    ShowChoicesSummary();
    // The list has the keyboard from the start: Tab, the arrows and the
    // mnemonics work at once, and no field shows a caret.
    fileList_->setFocus();
    loading_ = false;
}

void MainWindow::CenterOnScreen() {
    const QScreen* screen = this->screen();
    if (!screen) return;
    move(CenteredPosition(screen->geometry(), frameGeometry().size()));
}

void MainWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (shownOnce_) return;
    shownOnce_ = true;
    // The frame's size is known only once the window is shown.
    CenterOnScreen();
    fileList_->setFocus();
    QTimer::singleShot(0, this, [this] { pointer_->Preload(); });
}

bool MainWindow::IsTabStop(const QWidget* widget) const {
    if (!isAncestorOf(widget) || !widget->isEnabled() || !widget->isVisibleTo(this)) return false;
    if (!(widget->focusPolicy() & Qt::TabFocus)) return false;
    // Tab enters an option group only at its selected option.
    const auto* option = qobject_cast<const QRadioButton*>(widget);
    return !option || option->isChecked();
}

bool MainWindow::focusNextPrevChild(bool next) {
    QWidget* current = focusWidget();
    if (!current) return QWidget::focusNextPrevChild(next);
    QWidget* candidate = current;
    do {
        candidate = next ? candidate->nextInFocusChain() : candidate->previousInFocusChain();
        if (IsTabStop(candidate)) {
            candidate->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
            return true;
        }
    } while (candidate != current);
    return QWidget::focusNextPrevChild(next);
}

void MainWindow::onLinesOptionSelected() {
    if (!loading_) store_.Write(keys::kSplitOption, QStringLiteral("1"));
}
void MainWindow::onSeparatorOptionSelected() {
    if (!loading_) store_.Write(keys::kSplitOption, QStringLiteral("2"));
}
void MainWindow::onBlankLinesOptionSelected() {
    if (!loading_) store_.Write(keys::kSplitOption, QStringLiteral("3"));
}
void MainWindow::onSizeOptionSelected() {
    if (!loading_) store_.Write(keys::kSplitOption, QStringLiteral("4"));
}
void MainWindow::onByColumnOptionSelected() {
    if (!loading_) store_.Write(keys::kSplitOption, QStringLiteral("5"));
}
void MainWindow::onPartsOptionSelected() {
    if (!loading_) store_.Write(keys::kSplitOption, QStringLiteral("6"));
}
void MainWindow::onMatchOptionSelected() {
    if (!loading_) store_.Write(keys::kSplitOption, QStringLiteral("7"));
}
void MainWindow::onTemplateOptionSelected() {
    if (!loading_) store_.Write(keys::kSaveOption, QStringLiteral("4"));
}
void MainWindow::onNumberedOptionSelected() {
    if (!loading_) store_.Write(keys::kSaveOption, QStringLiteral("1"));
}
void MainWindow::onFirstCharactersOptionSelected() {
    if (!loading_) store_.Write(keys::kSaveOption, QStringLiteral("2"));
}
void MainWindow::onPrefixOptionSelected() {
    if (!loading_) store_.Write(keys::kSaveOption, QStringLiteral("3"));
}

void MainWindow::StoreIfUsable(const QString& key, OptionField field, const QLineEdit* edit) {
    // A text the run cannot use stays in the field, to be mended, but the
    // store keeps the last good one: a slip never comes back at the next start.
    if (IsUsableFieldText(field, edit->text())) store_.Write(key, edit->text());
}

void MainWindow::onLinesPerPieceChanged() {
    linesOption_->setChecked(true);
    StoreIfUsable(keys::kNumberOfLines, OptionField::LinesPerPiece, linesPerPieceField_);
}
void MainWindow::onSeparatorChanged() {
    separatorOption_->setChecked(true);
    store_.Write(keys::kSeparator, separatorField_->text());
}
void MainWindow::onPieceSizeChanged() {
    sizeOption_->setChecked(true);
    if (IsUsablePieceSize(pieceSizeField_->text())) store_.Write(keys::kMaxPieceSize, pieceSizeField_->text());
}
void MainWindow::onColumnChanged() {
    byColumnOption_->setChecked(true);
    if (!loading_) store_.Write(keys::kByColumn, columnField_->text());
}
void MainWindow::onPartsChanged() {
    partsOption_->setChecked(true);
    if (!loading_ && ParseParts(partsField_->text().trimmed().toStdString()))
        store_.Write(keys::kParts, partsField_->text().trimmed());
}
void MainWindow::onMatchChanged() {
    matchOption_->setChecked(true);
    if (!loading_ && !PatternProblem(matchField_->text().toStdString()))
        store_.Write(keys::kMatchPattern, matchField_->text());
}
void MainWindow::onCsvRecordsToggled() {
    const bool byColumn = byColumnOption_->isChecked();
    if (byColumn == csvRecordsOption_->isEnabled()) {  // the column option came or went
        csvRecordsOption_->setEnabled(!byColumn);
        const QSignalBlocker quiet(csvRecordsOption_);
        csvRecordsOption_->setChecked(byColumn ||
                                      store_.Read(keys::kCsvRecords, QStringLiteral("0")) == QLatin1String("1"));
    }
    delimiterLabel_->setEnabled(csvRecordsOption_->isChecked());
    delimiterField_->setEnabled(csvRecordsOption_->isChecked());
    // The box's own choice is stored, not the one the column option makes for it.
    if (!loading_ && !byColumn) store_.Write(keys::kCsvRecords, csvRecordsOption_->isChecked() ? "1" : "0");
}
void MainWindow::onDelimiterChanged() {
    if (!loading_) store_.Write(keys::kCsvDelimiter, delimiterField_->text());
}
void MainWindow::onTemplateChanged() {
    templateOption_->setChecked(true);
    if (!loading_) StoreIfUsable(keys::kNameTemplate, OptionField::NameTemplate, templateField_);
}
void MainWindow::onNameLengthChanged() {
    firstCharactersOption_->setChecked(true);
    StoreIfUsable(keys::kFirstCharacterSplit, OptionField::NameLength, nameLengthField_);
}
// The prefix and first-number fields belong to the prefix option on the screen
// but do not select it.
void MainWindow::onPrefixChanged() { StoreIfUsable(keys::kStartWithTheseCharacter, OptionField::Prefix, prefixField_); }
void MainWindow::onFirstNumberChanged() {
    StoreIfUsable(keys::kFirstNumber, OptionField::FirstNumber, firstNumberField_);
}

void MainWindow::onNameLengthLeft() {
    const QString text = nameLengthField_->text();
    if (!HasRefusedFileNameChar(text)) return;
    const FieldProblem problem{OptionField::NameLength,
                               text.toStdU16String(),
                               !ReadNameLength(text.toStdU16String()).value.has_value(),
                               {}};
    ShowMessage(this, LeftFieldText(messages::kInvalidFilename, problem));
    nameLengthField_->setFocus();
}

void MainWindow::onFirstNumberLeft() {
    const QString text = firstNumberField_->text();
    if (PassesNumericTest(text)) return;
    ShowMessage(this,
                LeftFieldText(messages::kNonNumeric, {OptionField::FirstNumber, text.toStdU16String(), true, {}}));
    firstNumberField_->setFocus();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseMove) {
        const auto target = hoverTargets_.constFind(watched);
        if (target != hoverTargets_.constEnd()) {
            pointer_->Hover(*target);
            // A button ignores moves made without a pressed mouse button, and an
            // ignored move goes on to the window, whose handler would take the
            // hand away again at once.
            const bool tracking = static_cast<QMouseEvent*>(event)->buttons() == Qt::NoButton;
            if (*target == PointerKind::Custom && tracking) return true;
        }
    } else if (event->type() == QEvent::FocusOut && (watched == nameLengthField_ || watched == firstNumberField_)) {
        // Focus leaving for another program or a menu is not the user leaving the field.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
            pendingCheck_ = watched == nameLengthField_ ? FieldCheck::NameLength : FieldCheck::FirstNumber;
            // After the focus change has finished: a box opened in the middle
            // of it would fight it for the focus.
            QMetaObject::invokeMethod(this, &MainWindow::onFieldCheckDue, Qt::QueuedConnection);
        }
    } else if (event->type() == QEvent::KeyPress && IsPictureButton(watched)) {
        // Enter presses the focused picture button, as it does a push button.
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            static_cast<QToolButton*>(watched)->click();
            return true;
        }
    } else if (event->type() == QEvent::MouseButtonRelease && IsPictureButton(watched)) {
        // A press that took the focus from a field and ends off its button
        // clicks nothing; the field's check still comes, after the release.
        QMetaObject::invokeMethod(this, &MainWindow::onFieldCheckDue, Qt::QueuedConnection);
    }
    return QWidget::eventFilter(watched, event);
}

bool MainWindow::IsPictureButton(const QObject* object) const {
    return object == addFilesButton_ || object == splitButton_ || object == addFolderButton_;
}

void MainWindow::onFieldCheckDue() {
    // A press on a picture button took the focus from the field: the field's
    // message waits for the press to end, and a click shows it before it acts,
    // so the order is the same however long the button is held.
    for (const QToolButton* button : {addFilesButton_, splitButton_, addFolderButton_})
        if (button->isDown()) return;
    RunPendingFieldCheck();
}

std::optional<OptionField> MainWindow::RunPendingFieldCheck() {
    switch (std::exchange(pendingCheck_, FieldCheck::None)) {
    case FieldCheck::None: break;
    case FieldCheck::NameLength:
        if (!HasRefusedFileNameChar(nameLengthField_->text())) break;
        onNameLengthLeft();
        return OptionField::NameLength;
    case FieldCheck::FirstNumber:
        if (PassesNumericTest(firstNumberField_->text())) break;
        onFirstNumberLeft();
        return OptionField::FirstNumber;
    }
    return std::nullopt;
}

void MainWindow::onAddFilesClicked() {
    // No file joins the list while a run or a preview holds it.
    if (fileList_->IsRunActive()) {
        onListChangeRefused();
        return;
    }
    RunPendingFieldCheck();
    if (closeRequested_) return;
    AddFilesFromDialog(*fileList_, *dialogs_, this);
}

void MainWindow::onAddFolderClicked() {
    if (fileList_->IsRunActive()) {
        onListChangeRefused();
        return;
    }
    RunPendingFieldCheck();
    if (closeRequested_) return;
    AddFolderFromPicker(
        *fileList_, *dialogs_, this,
        [this](bool busy) {
            if (busy)
                pointer_->BeginBusy();
            else
                pointer_->EndBusy();
        },
        [] { QCoreApplication::processEvents(); });
}

// What Split! and Preview check before they start, each saying in one box
// what stops them: a run under way, a field just left, an empty list, a field
// the selected options use, the Options. The run itself still reads the
// fields live and copes with later changes.
std::optional<RunOptions> MainWindow::ReadyToRun(const ControlSettings& settings) {
    // The button has sprung back already; a press while a run yields starts nothing.
    if (running_) return std::nullopt;
    // The message of a field just left comes first; after its OK the run goes
    // on, unless that field is one the run needs: its box has said so already.
    const std::optional<OptionField> named = RunPendingFieldCheck();
    if (closeRequested_) return std::nullopt;
    if (fileList_->Count() < 1) {
        ShowMessage(this, QString::fromUtf8(messages::kNoFiles));
        return std::nullopt;
    }
    if (const std::optional<FieldProblem> problem = CheckSettings(settings)) {
        if (named != problem->field) ShowMessage(this, FieldProblemText(*problem));
        if (!closeRequested_) FieldOf(problem->field)->setFocus();
        return std::nullopt;
    }
    if (sizeOption_->isChecked() && !IsUsablePieceSize(pieceSizeField_->text())) {
        ShowMessage(this, PieceSizeProblemText(pieceSizeField_->text()));
        if (!closeRequested_) pieceSizeField_->setFocus();
        return std::nullopt;
    }
    if (byColumnOption_->isChecked()) {
        QString problem;
        if (columnField_->text().trimmed().isEmpty())
            problem = tr("Split by value of column: give the column's number (1 for the first) or its name.");
        else if (firstCharactersOption_->isChecked() || prefixOption_->isChecked())
            problem = tr(
                "Split by value of column names each piece after its value: choose "
                "Save as [filename]-0001.txt or a template with {value}.");
        if (!problem.isEmpty()) {
            ShowMessage(this, problem);
            if (!closeRequested_) columnField_->setFocus();
            return std::nullopt;
        }
    }
    if (partsOption_->isChecked() && !ParseParts(partsField_->text().trimmed().toStdString())) {
        ShowMessage(this, tr("Equal parts: \"%1\" is not a whole number of at least 1.").arg(partsField_->text()));
        if (!closeRequested_) partsField_->setFocus();
        return std::nullopt;
    }
    if (matchOption_->isChecked()) {
        const std::optional<std::string> problem = PatternProblem(matchField_->text().toStdString());
        if (problem || matchField_->text().isEmpty()) {
            ShowMessage(this,
                        tr("Lines matching: \"%1\" is no pattern to cut at: %2.")
                            .arg(matchField_->text(), problem ? QString::fromStdString(*problem) : tr("it is empty")));
            if (!closeRequested_) matchField_->setFocus();
            return std::nullopt;
        }
    }
    if (csvRecordsOption_->isChecked() && !ParseDelimiter(delimiterField_->text().toStdString())) {
        ShowMessage(this, tr("Delimiter: \"%1\" is not one character other than a quote; write tab for a tab.")
                              .arg(delimiterField_->text()));
        if (!closeRequested_) delimiterField_->setFocus();
        return std::nullopt;
    }
    return CheckedRunOptionsOrSay();
}

void MainWindow::onSplitClicked() {
    const ControlSettings settings(Options());
    const std::optional<RunOptions> options = ReadyToSplit(settings);
    if (!options) return;
    HoldForRun(true);
    pointer_->BeginBusy();

    std::vector<std::uint64_t> sizes;
    for (int position = 1; position <= fileList_->Count(); ++position)
        sizes.push_back(static_cast<std::uint64_t>(std::max<qint64>(QFileInfo(fileList_->PathAt(position)).size(), 0)));
    RunProgressDialog progress(std::move(sizes), this);
    runDialog_ = &progress;
    runClock_.start();  // the dialog comes once the run has gone on a while

    const ListSources sources(*fileList_);
    WindowRunHost host(
        this, [this, &progress] { return !closeRequested_ && !progress.CancelRequested(); },
        [this](const Progress& shown) { ShowProgress(shown); });
    const RunReport report = SplitRun(sources, settings, host, *options);

    runDialog_ = nullptr;
    progress.hide();
    EndProgress();
    HoldForRun(false);
    if (!closeRequested_) {  // a closed window ends without it
        RunPlaces places = host.Places();
        places.sourceCount = sources.Count();
        if (!report.stopped) places.sourcesReached = places.sourceCount;
        const EndReport end = ComposeEndReport(report, places);
        ShowMessage(this, end.text, end.details, end.folder);
    }
    pointer_->EndBusy();
}

std::optional<RunOptions> MainWindow::ReadyToSplit(const ControlSettings& settings) {
    std::optional<RunOptions> options = ReadyToRun(settings);
    if (!options) return options;
    const ListSources sources(*fileList_);
    if (const QString problem = UnwritableFoldersText(sources, *options); !problem.isEmpty()) {
        ShowMessage(this, problem);
        return std::nullopt;
    }
    if (!ReadRunChoices(store_).askBeforeReplacing) return options;

    HoldForRun(true);
    pointer_->BeginBusy();
    const std::optional<std::uint64_t> replaced = FilesToReplace(sources, settings, *options,
                                                                 [this] { return !closeRequested_; });
    pointer_->EndBusy();
    HoldForRun(false);
    if (!replaced || closeRequested_) return std::nullopt;
    if (*replaced == 0) return options;
    const QString count = *replaced == 1
                              ? tr("1 existing file would be replaced by a piece of the same name.")
                              : tr("%1 existing files would be replaced by pieces of the same names.").arg(*replaced);
    bool dontAskAgain = false;
    const QString question = *replaced == 1 ? tr("Replace it?") : tr("Replace them?");
    if (!AskToGoOn(this, count + QStringLiteral("\n\n") + question, tr("&Replace"), &dontAskAgain)) return std::nullopt;
    if (dontAskAgain) store_.Write(keys::kAskBeforeReplacing, QStringLiteral("0"));
    return options;
}

QLineEdit* MainWindow::FieldOf(OptionField field) const {
    switch (field) {
    case OptionField::LinesPerPiece: return linesPerPieceField_;
    case OptionField::NameLength: return nameLengthField_;
    case OptionField::Prefix: return prefixField_;
    case OptionField::FirstNumber: return firstNumberField_;
    case OptionField::NameTemplate: return templateField_;
    }
    return linesPerPieceField_;
}

void MainWindow::onCancelRunClicked() {
    if (runDialog_) runDialog_->RequestCancel();
}

void MainWindow::HoldForRun(bool hold) {
    running_ = hold;
    fileList_->SetRunActive(hold);
    cancelShortcut_->setEnabled(hold);
    for (QAction* action : {optionsAction_, previewAction_, removeSelectedAction_, clearListAction_})
        action->setEnabled(!hold);
}

std::optional<RunOptions> MainWindow::CheckedRunOptionsOrSay() {
    RunChoices choices = ReadRunChoices(store_);
    // The size is the window's own fourth way to cut, used only while chosen there.
    choices.maxPieceSize = sizeOption_->isChecked() ? pieceSizeField_->text() : QString();
    choices.csvRecords = csvRecordsOption_->isChecked();
    choices.csvDelimiter = delimiterField_->text();
    choices.byColumn = byColumnOption_->isChecked() ? columnField_->text().trimmed() : QString();
    choices.parts = partsOption_->isChecked() ? partsField_->text().trimmed() : QString();
    choices.matchPattern = matchOption_->isChecked() ? matchField_->text() : QString();
    choices.nameTemplate = templateOption_->isChecked() ? templateField_->text() : QString();
    const CheckedRunOptions checked = ToRunOptions(choices);
    if (!checked.options) ShowMessage(this, checked.problem + QLatin1Char(' ') + tr("See Split > Options."));
    return checked.options;
}

void MainWindow::onOptionsClicked() {
    if (running_) return;
    // One Options at a time: a second copy's OK would undo the first's.
    if (optionsDialog_) {
        optionsDialog_->raise();
        optionsDialog_->activateWindow();
        return;
    }
    auto* dialog = new OptionsDialog(store_, this);
    optionsDialog_ = dialog;
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::finished, this, &MainWindow::ShowChoicesSummary);
    connect(dialog, &QDialog::finished, this, [this] { activateWindow(); });
    // Takes the keyboard and the mouse from the window as a modal dialog
    // would, yet lets a close request through to end the program.
    RunAsModal(dialog);
}

void MainWindow::ShowChoicesSummary() {
    const QString summary = ChoicesSummary(ReadRunChoices(store_));
    const QString shown = choicesSummary_->fontMetrics().elidedText(summary, Qt::ElideMiddle, choicesSummary_->width());
    choicesSummary_->setText(QStringLiteral("<a href=\"options\">%1</a>").arg(shown.toHtmlEscaped()));
    choicesSummary_->setToolTip(summary.isEmpty() ? QString() : summary + QLatin1Char('\n') + tr("Click to change."));
    choicesSummary_->setAccessibleName(summary);
    choicesSummary_->setVisible(!summary.isEmpty());
}

void MainWindow::onPreviewClicked() {
    const ControlSettings settings(Options());
    const std::optional<RunOptions> options = ReadyToRun(settings);
    if (!options) return;
    HoldForRun(true);
    const ListSources sources(*fileList_);
    PreviewDialog preview(sources, settings, *options, this);
    preview_ = &preview;
    // Not modal: a close request must still reach the window and end the program.
    preview.show();
    preview.Plan();
    if (!closeRequested_ && preview.isVisible()) {
        QEventLoop loop;
        connect(&preview, &QDialog::finished, &loop, &QEventLoop::quit);
        loop.exec(QEventLoop::DialogExec);
    }
    preview_ = nullptr;
    HoldForRun(false);
}

OptionControls MainWindow::Options() const {
    return {linesOption_,      separatorOption_,    blankLinesOption_, firstCharactersOption_, numberedOption_,
            prefixOption_,     linesPerPieceField_, separatorField_,   nameLengthField_,       prefixField_,
            firstNumberField_, templateOption_,     templateField_};
}

void MainWindow::ShowProgress(const Progress& progress) {
    lastProgress_ = progress;
    if (progress.fileCount > 0) {
        double done = progress.fileIndex - 1;
        if (progress.sourceBytes > 0)
            done += static_cast<double>(progress.bytesRead) / static_cast<double>(progress.sourceBytes);
        SetBarValue(*runProgress_, static_cast<int>(1000.0 * done / progress.fileCount));
    }
    runProgress_->show();
    if (runDialog_) {
        // A short run is over before its dialog could be read: the window's
        // own bar and title show it, and Esc stops it there.
        constexpr qint64 kRunDialogAfterMs = 400;
        if (!runDialog_->isVisible() && !closeRequested_ && runClock_.elapsed() >= kRunDialogAfterMs)
            runDialog_->show();
        runDialog_->Show(progress);
    }
    ShowRunTitle();
}

void MainWindow::ShowRunTitle() {
    QStringList parts = {kTitle};
    if (lastProgress_.fileCount > 0) parts << ProgressText(lastProgress_);
    constexpr qint64 kRefusalShownMs = 3000;
    if (listRefusal_.isValid() && listRefusal_.elapsed() < kRefusalShownMs)
        parts << tr("the list cannot change until the split is done");
    setWindowTitle(parts.join(QStringLiteral(" - ")));
}

void MainWindow::onListChangeRefused() {
    listRefusal_.start();
    if (running_) ShowRunTitle();
}

void MainWindow::EndProgress() {
    runProgress_->hide();
    runProgress_->setValue(0);
    lastProgress_ = Progress();
    listRefusal_.invalidate();
    setWindowTitle(kTitle);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (closeWaiting_) {
        event->ignore();
        return;
    }
    // A close that comes while a box is up leaves the box to be read; once it
    // is answered the window closes as a close would then.
    if (MessageIsOpen()) {
        closeWaiting_ = true;
        WhenMessagesAnswered(this, [this] {
            closeWaiting_ = false;
            close();
        });
        event->ignore();
        return;
    }
    // A split under way is stopped only when the user says so.
    if (runDialog_ && !closeRequested_) {
        closeWaiting_ = true;
        const bool stop =
            AskToGoOn(this, tr("A split is under way. Stop it and close?\n\nThe pieces written so far stay whole."),
                      tr("&Stop and close"));
        closeWaiting_ = false;
        if (!stop) {
            event->ignore();
            return;
        }
    }
    // A run stops at its next yield.
    closeRequested_ = true;
    if (runDialog_) runDialog_->hide();
    if (preview_) {
        preview_->reject();  // stops the planning
        preview_->done(QDialog::Rejected);
    }
    for (QDialog* dialog : findChildren<QDialog*>(Qt::FindDirectChildrenOnly)) dialog->close();
    event->accept();
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    PlaceForSize();
    if (choicesSummary_) ShowChoicesSummary();
}

}  // namespace partwright
