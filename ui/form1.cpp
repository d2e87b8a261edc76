#include "ui/form1.h"

#include "engine/messages.h"
#include "filelist/add_files.h"
#include "filelist/file_list.h"
#include "filelist/pointer_file.h"
#include "ui/input_checks.h"
#include "ui/message_box.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QToolButton>

#include <utility>

namespace partwright {

namespace keys = settings_keys;

namespace {

const QString kTitle = QStringLiteral("Partwright");

// The window shows no picture where its icon would stand.
QIcon TransparentIcon() {
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    return QIcon(pixmap);
}

}  // namespace

QPoint CenteredPosition(const QRect& screen, const QSize& outer) {
    return {screen.x() + (screen.width() - outer.width()) / 2, screen.y() + (screen.height() - outer.height()) / 2};
}

Form1::Form1(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      pointer_(std::make_unique<PointerFeedback>(*this)),
      dialogs_(std::make_unique<NativeAddFilesDialogs>()) {
    setObjectName(QStringLiteral("Form1"));
    setWindowIcon(TransparentIcon());
    BuildControls();
    SetTabOrder();
    ConnectHandlers();
    WatchPointer();
    Form_Load();
}

Form1::~Form1() = default;

void Form1::SetAddFilesDialogs(std::unique_ptr<AddFilesDialogs> dialogs) { dialogs_ = std::move(dialogs); }

void Form1::ConnectHandlers() {
    // An option's handler runs whenever it becomes selected: by mouse, keyboard or program.
    const auto onSelect = [this](QRadioButton* option, void (Form1::*handler)()) {
        connect(option, &QRadioButton::toggled, this, [this, handler](bool selected) {
            if (selected) (this->*handler)();
        });
    };
    onSelect(option1_, &Form1::Option1_Click);
    onSelect(option2_, &Form1::Option2_Click);
    onSelect(option5_, &Form1::Option5_Click);
    onSelect(option4_, &Form1::Option4_Click);
    onSelect(option3_, &Form1::Option3_Click);
    onSelect(option6_, &Form1::Option6_Click);

    // Every change counts, typed, pasted or set by the program.
    connect(text1_, &QLineEdit::textChanged, this, &Form1::Text1_Change);
    connect(text2_, &QLineEdit::textChanged, this, &Form1::Text2_Change);
    connect(text3_, &QLineEdit::textChanged, this, &Form1::Text3_Change);
    connect(text5_, &QLineEdit::textChanged, this, &Form1::Text5_Change);
    connect(text6_, &QLineEdit::textChanged, this, &Form1::Text6_Change);
    text3_->installEventFilter(this);
    text6_->installEventFilter(this);

    connect(check1_, &QToolButton::clicked, this, &Form1::Check1_Click);
    connect(check2_, &QToolButton::clicked, this, &Form1::Check2_Click);
    connect(check4_, &QToolButton::clicked, this, &Form1::Check4_Click);
}

void Form1::WatchPointer() {
    // Option5, Option6, Text5 and Text6 are left out on purpose: over them the
    // pointer stays as the frame around them last set it.
    const QList<QPair<QWidget*, PointerKind>> targets = {
        {this, PointerKind::Default},    {frame1_, PointerKind::Default},  {frame2_, PointerKind::Default},
        {check1_, PointerKind::Custom},  {check2_, PointerKind::Custom},   {check4_, PointerKind::Custom},
        {option1_, PointerKind::Default}, {option2_, PointerKind::Default}, {option3_, PointerKind::Default},
        {option4_, PointerKind::Default}, {text1_, PointerKind::Default},   {text2_, PointerKind::Default},
        {text3_, PointerKind::Default},  {listView1_->viewport(), PointerKind::Default},
    };
    for (const auto& [widget, kind] : targets) {
        widget->setMouseTracking(true);
        widget->installEventFilter(this);
        hoverTargets_.insert(widget, kind);
    }
}

void Form1::Form_Load() {
    loading_ = true;
    CenterForm();
    pointer_->SetHand(HoverCursor(ProgramFolderFile(QStringLiteral("HAND-M.CUR"))));
    setWindowTitle(kTitle);
    listView1_->setColumnWidth(0, 6500 / 15);

    // Setting the fields runs their change handlers, which select Option1,
    // Option2 and Option3 in turn and write the five text keys back.
    text1_->setText(store_.Read(keys::kNumberOfLines, QStringLiteral("3")));
    text2_->setText(store_.Read(keys::kEveryXCharacter, QStringLiteral(",")));
    text3_->setText(store_.Read(keys::kFirstCharacterSplit, QStringLiteral("8")));
    text5_->setText(store_.Read(keys::kStartWithTheseCharacter, QStringLiteral("bob")));
    text6_->setText(store_.Read(keys::kEndWithTheseNumbers, QStringLiteral("1")));

    // Only the exact texts select; anything else leaves Option2 and Option3
    // standing from the field changes above.
    const QString split = store_.Read(keys::kSplitOption, QStringLiteral("1"));
    if (split == QLatin1String("1")) option1_->setChecked(true);
    if (split == QLatin1String("2")) option2_->setChecked(true);
    if (split == QLatin1String("3")) option5_->setChecked(true);
    const QString save = store_.Read(keys::kSaveOption, QStringLiteral("1"));
    if (save == QLatin1String("1")) option4_->setChecked(true);
    if (save == QLatin1String("2")) option3_->setChecked(true);
    if (save == QLatin1String("3")) option6_->setChecked(true);

    command1_->setFocus();
    loading_ = false;
}

void Form1::CenterForm() {
    const QScreen* screen = this->screen();
    if (!screen) return;
    move(CenteredPosition(screen->geometry(), frameGeometry().size()));
}

void Form1::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (shownOnce_) return;
    shownOnce_ = true;
    // The frame's size is known only once the window is shown.
    CenterForm();
    command1_->setFocus();
}

bool Form1::IsTabStop(const QWidget* widget) const {
    if (!isAncestorOf(widget) || !widget->isEnabled() || !widget->isVisibleTo(this)) return false;
    if (!(widget->focusPolicy() & Qt::TabFocus)) return false;
    // Tab enters an option group only at its selected option.
    const auto* option = qobject_cast<const QRadioButton*>(widget);
    return !option || option->isChecked();
}

bool Form1::focusNextPrevChild(bool next) {
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

void Form1::Option1_Click() {
    if (!loading_) store_.Write(keys::kSplitOption, QStringLiteral("1"));
}
void Form1::Option2_Click() {
    if (!loading_) store_.Write(keys::kSplitOption, QStringLiteral("2"));
}
void Form1::Option5_Click() {
    if (!loading_) store_.Write(keys::kSplitOption, QStringLiteral("3"));
}
void Form1::Option4_Click() {
    if (!loading_) store_.Write(keys::kSaveOption, QStringLiteral("1"));
}
void Form1::Option3_Click() {
    if (!loading_) store_.Write(keys::kSaveOption, QStringLiteral("2"));
}
void Form1::Option6_Click() {
    if (!loading_) store_.Write(keys::kSaveOption, QStringLiteral("3"));
}

void Form1::Text1_Change() {
    option1_->setChecked(true);
    store_.Write(keys::kNumberOfLines, text1_->text());
}
void Form1::Text2_Change() {
    option2_->setChecked(true);
    store_.Write(keys::kEveryXCharacter, text2_->text());
}
void Form1::Text3_Change() {
    option3_->setChecked(true);
    store_.Write(keys::kFirstCharacterSplit, text3_->text());
}
// Text5 and Text6 belong to Option6 on the screen but do not select it.
void Form1::Text5_Change() { store_.Write(keys::kStartWithTheseCharacter, text5_->text()); }
void Form1::Text6_Change() { store_.Write(keys::kEndWithTheseNumbers, text6_->text()); }

void Form1::Text3_LostFocus() {
    if (!HasRefusedFileNameChar(text3_->text())) return;
    ShowMessage(this, QString::fromUtf8(messages::kInvalidFilename));
    text3_->setFocus();
}

void Form1::Text6_LostFocus() {
    if (PassesNumericTest(text6_->text())) return;
    ShowMessage(this, QString::fromUtf8(messages::kNonNumeric));
    text6_->setFocus();
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
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
    } else if (event->type() == QEvent::FocusOut && (watched == text3_ || watched == text6_)) {
        // Focus leaving for another program or a menu is not the user leaving the field.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
            // After the focus change has finished: a modal box opened in the
            // middle of it would fight it for the focus.
            if (watched == text3_)
                QMetaObject::invokeMethod(this, &Form1::Text3_LostFocus, Qt::QueuedConnection);
            else
                QMetaObject::invokeMethod(this, &Form1::Text6_LostFocus, Qt::QueuedConnection);
        }
    }
    return QWidget::eventFilter(watched, event);
}

void Form1::Check1_Click() { AddFilesFromDialog(*listView1_, *dialogs_, this); }

void Form1::Check4_Click() {
    AddFolderFromPicker(
        *listView1_, *dialogs_, this,
        [this](bool busy) {
            if (busy)
                pointer_->BeginBusy();
            else
                pointer_->EndBusy();
        },
        [] { QCoreApplication::processEvents(); });
}

void Form1::Check2_Click() {
    // The button has sprung back already; a press while a run yields starts nothing.
    if (running_) return;
    if (listView1_->Count() < 1) {
        ShowMessage(this, QString::fromUtf8(messages::kNoFiles));
        return;
    }
    running_ = true;
    pointer_->BeginBusy();
    listView1_->SetRunActive(true);

    const ControlSettings settings(Options());
    const ListSources sources(*listView1_);
    WindowRunHost host(
        this, [this] { return !closing_; }, [this](const Progress& progress) { ShowProgress(progress); });
    const RunReport report = SplitRun(sources, settings, host);

    listView1_->SetRunActive(false);
    EndProgress();
    running_ = false;
    const bool closed = std::exchange(closing_, false);
    if (!closed) ShowMessage(this, FinalMessage(report));  // a closed window ends without it
    pointer_->EndBusy();
}

OptionControls Form1::Options() const {
    return {option1_, option2_, option5_, option3_, option4_, option6_, text1_, text2_, text3_, text5_, text6_};
}

void Form1::ShowProgress(const Progress& progress) {
    if (progress.fileCount > 0) {
        double done = progress.fileIndex - 1;
        if (progress.sourceBytes > 0)
            done += static_cast<double>(progress.bytesRead) / static_cast<double>(progress.sourceBytes);
        runProgress_->setValue(static_cast<int>(1000.0 * done / progress.fileCount));
    }
    runProgress_->show();
    setWindowTitle(kTitle + QStringLiteral(" - ") + ProgressText(progress));
}

void Form1::EndProgress() {
    runProgress_->hide();
    runProgress_->setValue(0);
    setWindowTitle(kTitle);
}

void Form1::closeEvent(QCloseEvent* event) {
    // A run sees this at its next yield and stops there.
    if (running_) closing_ = true;
    event->accept();
}

}  // namespace partwright
