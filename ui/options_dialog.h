#pragma once

#include "partwright/split_run.h"

#include <QDialog>
#include <QString>

#include <optional>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QSpinBox;

namespace partwright {

class SettingsStore;

// The run's further options as the settings store keeps them, each a text:
//  "Line End"       "auto" | "crlf" | "lf"     (default "auto": the first line end in each source)
//  "Code Page"      "auto" | "system" | a code-page name the command line accepts (default "auto")
//  "Whole Sources"  "1" | "0"                  (default "1"; "0" cuts 30000-byte blocks on their own)
//  "Output Folder"  "" beside each source, or a folder
//  "Max Piece Size" the size of the window's size option, such as "512K" or "1M"
//  "Header Lines"   "0" off, or a whole number of lines repeated at the head of every piece
//  "Ask Before Replacing" "1" | "0"        (default "1": Split! asks before pieces replace existing files)
//  "Output Encoding" "utf-8" | "utf-8-bom" | "utf-16le" | "source" | "cesu-8" (default "utf-8")
//  "Final Line End" "1" | "0"                  (default "1": every piece ends with its last line's line end)
struct RunChoices {
    QString lineEnd;
    QString codePage;
    bool wholeSources = SourceReading{}.wholeFile;
    QString outputFolder;
    QString maxPieceSize;
    QString headerLines;
    bool askBeforeReplacing = true;
    QString outputEncoding;
    bool finalLineEnd = true;
    // CSV records, header 1, at most Excel's rows a piece, UTF-8 with a mark.
    bool fitForExcel = false;
    QString maxPieces;  // at most this many pieces from each source; empty or 0: no cap
    bool compressPieces = false;
    // The window's own controls, set while they are chosen there (as the size is).
    bool csvRecords = false;
    QString csvDelimiter;
    QString byColumn;
    QString parts;
    QString matchPattern;
    QString nameTemplate;
};

[[nodiscard]] RunChoices ReadRunChoices(const SettingsStore& store);

// The choices that differ from a new user's, in a few words for the line under
// the window's frames, "Into /data/out · header 1 line · LF"; empty when none
// does. The size is left out: the window shows it as a way to cut.
[[nodiscard]] QString ChoicesSummary(const RunChoices& choices);
void WriteRunChoices(SettingsStore& store, const RunChoices& choices);

// The engine's options for the choices, or why they make no run (a hand-edited
// store, a folder deleted since it was chosen): `problem` is a sentence for the user.
struct CheckedRunOptions {
    std::optional<RunOptions> options;
    QString problem;
};
[[nodiscard]] CheckedRunOptions ToRunOptions(const RunChoices& choices);

// Options... : edits the choices above but the size, which the window's own
// size option holds. OK checks them and stores them, or says in the dialog
// what is wrong and stays open.
class OptionsDialog : public QDialog {
    Q_OBJECT
public:
    explicit OptionsDialog(SettingsStore& store, QWidget* parent = nullptr);

    void accept() override;

private:
    void Show(const RunChoices& choices);
    [[nodiscard]] RunChoices Shown() const;
    void onBrowseClicked();
    void UpdateEnabled();

    SettingsStore& store_;
    QComboBox* lineEnd_ = nullptr;
    QComboBox* codePage_ = nullptr;
    QLineEdit* codePageName_ = nullptr;
    QRadioButton* wholeSources_ = nullptr;
    QRadioButton* blocks_ = nullptr;
    QRadioButton* besideSources_ = nullptr;
    QRadioButton* intoFolder_ = nullptr;
    QLineEdit* folder_ = nullptr;
    QSpinBox* headerLines_ = nullptr;
    QCheckBox* askBeforeReplacing_ = nullptr;
    QComboBox* outputEncoding_ = nullptr;
    QCheckBox* finalLineEnd_ = nullptr;
    QCheckBox* fitForExcel_ = nullptr;
    QSpinBox* maxPieces_ = nullptr;
    QCheckBox* compressPieces_ = nullptr;
    QLabel* problem_ = nullptr;
};

}  // namespace partwright
