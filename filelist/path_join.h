#pragma once

#include <QString>

namespace partwright {

// Which characters separate folders in a path: Windows takes "\" and "/",
// POSIX only "/" (a backslash is an ordinary character in a POSIX name).
enum class PathStyle { Windows, Posix };

[[nodiscard]] constexpr PathStyle NativePathStyle() {
#ifdef _WIN32
    return PathStyle::Windows;
#else
    return PathStyle::Posix;
#endif
}

// Shortens every run of separators to its first one, except a leading pair,
// which names a network share (\\server\share, //server/share) and stays.
[[nodiscard]] QString CollapseSeparators(const QString& path, PathStyle style = NativePathStyle());

// `folder` and `name` joined by one separator: a folder that already ends in
// one (a drive or file-system root) gets no second.
[[nodiscard]] QString JoinPath(const QString& folder, const QString& name, PathStyle style = NativePathStyle());

}  // namespace partwright
