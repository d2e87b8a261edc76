#pragma once

#include "partwright/settings_check.h"
#include "ui/pointer_feedback.h"
#include "ui/settings_store.h"
#include "ui/window_run.h"

#include <QElapsedTimer>
#include <QHash>
#include <QWidget>

#include <memory>
#include <optional>

class QAction;
class QGroupBox;
class QLineEdit;
class QMenuBar;
class QProgressBar;
class QRadioButton;
class QShortcut;
class QToolButton;

namespace partwright {

class AddFilesDialogs;
class FileList;
class PreviewDialog;
class RunProgressDialog;

// The program's one window: the file list, the three picture buttons and the
// two option groups whose controls the split run reads while it works.
class MainWindow : public QWidget {
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    [[nodiscard]] FileList& List() { return *fileList_; }
    [[nodiscard]] PointerFeedback& Pointer() { return *pointer_; }
    [[nodiscard]] bool IsLoading() const { return loading_; }
    [[nodiscard]] bool IsRunning() const { return running_; }
    [[nodiscard]] SettingsStore& Store() { return store_; }

    // The dialogs behind "Add File(s)" and "Add All File(s) In Folder".
    void SetAddFilesDialogs(std::unique_ptr<AddFilesDialogs> dialogs);

public slots:
    void onLinesOptionSelected();
    void onSeparatorOptionSelected();
    void onBlankLinesOptionSelected();
    void onNumberedOptionSelected();
    void onFirstCharactersOptionSelected();
    void onPrefixOptionSelected();
    void onLinesPerPieceChanged();
    void onSeparatorChanged();
    void onNameLengthChanged();
    void onPrefixChanged();
    void onFirstNumberChanged();
    void onNameLengthLeft();
    void onFirstNumberLeft();
    void onAddFilesClicked();
    void onSplitClicked();
    void onAddFolderClicked();
    void onFieldCheckDue();
    void onListChangeRefused();
    void onOptionsClicked();
    void onPreviewClicked();
    void onCancelRunClicked();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool focusNextPrevChild(bool next) override;

private:
    void BuildControls();  // main_window_layout.cpp
    void BuildMenus();     // main_window_layout.cpp
    void SetTabOrder();    // main_window_layout.cpp
    void ConnectHandlers();
    void WatchPointer();
    void LoadSettings();
    void CenterOnScreen();
    void ShowProgress(const Progress& progress);
    void ShowRunTitle();
    void EndProgress();
    void RunPendingFieldCheck();
    // Begins and ends the time in which the list is held as a run (or a
    // preview) took it and no second run, preview or options edit can start.
    void HoldForRun(bool hold);
    // The run's further options from the store, or nothing after saying what is wrong.
    [[nodiscard]] std::optional<RunOptions> CheckedRunOptionsOrSay();
    [[nodiscard]] std::optional<RunOptions> ReadyToRun(const ControlSettings& settings);
    [[nodiscard]] bool IsPictureButton(const QObject* object) const;
    [[nodiscard]] OptionControls Options() const;
    [[nodiscard]] QLineEdit* FieldOf(OptionField field) const;
    [[nodiscard]] bool IsTabStop(const QWidget* widget) const;

    SettingsStore store_;
    std::unique_ptr<PointerFeedback> pointer_;
    std::unique_ptr<AddFilesDialogs> dialogs_;
    QHash<QObject*, PointerKind> hoverTargets_;
    bool loading_ = false;
    bool running_ = false;
    bool closeRequested_ = false;
    // The field whose check is owed since the focus left it.
    enum class FieldCheck { None, NameLength, FirstNumber };
    FieldCheck pendingCheck_ = FieldCheck::None;
    Progress lastProgress_;
    QElapsedTimer listRefusal_;  // since the list last refused a change during a run
    bool shownOnce_ = false;

    QWidget* surface_ = nullptr;  // the window below its menu bar
    QMenuBar* menuBar_ = nullptr;
    QAction* optionsAction_ = nullptr;
    QAction* previewAction_ = nullptr;
    QAction* removeSelectedAction_ = nullptr;
    QAction* clearListAction_ = nullptr;
    QShortcut* cancelShortcut_ = nullptr;     // Esc during a run
    RunProgressDialog* runDialog_ = nullptr;  // while a run works
    PreviewDialog* preview_ = nullptr;        // while a preview is up
    QToolButton* addFilesButton_ = nullptr;
    QToolButton* splitButton_ = nullptr;
    QToolButton* addFolderButton_ = nullptr;
    FileList* fileList_ = nullptr;
    QGroupBox* splitOptions_ = nullptr;
    QGroupBox* saveOptions_ = nullptr;
    QRadioButton* linesOption_ = nullptr;
    QRadioButton* separatorOption_ = nullptr;
    QRadioButton* firstCharactersOption_ = nullptr;
    QRadioButton* numberedOption_ = nullptr;
    QRadioButton* blankLinesOption_ = nullptr;
    QRadioButton* prefixOption_ = nullptr;
    QLineEdit* linesPerPieceField_ = nullptr;
    QLineEdit* separatorField_ = nullptr;
    QLineEdit* nameLengthField_ = nullptr;
    QLineEdit* prefixField_ = nullptr;
    QLineEdit* firstNumberField_ = nullptr;
    QProgressBar* runProgress_ = nullptr;
};

// Top-left corner that centres a window of `outer` size on a screen of `screen` size.
[[nodiscard]] QPoint CenteredPosition(const QRect& screen, const QSize& outer);

}  // namespace partwright
