#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "engine/text.h"

namespace partwright {

// Receives the pieces of one block text as they are cut, in order. `Unit` is
// char16_t for decoded text, or char for the raw bytes of a single-byte code
// page, where one byte is one code unit.
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
// appends; only the pair CR LF ends a line.
//
// Lines mode (N >= 1): with S = (CR LF count) + 1 segments, there are
// ceil(S / N) pieces; piece j holds lines N*j+1 to N*j+N joined by CR LF, with
// no CR LF after the last; the final (empty) segment never counts.
// Separator mode: the segments between non-overlapping occurrences of the
// separator, found left to right; an empty separator gives the whole text.
// Blank-line mode: separator mode with CR LF CR LF.
template <class Unit>
class BasicPieceCutter {
public:
    using View = std::basic_string_view<Unit>;
    using Sink = BasicPieceSink<Unit>;

    [[nodiscard]] static std::unique_ptr<BasicPieceCutter> Lines(std::int64_t linesPerPiece);
    [[nodiscard]] static std::unique_ptr<BasicPieceCutter> Separator(std::basic_string<Unit> separator);
    [[nodiscard]] static std::unique_ptr<BasicPieceCutter> BlankLines();

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
