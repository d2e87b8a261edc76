#include "engine/cut/cutter.h"

#include <algorithm>
#include <cstddef>
#include <utility>

#include "engine/cut/line_end_units.h"
#include "engine/cut/record_ends.h"
#include "engine/cut/separator_search.h"
#include "engine/cut/unit_search.h"

namespace partwright {

namespace {

// Groups of N lines. Every line but the last of a piece is followed by its
// line end; the line end after a piece's last line belongs to no piece. Since
// the block text ends with a line end, a line end is known to join two lines
// of a piece as soon as any unit follows it, so content is passed on at the
// latest at the end of each chunk and never more than one line end is held
// back. Within a chunk, a piece's lines and their joints are contiguous and go
// out as one view. A CR LF may straddle two chunks; a lone LF cannot.
// Keeping line ends, the line end after a piece's last line is its own too,
// unless it is the block text's last (the run's): so it waits, with the
// piece, until anything follows it. `Ends` says which line ends count (all,
// or those that end CSV records).
template <LineEnd kEnd, class Ends>
class LinesCutter final : public PieceCutter {
public:
    using View = std::string_view;
    using Sink = PieceSink;
    static constexpr std::size_t kEndSize = kEnd == LineEnd::CrLf ? 2 : 1;

    LinesCutter(std::int64_t linesPerPiece, bool keepLineEnds, Ends ends)
        : linesPerPiece_(std::max<std::int64_t>(linesPerPiece, 1)), keep_(keepLineEnds), ends_(ends) {}

    bool EndBlock(View runLineEnd, Sink& sink) override {
        unclosedLine_ = UnclosedLine(ends_);
        return Feed(runLineEnd, sink) && Finish(sink);
    }
    std::optional<std::int64_t> UnclosedRecordLine() const override { return unclosedLine_; }

    bool Feed(View units, Sink& sink) override {
        if (units.empty()) return true;
        if (full_) {
            full_ = false;
            if (!EndFullPiece(true, sink)) return false;
        }
        if (!inPiece_ && !Begin(sink)) return false;
        const char* const begin = units.data();
        const char* const end = begin + units.size();
        const char* from = begin;  // first unit not passed on yet
        const char* scan = begin;

        if (pendingCr_) {
            pendingCr_ = false;
            if (*begin == char('\n') && !ends_.Quoted()) {
                ends_.EndedBetweenChunks();
                if (!LineEndBetweenChunks(units.size() > 1, sink)) return false;
                if (full_) return true;
                from = scan = begin + 1;
            } else {
                Emit(kCarriageReturn<char>, sink);
            }
        }
        for (;;) {
            std::int64_t remaining = linesPerPiece_ - linesInPiece_;
            const char* lineEnd = ends_.Find(scan, end, remaining);
            if (lineEnd == end) {
                linesInPiece_ = linesPerPiece_ - remaining;
                break;
            }
            Emit(View(from, static_cast<std::size_t>(lineEnd - from)), sink);
            if (!EndFullPiece(lineEnd + kEndSize != end, sink)) return false;
            if (full_) return true;
            from = scan = lineEnd + kEndSize;
        }
        // A CR at the very end may start a line end that the next chunk completes.
        const char* stop = end;
        if (kEnd == LineEnd::CrLf && stop != from && stop[-1] == char('\r')) {
            pendingCr_ = true;
            --stop;
        }
        EmitChunkEnd(from, stop, sink);
        return true;
    }

    bool Finish(Sink& sink) override {
        if (pendingCr_) Emit(kCarriageReturn<char>, sink);  // only when the text broke the rule of ending with CR LF
        if (inPiece_) sink.EndPiece(false);
        Reset();
        return true;
    }

private:
    bool Begin(Sink& sink) {
        inPiece_ = true;
        linesInPiece_ = 0;
        heldLineEnd_ = false;
        if (sink.BeginPiece()) return true;
        Reset();
        return false;
    }

    void Reset() {
        inPiece_ = false;
        linesInPiece_ = 0;
        heldLineEnd_ = false;
        pendingCr_ = false;
        full_ = false;
        ends_.Reset();
    }

    // The piece has its lines, its last line's content passed on. Keeping
    // line ends, its last line end goes with it when `more` text follows;
    // else the piece waits (full_) for the next chunk or the end of the block.
    bool EndFullPiece(bool more, Sink& sink) {
        if (keep_ && !more) {
            full_ = true;
            return true;
        }
        if (keep_) sink.AppendToPiece(LineEndUnits<char, kEnd>());
        sink.EndPiece(false);
        return Begin(sink);
    }

    // Content that is sure to belong to the piece; a held line end goes first.
    void Emit(View content, Sink& sink) {
        if (heldLineEnd_) {
            sink.AppendToPiece(LineEndUnits<char, kEnd>());
            heldLineEnd_ = false;
        }
        if (!content.empty()) sink.AppendToPiece(content);
    }

    // [from, stop) of the chunk. A line end right at its end may be the last
    // of the piece, so it is held until more text shows that another line follows.
    void EmitChunkEnd(const char* from, const char* stop, Sink& sink) {
        const View chunk(from, static_cast<std::size_t>(stop - from));
        if (chunk.ends_with(LineEndUnits<char, kEnd>())) {
            Emit(chunk.substr(0, chunk.size() - kEndSize), sink);
            heldLineEnd_ = true;
        } else if (!chunk.empty()) {
            Emit(chunk, sink);
        }
    }

    // A CR LF whose CR ended the previous chunk; `more` units follow its LF in this one.
    bool LineEndBetweenChunks(bool more, Sink& sink) {
        if (++linesInPiece_ < linesPerPiece_) {
            if (heldLineEnd_) sink.AppendToPiece(kLineEnd<char>);
            heldLineEnd_ = true;
            return true;
        }
        Emit({}, sink);
        return EndFullPiece(more, sink);
    }

    std::int64_t linesPerPiece_;
    bool keep_;          // pieces keep their last line's line end
    bool full_ = false;  // the piece has its lines; its last line end waits for what follows
    std::int64_t linesInPiece_ = 0;
    bool inPiece_ = false;
    bool heldLineEnd_ = false;  // a line end not passed on yet, after the piece's latest line
    bool pendingCr_ = false;    // CR LF only: the previous chunk ended with a CR
    Ends ends_;
    std::optional<std::int64_t> unclosedLine_;
};

// Segments between non-overlapping occurrences, found left to right. Across a
// chunk boundary the only units held back are a possible start of the
// separator, which is then a prefix of the separator itself: it is held as a
// length and passed on, if it turns out to be content, as a view of the
// separator. The prefix function lets that held start be resolved against the
// next chunk without going back over the text.
// Keeping line ends, a piece ends with the first `keptHead` bytes of the
// separator that ends it (the line end of its last line, for blank lines),
// and the block is cut without the run's line end, so that none of it goes
// into a piece and the pieces joined by the separator give the block back.
class SeparatorCutter final : public PieceCutter {
public:
    using View = std::string_view;
    using Sink = PieceSink;

    SeparatorCutter(std::string separator, bool keepLineEnds, std::size_t keptHead)
        : search_(std::move(separator)), keep_(keepLineEnds), keptHead_(keptHead) {}

    bool EndBlock(View runLineEnd, Sink& sink) override {
        if (keep_) return Finish(sink);
        return Feed(runLineEnd, sink) && Finish(sink);
    }

    bool Feed(View units, Sink& sink) override {
        if (units.empty()) return true;
        if (!inPiece_ && !Begin(sink)) return false;
        const View separator = search_.separator();
        if (separator.empty()) {
            sink.AppendToPiece(units);
            return true;
        }
        std::size_t from = 0;  // the first byte not passed on yet
        std::size_t next = 0;  // where the search goes on
        if (held_ > 0) {
            switch (ResolveHeld(units, from, next, sink)) {
            case Held::Stopped: return false;
            case Held::StillOpen: return true;
            case Held::Resolved: break;
            }
        }
        for (std::size_t at = search_.Find(units, next); at != View::npos; at = search_.Find(units, next)) {
            if (at > from) sink.AppendToPiece(units.substr(from, at - from));
            from = next = at + separator.size();
            if (!Cut(sink)) return false;
        }
        held_ = search_.LongestPrefixAtEnd(units.substr(next));
        const std::size_t content = units.size() - from - held_;
        if (content > 0) sink.AppendToPiece(units.substr(from, content));
        return true;
    }

    bool Finish(Sink& sink) override {
        if (held_ > 0) sink.AppendToPiece(search_.separator().substr(0, held_));
        if (inPiece_) sink.EndPiece(true);
        Reset();
        return true;
    }

private:
    enum class Held { Resolved, StillOpen, Stopped };

    bool Begin(Sink& sink) {
        inPiece_ = true;
        if (sink.BeginPiece()) return true;
        Reset();
        return false;
    }

    bool Cut(Sink& sink) {
        if (keep_ && keptHead_ > 0) sink.AppendToPiece(search_.separator().substr(0, keptHead_));
        sink.EndPiece(true);
        return Begin(sink);
    }

    void Reset() {
        inPiece_ = false;
        held_ = 0;
    }

    // The held units are the separator's first held_. The prefix function
    // goes on from them into the chunk; whatever falls out of the match at
    // its front is content. Trying each border of the held units with a
    // compare of its own instead would cost the square of the separator's
    // length at every chunk for a separator like "aaa...ab" over "aaa...".
    // `from` is where the content not passed on yet begins, `next` where the
    // search goes on: the bytes between go out with what follows them, so
    // that no view ends inside the bytes of a code unit.
    Held ResolveHeld(View units, std::size_t& from, std::size_t& next, Sink& sink) {
        const View separator = search_.separator();
        const auto [consumed, matched] = search_.Resume(units, held_);
        // Where the match found or still open starts, counted from the first held unit.
        const std::size_t start = held_ + consumed - matched;
        if (matched == separator.size() || matched > consumed) {
            if (start > 0) sink.AppendToPiece(separator.substr(0, start));
            if (matched < separator.size()) {
                held_ = matched;  // all of `units` went over, and the match is still open
                return Held::StillOpen;
            }
            held_ = 0;
            from = next = consumed;
            return Cut(sink) ? Held::Resolved : Held::Stopped;
        }
        // The leftmost possible start lies inside the chunk: what comes before
        // it is content, and the search takes it from there.
        sink.AppendToPiece(separator.substr(0, held_));
        held_ = 0;
        next = consumed - matched;
        return Held::Resolved;
    }

    SeparatorSearch<char> search_;
    bool keep_;
    std::size_t keptHead_;
    std::size_t held_ = 0;
    bool inPiece_ = false;
};

}  // namespace

std::unique_ptr<PieceCutter> PieceCutter::Lines(std::int64_t linesPerPiece, LineEnd lineEnd, bool keepLineEnds,
                                                std::optional<char> csvDelimiter) {
    constexpr LineEnd kLf = LineEnd::Lf;
    constexpr LineEnd kCrLf = LineEnd::CrLf;
    if (csvDelimiter && lineEnd == kLf) {
        return std::make_unique<LinesCutter<kLf, CsvRecordEnds<kLf>>>(linesPerPiece, keepLineEnds,
                                                                      CsvRecordEnds<kLf>(*csvDelimiter));
    }
    if (csvDelimiter) {
        return std::make_unique<LinesCutter<kCrLf, CsvRecordEnds<kCrLf>>>(linesPerPiece, keepLineEnds,
                                                                          CsvRecordEnds<kCrLf>(*csvDelimiter));
    }
    if (lineEnd == kLf)
        return std::make_unique<LinesCutter<kLf, LineEnds<kLf>>>(linesPerPiece, keepLineEnds, LineEnds<kLf>{});
    return std::make_unique<LinesCutter<kCrLf, LineEnds<kCrLf>>>(linesPerPiece, keepLineEnds, LineEnds<kCrLf>{});
}

std::unique_ptr<PieceCutter> PieceCutter::Separator(std::string separator, bool keepLineEnds) {
    return std::make_unique<SeparatorCutter>(std::move(separator), keepLineEnds, 0);
}

std::unique_ptr<PieceCutter> PieceCutter::BlankLines(LineEnd lineEnd, bool keepLineEnds) {
    const std::string_view end = lineEnd == LineEnd::Lf ? kLf<char> : kLineEnd<char>;
    std::string blankLine(end);
    blankLine += end;
    return std::make_unique<SeparatorCutter>(std::move(blankLine), keepLineEnds, end.size());
}

}  // namespace partwright
