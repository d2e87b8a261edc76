#include "engine/cut/cutter.h"

#include <algorithm>
#include <cstddef>
#include <utility>

#include "engine/cut/line_end_units.h"
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
template <class Unit, LineEnd kEnd>
class LinesCutter final : public BasicPieceCutter<Unit> {
public:
    using View = std::basic_string_view<Unit>;
    using Sink = BasicPieceSink<Unit>;
    static constexpr std::size_t kEndSize = kEnd == LineEnd::CrLf ? 2 : 1;

    explicit LinesCutter(std::int64_t linesPerPiece) : linesPerPiece_(std::max<std::int64_t>(linesPerPiece, 1)) {}

    bool Feed(View units, Sink& sink) override {
        if (units.empty()) return true;
        if (!inPiece_ && !Begin(sink)) return false;
        const Unit* const begin = units.data();
        const Unit* const end = begin + units.size();
        const Unit* from = begin;  // first unit not passed on yet
        const Unit* scan = begin;

        if (pendingCr_) {
            pendingCr_ = false;
            if (*begin == Unit('\n')) {
                if (!LineEndBetweenChunks(sink)) return false;
                from = scan = begin + 1;
            } else {
                Emit(kCarriageReturn<Unit>, sink);
            }
        }
        for (;;) {
            std::int64_t remaining = linesPerPiece_ - linesInPiece_;
            const Unit* lineEnd = FindEnds<Unit, kEnd>(scan, end, remaining);
            if (lineEnd == end) {
                linesInPiece_ = linesPerPiece_ - remaining;
                break;
            }
            Emit(View(from, static_cast<std::size_t>(lineEnd - from)), sink);
            sink.EndPiece(false);
            if (!Begin(sink)) return false;
            from = scan = lineEnd + kEndSize;
        }
        // A CR at the very end may start a line end that the next chunk completes.
        const Unit* stop = end;
        if (kEnd == LineEnd::CrLf && stop != from && stop[-1] == Unit('\r')) {
            pendingCr_ = true;
            --stop;
        }
        EmitChunkEnd(from, stop, sink);
        return true;
    }

    bool Finish(Sink& sink) override {
        if (pendingCr_) Emit(kCarriageReturn<Unit>, sink);  // only when the text broke the rule of ending with CR LF
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
    }

    // Content that is sure to belong to the piece; a held line end goes first.
    void Emit(View content, Sink& sink) {
        if (heldLineEnd_) {
            sink.AppendToPiece(LineEndUnits<Unit, kEnd>());
            heldLineEnd_ = false;
        }
        if (!content.empty()) sink.AppendToPiece(content);
    }

    // [from, stop) of the chunk. A line end right at its end may be the last
    // of the piece, so it is held until more text shows that another line follows.
    void EmitChunkEnd(const Unit* from, const Unit* stop, Sink& sink) {
        const View chunk(from, static_cast<std::size_t>(stop - from));
        if (chunk.ends_with(LineEndUnits<Unit, kEnd>())) {
            Emit(chunk.substr(0, chunk.size() - kEndSize), sink);
            heldLineEnd_ = true;
        } else if (!chunk.empty()) {
            Emit(chunk, sink);
        }
    }

    // A CR LF whose CR ended the previous chunk.
    bool LineEndBetweenChunks(Sink& sink) {
        if (++linesInPiece_ < linesPerPiece_) {
            if (heldLineEnd_) sink.AppendToPiece(kLineEnd<Unit>);
            heldLineEnd_ = true;
            return true;
        }
        Emit({}, sink);
        sink.EndPiece(false);
        return Begin(sink);
    }

    std::int64_t linesPerPiece_;
    std::int64_t linesInPiece_ = 0;
    bool inPiece_ = false;
    bool heldLineEnd_ = false;  // a line end not passed on yet, after the piece's latest line
    bool pendingCr_ = false;    // CR LF only: the previous chunk ended with a CR
};

// Segments between non-overlapping occurrences, found left to right. Across a
// chunk boundary the only units held back are a possible start of the
// separator, which is then a prefix of the separator itself: it is held as a
// length and passed on, if it turns out to be content, as a view of the
// separator. The prefix function lets that held start be resolved against the
// next chunk without going back over the text.
template <class Unit>
class SeparatorCutter final : public BasicPieceCutter<Unit> {
public:
    using View = std::basic_string_view<Unit>;
    using Sink = BasicPieceSink<Unit>;

    explicit SeparatorCutter(std::basic_string<Unit> separator) : search_(std::move(separator)) {}

    bool Feed(View units, Sink& sink) override {
        if (units.empty()) return true;
        if (!inPiece_ && !Begin(sink)) return false;
        const View separator = search_.separator();
        if (separator.empty()) {
            sink.AppendToPiece(units);
            return true;
        }
        std::size_t from = 0;
        if (held_ > 0) {
            switch (ResolveHeld(units, from, sink)) {
            case Held::Stopped: return false;
            case Held::StillOpen: return true;
            case Held::Resolved: break;
            }
        }
        for (std::size_t at = search_.Find(units, from); at != View::npos; at = search_.Find(units, from)) {
            if (at > from) sink.AppendToPiece(units.substr(from, at - from));
            from = at + separator.size();
            if (!Cut(sink)) return false;
        }
        held_ = search_.LongestPrefixAtEnd(units.substr(from));
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
    Held ResolveHeld(View units, std::size_t& from, Sink& sink) {
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
            from = consumed;
            return Cut(sink) ? Held::Resolved : Held::Stopped;
        }
        // The leftmost possible start lies inside the chunk: what comes before
        // it is content, and the search takes it from there.
        sink.AppendToPiece(separator.substr(0, held_));
        held_ = 0;
        from = consumed - matched;
        if (from > 0) sink.AppendToPiece(units.substr(0, from));
        return Held::Resolved;
    }

    SeparatorSearch<Unit> search_;
    std::size_t held_ = 0;
    bool inPiece_ = false;
};

}  // namespace

template <class Unit>
std::unique_ptr<BasicPieceCutter<Unit>> BasicPieceCutter<Unit>::Lines(std::int64_t linesPerPiece, LineEnd lineEnd) {
    if (lineEnd == LineEnd::Lf) return std::make_unique<LinesCutter<Unit, LineEnd::Lf>>(linesPerPiece);
    return std::make_unique<LinesCutter<Unit, LineEnd::CrLf>>(linesPerPiece);
}

template <class Unit>
std::unique_ptr<BasicPieceCutter<Unit>> BasicPieceCutter<Unit>::Separator(std::basic_string<Unit> separator) {
    return std::make_unique<SeparatorCutter<Unit>>(std::move(separator));
}

template <class Unit>
std::unique_ptr<BasicPieceCutter<Unit>> BasicPieceCutter<Unit>::BlankLines(LineEnd lineEnd) {
    std::basic_string<Unit> blankLine(lineEnd == LineEnd::Lf ? kLf<Unit> : kLineEnd<Unit>);
    blankLine += blankLine;
    return Separator(std::move(blankLine));
}

template class BasicPieceCutter<char16_t>;
template class BasicPieceCutter<char>;

}  // namespace partwright
