#pragma once

#include <map>
#include <string>
#include <string_view>

namespace partwright::wintest {

// Raw file contents: bytes exactly as they lie on disk.
using Bytes = std::string;

// A fresh, uniquely named folder under the user's temporary folder,
// removed with everything in it when the object goes.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // The folder's full path, without a trailing "\".
    [[nodiscard]] const std::wstring& path() const { return path_; }
    // path() + "\" + name
    [[nodiscard]] std::wstring operator/(std::wstring_view name) const;

private:
    std::wstring path_;
};

// Each of these throws std::runtime_error, naming the path and the Windows
// error code, when the file system refuses.
void WriteBytes(const std::wstring& path, std::string_view bytes);
[[nodiscard]] Bytes ReadBytes(const std::wstring& path);
void MakeFolder(const std::wstring& path);
void SetReadOnly(const std::wstring& path, bool readOnly);
void RemoveTree(const std::wstring& path);
[[nodiscard]] bool Exists(const std::wstring& path);
// Whether this process may open the existing file for writing (without changing it).
[[nodiscard]] bool CanOpenForWriting(const std::wstring& path);

// Holds a file open with no sharing at all, as another program locking it would.
class ExclusiveLock {
public:
    explicit ExclusiveLock(const std::wstring& path);
    ~ExclusiveLock();
    ExclusiveLock(const ExclusiveLock&) = delete;
    ExclusiveLock& operator=(const ExclusiveLock&) = delete;

private:
    void* handle_;
};

// What a folder holds, one level deep: each file name with its bytes; a
// subfolder appears as its name followed by "\" with empty contents.
[[nodiscard]] std::map<std::wstring, Bytes> FolderContents(const std::wstring& folder);

// UTF-16 to UTF-8 and back, for messages and for comparing console output.
[[nodiscard]] std::string Utf8(std::wstring_view text);
[[nodiscard]] std::wstring Wide(std::string_view utf8);

}  // namespace partwright::wintest
