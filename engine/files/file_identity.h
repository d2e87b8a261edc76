#pragma once

#include <compare>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <set>
#include <vector>

#include "partwright/failure.h"

namespace partwright {

// What makes two paths the same file, however they are spelled:
// device and inode on POSIX, volume serial and file index on Windows.
struct FileIdentity {
    std::uint64_t volume = 0;
    std::uint64_t index = 0;
    auto operator<=>(const FileIdentity&) const = default;
};

// The identity of the file at `path`, or nothing when it cannot be found.
[[nodiscard]] std::optional<FileIdentity> IdentityOf(const std::filesystem::path& path);

// What shows that a file was written to: its identity, its size and the time
// it was last written (in the system's own units).
struct FileStamp {
    FileIdentity identity;
    std::uint64_t size = 0;
    std::int64_t modified = 0;
};

// The stamp of the file at `path`, or nothing when it cannot be found.
[[nodiscard]] std::optional<FileStamp> StampOf(const std::filesystem::path& path);
// Whether `later`, of the same file as `earlier`, shows that it was written to since.
[[nodiscard]] bool WrittenSince(const FileStamp& earlier, const FileStamp& later);

// The sources of one run, so that no piece is written over one of them. A
// source that is not there when it is added is looked for again at every
// Contains: a piece written earlier in the run may have created it.
class FileIdentitySet {
public:
    void Add(const std::filesystem::path& path);
    [[nodiscard]] bool Contains(const FileIdentity& identity) const;
    // The failure of a piece called `target` whose name leads to a source of
    // the run (`identity`: what the name leads to now, if anything), if it does.
    [[nodiscard]] std::optional<Failure> RefuseSource(const std::filesystem::path& target,
                                                      const std::optional<FileIdentity>& identity) const;

private:
    std::set<FileIdentity> identities_;
    std::vector<std::filesystem::path> missing_;
};

}  // namespace partwright
