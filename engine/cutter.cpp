#include "engine/cutter.h"

#include <algorithm>
#include <cstddef>
#include <utility>
#include <vector>

#include "engine/unit_search.h"

namespace partwright {

namespace {

constexpr TextView kLineEnd = u"\r\n";
constexpr TextView kCarriageReturn = u"\r";

// Groups of N lines. Every line but the last of a piece is followed by its
// CR LF; the CR LF after a piece's last line belongs to no piece. Since the
// block text ends with CR LF, a CR LF is known to join two lines of a piece as
// soon as any unit follows it, so content is passed on at the latest at the
// end of each chunk and never more than one CR LF is held back. Within a
// chunk, a piece's lines and their joints are contiguous and go out as one view.
class LinesCutter final : public PieceCutter {
public:
    explicit LinesCutter(std::int64_t linesPerPiece) : linesPerPiece_(std::max<std::int64_t>(linesPerPiece, 1)) {}

    bool Feed(TextView units, PieceSink& sink) override {
        if (units.empty()) return true;
        if (!inPiece_ && !Begin(sink)) return false;
        const char16_t* const begin = units.data();
        const char16_t* const end = begin + units.size();
        const char16_t* from = begin;        // first unit not passed on yet
        const char16_t* scan = begin;

        if (pendingCr_) {
            pendingCr_ = false;
            if (*begin == u'\n') {
                if (!LineEndBetweenChunks(sink)) return false;
                from = scan = begin + 1;
            } else {
                Emit(kCarriageReturn, sink);
            }
        }
        for (;;) {
            std::int64_t remaining = linesPerPiece_ - linesInPiece_;
            const char16_t* cr = FindLineEnds(scan, end, remaining);
            if (cr == end) {
                linesInPiece_ = linesPerPiece_ - remaining;
                break;
            }
            Emit(TextView(from, static_cast<std::size_t>(cr - from)), sink);
            sink.EndPiece(false);
            if (!Begin(sink)) return false;
            from = scan = cr + 2;
        }
        // A CR at the very end may start a line end that the next chunk completes.
        const char16_t* stop = end;
        if (stop != from && stop[-1] == u'\r') {
            pendingCr_ = true;
            --stop;
        }
        EmitChunkEnd(from, stop, sink);
        return true;
    }

    bool Finish(PieceSink& sink) override {
        if (pendingCr_) Emit(kCarriageReturn, sink);  // only when the text broke the rule of ending with CR LF
        if (inPiece_) sink.EndPiece(false);
        Reset();
        return true;
    }

private:
    bool Begin(PieceSink& sink) {
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
    void Emit(TextView content, PieceSink& sink) {
        if (heldLineEnd_) {
            sink.AppendToPiece(kLineEnd);
            heldLineEnd_ = false;
        }
        if (!content.empty()) sink.AppendToPiece(content);
    }

    // [from, stop) of the chunk. A CR LF right at its end may be the last of the
    // piece, so it is held until more text shows that another line follows.
    void EmitChunkEnd(const char16_t* from, const char16_t* stop, PieceSink& sink) {
        if (stop - from >= 2 && stop[-2] == u'\r' && stop[-1] == u'\n') {
            Emit(TextView(from, static_cast<std::size_t>(stop - 2 - from)), sink);
            heldLineEnd_ = true;
        } else if (stop != from) {
            Emit(TextView(from, static_cast<std::size_t>(stop - from)), sink);
        }
    }

    // A CR LF whose CR ended the previous chunk.
    bool LineEndBetweenChunks(PieceSink& sink) {
        if (++linesInPiece_ < linesPerPiece_) {
            if (heldLineEnd_) sink.AppendToPiece(kLineEnd);
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
class SeparatorCutter final : public PieceCutter {
public:
    explicit SeparatorCutter(Text separator) : separator_(std::move(separator)), border_(separator_.size() + 1, 0) {
        for (std::size_t i = 1, k = 0; i < separator_.size(); ++i) {
            while (k > 0 && separator_[i] != separator_[k]) k = border_[k];
            if (separator_[i] == separator_[k]) ++k;
            border_[i + 1] = k;
        }
    }

    bool Feed(TextView units, PieceSink& sink) override {
        if (units.empty()) return true;
        if (!inPiece_ && !Begin(sink)) return false;
        if (separator_.empty()) {
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
        const std::size_t length = separator_.size();
        for (std::size_t at = Find(units, from); at != TextView::npos; at = Find(units, from)) {
            if (at > from) sink.AppendToPiece(units.substr(from, at - from));
            from = at + length;
            if (!Cut(sink)) return false;
        }
        held_ = LongestPrefixAtEnd(units.substr(from));
        const std::size_t content = units.size() - from - held_;
        if (content > 0) sink.AppendToPiece(units.substr(from, content));
        return true;
    }

    bool Finish(PieceSink& sink) override {
        if (held_ > 0) sink.AppendToPiece(TextView(separator_).substr(0, held_));
        if (inPiece_) sink.EndPiece(true);
        Reset();
        return true;
    }

private:
    enum class Held { Resolved, StillOpen, Stopped };

    bool Begin(PieceSink& sink) {
        inPiece_ = true;
        if (sink.BeginPiece()) return true;
        Reset();
        return false;
    }

    bool Cut(PieceSink& sink) {
        sink.EndPiece(true);
        return Begin(sink);
    }

    void Reset() {
        inPiece_ = false;
        held_ = 0;
    }

    // The held units are separator_[0, held_). An occurrence may start at any of
    // them whose rest is a border of that prefix; the borders are tried longest
    // first, that is leftmost start first.
    Held ResolveHeld(TextView units, std::size_t& from, PieceSink& sink) {
        const TextView separator(separator_);
        for (std::size_t matched = held_; matched > 0; matched = border_[matched]) {
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

    // The first whole occurrence at or after `from`.
    std::size_t Find(TextView units, std::size_t from) const {
        const std::size_t length = separator_.size();
        if (units.size() < length || from > units.size() - length) return TextView::npos;
        const char16_t* const base = units.data();
        const char16_t* const lastStart = base + (units.size() - length) + 1;
        const char16_t first = separator_[0];
        const TextView rest = TextView(separator_).substr(1);
        for (const char16_t* p = base + from;; ++p) {
            p = FindUnit(p, lastStart, first);
            if (p == lastStart) return TextView::npos;
            if (TextView(p + 1, length - 1) == rest) return static_cast<std::size_t>(p - base);
        }
    }

    // The longest end of `units` that is a proper prefix of the separator.
    // `units` holds no whole occurrence, so only its last length - 1 units matter.
    std::size_t LongestPrefixAtEnd(TextView units) const {
        const std::size_t window = std::min(units.size(), separator_.size() - 1);
        std::size_t matched = 0;
        for (char16_t unit : units.substr(units.size() - window)) {
            while (matched > 0 && separator_[matched] != unit) matched = border_[matched];
            if (separator_[matched] == unit) ++matched;
        }
        return matched;
    }

    Text separator_;
    std::vector<std::size_t> border_;  // border_[k]: longest proper border of separator_[0, k)
    std::size_t held_ = 0;
    bool inPiece_ = false;
};

}  // namespace

std::unique_ptr<PieceCutter> PieceCutter::Lines(std::int64_t linesPerPiece) {
    return std::make_unique<LinesCutter>(linesPerPiece);
}

std::unique_ptr<PieceCutter> PieceCutter::Separator(Text separator) {
    return std::make_unique<SeparatorCutter>(std::move(separator));
}

std::unique_ptr<PieceCutter> PieceCutter::BlankLines() {
    return std::make_unique<SeparatorCutter>(u"\r\n\r\n");
}

}  // namespace partwright
