#include "filelist/add_files.h"

#include "filelist/add_folder.h"
#include "filelist/file_list.h"
#include "filelist/path_join.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QStandardPaths>

namespace partwright {

namespace {

QString Tr(const char* text) { return QCoreApplication::translate("partwright::AddFiles", text); }

}  // namespace

QStringList NativeAddFilesDialogs::ChooseFiles(QWidget* parent) {
    const QString filters = QStringList{Tr("Text Files (*.txt)"), Tr("HTML Files (*.htm *.html)"), Tr("All Files (*)")}
                                .join(QStringLiteral(";;"));
    QStringList files = QFileDialog::getOpenFileNames(parent,
                                                      Tr("Add File(s) - Use Ctrl & Shift to select multiple files"),
                                                      StartFolder(), filters);
    if (!files.isEmpty()) lastFolder_ = QFileInfo(files.first()).absolutePath();
    // Qt hands back "/" on every platform; the list shows paths as the platform writes them.
    for (QString& file : files) file = QDir::toNativeSeparators(file);
    return files;
}

QString NativeAddFilesDialogs::BrowseForFolder(QWidget* parent) {
    const QString folder = QFileDialog::getExistingDirectory(parent, Tr("Please select folder to add:"), StartFolder(),
                                                             QFileDialog::ShowDirsOnly);
    if (!folder.isEmpty()) lastFolder_ = folder;
    return QDir::toNativeSeparators(folder);
}

QString NativeAddFilesDialogs::StartFolder() const {
    if (!lastFolder_.isEmpty() && QFileInfo(lastFolder_).isDir()) return lastFolder_;
    // A Documents folder that is not there would be offered as a file name.
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (QFileInfo(documents).isDir()) return documents;
    return QDir::homePath();
}

void AddFilesFromDialog(FileList& list, AddFilesDialogs& dialogs, QWidget* parent) {
    for (const QString& path : dialogs.ChooseFiles(parent)) list.Append(CollapseSeparators(path));
}

void AddFolderFromPicker(FileList& list, AddFilesDialogs& dialogs, QWidget* parent,
                         const std::function<void(bool)>& busy, const std::function<void()>& yield) {
    const QString picked = dialogs.BrowseForFolder(parent);
    if (picked.isEmpty()) return;
    if (busy) busy(true);
    const QStringList files = FolderWalkFiles(picked, yield);
    for (const QString& path : files) list.Append(path);
    if (busy) busy(false);
}

}  // namespace partwright
