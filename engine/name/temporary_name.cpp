#include "engine/name/temporary_name.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <random>

#include "partwright/path_text.h"

namespace partwright {

namespace {
std::atomic<bool> unnamedFilesAllowed{true};
}  // namespace

void AllowUnnamedFiles(bool allowed) { unnamedFilesAllowed.store(allowed); }
bool UnnamedFilesAllowed() { return unnamedFilesAllowed.load(std::memory_order_relaxed); }

std::filesystem::path TemporaryName(const std::filesystem::path& folder) {
    static thread_local std::mt19937_64 random{std::random_device{}()};
    char name[48];
    std::snprintf(name, sizeof name, "%.*s%016llx.tmp", static_cast<int>(kTemporaryPrefix.size()),
                  kTemporaryPrefix.data(), static_cast<unsigned long long>(random()));
    return folder / name;
}

bool IsTemporaryName(const std::filesystem::path& path) {
    // The last component, read off the path's own string: no path is built for it.
    const auto& whole = path.native();
    const std::size_t start = FolderTextLength(path);
    if (whole.size() - start < kTemporaryPrefix.size()) {
        return false;
    }
    return std::equal(kTemporaryPrefix.begin(), kTemporaryPrefix.end(),
                      whole.begin() + static_cast<std::ptrdiff_t>(start));
}

}  // namespace partwright
