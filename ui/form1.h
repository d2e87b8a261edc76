#pragma once

#include "ui/pointer_feedback.h"
#include "ui/settings_store.h"
#include "ui/window_run.h"

#include <QHash>
#include <QWidget>

#include <memory>

class QGroupBox;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QToolButton;

namespace partwright {

class AddFilesDialogs;
class FileList;

// The program's one window: the file list, the three picture buttons and the
// two option groups whose controls the split run reads while it works.
class Form1 : public QWidget {
    Q_OBJECT
public:
    explicit Form1(QWidget* parent = nullptr);
    ~Form1() override;

    [[nodiscard]] FileList& List() { return *listView1_; }
    [[nodiscard]] PointerFeedback& Pointer() { return *pointer_; }
    [[nodiscard]] bool IsLoading() const { return loading_; }
    [[nodiscard]] bool IsRunning() const { return running_; }
    [[nodiscard]] SettingsStore& Store() { return store_; }

    // The dialogs behind "Add File(s)" and "Add All File(s) In Folder".
    void SetAddFilesDialogs(std::unique_ptr<AddFilesDialogs> dialogs);

public slots:
    void Option1_Click();
    void Option2_Click();
    void Option5_Click();
    void Option4_Click();
    void Option3_Click();
    void Option6_Click();
    void Text1_Change();
    void Text2_Change();
    void Text3_Change();
    void Text5_Change();
    void Text6_Change();
    void Text3_LostFocus();
    void Text6_LostFocus();
    void Check1_Click();
    void Check2_Click();
    void Check4_Click();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool focusNextPrevChild(bool next) override;

private:
    void BuildControls();  // form1_layout.cpp
    void SetTabOrder();    // form1_layout.cpp
    void ConnectHandlers();
    void WatchPointer();
    void Form_Load();
    void CenterForm();
    void ShowProgress(const Progress& progress);
    void EndProgress();
    [[nodiscard]] OptionControls Options() const;
    [[nodiscard]] bool IsTabStop(const QWidget* widget) const;

    SettingsStore store_;
    std::unique_ptr<PointerFeedback> pointer_;
    std::unique_ptr<AddFilesDialogs> dialogs_;
    QHash<QObject*, PointerKind> hoverTargets_;
    bool loading_ = false;
    bool running_ = false;
    bool closing_ = false;
    bool shownOnce_ = false;

    QPushButton* command1_ = nullptr;
    QToolButton* check1_ = nullptr;
    QToolButton* check2_ = nullptr;
    QToolButton* check4_ = nullptr;
    FileList* listView1_ = nullptr;
    QGroupBox* frame1_ = nullptr;
    QGroupBox* frame2_ = nullptr;
    QRadioButton* option1_ = nullptr;
    QRadioButton* option2_ = nullptr;
    QRadioButton* option3_ = nullptr;
    QRadioButton* option4_ = nullptr;
    QRadioButton* option5_ = nullptr;
    QRadioButton* option6_ = nullptr;
    QLineEdit* text1_ = nullptr;
    QLineEdit* text2_ = nullptr;
    QLineEdit* text3_ = nullptr;
    QLineEdit* text5_ = nullptr;
    QLineEdit* text6_ = nullptr;
    QProgressBar* runProgress_ = nullptr;
};

// Top-left corner that centres a window of `outer` size on a screen of `screen` size.
[[nodiscard]] QPoint CenteredPosition(const QRect& screen, const QSize& outer);

}  // namespace partwright
