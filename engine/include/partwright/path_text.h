#pragma once

#include <cstddef>
#include <filesystem>

namespace partwright {

// How much of `path`'s text comes before its last component: up to and with
// its last separator (on Windows also a drive's colon, "C:name"), 0 for a
// bare name. Paths with equal texts up to there lie in one folder, which lets
// a run compare the folders of many pieces without building a path for each.
inline std::size_t FolderTextLength(const std::filesystem::path& path) {
#ifdef _WIN32
    const std::size_t last = path.native().find_last_of(L"/\\:");
#else
    const std::size_t last = path.native().find_last_of('/');
#endif
    return last == std::filesystem::path::string_type::npos ? 0 : last + 1;
}

}  // namespace partwright
