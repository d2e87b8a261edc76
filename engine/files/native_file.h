#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "engine/files/file_identity.h"

namespace partwright {

// A folder that files are created and named in, held open where the system
// allows (a descriptor on POSIX), so that a run of pieces into one folder does
// not walk the folder's path for each of them. Where it cannot be held open
// (or on Windows), NativeFile's calls go by its path, as they would without it.
class NativeFolder {
public:
    NativeFolder() = default;
    ~NativeFolder();
    NativeFolder(const NativeFolder&) = delete;
    NativeFolder& operator=(const NativeFolder&) = delete;

    // Takes `folder` ("." for the current one), letting go of the last.
    void Use(const std::filesystem::path& folder);
    [[nodiscard]] const std::filesystem::path& path() const { return path_; }
#ifndef _WIN32
    // The descriptor held open, or -1 when the calls go by the path.
    [[nodiscard]] int descriptor() const { return fd_; }
#endif

private:
    friend class NativeFile;
    std::filesystem::path path_;
#ifndef _WIN32
    int fd_ = -1;
#endif
};

// A thin owner of one operating-system file (a descriptor on POSIX, a handle
// on Windows, opened through the wide-character API), so that the reader and
// the writer hold no platform code of their own. Failing calls fill `reason`
// with the operating system's text, in UTF-8.
class NativeFile {
public:
    NativeFile() = default;
    ~NativeFile();
    NativeFile(const NativeFile&) = delete;
    NativeFile& operator=(const NativeFile&) = delete;

    // Opens an existing file for reading; a folder is refused.
    [[nodiscard]] bool OpenForReading(const std::filesystem::path& path, std::string& reason);
    // Creates an empty file in `folder` for a piece to be written into and
    // given its name only when whole. Where the system has files without a
    // name (Linux) `name` is left empty; otherwise the file gets a fresh
    // name that starts with kTemporaryPrefix (temporary_name.h), created exclusively and never
    // through a link.
    [[nodiscard]] bool CreateTemporary(const NativeFolder& folder, std::filesystem::path& name, std::string& reason);
    // Opens `path`, which lies in `folder`, for writing at its end: created
    // (exclusively, never through a link) with `create`, else one that exists.
    // A file kept under a name of its own and filled over several openings.
    [[nodiscard]] bool OpenToAppend(const NativeFolder& folder, const std::filesystem::path& path, bool create,
                                    std::string& reason);
    // Gives a file created without a name the name `target`, which lies in
    // `folder`, unless that name is taken: then `taken` is set and nothing changes.
    [[nodiscard]] bool LinkAs(const NativeFolder& folder, const std::filesystem::path& target, bool& taken,
                              std::string& reason);

    // Reads until `size` bytes are in or the file ends; `got` says how many.
    [[nodiscard]] bool Read(char* data, std::size_t size, std::size_t& got, std::string& reason);
    [[nodiscard]] bool Write(const char* data, std::size_t size, std::string& reason);
    // Appends `size` bytes of `source` from `offset` on (its read position
    // stays), in the kernel where the system can; `short` is set when the
    // source ends first. False, with nothing done, where the system has no
    // way to read at an offset (see kCanReadAtOffsets).
    [[nodiscard]] bool AppendFrom(const NativeFile& source, std::uint64_t offset, std::uint64_t size, bool& cutShort,
                                  std::string& reason);
    // Reads until `size` bytes from `offset` on are in or the file ends,
    // leaving the read position where it is; safe beside other such reads of
    // the file on other threads. Not where the system cannot (kCanReadAtOffsets).
    [[nodiscard]] bool ReadAt(std::uint64_t offset, char* data, std::size_t size, std::size_t& got,
                              std::string& reason) const;
    // Opens another handle to the file `other` has open, for reading at offsets.
    [[nodiscard]] bool DuplicateOf(const NativeFile& other, std::string& reason);
    // Moves the read position to `offset` bytes from the start.
    [[nodiscard]] bool Seek(std::uint64_t offset, std::string& reason);
    [[nodiscard]] bool Close(std::string& reason);
    void Close() {
        std::string ignored;
        (void)Close(ignored);
    }

    [[nodiscard]] bool isOpen() const;
    [[nodiscard]] bool isRegular() const { return regular_; }
    [[nodiscard]] std::uint64_t size() const { return size_; }
    [[nodiscard]] const FileIdentity& identity() const { return identity_; }

private:
    // Reads the type, size and identity of the file just opened.
    [[nodiscard]] bool Inspect(std::string& reason);

#ifdef _WIN32
    void* handle_ = reinterpret_cast<void*>(static_cast<std::intptr_t>(-1));
#else
    int fd_ = -1;
#endif
    bool regular_ = false;
    std::uint64_t size_ = 0;
    FileIdentity identity_;
};

// Whether NativeFile::ReadAt, AppendFrom and DuplicateOf work on this system.
#ifdef _WIN32
inline constexpr bool kCanReadAtOffsets = false;
#else
inline constexpr bool kCanReadAtOffsets = true;
#endif

// Steps on names in a folder, each `path` a whole path that lies in `folder`.
// Where the folder is held open they go through it, by the last part of the
// path alone, so that renaming or moving the folder meanwhile does not turn
// them to another place (or leave a temporary file behind under the old path).

// Deletes a file; false when it could not be deleted.
bool RemoveFile(const NativeFolder& folder, const std::filesystem::path& path);
// Renames `from` in `fromFolder` to `to` in `toFolder`, replacing a file or
// a link already called `to` (the link itself, never what it leads to).
[[nodiscard]] bool RenameReplacing(const NativeFolder& fromFolder, const std::filesystem::path& from,
                                   const NativeFolder& toFolder, const std::filesystem::path& to, std::string& reason);
// As RenameReplacing, unless `to` is taken: then `taken` is set and nothing changes.
[[nodiscard]] bool RenameIfFree(const NativeFolder& fromFolder, const std::filesystem::path& from,
                                const NativeFolder& toFolder, const std::filesystem::path& to, bool& taken,
                                std::string& reason);

// What a name itself is, a link not followed.
enum class NameKind { Free, File, Link, Folder, Other };
[[nodiscard]] NameKind KindOfName(const NativeFolder& folder, const std::filesystem::path& path);
// The identity of what `path` leads to (a link followed), or nothing.
[[nodiscard]] std::optional<FileIdentity> IdentityIn(const NativeFolder& folder, const std::filesystem::path& path);

// The operating system's text for its last error (errno, or GetLastError() on Windows), in UTF-8.
[[nodiscard]] std::string LastSystemReason();
// Whether the error LastSystemReason last described on this thread will
// strike every later file written in the same folder: no space left, a quota
// reached, a read-only file system; with `creating` (the error came creating
// a file there), also a folder that is gone or closed to writing.
[[nodiscard]] bool LastFailureLasts(bool creating = false);
// Whether the error LastSystemReason last described on this thread was that
// the process (or the system) has as many files open as it may.
[[nodiscard]] bool LastFailureIsTooManyOpen();
// The reason given for a folder where a file is needed.
inline constexpr const char* kIsAFolder = "Is a directory";

}  // namespace partwright
