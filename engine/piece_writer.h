#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "engine/failure.h"
#include "engine/file_identity.h"
#include "engine/text.h"
#include "engine/utf8_raw.h"

namespace partwright {

// Writes one piece as UTF-8 (code unit by code unit, no byte-order mark),
// buffered. A piece that fails part-way, or is abandoned, is removed, so no
// half-written piece is left looking complete.
class PieceWriter {
public:
    PieceWriter();
    ~PieceWriter();  // abandons an open piece
    PieceWriter(const PieceWriter&) = delete;
    PieceWriter& operator=(const PieceWriter&) = delete;

    // Creates `target`, or empties an existing file of that name, unless it is
    // one of `sources` (then kind TargetIsSource, and the file is not touched).
    [[nodiscard]] bool Open(const std::filesystem::path& target, const FileIdentitySet& sources, Failure& failure);

    // Opens a fresh, uniquely named temporary file in `folder`, for a piece
    // whose name is not known yet; CommitAs gives it its name.
    [[nodiscard]] bool OpenTemporary(const std::filesystem::path& folder, Failure& failure);

    [[nodiscard]] bool Append(TextView units, Failure& failure);
    // Raw bytes of a single-byte code page, written through their UTF-8 forms.
    [[nodiscard]] bool Append(std::string_view bytes, const ByteUtf8Forms& forms, Failure& failure);

    // Flushes and closes the piece. On failure the file is removed.
    [[nodiscard]] bool Commit(Failure& failure);

    // For a piece opened with OpenTemporary: flushes, closes and renames it to
    // `target`, replacing an existing file, unless `target` is one of `sources`.
    [[nodiscard]] bool CommitAs(const std::filesystem::path& target, const FileIdentitySet& sources, Failure& failure);

    // Closes and removes the open piece, if any.
    void Abandon();

    [[nodiscard]] bool isOpen() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Writes `text` to `target` in one go: the literal form of writing a piece.
[[nodiscard]] bool WriteUTF8File(TextView text, const std::filesystem::path& target, Failure& failure);

}  // namespace partwright
