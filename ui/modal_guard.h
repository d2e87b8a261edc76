#pragma once

#include <QObject>

class QWidget;

namespace partwright {

// Makes `window` modal for the user while the guard lives: mouse and keys
// meant for any other window of the program go to `window` instead (a click
// elsewhere brings it back to the front, Enter and Esc still answer it), yet
// close requests and painting reach every window, which true modality would
// not allow: the main window must be able to end the program at any time.
// Guards nest; only the newest one acts.
class ModalGuard final : public QObject {
public:
    explicit ModalGuard(QWidget* window);
    ~ModalGuard() override;
    ModalGuard(const ModalGuard&) = delete;
    ModalGuard& operator=(const ModalGuard&) = delete;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* window_;
};

// Shows `dialog` under a guard that lives as long as the dialog.
void RunAsModal(QWidget* dialog);

}  // namespace partwright
