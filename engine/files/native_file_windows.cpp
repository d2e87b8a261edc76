// The Windows half of the platform's files: handles through the wide-character API.
#include "engine/files/native_file.h"

#include <algorithm>
#include <string>

#include <windows.h>

#include "engine/name/temporary_name.h"

namespace partwright {

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
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                            FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, code, 0, reinterpret_cast<wchar_t*>(&message), 0, nullptr);
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

namespace {
thread_local DWORD lastError = 0;           // of the last LastSystemReason on this thread
constexpr DWORD kDiskQuotaExceeded = 1295;  // ERROR_DISK_QUOTA_EXCEEDED, which MinGW's headers lack
}  // namespace

std::string LastSystemReason() {
    lastError = GetLastError();
    return ReasonForCode(lastError);
}

bool LastFailureIsTooManyOpen() { return lastError == ERROR_TOO_MANY_OPEN_FILES; }

bool LastFailureLasts(bool creating) {
    switch (lastError) {
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
    case kDiskQuotaExceeded:
    case ERROR_WRITE_PROTECT: return true;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_FILE_NOT_FOUND:
    case ERROR_ACCESS_DENIED: return creating;
    default: return false;
    }
}

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

NativeFolder::~NativeFolder() = default;

void NativeFolder::Use(const std::filesystem::path& folder) { path_ = folder; }

bool NativeFile::OpenToAppend(const NativeFolder&, const std::filesystem::path& path, bool create,
                              std::string& reason) {
    Close();
    regular_ = true;
    size_ = 0;
    identity_ = {};
    // CREATE_NEW never opens what is there, a link included; FILE_APPEND_DATA alone writes at the end.
    handle_ = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                          create ? CREATE_NEW : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (isOpen()) return true;
    reason = LastSystemReason();
    return false;
}

bool NativeFile::CreateTemporary(const NativeFolder& folder, std::filesystem::path& name, std::string& reason) {
    Close();
    constexpr int kAttempts = 16;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        name = TemporaryName(folder.path());
        // CREATE_NEW never opens what is there, a link included.
        handle_ = CreateFileW(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
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

bool NativeFile::LinkAs(const NativeFolder&, const std::filesystem::path&, bool& taken, std::string& reason) {
    taken = false;
    reason = "files without a name are not made here";
    return false;
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

bool NativeFile::AppendFrom(const NativeFile&, std::uint64_t, std::uint64_t, bool& cutShort, std::string& reason) {
    cutShort = false;
    reason = "not supported here";
    return false;
}

bool NativeFile::ReadAt(std::uint64_t, char*, std::size_t, std::size_t& got, std::string& reason) const {
    got = 0;
    reason = "not supported here";
    return false;
}

bool NativeFile::DuplicateOf(const NativeFile&, std::string& reason) {
    reason = "not supported here";
    return false;
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

bool RemoveFile(const NativeFolder&, const std::filesystem::path& path) { return DeleteFileW(path.c_str()) != 0; }

bool RenameReplacing(const NativeFolder&, const std::filesystem::path& from, const NativeFolder&,
                     const std::filesystem::path& to, std::string& reason) {
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

bool RenameIfFree(const NativeFolder&, const std::filesystem::path& from, const NativeFolder&,
                  const std::filesystem::path& to, bool& taken, std::string& reason) {
    taken = false;
    if (MoveFileExW(from.c_str(), to.c_str(), 0)) {
        return true;
    }
    const DWORD error = GetLastError();
    taken = error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS;
    reason = ReasonForCode(error);
    return false;
}

NameKind KindOfName(const NativeFolder&, const std::filesystem::path& path) {
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
    const HANDLE handle = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return NameKind::Other;
    }
    const bool disk = GetFileType(handle) == FILE_TYPE_DISK;
    CloseHandle(handle);
    return disk ? NameKind::File : NameKind::Other;
}

std::optional<FileIdentity> IdentityIn(const NativeFolder&, const std::filesystem::path& path) {
    return IdentityOf(path);
}

}  // namespace partwright
