#include "engine/cutter.h"

#include <algorithm>
#include <cstddef>
#include <utility>

#include "engine/separator_search.h"
#include "engine/unit_search.h"

namespace partwright {

namespace {

template <class Unit>
constexpr Unit kLineEndUnits[] = {Unit('\r'), Unit('\n')};
template <class Unit>
constexpr std::basic_string_view<Unit> kLineEnd(kLineEndUnits<Unit>, 2);
template <class Unit>
constexpr std::basic_string_view<Unit> kCarriageReturn(kLineEndUnits<Unit>, 1);

// Groups of N lines. Every line but the last of a piece is followed by its
// CR LF; the CR LF after a piece's last line belongs to no piece. Since the
// block text ends with CR LF, a CR LF is known to join two lines of a piece as
// soon as any unit follows it, so content is passed on at the latest at the
// end of each chunk and never more than one CR LF is held back. Within a
// chunk, a piece's lines and their joints are contiguous and go out as one view.
template <class Unit>
class LinesCutter final : public BasicPieceCutter<Unit> {
public:
    using View = std::basic_string_view<Unit>;
    using Sink = BasicPieceSink<Unit>;

    explicit LinesCutter(std::int64_t linesPerPiece) : linesPerPiece_(std::max<std::int64_t>(linesPerPiece, 1)) {}

    bool Feed(View units, Sink& sink) override {
        if (units.empty()) return true;
        if (!inPiece_ && !Begin(sink)) return false;
        const Unit* const begin = units.data();
        const Unit* const end = begin + units.size();
        const Unit* from = begin;        // first unit not passed on yet
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
            const Unit* cr = FindLineEnds(scan, end, remaining);
            if (cr == end) {
                linesInPiece_ = linesPerPiece_ - remaining;
                break;
            }
            Emit(View(from, static_cast<std::size_t>(cr - from)), sink);
            sink.EndPiece(false);
            if (!Begin(sink)) return false;
            from = scan = cr + 2;
        }
        // A CR at the very end may start a line end that the next chunk completes.
        const Unit* stop = end;
        if (stop != from && stop[-1] == Unit('\r')) {
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

    // Content that is sure to belong to the piece; a held CR LF goes first.
    void Emit(View content, Sink& sink) {
        if (heldLineEnd_) {
            sink.AppendToPiece(kLineEnd<Unit>);
            heldLineEnd_ = false;
        }
        if (!content.empty()) sink.AppendToPiece(content);
    }

    // [from, stop) of the chunk. A CR LF right at its end may be the last of the
    // piece, so it is held until more text shows that another line follows.
    void EmitChunkEnd(const Unit* from, const Unit* stop, Sink& sink) {
        if (stop - from >= 2 && stop[-2] == Unit('\r') && stop[-1] == Unit('\n')) {
            Emit(View(from, static_cast<std::size_t>(stop - 2 - from)), sink);
            heldLineEnd_ = true;
        } else if (stop != from) {
            Emit(View(from, static_cast<std::size_t>(stop - from)), sink);
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
    bool heldLineEnd_ = false;  // a CR LF not passed on yet, after the piece's latest line
    bool pendingCr_ = false;    // the previous chunk ended with a CR
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

    // The held units are the separator's first held_. An occurrence may start
    // at any of them whose rest is a border of that prefix; the borders are
    // tried longest first, that is leftmost start first.
    Held ResolveHeld(View units, std::size_t& from, Sink& sink) {
        const View separator = search_.separator();
        for (std::size_t matched = held_; matched > 0; matched = search_.border(matched)) {
            const std::size_t needed = separator.size() - matched;
            const std::size_t available = std::min(needed, units.size());
            if (units.substr(0, available) != separator.substr(matched, available)) continue;
            if (held_ > matched) sink.AppendToPiece(separator.substr(0, held_ - matched));
            if (available < needed) {
                held_ = matched + available;
                return Held::StillOpen;
            }
            held_ = 0;
            from = needed;
            return Cut(sink) ? Held::Resolved : Held::Stopped;
        }
        sink.AppendToPiece(separator.substr(0, held_));
        held_ = 0;
        return Held::Resolved;
    }

    SeparatorSearch<Unit> search_;
    std::size_t held_ = 0;
    bool inPiece_ = false;
};

}  // namespace

template <class Unit>
std::unique_ptr<BasicPieceCutter<Unit>> BasicPieceCutter<Unit>::Lines(std::int64_t linesPerPiece) {
    return std::make_unique<LinesCutter<Unit>>(linesPerPiece);
}

template <class Unit>
std::unique_ptr<BasicPieceCutter<Unit>> BasicPieceCutter<Unit>::Separator(std::basic_string<Unit> separator) {
    return std::make_unique<SeparatorCutter<Unit>>(std::move(separator));
}

template <class Unit>
std::unique_ptr<BasicPieceCutter<Unit>> BasicPieceCutter<Unit>::BlankLines() {
    const Unit blankLine[] = {Unit('\r'), Unit('\n'), Unit('\r'), Unit('\n')};
    return Separator(std::basic_string<Unit>(blankLine, 4));
}

template class BasicPieceCutter<char16_t>;
template class BasicPieceCutter<char>;

}  // namespace partwright
