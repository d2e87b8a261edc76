#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "engine/read/byte_coding.h"
#include "partwright/line_end.h"
#include "partwright/text.h"

namespace partwright {

// Receives the pieces of one block text as they are cut, in order. `Unit` is
// char16_t for decoded text, or char for bytes (see ByteCoding): those of a
// single-byte code page, one byte a code unit, or the CESU-8 the reader makes
// of a UTF-8 source, one to three bytes a unit.
template <class Unit>
class BasicPieceSink {
public:
    virtual ~BasicPieceSink() = default;
    // A new piece begins. Returning false stops the cutting (a stop request).
    virtual bool BeginPiece() = 0;
    // The next units of the current piece; may come in several calls.
    virtual void AppendToPiece(std::basic_string_view<Unit> units) = 0;
    // The current piece is complete. `writeWhenEmpty` is false in lines mode,
    // where an empty piece is counted but not written.
    virtual void EndPiece(bool writeWhenEmpty) = 0;
};

// Cuts one block text, fed in any number of chunks, into pieces, in one pass:
// no unit is looked at more than a bounded number of times and no piece is
// held whole. The block text is the block followed by the CR LF the run
// appends; only the line end (CR LF unless told otherwise) ends a line. With
// LineEnd::Lf a lone LF takes every role CR LF has below.
//
// Lines mode (N >= 1): with S = (CR LF count) + 1 segments, there are
// ceil(S / N) pieces; piece j holds lines N*j+1 to N*j+N joined by CR LF, with
// no CR LF after the last; the final (empty) segment never counts.
// Separator mode: the segments between non-overlapping occurrences of the
// separator, found left to right; an empty separator gives the whole text.
// Blank-line mode: separator mode with CR LF CR LF (LF LF).
// Size mode: the lines, the final segment left out, in pieces of whole
// consecutive lines joined by the line end, each piece as long as it can be
// while its UTF-8 bytes stay at most `limit`; a longer line is a piece by itself.
template <class Unit>
class BasicPieceCutter {
public:
    using View = std::basic_string_view<Unit>;
    using Sink = BasicPieceSink<Unit>;

    [[nodiscard]] static std::unique_ptr<BasicPieceCutter> Lines(std::int64_t linesPerPiece,
                                                                 LineEnd lineEnd = LineEnd::CrLf);
    [[nodiscard]] static std::unique_ptr<BasicPieceCutter> Separator(std::basic_string<Unit> separator);
    [[nodiscard]] static std::unique_ptr<BasicPieceCutter> BlankLines(LineEnd lineEnd = LineEnd::CrLf);
    // `byteLengths` (bytes only): the UTF-8 length each byte is written as;
    // null when every byte is written as itself.
    //   MaxBytes(10) cuts "aaaa\r\nbbbb\r\ncccc\r\ndd\r\n" into "aaaa\r\nbbbb" and "cccc\r\ndd".
    [[nodiscard]] static std::unique_ptr<BasicPieceCutter> MaxBytes(std::uint64_t limit,
                                                                    LineEnd lineEnd = LineEnd::CrLf,
                                                                    const ByteUtf8Lengths* byteLengths = nullptr);

    virtual ~BasicPieceCutter() = default;

    // Feeds the next units of the block text. Returns false when the sink stopped the cutting.
    [[nodiscard]] virtual bool Feed(View units, Sink& sink) = 0;
    // The block text is complete: ends the last pieces. Returns false when the sink stopped.
    // The cutter is then ready for the next block text.
    [[nodiscard]] virtual bool Finish(Sink& sink) = 0;
};

using PieceSink = BasicPieceSink<char16_t>;
using PieceCutter = BasicPieceCutter<char16_t>;
using BytePieceSink = BasicPieceSink<char>;
using BytePieceCutter = BasicPieceCutter<char>;

extern template class BasicPieceCutter<char16_t>;
extern template class BasicPieceCutter<char>;

}  // namespace partwright
