#pragma once

#include <QString>
#include <QStringList>

#include <functional>

namespace partwright {

// The folder walk behind "Add All File(s) In Folder", usable without a window.
// `yield` lets the caller keep its window alive while folders are collected.

// Appends to `folders` every subfolder of its folders, level by level: the
// whole next level in the order of its parents, then (with `recurse`) the
// level below that, and so on. Hidden and system folders are not entered; a
// folder reached a second time (through a link or junction) is not entered
// again, so a link to an ancestor cannot make the walk loop; a folder that
// cannot be listed counts as having no subfolders.
void CollectSubfolders(QStringList& folders, bool recurse, const std::function<void()>& yield);

// The names of the files of `folder`, hidden and system files included, no
// folders, in the platform's listing order; nothing when it cannot be listed.
[[nodiscard]] QStringList ListFolderFiles(const QString& folder);

// Every file of `picked` and of all its subfolders, as full paths, folder by
// folder in the order of CollectSubfolders; names beginning with "~" are left
// out (only file names are tested: a "~" folder is still walked).
[[nodiscard]] QStringList FolderWalkFiles(const QString& picked, const std::function<void()>& yield);

}  // namespace partwright
