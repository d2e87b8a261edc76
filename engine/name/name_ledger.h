#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

namespace partwright {

// The names taken by the pieces of a run, held as 64-bit hashes in an open
// table: 16 bytes or less a piece, however long the names. Two names with one
// hash (about one chance in 10^9 for a million pieces) only give a piece the
// next copy name when its own was free.
class TakenNames {
public:
    [[nodiscard]] bool Contains(std::uint64_t hash) const;
    void Insert(std::uint64_t hash);
    // Takes the names back out (the table is built anew without them).
    void Erase(const std::vector<std::uint64_t>& hashes);

private:
    [[nodiscard]] std::size_t SlotOf(std::uint64_t hash) const;
    std::vector<std::uint64_t> slots_;  // 0 = free
    std::size_t used_ = 0;
};

// The names the pieces of a run took and the highest copy number taken for
// each name wanted, by key: a hash of the folder the pieces go to (its
// identity, or its resolved path while it does not exist) and the file name (folded to one case where file names ignore
// it). From a checkpoint on it keeps what it changes, so that a source cut again gives back every name its first cut
// took in one call.
class NameLedger {
public:
    // The folder the pieces of the next source go to (two paths to one
    // folder, through links, "..", bind mounts or junctions, are one folder). Ends a checkpoint.
    void SetFolder(const std::filesystem::path& folder);
    // The key of `target`, a name in that folder; never 0.
    [[nodiscard]] std::uint64_t KeyOf(const std::filesystem::path& target) const;

    [[nodiscard]] bool Taken(std::uint64_t key) const { return taken_.Contains(key); }
    // The highest copy number taken for the name of `wantedKey`; 1 when none was.
    [[nodiscard]] int LastCopy(std::uint64_t wantedKey) const;
    // A piece took the name of `key`; when it wanted another (`wantedKey` not
    // 0), it took copy number `copy` of that one.
    void Take(std::uint64_t key, std::uint64_t wantedKey, int copy);

    // From now on keeps what Take changes, for Rollback.
    void Checkpoint() { journal_ = true; }
    // Gives back what was taken since the checkpoint, which goes on.
    void Rollback();
    // The keys of the names taken since the checkpoint, in the order taken.
    [[nodiscard]] const std::vector<std::uint64_t>& takenSinceCheckpoint() const { return takenSince_; }

private:
    std::uint64_t folderHash_ = 0;
    TakenNames taken_;
    std::unordered_map<std::uint64_t, int> lastCopy_;  // by wanted name
    bool journal_ = false;
    std::vector<std::uint64_t> takenSince_;
    std::vector<std::pair<std::uint64_t, std::optional<int>>> lastCopyBefore_;
};

}  // namespace partwright
