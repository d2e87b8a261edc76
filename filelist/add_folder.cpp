#include "filelist/add_folder.h"

#include "filelist/path_join.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

#ifdef _WIN32
#include <windows.h>
#endif

namespace partwright {

namespace {

// QDir leaves hidden entries out unless asked; the system attribute is a
// Windows notion it does not filter on, so that one is read here.
bool IsSystemFolder([[maybe_unused]] const QString& path) {
#ifdef _WIN32
    const DWORD attributes = GetFileAttributesW(reinterpret_cast<LPCWSTR>(QDir::toNativeSeparators(path).utf16()));
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_SYSTEM) != 0;
#else
    return false;
#endif
}

// The folder's real location, links and junctions resolved; empty when it is gone.
QString Identity(const QString& folder) { return QFileInfo(folder).canonicalFilePath(); }

// The subfolders of one folder that the walk enters and has not entered yet.
QStringList NewSubfolders(const QString& folder, QSet<QString>& seen, const std::function<void()>& yield) {
    const QStringList names = QDir(folder).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Unsorted);
    yield();
    QStringList found;
    for (const QString& name : names) {
        yield();
        const QString path = JoinPath(folder, name);
        if (IsSystemFolder(path)) continue;
        const QString identity = Identity(path);
        if (identity.isEmpty() || seen.contains(identity)) continue;
        seen.insert(identity);
        found << path;
    }
    return found;
}

}  // namespace

void CollectSubfolders(QStringList& folders, bool recurse, const std::function<void()>& yield) {
    const std::function<void()> step = yield ? yield : [] {};
    QSet<QString> seen;
    for (const QString& folder : std::as_const(folders)) seen.insert(Identity(folder));

    QStringList level = folders;
    do {
        QStringList next;
        for (const QString& folder : std::as_const(level)) next << NewSubfolders(folder, seen, step);
        for (const QString& folder : std::as_const(next)) {
            step();
            folders << folder;
        }
        level = next;
    } while (recurse && !level.isEmpty());
}

QStringList ListFolderFiles(const QString& folder) {
#ifdef _WIN32
    constexpr QDir::Filters kFilter = QDir::Files | QDir::Hidden | QDir::System;
#else
    // On POSIX, Qt's "system" entries are FIFOs, sockets, devices and broken
    // links: reading a FIFO or a device would hang or never end the run.
    constexpr QDir::Filters kFilter = QDir::Files | QDir::Hidden;
#endif
    return QDir(folder).entryList(kFilter, QDir::Unsorted);
}

QStringList FolderWalkFiles(const QString& picked, const std::function<void()>& yield) {
    QStringList folders{picked};
    CollectSubfolders(folders, true, yield);
    QStringList files;
    for (const QString& folder : std::as_const(folders)) {
        for (const QString& name : ListFolderFiles(folder)) {
            if (!name.startsWith(u'~')) files << JoinPath(folder, name);
        }
    }
    return files;
}

}  // namespace partwright
