#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

namespace partwright {

class FileList;

// The platform dialogs behind "Add File(s)" and "Add All File(s) In Folder",
// behind one seam so tests can stand in for the user.
class AddFilesDialogs {
public:
    virtual ~AddFilesDialogs() = default;
    // The open-file dialog with multiple selection; the chosen files as full
    // paths in the dialog's order, or nothing when cancelled.
    [[nodiscard]] virtual QStringList ChooseFiles(QWidget* parent) = 0;
    // The folder picker; the picked folder, or "" when cancelled.
    [[nodiscard]] virtual QString BrowseForFolder(QWidget* parent) = 0;
};

// The real dialogs of the platform. Both open in the folder last used, at
// first in the user's documents folder (never the program's own).
class NativeAddFilesDialogs final : public AddFilesDialogs {
public:
    QStringList ChooseFiles(QWidget* parent) override;
    QString BrowseForFolder(QWidget* parent) override;

    [[nodiscard]] QString StartFolder() const;

private:
    QString lastFolder_;
};

// "Add File(s)": shows the dialog and appends every chosen file, in order,
// with doubled separators taken out (a network path keeps its leading pair).
void AddFilesFromDialog(FileList& list, AddFilesDialogs& dialogs, QWidget* parent);

// "Add All File(s) In Folder": asks for a folder, then appends every file of
// it and of all its subfolders, breadth-first. `busy` is called with true
// before the walk starts and false when it ends (the window shows the
// hourglass); `yield` is called while folders are collected so the window can
// repaint. A cancelled picker calls neither.
void AddFolderFromPicker(FileList& list, AddFilesDialogs& dialogs, QWidget* parent,
                         const std::function<void(bool)>& busy, const std::function<void()>& yield);

}  // namespace partwright
