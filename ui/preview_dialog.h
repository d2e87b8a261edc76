#pragma once

#include "partwright/split_run.h"

#include <QDialog>
#include <QString>

class QLabel;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace partwright {

// What Split! would do, from the engine's dry run of the whole list: for
// every source the pieces it would write, under the names the run would give
// them, and their sizes, marking those that would replace an existing file
// and those that take the next free name; the pieces the run would refuse
// are its failures; first under a source, the older pieces of its names that
// it would leave among the new ones. Nothing is written.
// Planning yields to the window as a run does; Cancel stops it where it is.
class PreviewDialog : public QDialog {
    Q_OBJECT
public:
    // At most this many pieces get a row of their own, so that huge plans
    // stay quick to show; the counts cover every piece.
    static constexpr int kShownPieces = 10000;
    // Older pieces left over that get a row of their own, per source.
    static constexpr int kShownOlderPieces = 100;

    PreviewDialog(const SourceList& sources, const SplitSettings& settings, RunOptions options,
                  QWidget* parent = nullptr);

    // Runs the dry run, filling the list as it goes; returns when it is done or cancelled.
    void Plan();

    struct Totals {
        std::uint64_t pieces = 0;
        std::uint64_t bytes = 0;      // that the pieces would hold
        std::uint64_t replacing = 0;  // would take the place of a file that exists now
        std::uint64_t colliding = 0;  // take the next free name, theirs being an earlier piece's
        std::uint64_t olderLeft = 0;  // files of older pieces past a source's last, left as they are
        int failures = 0;
        bool complete = false;
    };
    [[nodiscard]] const Totals& Summary() const { return totals_; }

    void reject() override;  // while planning: stop planning; afterwards: close

private:
    class Host;
    void ReachSource(int position);
    void EndSourceRow();
    void AddPiece(const std::filesystem::path& target, const std::filesystem::path& wanted);
    void SetPieceSize(std::uint64_t bytes);
    void AddFailure(const QString& text);
    void AddOlderPiece(const std::filesystem::path& older);
    void ShowTotals();

    const SourceList& sources_;
    const SplitSettings& settings_;
    RunOptions options_;
    Totals totals_;
    bool planning_ = false;
    bool cancelled_ = false;
    int shownPieces_ = 0;
    QTreeWidgetItem* source_ = nullptr;      // the row of the source being planned
    QTreeWidgetItem* lastPiece_ = nullptr;   // the row of the piece being planned, when it has one
    QTreeWidgetItem* olderGroup_ = nullptr;  // the row over the source's older pieces left, once it has any
    QTreeWidget* plan_ = nullptr;
    QLabel* summary_ = nullptr;
    QPushButton* close_ = nullptr;
};

}  // namespace partwright
