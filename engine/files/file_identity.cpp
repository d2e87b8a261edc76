#include "engine/files/file_identity.h"

#include <algorithm>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#endif

namespace partwright {

std::optional<FileStamp> StampOf(const std::filesystem::path& path) {
#ifdef _WIN32
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
    FileStamp stamp;
    stamp.identity = FileIdentity{info.dwVolumeSerialNumber,
                                  (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
    stamp.size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    stamp.modified = static_cast<std::int64_t>((static_cast<std::uint64_t>(info.ftLastWriteTime.dwHighDateTime) << 32) |
                                               info.ftLastWriteTime.dwLowDateTime);
    return stamp;
#else
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return std::nullopt;
    }
    FileStamp stamp;
    stamp.identity = FileIdentity{static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
    stamp.size = static_cast<std::uint64_t>(info.st_size);
    stamp.modified = static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    return stamp;
#endif
}

// One stat, as StampOf: a folder or file told apart by its identity only.
std::optional<FileIdentity> IdentityOf(const std::filesystem::path& path) {
    if (const std::optional<FileStamp> stamp = StampOf(path)) return stamp->identity;
    return std::nullopt;
}

bool WrittenSince(const FileStamp& earlier, const FileStamp& later) {
    return earlier.identity == later.identity && (earlier.size != later.size || earlier.modified != later.modified);
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

std::optional<Failure> FileIdentitySet::RefuseSource(const std::filesystem::path& target,
                                                     const std::optional<FileIdentity>& identity) const {
    if (!identity || !Contains(*identity)) return std::nullopt;
    return Failure{Failure::Kind::TargetIsSource, target, "it is a source of this run"};
}

}  // namespace partwright
