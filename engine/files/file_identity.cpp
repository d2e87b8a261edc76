#include "engine/files/file_identity.h"

#include <algorithm>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#endif

namespace partwright {

std::optional<FileIdentity> IdentityOf(const std::filesystem::path& path) {
#ifdef _WIN32
    // Backup semantics let folders be opened too; no access right is needed to ask.
    const HANDLE handle = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return std::nullopt;
    }
    BY_HANDLE_FILE_INFORMATION info;
    const bool known = GetFileInformationByHandle(handle, &info) != 0;
    CloseHandle(handle);
    if (!known) {
        return std::nullopt;
    }
    return FileIdentity{info.dwVolumeSerialNumber,
                        (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
#else
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return std::nullopt;
    }
    return FileIdentity{static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
#endif
}

void FileIdentitySet::Add(const std::filesystem::path& path) {
    if (const auto identity = IdentityOf(path)) {
        identities_.insert(*identity);
    } else {
        missing_.push_back(path);
    }
}

bool FileIdentitySet::Contains(const FileIdentity& identity) const {
    if (identities_.contains(identity)) {
        return true;
    }
    return std::any_of(missing_.begin(), missing_.end(),
                       [&identity](const std::filesystem::path& path) { return IdentityOf(path) == identity; });
}

}  // namespace partwright
