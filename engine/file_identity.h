#pragma once

#include <compare>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <set>

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

// The sources of one run, so that no piece is written over one of them.
class FileIdentitySet {
public:
    void Add(const std::filesystem::path& path);  // a path that cannot be found adds nothing
    [[nodiscard]] bool Contains(const FileIdentity& identity) const { return identities_.contains(identity); }

private:
    std::set<FileIdentity> identities_;
};

}  // namespace partwright
