#pragma once

#include <QCursor>
#include <QString>

#include <optional>

namespace partwright {

// Loads a pointer image shipped beside the program: a Windows cursor (.cur,
// with the hotspot its directory entry names) or icon (.ico, hotspot at the
// top-left corner). Nothing when the file is missing or unreadable.
[[nodiscard]] std::optional<QCursor> LoadPointerFile(const QString& path);

// Where a data file of the program, such as a pointer image, ships: beside
// the program (the build tree, Windows) or else in ../share/partwright (an
// installed tree). The first folder holding the file wins; when neither does,
// the path beside the program.
[[nodiscard]] QString ProgramDataFile(const QString& fileName);

// ProgramDataFile for a program in `programFolder`.
[[nodiscard]] QString DataFileBeside(const QString& programFolder, const QString& fileName);

}  // namespace partwright
