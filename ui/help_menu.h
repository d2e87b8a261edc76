#pragma once

class QMenuBar;
class QWidget;

namespace partwright {

// Help: the README, and About (the version and the licences of the program
// and of Qt). `window` is the parent of the boxes.
void AddHelpMenu(QMenuBar* menuBar, QWidget* window);

}  // namespace partwright
