#include "ui/message_box.h"

#include "ui/modal_guard.h"
#include "ui/wrapping_label.h"

#include <QApplication>
#include <QCheckBox>
#include <QDesktopServices>
#include <QEventLoop>
#include <QGridLayout>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QUrl>

#include <utility>
#include <vector>

namespace partwright {

namespace {

MessageSink& InstalledSink() {
    static MessageSink sink;
    return sink;
}

QuestionSink& InstalledQuestionSink() {
    static QuestionSink sink;
    return sink;
}

// The boxes that are up, the newest last; only the newest takes input.
std::vector<QPointer<QMessageBox>>& OpenBoxes() {
    static std::vector<QPointer<QMessageBox>> boxes;
    return boxes;
}

// What waits for the last box to be answered.
std::vector<std::pair<QPointer<QObject>, std::function<void()>>>& Waiting() {
    static std::vector<std::pair<QPointer<QObject>, std::function<void()>>> waiting;
    return waiting;
}

// Hands what waited to the event loop, so it runs after the code that showed
// the box has gone on from it.
void ReleaseWaiting() {
    for (auto& [context, then] : std::exchange(Waiting(), {}))
        if (context) QMetaObject::invokeMethod(context, std::move(then), Qt::QueuedConnection);
}

// Shows `box` until it is answered, the keyboard and the mouse kept for it.
void RunBox(QMessageBox& box) {
    WrapAtSeparators(box);
    // The title shows whole: a box no wider than its short text would clip it.
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout()); grid && !box.property("widened").toBool()) {
        const int titleRoom = box.fontMetrics().horizontalAdvance(box.windowTitle()) * 3 / 2 + 150;
        grid->addItem(new QSpacerItem(titleRoom, 0, QSizePolicy::Minimum, QSizePolicy::Minimum), grid->rowCount(), 0, 1,
                      grid->columnCount());
        box.setProperty("widened", true);
    }
    OpenBoxes().emplace_back(&box);
    const ModalGuard guard(&box);
    QEventLoop loop;
    QObject::connect(&box, &QDialog::finished, &loop, &QEventLoop::quit);
    box.show();
    box.activateWindow();
    if (box.isVisible()) loop.exec(QEventLoop::DialogExec);
    OpenBoxes().pop_back();
    if (!MessageIsOpen()) ReleaseWaiting();
    // The keyboard goes back to the window the box stood over, so its
    // mnemonics and shortcuts work at once, with or without a window manager.
    if (QWidget* below = box.parentWidget(); below && below->isVisible()) below->window()->activateWindow();
}

void ShowBox(QWidget* parent, const QString& text, const QString& details, const QString& folderToOpen) {
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Partwright"), text, QMessageBox::Ok, parent);
    box.setWindowModality(Qt::NonModal);
    // Plain text as written: a path is copied and read out as it is; the
    // box's label wraps it after its separators (WrapAtSeparators).
    box.setTextFormat(Qt::PlainText);
    if (!details.isEmpty()) box.setDetailedText(details);
    bool openFailed = false;
    if (!folderToOpen.isEmpty()) {
        QPushButton* open = box.addButton(QObject::tr("&Open folder"), QMessageBox::ActionRole);
        open->setObjectName(QStringLiteral("openFolderButton"));
        QObject::connect(open, &QPushButton::clicked, &box, [folderToOpen, &openFailed] {
            openFailed = !QDesktopServices::openUrl(QUrl::fromLocalFile(folderToOpen));
        });
        box.setDefaultButton(QMessageBox::Ok);
    }
    // Esc and the title bar's close button answer the box as OK does, also
    // beside "Open folder" (a close request waits for the answer).
    box.setEscapeButton(QMessageBox::Ok);

    RunBox(box);
    // A folder the system could not show: the box comes back saying so.
    while (std::exchange(openFailed, false)) {
        box.setText(text + QStringLiteral("\n\n") +
                    QObject::tr("The folder could not be opened: %1").arg(folderToOpen));
        RunBox(box);
    }
}

}  // namespace

void ShowMessage(QWidget* parent, const QString& text, const QString& details, const QString& folderToOpen) {
    if (const MessageSink& sink = InstalledSink()) {
        sink(parent, text, details);
        return;
    }
    ShowBox(parent, text, details, folderToOpen);
}

bool AskToGoOn(QWidget* parent, const QString& text, const QString& goOn, bool* dontAskAgain) {
    if (const QuestionSink& sink = InstalledQuestionSink()) return sink(text);
    QMessageBox box(QMessageBox::Question, QStringLiteral("Partwright"), text, QMessageBox::Cancel, parent);
    box.setWindowModality(Qt::NonModal);
    box.setTextFormat(Qt::PlainText);
    QPushButton* yes = box.addButton(goOn, QMessageBox::AcceptRole);
    yes->setObjectName(QStringLiteral("goOnButton"));
    box.setDefaultButton(yes);
    box.setEscapeButton(QMessageBox::Cancel);
    if (dontAskAgain) box.setCheckBox(new QCheckBox(QObject::tr("&Don't ask again")));
    RunBox(box);
    const bool chosen = box.clickedButton() == yes;
    if (dontAskAgain) *dontAskAgain = chosen && box.checkBox()->isChecked();
    return chosen;
}

QuestionSink SetQuestionSink(QuestionSink sink) { return std::exchange(InstalledQuestionSink(), std::move(sink)); }

bool MessageIsOpen() {
    for (const QPointer<QMessageBox>& box : OpenBoxes())
        if (box) return true;
    return false;
}

void WhenMessagesAnswered(QObject* context, std::function<void()> then) {
    Waiting().emplace_back(context, std::move(then));
    if (!MessageIsOpen()) ReleaseWaiting();
}

MessageSink SetMessageSink(MessageSink sink) { return std::exchange(InstalledSink(), std::move(sink)); }

}  // namespace partwright
