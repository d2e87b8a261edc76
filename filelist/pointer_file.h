#pragma once

#include <QCursor>
#include <QString>

#include <optional>

namespace partwright {

// Loads a pointer image shipped beside the program: a Windows cursor (.cur,
// with the hotspot its directory entry names) or icon (.ico, hotspot at the
// top-left corner). Nothing when the file is missing or unreadable.
[[nodiscard]] std::optional<QCursor> LoadPointerFile(const QString& path);

// The folder of the running program, where the pointer images ship.
[[nodiscard]] QString ProgramFolderFile(const QString& fileName);

}  // namespace partwright
