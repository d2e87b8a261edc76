#pragma once

#include "partwright/split_run.h"

#include <QDialog>

#include <cstdint>
#include <vector>

class QLabel;
class QProgressBar;
class QPushButton;

namespace partwright {

// Sets a bar's value to be painted with the rest of its window at the next
// handling of events. QProgressBar::setValue paints the bar at once, each bar
// on its own, which cost a run that shows its progress more than the display
// is worth.
void SetBarValue(QProgressBar& bar, int value);

// Shows a run while it works: the source being split, the pieces written so
// far and how far the run is through the bytes of all its sources. Cancel,
// Esc or the dialog's close button ask the run to stop at its next piece; the
// run keeps only whole pieces.
class RunProgressDialog : public QDialog {
    Q_OBJECT
public:
    // `sourceBytes`: the size of every source of the run, in list order (0 when unknown).
    explicit RunProgressDialog(std::vector<std::uint64_t> sourceBytes, QWidget* parent = nullptr);

    void Show(const Progress& progress);
    void RequestCancel();
    [[nodiscard]] bool CancelRequested() const { return cancelRequested_; }

    // Bytes of all sources done at `progress`: the sources before it whole, and what was read of it.
    [[nodiscard]] std::uint64_t BytesDone(const Progress& progress) const;
    [[nodiscard]] std::uint64_t TotalBytes() const { return before_.back(); }

    void reject() override;  // Esc and the close button cancel the run; the run closes the dialog

private:
    std::vector<std::uint64_t> before_;  // bytes of the sources before each position, then the total
    bool cancelRequested_ = false;
    QLabel* source_ = nullptr;
    QLabel* pieces_ = nullptr;
    QLabel* bytes_ = nullptr;
    QProgressBar* bar_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

}  // namespace partwright
