#pragma once

#include <cstdint>
#include <memory>

#include "engine/text.h"

namespace partwright {

// Receives the pieces of one block text as they are cut, in order.
class PieceSink {
public:
    virtual ~PieceSink() = default;
    // A new piece begins. Returning false stops the cutting (a stop request).
    virtual bool BeginPiece() = 0;
    // The next units of the current piece; may come in several calls.
    virtual void AppendToPiece(TextView units) = 0;
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
class PieceCutter {
public:
    [[nodiscard]] static std::unique_ptr<PieceCutter> Lines(std::int64_t linesPerPiece);
    [[nodiscard]] static std::unique_ptr<PieceCutter> Separator(Text separator);
    [[nodiscard]] static std::unique_ptr<PieceCutter> BlankLines();

    virtual ~PieceCutter() = default;

    // Feeds the next units of the block text. Returns false when the sink stopped the cutting.
    [[nodiscard]] virtual bool Feed(TextView units, PieceSink& sink) = 0;
    // The block text is complete: ends the last pieces. Returns false when the sink stopped.
    // The cutter is then ready for the next block text.
    [[nodiscard]] virtual bool Finish(PieceSink& sink) = 0;
};

}  // namespace partwright
