#include "engine/native_file.h"

#include <algorithm>
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

#endif

void NativeFile::Close() {
    std::string ignored;
    (void)Close(ignored);
}

}  // namespace partwright
