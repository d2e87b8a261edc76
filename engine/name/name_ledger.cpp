#include "engine/name/name_ledger.h"

#include <algorithm>
#include <string_view>
#include <system_error>
#include <type_traits>

#include "engine/files/file_identity.h"
#include "partwright/path_text.h"
#include "partwright/text.h"

namespace partwright {

namespace {

using NativeStringView = std::basic_string_view<NativeChar>;

constexpr std::uint64_t kFnvOffset = 0xCBF29CE484222325ull;

// A character of a file name as the file system compares it.
NativeChar Folded(NativeChar c) {
#if defined(_WIN32) || defined(__APPLE__)
    if (c >= NativeChar('A') && c <= NativeChar('Z')) return static_cast<NativeChar>(c - 'A' + 'a');
#endif
    return c;
}

// 64-bit FNV-1a, continued from `hash` over `text`'s characters as the file
// system compares them: a name's key is built without a copy of the name.
std::uint64_t HashFolded(std::uint64_t hash, NativeStringView text) {
    for (const NativeChar c : text) {
        hash ^= static_cast<std::make_unsigned_t<NativeChar>>(Folded(c));
        hash *= 0x100000001B3ull;
    }
    return hash;
}

}  // namespace

void NameLedger::SetFolder(const std::filesystem::path& folder) {
    journal_ = false;
    takenSince_.clear();
    lastCopyBefore_.clear();
    // A folder that exists is known by its identity: two paths to it that no
    // spelling shows to be one (a bind mount, a junction) are still one folder.
    if (const std::optional<FileIdentity> identity = IdentityOf(folder)) {
        const std::uint64_t parts[] = {identity->volume, identity->index};
        folderHash_ = kFnvOffset;
        for (const std::uint64_t part : parts) {
            for (int byte = 0; byte < 8; ++byte) {
                folderHash_ ^= (part >> (8 * byte)) & 0xFF;
                folderHash_ *= 0x100000001B3ull;
            }
        }
        return;
    }
    std::error_code error;
    std::filesystem::path resolved = std::filesystem::absolute(folder, error);
    if (!error) {
        std::filesystem::path canonical = std::filesystem::weakly_canonical(resolved, error);
        resolved = error ? resolved.lexically_normal() : std::move(canonical);
    } else {
        resolved = folder.lexically_normal();
    }
    folderHash_ = HashFolded(kFnvOffset, resolved.native());
    folderHash_ = HashFolded(folderHash_, NativeStringView(&std::filesystem::path::preferred_separator, 1));
}

std::uint64_t NameLedger::KeyOf(const std::filesystem::path& target) const {
    const std::uint64_t key = HashFolded(folderHash_,
                                         NativeStringView(target.native()).substr(FolderTextLength(target)));
    return key == 0 ? 1 : key;
}

int NameLedger::LastCopy(std::uint64_t wantedKey) const {
    const auto last = lastCopy_.find(wantedKey);
    return last == lastCopy_.end() ? 1 : last->second;
}

void NameLedger::Take(std::uint64_t key, std::uint64_t wantedKey, int copy) {
    taken_.Insert(key);
    if (journal_) takenSince_.push_back(key);
    if (wantedKey == 0) return;
    if (journal_) {
        const auto last = lastCopy_.find(wantedKey);
        lastCopyBefore_.emplace_back(wantedKey,
                                     last == lastCopy_.end() ? std::nullopt : std::optional<int>(last->second));
    }
    lastCopy_[wantedKey] = copy;
}

void NameLedger::Rollback() {
    taken_.Erase(takenSince_);
    takenSince_.clear();
    for (auto undo = lastCopyBefore_.rbegin(); undo != lastCopyBefore_.rend(); ++undo) {
        if (undo->second) {
            lastCopy_[undo->first] = *undo->second;
        } else {
            lastCopy_.erase(undo->first);
        }
    }
    lastCopyBefore_.clear();
}

bool TakenNames::Contains(std::uint64_t hash) const { return !slots_.empty() && slots_[SlotOf(hash)] != 0; }

void TakenNames::Insert(std::uint64_t hash) {
    if (hash == 0) hash = 1;
    if (2 * (used_ + 1) > slots_.size()) {
        // Kept at most half full, so a search ends soon at a free slot.
        std::vector<std::uint64_t> old = std::move(slots_);
        slots_.assign(std::max<std::size_t>(64, 2 * old.size()), 0);
        for (const std::uint64_t kept : old) {
            if (kept != 0) slots_[SlotOf(kept)] = kept;
        }
    }
    std::uint64_t& slot = slots_[SlotOf(hash)];
    if (slot == 0) {
        slot = hash;
        ++used_;
    }
}

void TakenNames::Erase(const std::vector<std::uint64_t>& hashes) {
    if (hashes.empty() || slots_.empty()) return;
    std::vector<std::uint64_t> gone = hashes;
    for (std::uint64_t& hash : gone) {
        if (hash == 0) hash = 1;
    }
    std::sort(gone.begin(), gone.end());
    std::vector<std::uint64_t> old = std::move(slots_);
    slots_.assign(old.size(), 0);
    used_ = 0;
    for (const std::uint64_t kept : old) {
        if (kept == 0 || std::binary_search(gone.begin(), gone.end(), kept)) continue;
        slots_[SlotOf(kept)] = kept;
        ++used_;
    }
}

// The slot that holds `hash`, or the free one where the search for it ends.
std::size_t TakenNames::SlotOf(std::uint64_t hash) const {
    if (hash == 0) hash = 1;
    const std::size_t mask = slots_.size() - 1;  // a power of two
    std::size_t slot = static_cast<std::size_t>(hash * 0x9E3779B97F4A7C15ull >> 17) & mask;
    while (slots_[slot] != 0 && slots_[slot] != hash) slot = (slot + 1) & mask;
    return slot;
}

}  // namespace partwright
