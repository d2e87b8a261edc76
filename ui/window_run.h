#pragma once

#include "partwright/split_run.h"

#include <QElapsedTimer>
#include <QString>

#include <functional>
#include <vector>

class QLineEdit;
class QRadioButton;
class QWidget;

namespace partwright {

class FileList;

// The controls of MainWindow that make up the options of a run.
struct OptionControls {
    QRadioButton* linesOption = nullptr;
    QRadioButton* separatorOption = nullptr;
    QRadioButton* blankLinesOption = nullptr;
    QRadioButton* firstCharactersOption = nullptr;
    QRadioButton* numberedOption = nullptr;
    QRadioButton* prefixOption = nullptr;
    QLineEdit* linesPerPieceField = nullptr;
    QLineEdit* separatorField = nullptr;
    QLineEdit* nameLengthField = nullptr;
    QLineEdit* prefixField = nullptr;
    QLineEdit* firstNumberField = nullptr;
    QRadioButton* templateOption = nullptr;
    QLineEdit* templateField = nullptr;
};

// The run's options, read from the controls each time the run asks, so a
// change made while the run yields counts from its next reading. A number
// field is read as the command line reads its option (ReadLinesPerPiece and
// the like), at every reading.
class ControlSettings final : public SplitSettings {
public:
    explicit ControlSettings(const OptionControls& controls) : c_(controls) {}

    SplitMode Split() const override;
    TypedField<std::int64_t> LinesPerPiece() const override;
    Text SeparatorText() const override;
    NamingMode Naming() const override;
    TypedField<std::int32_t> NameLength() const override;
    Text Prefix() const override;
    TypedField<std::int16_t> FirstNumber() const override;
    Text NameTemplate() const override;

private:
    OptionControls c_;
};

// The run's sources: the entries of the file list, by position.
class ListSources final : public SourceList {
public:
    explicit ListSources(const FileList& list) : list_(list) {}
    int Count() const override;
    std::filesystem::path At(int position) const override;

private:
    const FileList& list_;
};

// Where a run's pieces went, gathered while it works.
struct RunPlaces {
    int sourceCount = 0;                // in the list
    int sourcesReached = 0;             // that the run began (fewer when it was stopped)
    std::filesystem::path firstFolder;  // of the first piece written
    bool severalFolders = false;
    // The text of the last piece's path before its name (FolderTextLength),
    // when that piece lay in firstFolder.
    std::filesystem::path::string_type firstFolderText;
    // The first older pieces the run left beside its new ones (RunHost::OlderPieceLeft),
    // up to kOlderPiecesNamed; the report counts them all.
    static constexpr std::size_t kOlderPiecesNamed = 10;
    std::vector<std::filesystem::path> olderPiecesLeft;
};

// What the window does for a run while it works.
//
// The run is driven from the window's own thread, inside the click on Split!,
// so the engine reads the controls themselves at its reading points and no
// copy of them can go stale. To stay alive the window handles its pending
// events at the run's yields, but only once `kEventIntervalMs` has passed since
// it last did: the run yields once per piece, and handling events that often
// costs more than writing small pieces. A close request or a click therefore
// waits at most that interval plus the time between two yields (one piece, or
// one block read).
//
// The lines notice is shown once per run (the first block that gives no
// pieces); the run counts every such block for the end box. Failures come back
// in the run's report, for one box at the end.
class WindowRunHost final : public RunHost {
public:
    static constexpr qint64 kEventIntervalMs = 15;
    static constexpr qint64 kProgressIntervalMs = 50;

    using ProgressView = std::function<void(const Progress&)>;
    WindowRunHost(QWidget* window, std::function<bool()> keepGoing, ProgressView showProgress);

    bool Yield() override;
    void ShowNotice(Notice notice, const std::filesystem::path& source) override;
    void ReportProgress(const Progress& progress) override;
    void PieceWritten(const std::filesystem::path& target) override;
    void OlderPieceLeft(const std::filesystem::path& source, const std::filesystem::path& older) override;

    [[nodiscard]] const RunPlaces& Places() const { return places_; }

private:
    RunPlaces places_;
    QWidget* window_;
    std::function<bool()> keepGoing_;
    ProgressView showProgress_;
    QElapsedTimer sinceEvents_;
    QElapsedTimer sinceProgress_;
    bool linesNoticeShown_ = false;
};

// The box that ends a run. `text` is "Done." when everything was written,
// otherwise the failures, the list cut after `maxListed` with "and N more";
// below it, the count of pieces that took the next free name, and the count
// of blocks that gave no pieces for want of a number of lines. `details` holds every failure, one a line, in full.
struct EndReport {
    QString text;
    QString details;
    QString folder;  // the one folder every piece went into, for "Open folder"; empty otherwise
};
[[nodiscard]] EndReport FinalReport(const RunReport& report, int maxListed = 10);

// A path as the user's system writes it (backslashes on Windows).
[[nodiscard]] QString NativePath(const std::filesystem::path& path);

// "file 2 of 5, 120 pieces written" for the progress display.
[[nodiscard]] QString ProgressText(const Progress& progress);

}  // namespace partwright
