#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "partwright/line_end.h"

namespace partwright {

class PieceEncoder;
class LinePattern;

// How the source bytes of a text fed to a cutter are counted.
enum class SourceMeasure {
    Own,         // the text is the source's own bytes
    Utf16,       // two bytes a character, four beyond U+FFFF
    SingleByte,  // one byte a character
    Spread,      // in proportion to the text's bytes (a code page of several bytes a character)
};

// Where the text last fed to a cutter lies in its source: `size` units at
// `data`, from source byte `begin` to `end`. The run sets it before each feed
// for the cut into equal parts; text fed otherwise (the run's own line end)
// lies at the source's end.
struct SourceSpan {
    const char* data = nullptr;
    std::size_t size = 0;
    std::uint64_t begin = 0;
    std::uint64_t end = 0;
    SourceMeasure measure = SourceMeasure::Own;
};

// The source bytes the UTF-8 `text` stands for, counted by `measure` (not Spread).
[[nodiscard]] inline std::uint64_t SourceBytesOf(std::string_view text, SourceMeasure measure) {
    if (measure == SourceMeasure::Own) return text.size();
    std::uint64_t bytes = 0;
    for (const char unit : text) {
        const auto byte = static_cast<unsigned char>(unit);
        if ((byte & 0xC0) == 0x80) continue;  // a continuation byte: the character was counted at its lead
        bytes += measure == SourceMeasure::SingleByte ? 1 : byte >= 0xF0 ? 4 : 2;
    }
    return bytes;
}

// Receives the pieces of one block text as they are cut, in order, as the
// form the reader hands on (see text_form.h).
class PieceSink {
public:
    virtual ~PieceSink() = default;
    // A new piece begins. Returning false stops the cutting (a stop request).
    virtual bool BeginPiece() = 0;
    // The next bytes of the current piece; may come in several calls.
    virtual void AppendToPiece(std::string_view bytes) = 0;
    // The current piece is complete. `writeWhenEmpty` is false in lines mode,
    // where an empty piece is counted but not written.
    virtual void EndPiece(bool writeWhenEmpty) = 0;
};

// Cuts one block text, fed in any number of chunks, into pieces, in one pass:
// no byte is looked at more than a bounded number of times and no piece is
// held whole. The text is UTF-8 (see text_form.h), and a chunk ends between
// characters; every rule below cuts between characters alike, since the
// UTF-8 of a character never begins inside another's.
// The block text is the block followed by the CR LF the run appends; only the
// line end (CR LF unless told otherwise) ends a line. With LineEnd::Lf a lone
// LF takes every role CR LF has below.
//
// Lines mode (N >= 1): with S = (CR LF count) + 1 segments, there are
// ceil(S / N) pieces; piece j holds lines N*j+1 to N*j+N joined by CR LF, with
// no CR LF after the last; the final (empty) segment never counts.
// Separator mode: the segments between non-overlapping occurrences of the
// separator (its UTF-8 alike), found left to right; an empty separator gives the whole text.
// Blank-line mode: separator mode with CR LF CR LF (LF LF).
// Size mode: the lines, the final segment left out, in pieces of whole
// consecutive lines joined by the line end, each piece as long as it can be
// while its bytes as `encoder` writes them stay at most `limit`; a longer
// line is a piece by itself.
// Keeping line ends (`keepLineEnds`), the pieces joined give the block back:
// in lines and size modes a piece ends with its last line's line end, unless
// that is the block text's last (the run's own), and in size mode each line
// counts with its line end; in blank-line mode a piece ends with the first
// line end of the blank line after it; the separator modes cut the block
// without the run's line end (see EndBlock).
class PieceCutter {
public:
    using View = std::string_view;
    using Sink = PieceSink;

    [[nodiscard]] static std::unique_ptr<PieceCutter> Lines(std::int64_t linesPerPiece, LineEnd lineEnd = LineEnd::CrLf,
                                                            bool keepLineEnds = false,
                                                            std::optional<char> csvDelimiter = std::nullopt);
    [[nodiscard]] static std::unique_ptr<PieceCutter> Separator(std::string separator, bool keepLineEnds = false);
    [[nodiscard]] static std::unique_ptr<PieceCutter> BlankLines(LineEnd lineEnd = LineEnd::CrLf,
                                                                 bool keepLineEnds = false);
    //   MaxBytes(10) cuts "aaaa\r\nbbbb\r\ncccc\r\ndd\r\n" into "aaaa\r\nbbbb" and "cccc\r\ndd".
    // `encoder` must outlive the cutter.
    [[nodiscard]] static std::unique_ptr<PieceCutter> MaxBytes(std::uint64_t limit, LineEnd lineEnd,
                                                               const PieceEncoder& encoder, bool keepLineEnds = false,
                                                               std::optional<char> csvDelimiter = std::nullopt);

    // Equal parts: `parts` pieces of whole lines, the lines mode's rules of
    // line ends. Of the source's bytes from where the block text begins to
    // `sourceBytes`, piece k ends with the first line end that ends at or
    // after k/parts of them (as `span` places the text); a line end that
    // reaches several shares ends one piece, so a source of few or long lines
    // gives fewer. `span` must outlive the cutter.
    [[nodiscard]] static std::unique_ptr<PieceCutter> Parts(std::uint64_t parts, std::uint64_t sourceBytes,
                                                            const SourceSpan& span, LineEnd lineEnd,
                                                            bool keepLineEnds = false);
    // A cut before every line that `pattern` matches, but the first (no
    // piece is empty of lines); the lines mode's rules of line ends. A line is
    // matched without its line end, on its first kMatchedHeadBytes bytes.
    [[nodiscard]] static std::unique_ptr<PieceCutter> Match(const LinePattern& pattern, LineEnd lineEnd,
                                                            bool keepLineEnds = false);

    virtual ~PieceCutter() = default;

    // Feeds the next bytes of the block text. Returns false when the sink stopped the cutting.
    [[nodiscard]] virtual bool Feed(View bytes, Sink& sink) = 0;
    // The block text is complete: ends the last pieces. Returns false when the sink stopped.
    // The cutter is then ready for the next block text.
    [[nodiscard]] virtual bool Finish(Sink& sink) = 0;
    // The block is complete but for the line end the run appends to it: feeds
    // that, then finishes (a separator cut keeping line ends leaves it out).
    [[nodiscard]] virtual bool EndBlock(View runLineEnd, Sink& sink) { return Feed(runLineEnd, sink) && Finish(sink); }
    // CSV records: after EndBlock, the line (from 1, in the block text) on
    // which the record that a quote left open began, if one did.
    [[nodiscard]] virtual std::optional<std::int64_t> UnclosedRecordLine() const { return std::nullopt; }
    // The pieces the last finished block text gave (counted by the cutters of whole lines by a rule).
    [[nodiscard]] virtual std::uint64_t PiecesOfLastBlock() const { return 0; }
};

}  // namespace partwright
