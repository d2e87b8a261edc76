#pragma once

// Reading a source and writing a piece in one go: the literal forms the
// tests hold the streaming run against.

#include <filesystem>
#include <optional>
#include <vector>

#include "engine/files/file_identity.h"
#include "engine/read/source_reader.h"
#include "engine/read/text_form.h"
#include "engine/tests/text_oracle.h"
#include "engine/write/piece_writer.h"
#include "partwright/failure.h"
#include "partwright/text.h"

namespace partwright {

// Every block of a source at once, as a list of texts.
// The code units of the text the reader hands on.
[[nodiscard]] inline Text UnitsOf(std::string_view bytes) {
    Text units;
    (void)DecodeUtf8(bytes, bytes.size(), units);
    return units;
}

[[nodiscard]] inline std::optional<std::vector<Text>> ReadFileBlocks(const std::filesystem::path& source,
                                                                     const ReadOptions& options, Failure& failure) {
    auto reader = SourceReader::Open(source, options, failure);
    if (!reader) {
        return std::nullopt;
    }
    std::vector<Text> blocks;
    Text block;
    std::string_view bytes;
    bool endsBlock = false;
    for (;;) {
        switch (reader->Next(bytes, endsBlock)) {
        case SourceReader::Status::Units:
            block += UnitsOf(bytes);
            if (endsBlock) {
                blocks.push_back(std::move(block));
                block.clear();
            }
            break;
        case SourceReader::Status::Restart:
            blocks.clear();
            block.clear();
            break;
        case SourceReader::Status::EndOfSource: return blocks;
        case SourceReader::Status::Error: failure = reader->error(); return std::nullopt;
        }
    }
}

// Writes `text` to `target` in one go, as one piece, in `encoding` (its mark first).
[[nodiscard]] inline bool WriteWholePiece(TextView text, const std::filesystem::path& target, Failure& failure,
                                          OutputEncoding encoding = OutputEncoding::Utf8) {
    static const FileIdentitySet kNoSources;
    const std::string mark = encoding == OutputEncoding::Utf8Bom   ? "\xEF\xBB\xBF"
                             : encoding == OutputEncoding::Utf16Le ? "\xFF\xFE"
                                                                   : "";
    PieceWriter writer;
    return writer.Open(target, kNoSources, failure) &&
           writer.Append(mark + WrittenLiterally(text, encoding), failure) && writer.Commit(failure);
}

}  // namespace partwright
