#include "tests/windows/win_files.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <stdexcept>
#include <vector>

namespace partwright::wintest {

namespace {

[[noreturn]] void Fail(const char* what, const std::wstring& path) {
    const DWORD code = GetLastError();
    throw std::runtime_error(std::string(what) + " " + Utf8(path) + ": Windows error " + std::to_string(code));
}

// Closes a file handle on every way out of a function.
class Handle {
public:
    explicit Handle(HANDLE handle) : handle_(handle) {}
    ~Handle() {
        if (valid()) {
            CloseHandle(handle_);
        }
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    [[nodiscard]] bool valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
    [[nodiscard]] HANDLE get() const { return handle_; }

private:
    HANDLE handle_;
};

std::wstring TempRoot() {
    std::vector<wchar_t> buffer(MAX_PATH + 1);
    const DWORD length = GetTempPathW(static_cast<DWORD>(buffer.size()), buffer.data());
    if (length == 0 || length >= buffer.size()) {
        throw std::runtime_error("GetTempPathW failed");
    }
    std::wstring root(buffer.data(), length);
    while (!root.empty() && (root.back() == L'\\' || root.back() == L'/')) {
        root.pop_back();
    }
    // A prefix made a moment ago may not have its temporary folder yet.
    CreateDirectoryW(root.c_str(), nullptr);
    return root;
}

}  // namespace

TempFolder::TempFolder() {
    static std::atomic<unsigned> counter{0};
    const std::wstring root = TempRoot();
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::wstring candidate = root + L"\\pw-e2e-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                                       std::to_wstring(GetTickCount64()) + L"-" + std::to_wstring(counter++);
        if (CreateDirectoryW(candidate.c_str(), nullptr)) {
            path_ = candidate;
            return;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS) {
            Fail("cannot create", candidate);
        }
    }
    throw std::runtime_error("no free temporary folder name under " + Utf8(root));
}

TempFolder::~TempFolder() {
    try {
        RemoveTree(path_);
    } catch (const std::exception&) {
        // Leaving a temporary folder behind is no reason to end the tests.
    }
}

std::wstring TempFolder::operator/(std::wstring_view name) const { return path_ + L"\\" + std::wstring(name); }

void WriteBytes(const std::wstring& path, std::string_view bytes) {
    const Handle file(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) {
        Fail("cannot create", path);
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1 << 20));
        DWORD written = 0;
        if (!WriteFile(file.get(), bytes.data() + done, chunk, &written, nullptr) || written == 0) {
            Fail("cannot write", path);
        }
        done += written;
    }
}

Bytes ReadBytes(const std::wstring& path) {
    const Handle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) {
        Fail("cannot open", path);
    }
    Bytes bytes;
    char buffer[1 << 16];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr)) {
            Fail("cannot read", path);
        }
        if (got == 0) {
            return bytes;
        }
        bytes.append(buffer, got);
    }
}

void MakeFolder(const std::wstring& path) {
    if (!CreateDirectoryW(path.c_str(), nullptr)) {
        Fail("cannot create folder", path);
    }
}

void SetReadOnly(const std::wstring& path, bool readOnly) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        Fail("cannot find", path);
    }
    const DWORD wanted = readOnly ? (attributes | FILE_ATTRIBUTE_READONLY) : (attributes & ~FILE_ATTRIBUTE_READONLY);
    if (!SetFileAttributesW(path.c_str(), wanted == 0 ? FILE_ATTRIBUTE_NORMAL : wanted)) {
        Fail("cannot set the attributes of", path);
    }
}

void RemoveTree(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return;
    }
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (!DeleteFileW(path.c_str())) {
            Fail("cannot delete", path);
        }
        return;
    }
    for (const auto& [name, bytes] : FolderContents(path)) {
        std::wstring child = name;
        if (!child.empty() && child.back() == L'\\') {
            child.pop_back();
        }
        RemoveTree(path + L"\\" + child);
    }
    if (!RemoveDirectoryW(path.c_str())) {
        Fail("cannot remove folder", path);
    }
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool CanOpenForWriting(const std::wstring& path) {
    const Handle file(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file.valid();
}

ExclusiveLock::ExclusiveLock(const std::wstring& path)
    : handle_(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                          nullptr)) {
    if (handle_ == INVALID_HANDLE_VALUE) {
        Fail("cannot lock", path);
    }
}

ExclusiveLock::~ExclusiveLock() { CloseHandle(handle_); }

std::map<std::wstring, Bytes> FolderContents(const std::wstring& folder) {
    std::map<std::wstring, Bytes> contents;
    WIN32_FIND_DATAW entry;
    const std::wstring pattern = folder + L"\\*";
    HANDLE search = FindFirstFileW(pattern.c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) {
        Fail("cannot list", folder);
    }
    do {
        const std::wstring name = entry.cFileName;
        if (name == L"." || name == L"..") {
            continue;
        }
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            contents[name + L"\\"] = Bytes();
        } else {
            contents[name] = ReadBytes(folder + L"\\" + name);
        }
    } while (FindNextFileW(search, &entry));
    FindClose(search);
    return contents;
}

std::string Utf8(std::wstring_view text) {
    if (text.empty()) {
        return {};
    }
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                         nullptr);
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size, nullptr, nullptr);
    return out;
}

std::wstring Wide(std::string_view utf8) {
    if (utf8.empty()) {
        return {};
    }
    const int size = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), size);
    return out;
}

}  // namespace partwright::wintest
