#pragma once

#include <cstddef>
#include <filesystem>

namespace partwright {

class SourceReader;

// The code page of the source being cut while it is undecided: "auto" reads
// the source as UTF-8 and has not checked all of it, and its pieces would be
// named otherwise in the fallback code page. Its pieces go only under free
// names, and only so many of them, so that no older file is replaced by a
// piece that a second cut, in the fallback code page, would not give; past
// that, the rest of the source is checked first. The run owns this, and it
// alone asks the reader: the sink only asks it.
class UndecidedCodepage {
public:
    // Pieces cut before the rest of the source is checked, at most: every
    // one is removed should the source not be UTF-8.
    static constexpr std::size_t kMaxPieces = 1024;

    // A source begins: undecided when `reader` is not null (see SourceReader::undecided).
    void Start(SourceReader* reader) {
        reader_ = reader;
        pieces_ = 0;
    }

    [[nodiscard]] bool undecided() const { return reader_ != nullptr; }

    // A piece is to be written under `target`. True when it may be: its
    // name is free and the bound not reached, or the source turned out to be
    // UTF-8 throughout (then it is decided from here on). False when it is
    // not UTF-8 (the reader's next step gives Restart) or could not be read
    // to its end (the next step gives Error): the piece is not to be written.
    [[nodiscard]] bool MayWrite(const std::filesystem::path& target);

private:
    SourceReader* reader_ = nullptr;
    std::size_t pieces_ = 0;
};

}  // namespace partwright
