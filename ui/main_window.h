#pragma once

#include "partwright/settings_check.h"
#include "ui/pointer_feedback.h"
#include "ui/settings_store.h"
#include "ui/window_run.h"

#include <QElapsedTimer>
#include <QHash>
#include <QPointer>
#include <QWidget>

#include <memory>
#include <optional>

class QAction;
class QGroupBox;
class QCheckBox;
class QLabel;
class QLineEdit;
class QMenuBar;
class QProgressBar;
class QRadioButton;
class QShortcut;
class QToolButton;

namespace partwright {

class AddFilesDialogs;
class FileList;
class OptionsDialog;
class PreviewDialog;
class RunProgressDialog;

// The program's one window: the file list, the three picture buttons and the
// two option groups whose controls the split run reads while it works.
class MainWindow : public QWidget {
    Q_OBJECT
    friend class MainWindowTestAccess;  // ui/tests/main_window_access.h

public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // Puts `paths` at the end of the list, as given (files named on the command line).
    void AddSources(const QStringList& paths);

    // The dialogs behind "Add File(s)" and "Add All File(s) In Folder".
    void SetAddFilesDialogs(std::unique_ptr<AddFilesDialogs> dialogs);

private slots:
    void onLinesOptionSelected();
    void onSeparatorOptionSelected();
    void onBlankLinesOptionSelected();
    void onSizeOptionSelected();
    void onNumberedOptionSelected();
    void onFirstCharactersOptionSelected();
    void onPrefixOptionSelected();
    void onLinesPerPieceChanged();
    void onSeparatorChanged();
    void onPieceSizeChanged();
    void onByColumnOptionSelected();
    void onPartsOptionSelected();
    void onMatchOptionSelected();
    void onPartsChanged();
    void onMatchChanged();
    void onColumnChanged();
    void onCsvRecordsToggled();
    void onDelimiterChanged();
    void onTemplateOptionSelected();
    void onTemplateChanged();
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
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool focusNextPrevChild(bool next) override;

private:
    void BuildControls();  // main_window_layout.cpp
    void PlaceForSize();   // main_window_layout.cpp: the list takes the room the window gains
    void BuildMenus();     // main_window_layout.cpp
    void SetTabOrder();    // main_window_layout.cpp
    void ConnectHandlers();
    void WatchPointer();
    void LoadSettings();
    void CenterOnScreen();
    void ShowProgress(const Progress& progress);
    void ShowRunTitle();
    void EndProgress();
    // Shows the box a field just left is owed, if any; returns the field it named.
    std::optional<OptionField> RunPendingFieldCheck();
    // Keeps a field's text for the next start when the run could use it.
    void StoreIfUsable(const QString& key, OptionField field, const QLineEdit* edit);
    // The line under the frames naming the Options that change the result.
    void ShowChoicesSummary();
    // Begins and ends the time in which the list is held as a run (or a
    // preview) took it and no second run, preview or options edit can start.
    void HoldForRun(bool hold);
    // The run's further options from the store, or nothing after saying what is wrong.
    [[nodiscard]] std::optional<RunOptions> CheckedRunOptionsOrSay();
    [[nodiscard]] std::optional<RunOptions> ReadyToRun(const ControlSettings& settings);
    // ReadyToRun, then what Split! checks besides (replace_check.h): folders
    // that cannot take the pieces, and files the pieces would replace.
    [[nodiscard]] std::optional<RunOptions> ReadyToSplit(const ControlSettings& settings);
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
    // A close request waits for the box that is up, or for the answer to
    // whether to stop the run; further requests meanwhile add nothing.
    bool closeWaiting_ = false;
    // The field whose check is owed since the focus left it.
    enum class FieldCheck { None, NameLength, FirstNumber };
    FieldCheck pendingCheck_ = FieldCheck::None;
    Progress lastProgress_;
    QElapsedTimer listRefusal_;  // since the list last refused a change during a run
    QElapsedTimer runClock_;     // since the run began
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
    QRadioButton* sizeOption_ = nullptr;
    QLineEdit* pieceSizeField_ = nullptr;
    QRadioButton* byColumnOption_ = nullptr;
    QLineEdit* columnField_ = nullptr;
    QRadioButton* partsOption_ = nullptr;
    QLineEdit* partsField_ = nullptr;
    QRadioButton* matchOption_ = nullptr;
    QLineEdit* matchField_ = nullptr;
    QCheckBox* csvRecordsOption_ = nullptr;
    QLabel* delimiterLabel_ = nullptr;
    QLineEdit* delimiterField_ = nullptr;
    QRadioButton* templateOption_ = nullptr;
    QLineEdit* templateField_ = nullptr;
    QLabel* choicesSummary_ = nullptr;
    QPointer<OptionsDialog> optionsDialog_;  // while Options is up
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
