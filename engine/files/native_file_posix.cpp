// The POSIX half of the platform's files: descriptors.
#include "engine/files/native_file.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

#include "engine/files/tracked_temporaries.h"
#include "engine/name/temporary_name.h"
#include "partwright/path_text.h"

namespace partwright {

namespace {
thread_local int lastError = 0;  // of the last LastSystemReason on this thread
}  // namespace

std::string LastSystemReason() {
    lastError = errno;
    return std::system_category().message(lastError);
}

bool LastFailureIsTooManyOpen() { return lastError == EMFILE || lastError == ENFILE; }

bool LastFailureLasts(bool creating) {
    switch (lastError) {
    case ENOSPC:
    case EDQUOT:
    case EROFS: return true;
    case ENOENT:
    case ENOTDIR:
    case EACCES:
    case EPERM: return creating;
    default: return false;
    }
}

NativeFile::~NativeFile() { Close(); }

bool NativeFile::isOpen() const { return fd_ >= 0; }

bool NativeFile::Inspect(std::string& reason) {
    struct stat info {};
    if (fstat(fd_, &info) != 0) {
        reason = LastSystemReason();
        Close();
        return false;
    }
    if (S_ISDIR(info.st_mode)) {
        reason = kIsAFolder;
        Close();
        return false;
    }
    regular_ = S_ISREG(info.st_mode);
    size_ = regular_ ? static_cast<std::uint64_t>(info.st_size) : 0;
    identity_.volume = static_cast<std::uint64_t>(info.st_dev);
    identity_.index = static_cast<std::uint64_t>(info.st_ino);
    // Opened non-blocking only so that a FIFO cannot hang the open; I/O blocks
    // as usual. The flag means nothing for a regular file, so spare the calls.
    if (!regular_) {
        const int flags = fcntl(fd_, F_GETFL);
        if (flags != -1) {
            (void)fcntl(fd_, F_SETFL, flags & ~O_NONBLOCK);
        }
    }
    return true;
}

bool NativeFile::OpenForReading(const std::filesystem::path& path, std::string& reason) {
    Close();
    do {
        fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    } while (fd_ < 0 && errno == EINTR);
    if (fd_ < 0) {
        reason = LastSystemReason();
        return false;
    }
    return Inspect(reason);
}

NativeFolder::~NativeFolder() {
    if (fd_ >= 0) ::close(fd_);
}

void NativeFolder::Use(const std::filesystem::path& folder) {
    if (fd_ >= 0) ::close(fd_);
    path_ = folder;
    // Not held open (fd_ -1), the calls go by the path, and report what is wrong with it.
    do {
        fd_ = ::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    } while (fd_ < 0 && errno == EINTR);
}

bool NativeFile::CreateTemporary(const NativeFolder& folder, std::filesystem::path& name, std::string& reason) {
    Close();
    name.clear();
    regular_ = true;
    size_ = 0;
    identity_ = {};
#ifdef O_TMPFILE
    // A file without a name: whatever ends the program, nothing of it is left.
    if (UnnamedFilesAllowed()) {
        do {
            fd_ = folder.fd_ >= 0 ? ::openat(folder.fd_, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666)
                                  : ::open(folder.path().c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
        } while (fd_ < 0 && errno == EINTR);
        if (fd_ >= 0) {
            return true;
        }
        // Older kernels and some file systems have no such files: use a name.
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
            reason = LastSystemReason();
            return false;
        }
    }
#endif
    constexpr int kAttempts = 16;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        name = TemporaryName(folder.path());
        // Tracked before it exists, so that a signal that ends the program finds it.
        const int slot = TrackTemporary(name);
        if (slot == kProgramEnding) {
            errno = EINTR;
            break;
        }
        const char* const leaf = folder.fd_ >= 0 ? name.c_str() + FolderTextLength(name) : name.c_str();
        do {
            fd_ = ::openat(folder.fd_ >= 0 ? folder.fd_ : AT_FDCWD, leaf,
                           O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        } while (fd_ < 0 && errno == EINTR);
        const int error = errno;
        TemporaryCreated(slot, fd_ >= 0);
        if (fd_ >= 0) {
            return true;
        }
        errno = error;
        if (errno != EEXIST) {
            break;
        }
    }
    reason = LastSystemReason();
    name.clear();
    return false;
}

bool NativeFile::OpenToAppend(const NativeFolder& folder, const std::filesystem::path& path, bool create,
                              std::string& reason) {
    Close();
    regular_ = true;
    size_ = 0;
    identity_ = {};
    const int at = folder.fd_ >= 0 ? folder.fd_ : AT_FDCWD;
    const char* const leaf = folder.fd_ >= 0 ? path.c_str() + FolderTextLength(path) : path.c_str();
    const int flags = O_WRONLY | O_APPEND | O_NOFOLLOW | O_CLOEXEC | (create ? O_CREAT | O_EXCL : 0);
    do {
        fd_ = ::openat(at, leaf, flags, 0666);
    } while (fd_ < 0 && errno == EINTR);
    if (fd_ >= 0) return true;
    reason = LastSystemReason();
    return false;
}

bool NativeFile::LinkAs(const NativeFolder& folder, const std::filesystem::path& target, bool& taken,
                        std::string& reason) {
    taken = false;
    // Within the folder held open, the name alone; else the whole path.
    const int at = folder.fd_ >= 0 ? folder.fd_ : AT_FDCWD;
    const char* const name = folder.fd_ >= 0 ? target.c_str() + FolderTextLength(target) : target.c_str();
#ifdef AT_EMPTY_PATH
    // Naming a file by its descriptor needs a privilege; the /proc form of
    // the same call does not. Whichever fails for want of it is not tried again.
    static std::atomic<bool> byDescriptor{true};
    if (byDescriptor.load(std::memory_order_relaxed)) {
        if (::linkat(fd_, "", at, name, AT_EMPTY_PATH) == 0) {
            return true;
        }
        if (errno != ENOENT && errno != EPERM) {
            taken = errno == EEXIST;
            reason = LastSystemReason();
            return false;
        }
        byDescriptor.store(false, std::memory_order_relaxed);
    }
    char self[40];
    std::snprintf(self, sizeof self, "/proc/self/fd/%d", fd_);
    if (::linkat(AT_FDCWD, self, at, name, AT_SYMLINK_FOLLOW) == 0) {
        return true;
    }
    taken = errno == EEXIST;
#else
    errno = ENOTSUP;
#endif
    reason = LastSystemReason();
    return false;
}

bool NativeFile::Read(char* data, std::size_t size, std::size_t& got, std::string& reason) {
    got = 0;
    while (got < size) {
        const ssize_t n = ::read(fd_, data + got, size - got);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            reason = LastSystemReason();
            return false;
        }
        if (n == 0) {
            break;
        }
        got += static_cast<std::size_t>(n);
    }
    return true;
}

bool NativeFile::Write(const char* data, std::size_t size, std::string& reason) {
    while (size > 0) {
        const ssize_t n = ::write(fd_, data, size);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            reason = LastSystemReason();
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool NativeFile::AppendFrom(const NativeFile& source, std::uint64_t offset, std::uint64_t size, bool& cutShort,
                            std::string& reason) {
    cutShort = false;
    auto from = static_cast<off_t>(offset);
#ifdef __linux__
    // One copy in the kernel, from the source's cache to the piece.
    while (size > 0) {
        const ssize_t n = ::copy_file_range(source.fd_, &from, fd_, nullptr, size, 0);
        if (n > 0) {
            size -= static_cast<std::uint64_t>(n);
            continue;
        }
        if (n == 0) {
            cutShort = true;
            return false;
        }
        if (errno == EINTR) continue;
        // Across file systems, or where the kernel cannot: copied below.
        if (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP) break;
        reason = LastSystemReason();
        return false;
    }
#endif
    char buffer[1 << 14];
    while (size > 0) {
        std::size_t got = 0;
        if (!source.ReadAt(static_cast<std::uint64_t>(from), buffer,
                           static_cast<std::size_t>(std::min<std::uint64_t>(size, sizeof buffer)), got, reason)) {
            return false;
        }
        if (got == 0) {
            cutShort = true;
            return false;
        }
        if (!Write(buffer, got, reason)) return false;
        from += static_cast<off_t>(got);
        size -= got;
    }
    return true;
}

bool NativeFile::ReadAt(std::uint64_t offset, char* data, std::size_t size, std::size_t& got,
                        std::string& reason) const {
    got = 0;
    while (got < size) {
        const ssize_t n = ::pread(fd_, data + got, size - got, static_cast<off_t>(offset + got));
        if (n < 0) {
            if (errno == EINTR) continue;
            reason = LastSystemReason();
            return false;
        }
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    return true;
}

bool NativeFile::DuplicateOf(const NativeFile& other, std::string& reason) {
    Close();
    fd_ = ::fcntl(other.fd_, F_DUPFD_CLOEXEC, 0);
    if (fd_ < 0) {
        reason = LastSystemReason();
        return false;
    }
    regular_ = other.regular_;
    size_ = other.size_;
    identity_ = other.identity_;
    return true;
}

bool NativeFile::Seek(std::uint64_t offset, std::string& reason) {
    if (::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) < 0) {
        reason = LastSystemReason();
        return false;
    }
    return true;
}

bool NativeFile::Close(std::string& reason) {
    if (fd_ < 0) {
        return true;
    }
    // The descriptor is gone after close() whatever it returns; EINTR is not retried.
    const bool closed = ::close(fd_) == 0;
    if (!closed) {
        reason = LastSystemReason();
    }
    fd_ = -1;
    return closed;
}

namespace {

// Where a step on `path` in `folder` goes: the folder held open and the
// path's last part, or the whole path.
struct InFolder {
    int at;
    const char* name;
};

InFolder Within(const NativeFolder& folder, const std::filesystem::path& path) {
    if (folder.descriptor() < 0) return {AT_FDCWD, path.c_str()};
    return {folder.descriptor(), path.c_str() + FolderTextLength(path)};
}

}  // namespace

bool RemoveFile(const NativeFolder& folder, const std::filesystem::path& path) {
    const InFolder in = Within(folder, path);
    return ::unlinkat(in.at, in.name, 0) == 0;
}

bool RenameReplacing(const NativeFolder& fromFolder, const std::filesystem::path& from, const NativeFolder& toFolder,
                     const std::filesystem::path& to, std::string& reason) {
    const InFolder source = Within(fromFolder, from);
    const InFolder target = Within(toFolder, to);
    if (::renameat(source.at, source.name, target.at, target.name) != 0) {
        reason = LastSystemReason();
        return false;
    }
    return true;
}

bool RenameIfFree(const NativeFolder& fromFolder, const std::filesystem::path& from, const NativeFolder& toFolder,
                  const std::filesystem::path& to, bool& taken, std::string& reason) {
    taken = false;
    const InFolder source = Within(fromFolder, from);
    const InFolder target = Within(toFolder, to);
#ifdef RENAME_NOREPLACE
    if (::renameat2(source.at, source.name, target.at, target.name, RENAME_NOREPLACE) == 0) {
        return true;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        taken = errno == EEXIST;
        reason = LastSystemReason();
        return false;
    }
#endif
    // No renaming without replacing here: a hard link fails on a taken name.
    if (::linkat(source.at, source.name, target.at, target.name, 0) == 0) {
        (void)::unlinkat(source.at, source.name, 0);
        return true;
    }
    if (errno == EEXIST) {
        taken = true;
        reason = LastSystemReason();
        return false;
    }
    if (KindOfName(toFolder, to) != NameKind::Free) {
        taken = true;
        return false;
    }
    return RenameReplacing(fromFolder, from, toFolder, to, reason);
}

NameKind KindOfName(const NativeFolder& folder, const std::filesystem::path& path) {
    const InFolder in = Within(folder, path);
    struct stat info {};
    if (::fstatat(in.at, in.name, &info, AT_SYMLINK_NOFOLLOW) != 0) {
        return errno == ENOENT ? NameKind::Free : NameKind::Other;
    }
    if (S_ISLNK(info.st_mode)) return NameKind::Link;
    if (S_ISDIR(info.st_mode)) return NameKind::Folder;
    return S_ISREG(info.st_mode) ? NameKind::File : NameKind::Other;
}

std::optional<FileIdentity> IdentityIn(const NativeFolder& folder, const std::filesystem::path& path) {
    const InFolder in = Within(folder, path);
    struct stat info {};
    if (::fstatat(in.at, in.name, &info, 0) != 0) return std::nullopt;
    return FileIdentity{static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
}

}  // namespace partwright
