#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "engine/files/file_identity.h"
#include "partwright/failure.h"
#include "partwright/run_interface.h"

namespace partwright {

class NativeFile;

// Writes one piece as the bytes it is given (the UTF-8 of each code unit on its own, no byte-order mark),
// buffered, into a temporary file in the target's folder, and gives it its
// name only when it is whole: a name never holds part of a piece. Publishing
// replaces a file or a link of that name (the link itself, never what it
// leads to), but never a source of the run, a folder or a device. A piece
// that fails part-way, or is abandoned, leaves an older file of its name as
// it was, and its temporary file is removed.
class PieceWriter {
public:
    PieceWriter();
    ~PieceWriter();  // abandons an open piece
    PieceWriter(const PieceWriter&) = delete;
    PieceWriter& operator=(const PieceWriter&) = delete;

    // Starts a piece to be called `target`; `sources` is checked when it is
    // published (a source is never replaced: kind TargetIsSource). `sources`
    // must outlive the piece.
    [[nodiscard]] bool Open(const std::filesystem::path& target, const FileIdentitySet& sources, Failure& failure);

    // Starts a piece whose name is not known yet, in `folder`; CommitAs gives it its name.
    [[nodiscard]] bool OpenTemporary(const std::filesystem::path& folder, Failure& failure);

    // The next bytes of the piece, as they are written (the UTF-8 of the text's code units).
    [[nodiscard]] bool Append(std::string_view bytes, Failure& failure);

    // `size` bytes of the open file `source` from `offset` on, which are
    // already what the piece holds (UTF-8 as it is written), copied file to file.
    [[nodiscard]] bool AppendFrom(const NativeFile& source, std::uint64_t offset, std::uint64_t size, Failure& failure);
    // Flushes, closes and publishes the piece under the name given to Open.
    // On failure nothing of the piece is left and an older file is kept.
    [[nodiscard]] bool Commit(Failure& failure);

    // As Commit, under `target`, checked against `sources` (for a piece
    // started with OpenTemporary, or one whose name changed).
    [[nodiscard]] bool CommitAs(const std::filesystem::path& target, const FileIdentitySet& sources, Failure& failure);

    // Commit in two steps, so that a piece may take a free name at once and
    // wait for its turn only to replace a file: CommitIfFree publishes the
    // piece (under `target` when not null) only if nothing has its name;
    // Taken leaves it whole for CommitReplacing (or Abandon).
    enum class Publication { Published, Taken, Failed };
    [[nodiscard]] Publication CommitIfFree(const std::filesystem::path* target, const FileIdentitySet& sources,
                                           Failure& failure);
    [[nodiscard]] bool CommitReplacing(Failure& failure);

    // Drops the open piece, if any; false when there was none.
    bool Abandon();

    [[nodiscard]] bool isOpen() const;

    // Gzip: every piece from now on is written compressed (its name is the
    // caller's to choose). Before the first piece.
    void Compress(PieceCompression compression);

    // Whether the last committed piece took the place of a file or link of its name.
    [[nodiscard]] bool ReplacedOlder() const;

    // Whether the last piece's failure will strike every later piece of its
    // source as well: no space left, a quota reached, a read-only file system,
    // a folder gone or closed to writing, a source that became shorter.
    [[nodiscard]] bool FailureLasts() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace partwright
