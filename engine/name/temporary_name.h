#pragma once

#include <filesystem>
#include <string_view>

namespace partwright {

// Where a piece is written before it is whole: a file without a name where
// the system has them (Linux), otherwise a name of its own in the target's folder.

// Temporary files of pieces being written start with this, and nothing else does.
inline constexpr std::string_view kTemporaryPrefix = ".partwright-";
// Why a piece may not take a name that starts with kTemporaryPrefix.
inline constexpr const char* kTemporaryNameReason =
    "names that start with \".partwright-\" are kept for temporary files";
// A fresh name for a temporary file in `folder`: kTemporaryPrefix, 16 random hex digits, ".tmp".
[[nodiscard]] std::filesystem::path TemporaryName(const std::filesystem::path& folder);
// Whether the last part of `path` is a name kept for temporary files.
[[nodiscard]] bool IsTemporaryName(const std::filesystem::path& path);

// With false, NativeFile::CreateTemporary always makes a named file, as where
// the system has no files without a name (for tests of that path).
void AllowUnnamedFiles(bool allowed);
[[nodiscard]] bool UnnamedFilesAllowed();

}  // namespace partwright
