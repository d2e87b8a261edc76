#include "engine/native_file.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <random>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace partwright {

namespace {
std::atomic<bool> unnamedFilesAllowed{true};
}  // namespace

void AllowUnnamedFiles(bool allowed) { unnamedFilesAllowed.store(allowed); }

#ifdef _WIN32

namespace {

HANDLE AsHandle(void* h) { return static_cast<HANDLE>(h); }

std::string WideToUtf8(const wchar_t* text, int length) {
    if (length <= 0) {
        return {};
    }
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, length, out.data(), bytes, nullptr, nullptr);
    return out;
}

std::string ReasonForCode(DWORD code) {
    wchar_t* message = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
        reinterpret_cast<wchar_t*>(&message), 0, nullptr);
    std::string reason;
    if (length > 0 && message != nullptr) {
        reason = WideToUtf8(message, static_cast<int>(length));
    }
    LocalFree(message);
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' || reason.back() == ' ')) {
        reason.pop_back();
    }
    if (reason.empty()) {
        reason = "system error " + std::to_string(code);
    }
    return reason;
}

bool IsFolder(const std::filesystem::path& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace

std::string LastSystemReason() { return ReasonForCode(GetLastError()); }

NativeFile::~NativeFile() { Close(); }

bool NativeFile::isOpen() const { return AsHandle(handle_) != INVALID_HANDLE_VALUE; }

bool NativeFile::Inspect(std::string& reason) {
    regular_ = GetFileType(AsHandle(handle_)) == FILE_TYPE_DISK;
    size_ = 0;
    identity_ = {};
    BY_HANDLE_FILE_INFORMATION info;
    if (regular_ && GetFileInformationByHandle(AsHandle(handle_), &info)) {
        size_ = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
        identity_.volume = info.dwVolumeSerialNumber;
        identity_.index = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    } else if (regular_) {
        reason = LastSystemReason();
        Close();
        return false;
    }
    return true;
}

bool NativeFile::OpenForReading(const std::filesystem::path& path, std::string& reason) {
    Close();
    if (IsFolder(path)) {
        reason = kIsAFolder;
        return false;
    }
    handle_ = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                          OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (!isOpen()) {
        reason = LastSystemReason();
        return false;
    }
    return Inspect(reason);
}

bool NativeFile::CreateNew(const std::filesystem::path& path, bool& exists, std::string& reason) {
    Close();
    exists = false;
    handle_ = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                          nullptr);
    if (!isOpen()) {
        const DWORD error = GetLastError();
        reason = LastSystemReason();
        exists = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS || IsFolder(path);
        return false;
    }
    // A device name opens a device, not a new file: inspect what was opened.
    if (!Inspect(reason)) {
        return false;
    }
    identity_ = {};
    return true;
}

bool NativeFile::CreateTemporary(const std::filesystem::path& folder, std::filesystem::path& name,
                                 std::string& reason) {
    Close();
    constexpr int kAttempts = 16;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        name = TemporaryName(folder);
        // CREATE_NEW never opens what is there, a link included.
        handle_ = CreateFileW(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
        if (isOpen()) {
            regular_ = true;
            size_ = 0;
            identity_ = {};
            return true;
        }
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) {
            break;
        }
    }
    reason = LastSystemReason();
    name.clear();
    return false;
}

bool NativeFile::LinkAs(const std::filesystem::path&, bool& taken, std::string& reason) {
    taken = false;
    reason = "files without a name are not made here";
    return false;
}

bool NativeFile::OpenForWriting(const std::filesystem::path& path, bool mustBeNew, std::string& reason) {
    Close();
    if (IsFolder(path)) {
        reason = kIsAFolder;
        return false;
    }
    handle_ = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, mustBeNew ? CREATE_NEW : OPEN_ALWAYS,
                          FILE_ATTRIBUTE_NORMAL, nullptr);
    if (!isOpen()) {
        reason = LastSystemReason();
        return false;
    }
    return Inspect(reason);
}

bool NativeFile::Read(char* data, std::size_t size, std::size_t& got, std::string& reason) {
    got = 0;
    while (got < size) {
        const DWORD ask = static_cast<DWORD>(std::min<std::size_t>(size - got, 1u << 30));
        DWORD read = 0;
        if (!ReadFile(AsHandle(handle_), data + got, ask, &read, nullptr)) {
            reason = LastSystemReason();
            return false;
        }
        if (read == 0) {
            break;
        }
        got += read;
    }
    return true;
}

bool NativeFile::Write(const char* data, std::size_t size, std::string& reason) {
    while (size > 0) {
        const DWORD ask = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
        DWORD written = 0;
        if (!WriteFile(AsHandle(handle_), data, ask, &written, nullptr)) {
            reason = LastSystemReason();
            return false;
        }
        data += written;
        size -= written;
    }
    return true;
}

bool NativeFile::Seek(std::uint64_t offset, std::string& reason) {
    LARGE_INTEGER to{};
    to.QuadPart = static_cast<LONGLONG>(offset);
    if (!SetFilePointerEx(AsHandle(handle_), to, nullptr, FILE_BEGIN)) {
        reason = LastSystemReason();
        return false;
    }
    return true;
}

bool NativeFile::Truncate(std::string& reason) {
    // A fresh open is at offset 0, and a new file has nothing to cut.
    if (!regular_ || size_ == 0) {
        return true;
    }
    size_ = 0;
    LARGE_INTEGER zero{};
    if (!SetFilePointerEx(AsHandle(handle_), zero, nullptr, FILE_BEGIN) || !SetEndOfFile(AsHandle(handle_))) {
        reason = LastSystemReason();
        return false;
    }
    return true;
}

bool NativeFile::Close(std::string& reason) {
    if (!isOpen()) {
        return true;
    }
    const bool closed = CloseHandle(AsHandle(handle_)) != 0;
    if (!closed) {
        reason = LastSystemReason();
    }
    handle_ = INVALID_HANDLE_VALUE;
    return closed;
}

bool RemoveFile(const std::filesystem::path& path) { return DeleteFileW(path.c_str()) != 0; }

bool RenameReplacing(const std::filesystem::path& from, const std::filesystem::path& to, std::string& reason) {
    if (IsFolder(to)) {
        reason = kIsAFolder;
        return false;
    }
    if (!MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        reason = LastSystemReason();
        return false;
    }
    return true;
}

bool RenameIfFree(const std::filesystem::path& from, const std::filesystem::path& to, bool& taken,
                  std::string& reason) {
    taken = false;
    if (MoveFileExW(from.c_str(), to.c_str(), 0)) {
        return true;
    }
    const DWORD error = GetLastError();
    taken = error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS;
    reason = ReasonForCode(error);
    return false;
}

NameKind KindOfName(const std::filesystem::path& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? NameKind::Free : NameKind::Other;
    }
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        return NameKind::Link;
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return NameKind::Folder;
    }
    // A device name such as "nul.txt" has attributes too: ask what it opens.
    const HANDLE handle = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return NameKind::Other;
    }
    const bool disk = GetFileType(handle) == FILE_TYPE_DISK;
    CloseHandle(handle);
    return disk ? NameKind::File : NameKind::Other;
}

#else  // POSIX

std::string LastSystemReason() { return std::system_category().message(errno); }

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

bool NativeFile::CreateNew(const std::filesystem::path& path, bool& exists, std::string& reason) {
    Close();
    exists = false;
    do {
        fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    } while (fd_ < 0 && errno == EINTR);
    if (fd_ < 0) {
        exists = errno == EEXIST;
        reason = LastSystemReason();
        return false;
    }
    // O_EXCL made it: a regular file, empty, and not one that existed before.
    regular_ = true;
    size_ = 0;
    identity_ = {};
    return true;
}

bool NativeFile::CreateTemporary(const std::filesystem::path& folder, std::filesystem::path& name,
                                 std::string& reason) {
    Close();
    name.clear();
    regular_ = true;
    size_ = 0;
    identity_ = {};
#ifdef O_TMPFILE
    // A file without a name: whatever ends the program, nothing of it is left.
    if (unnamedFilesAllowed.load(std::memory_order_relaxed)) {
        do {
            fd_ = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
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
        name = TemporaryName(folder);
        do {
            fd_ = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        } while (fd_ < 0 && errno == EINTR);
        if (fd_ >= 0) {
            return true;
        }
        if (errno != EEXIST) {
            break;
        }
    }
    reason = LastSystemReason();
    name.clear();
    return false;
}

bool NativeFile::LinkAs(const std::filesystem::path& target, bool& taken, std::string& reason) {
    taken = false;
#ifdef AT_EMPTY_PATH
    // Naming a file by its descriptor needs a privilege; the /proc form of
    // the same call does not. Whichever fails for want of it is not tried again.
    static std::atomic<bool> byDescriptor{true};
    if (byDescriptor.load(std::memory_order_relaxed)) {
        if (::linkat(fd_, "", AT_FDCWD, target.c_str(), AT_EMPTY_PATH) == 0) {
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
    if (::linkat(AT_FDCWD, self, AT_FDCWD, target.c_str(), AT_SYMLINK_FOLLOW) == 0) {
        return true;
    }
    taken = errno == EEXIST;
#else
    errno = ENOTSUP;
#endif
    reason = LastSystemReason();
    return false;
}

bool NativeFile::OpenForWriting(const std::filesystem::path& path, bool mustBeNew, std::string& reason) {
    Close();
    const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | O_NONBLOCK | (mustBeNew ? O_EXCL : 0);
    do {
        fd_ = ::open(path.c_str(), flags, 0666);
    } while (fd_ < 0 && errno == EINTR);
    if (fd_ < 0) {
        reason = LastSystemReason();
        return false;
    }
    return Inspect(reason);
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

bool NativeFile::Seek(std::uint64_t offset, std::string& reason) {
    if (::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) < 0) {
        reason = LastSystemReason();
        return false;
    }
    return true;
}

bool NativeFile::Truncate(std::string& reason) {
    // A fresh open is at offset 0, and a new file has nothing to cut.
    if (!regular_ || size_ == 0) {
        return true;
    }
    size_ = 0;
    if (::ftruncate(fd_, 0) != 0) {
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

bool RemoveFile(const std::filesystem::path& path) { return ::unlink(path.c_str()) == 0; }

bool RenameReplacing(const std::filesystem::path& from, const std::filesystem::path& to, std::string& reason) {
    if (::rename(from.c_str(), to.c_str()) != 0) {
        reason = LastSystemReason();
        return false;
    }
    return true;
}

bool RenameIfFree(const std::filesystem::path& from, const std::filesystem::path& to, bool& taken,
                  std::string& reason) {
    taken = false;
#ifdef RENAME_NOREPLACE
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return true;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        taken = errno == EEXIST;
        reason = LastSystemReason();
        return false;
    }
#endif
    // No renaming without replacing here: a hard link fails on a taken name.
    if (::link(from.c_str(), to.c_str()) == 0) {
        (void)::unlink(from.c_str());
        return true;
    }
    if (errno == EEXIST) {
        taken = true;
        reason = LastSystemReason();
        return false;
    }
    if (KindOfName(to) != NameKind::Free) {
        taken = true;
        return false;
    }
    return RenameReplacing(from, to, reason);
}

NameKind KindOfName(const std::filesystem::path& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) {
        return errno == ENOENT ? NameKind::Free : NameKind::Other;
    }
    if (S_ISLNK(info.st_mode)) return NameKind::Link;
    if (S_ISDIR(info.st_mode)) return NameKind::Folder;
    return S_ISREG(info.st_mode) ? NameKind::File : NameKind::Other;
}

#endif

std::filesystem::path TemporaryName(const std::filesystem::path& folder) {
    static thread_local std::mt19937_64 random{std::random_device{}()};
    char name[48];
    std::snprintf(name, sizeof name, "%.*s%016llx.tmp", static_cast<int>(kTemporaryPrefix.size()),
                  kTemporaryPrefix.data(), static_cast<unsigned long long>(random()));
    return folder / name;
}

bool IsTemporaryName(const std::filesystem::path& path) {
    const auto name = path.filename().native();
    if (name.size() < kTemporaryPrefix.size()) {
        return false;
    }
    return std::equal(kTemporaryPrefix.begin(), kTemporaryPrefix.end(), name.begin());
}

void NativeFile::Close() {
    std::string ignored;
    (void)Close(ignored);
}

}  // namespace partwright
