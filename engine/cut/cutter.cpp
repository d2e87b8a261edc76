#include "engine/cut/cutter.h"

#include <algorithm>
#include <cstddef>
#include <utility>

#include "engine/cut/separator_search.h"
#include "engine/cut/unit_search.h"
#include "engine/read/byte_coding.h"
#include "engine/read/cesu8.h"

namespace partwright {

namespace {

template <class Unit>
constexpr Unit kLineEndUnits[] = {Unit('\r'), Unit('\n')};
template <class Unit>
constexpr std::basic_string_view<Unit> kLineEnd(kLineEndUnits<Unit>, 2);
template <class Unit>
constexpr std::basic_string_view<Unit> kCarriageReturn(kLineEndUnits<Unit>, 1);

template <class Unit>
constexpr std::basic_string_view<Unit> kLf(kLineEndUnits<Unit> + 1, 1);

template <class Unit, LineEnd kEnd>
constexpr std::basic_string_view<Unit> LineEndUnits() {
    if constexpr (kEnd == LineEnd::CrLf) {
        return kLineEnd<Unit>;
    } else {
        return kLf<Unit>;
    }
}

// The `remaining`-th line end in [from, to), at its first unit; `to` when
// there are fewer, with `remaining` lowered by the number found.
template <class Unit, LineEnd kEnd>
const Unit* FindEnds(const Unit* from, const Unit* to, std::int64_t& remaining) {
    if constexpr (kEnd == LineEnd::CrLf) {
        return FindLineEnds(from, to, remaining);
    } else {
        return FindLfs(from, to, remaining);
    }
}

// The first unit of the last line end that begins in [from, to) and lies
// wholly before `end`, or null.
template <class Unit, LineEnd kEnd>
const Unit* FindLastEnd(const Unit* from, const Unit* to, const Unit* end) {
    if constexpr (kEnd == LineEnd::Lf) {
        return FindLastUnit(from, to, Unit('\n'));
    } else {
        const Unit* stop = std::min(to + 1, end);  // where the LF of a CR at to - 1 lies
        while (stop - from >= 2) {
            const Unit* lf = FindLastUnit(from + 1, stop, Unit('\n'));
            if (lf == nullptr) return nullptr;
            if (lf[-1] == Unit('\r')) return lf - 1;
            stop = lf;
        }
        return nullptr;
    }
}

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

// UTF-8 bytes of units as the piece writer writes them: a UTF-16 unit on its
// own (1 to 3 bytes), a byte of a single-byte code page through its table.
template <class Unit>
class Utf8Size {
public:
    explicit Utf8Size(const ByteUtf8Lengths* byteLengths) : byteLengths_(byteLengths) {
        if (byteLengths_) {
            for (int byte = 0; byte < 0x80; ++byte) asciiAsItself_ = asciiAsItself_ && (*byteLengths_)[byte] == 1;
        }
    }

    // Whether every unit of `units` is written as one byte: then a size is a count.
    [[nodiscard]] bool AllOneByte(std::basic_string_view<Unit> units) const {
        if constexpr (sizeof(Unit) == 1) {
            return byteLengths_ == nullptr || (asciiAsItself_ && IsAscii(units));
        } else {
            unsigned all = 0;
            for (const Unit unit : units) all |= unit;
            return all < 0x80;
        }
    }

    [[nodiscard]] std::uint64_t Of(const Unit* from, const Unit* to) const {
        std::uint64_t bytes = 0;
        if constexpr (sizeof(Unit) == 1) {
            if (byteLengths_ == nullptr) return static_cast<std::uint64_t>(to - from);
            for (; from != to; ++from) bytes += (*byteLengths_)[static_cast<unsigned char>(*from)];
        } else {
            for (; from != to; ++from) bytes += Cesu8Length(*from);
        }
        return bytes;
    }

private:
    const ByteUtf8Lengths* byteLengths_;
    bool asciiAsItself_ = true;
};

// Pieces of whole lines, each as many bytes as it can be without passing the
// limit. Whether a line joins the current piece is known once its end is seen
// or once its bytes so far no longer fit. Lines wholly inside a chunk are
// decided there, with no copy; only a line that crosses a chunk's end while
// still undecided is held, and only until it no longer fits: so what is held
// is part of one line and never more than `limit` bytes. A line that begins
// its piece goes straight out, however long it is.
template <class Unit, LineEnd kEnd>
class MaxBytesCutter final : public BasicPieceCutter<Unit> {
public:
    using View = std::basic_string_view<Unit>;
    using Sink = BasicPieceSink<Unit>;
    static constexpr std::size_t kEndSize = kEnd == LineEnd::CrLf ? 2 : 1;  // units, and UTF-8 bytes

    MaxBytesCutter(std::uint64_t limit, const ByteUtf8Lengths* byteLengths)
        : limit_(std::max<std::uint64_t>(limit, 1)), size_(byteLengths) {}

    bool Feed(View units, Sink& sink) override {
        if (units.empty()) return true;
        oneByte_ = size_.AllOneByte(units);
        const Unit* p = units.data();
        const Unit* const end = p + units.size();
        if (pendingCr_) {
            pendingCr_ = false;
            if (*p == Unit('\n')) {
                if (!CloseLine(sink)) return false;
                ++p;
            } else if (!AddToLine(kCarriageReturn<Unit>, 1, sink)) {
                return false;
            }
        }
        if (lineOpen_) {
            std::int64_t one = 1;
            const Unit* const lineEnd = FindEnds<Unit, kEnd>(p, end, one);
            if (lineEnd == end) return KeepOpen(p, end, sink);
            if (!AddToLine(Span(p, lineEnd), Size(p, lineEnd), sink) || !CloseLine(sink)) return false;
            p = lineEnd + kEndSize;
        }
        // Lines wholly inside the chunk. The lines of a piece and the line
        // ends between them lie side by side here and go out as one view.
        const Unit* batch = nullptr;     // the current piece's units not passed on yet
        const Unit* batchEnd = nullptr;  // the end of its latest line
        for (;;) {
            if (oneByte_ && linesInPiece_ > 0) {
                // Sizes are counts here: every line that still joins the piece
                // ends at or before the last line end within its room, found
                // by one search back from there instead of line by line.
                const std::uint64_t used = pieceBytes_ + kEndSize;
                const auto left = static_cast<std::uint64_t>(end - p);
                if (used <= limit_) {
                    const std::uint64_t room = limit_ - used;
                    const Unit* const last = FindLastEnd<Unit, kEnd>(p, p + std::min(room + 1, left), end);
                    if (last != nullptr) {
                        if (batch == nullptr) {
                            sink.AppendToPiece(LineEndUnits<Unit, kEnd>());
                            batch = p;
                        }
                        pieceBytes_ += kEndSize + static_cast<std::uint64_t>(last - p);
                        batchEnd = last;
                        p = last + kEndSize;
                    }
                    // Unless a line end within the room may still be cut off
                    // by the chunk's end, the next line does not fit: below it begins the next piece.
                    if (room + kEndSize > left) break;
                }
            }
            std::int64_t one = 1;
            const Unit* const lineEnd = FindEnds<Unit, kEnd>(p, end, one);
            if (lineEnd == end) break;
            const std::uint64_t bytes = Size(p, lineEnd);
            if (linesInPiece_ == 0) {
                if (!inPiece_ && !Begin(sink)) return false;
                batch = p;
                pieceBytes_ = bytes;
            } else if (pieceBytes_ + kEndSize + bytes <= limit_) {
                if (batch == nullptr) {
                    sink.AppendToPiece(LineEndUnits<Unit, kEnd>());  // after a line passed on earlier
                    batch = p;
                }
                pieceBytes_ += kEndSize + bytes;
            } else {
                if (batch != nullptr) Emit(batch, batchEnd, sink);
                if (!Cut(sink)) return false;
                batch = p;
                pieceBytes_ = bytes;
            }
            ++linesInPiece_;
            batchEnd = lineEnd;
            p = lineEnd + kEndSize;
        }
        if (batch != nullptr) Emit(batch, batchEnd, sink);
        return KeepOpen(p, end, sink);
    }

    bool Finish(Sink& sink) override {
        // What follows the last line end is no line; in a block text it is empty.
        if (inPiece_) sink.EndPiece(false);
        Reset();
        return true;
    }

private:
    [[nodiscard]] static View Span(const Unit* from, const Unit* to) {
        return View(from, static_cast<std::size_t>(to - from));
    }

    [[nodiscard]] std::uint64_t Size(const Unit* from, const Unit* to) const {
        return oneByte_ ? static_cast<std::uint64_t>(to - from) : size_.Of(from, to);
    }

    static void Emit(const Unit* from, const Unit* to, Sink& sink) {
        if (to != from) sink.AppendToPiece(Span(from, to));
    }

    bool Begin(Sink& sink) {
        inPiece_ = true;
        pieceBytes_ = 0;
        linesInPiece_ = 0;
        if (sink.BeginPiece()) return true;
        Reset();
        return false;
    }

    bool Cut(Sink& sink) {
        sink.EndPiece(false);
        return Begin(sink);
    }

    void Reset() {
        inPiece_ = false;
        pieceBytes_ = 0;
        linesInPiece_ = 0;
        lineOpen_ = false;
        lineHeld_ = false;
        lineBytes_ = 0;
        held_.clear();
        pendingCr_ = false;
    }

    // [p, end) begins or continues a line that the chunk does not end.
    bool KeepOpen(const Unit* p, const Unit* end, Sink& sink) {
        if (kEnd == LineEnd::CrLf && p != end && end[-1] == Unit('\r')) {
            pendingCr_ = true;  // may begin a CR LF that the next chunk completes
            --end;
        }
        if (!lineOpen_) {
            if (p == end && !pendingCr_) return true;
            lineOpen_ = true;
            lineBytes_ = 0;
            lineHeld_ = linesInPiece_ > 0;  // the first line of a piece needs no decision
        }
        return AddToLine(Span(p, end), Size(p, end), sink);
    }

    // More units of the open line, `bytes` of UTF-8.
    bool AddToLine(View units, std::uint64_t bytes, Sink& sink) {
        lineBytes_ += bytes;
        if (lineHeld_) {
            if (pieceBytes_ + kEndSize + lineBytes_ <= limit_) {
                held_.append(units);
                return true;
            }
            // It cannot join the piece: it begins the next one, and from here on goes straight out.
            if (!Cut(sink)) return false;
            lineHeld_ = false;
            if (!held_.empty()) sink.AppendToPiece(held_);
            held_.clear();
        }
        if (units.empty()) return true;
        if (!inPiece_ && !Begin(sink)) return false;
        sink.AppendToPiece(units);
        return true;
    }

    bool CloseLine(Sink& sink) {
        if (lineHeld_ && !AddToLine({}, 0, sink)) return false;  // an empty line may still not fit
        lineOpen_ = false;
        if (lineHeld_) {
            lineHeld_ = false;
            sink.AppendToPiece(LineEndUnits<Unit, kEnd>());
            if (!held_.empty()) sink.AppendToPiece(held_);
            held_.clear();
            pieceBytes_ += kEndSize + lineBytes_;
        } else {
            if (!inPiece_ && !Begin(sink)) return false;
            pieceBytes_ = lineBytes_;
        }
        ++linesInPiece_;
        return true;
    }

    std::uint64_t limit_;
    Utf8Size<Unit> size_;
    bool oneByte_ = false;  // every unit of the current chunk is one byte
    bool inPiece_ = false;
    std::uint64_t pieceBytes_ = 0;  // of the current piece's lines and the line ends between them
    std::int64_t linesInPiece_ = 0;
    bool lineOpen_ = false;  // a line began in an earlier chunk and has not ended
    bool lineHeld_ = false;  // ... and whether it joins the current piece is still open
    std::uint64_t lineBytes_ = 0;
    std::basic_string<Unit> held_;  // the held line's units so far
    bool pendingCr_ = false;        // CR LF only: the previous chunk ended with a CR
};

}  // namespace

template <class Unit>
std::unique_ptr<BasicPieceCutter<Unit>> BasicPieceCutter<Unit>::Lines(std::int64_t linesPerPiece, LineEnd lineEnd) {
    if (lineEnd == LineEnd::Lf) return std::make_unique<LinesCutter<Unit, LineEnd::Lf>>(linesPerPiece);
    return std::make_unique<LinesCutter<Unit, LineEnd::CrLf>>(linesPerPiece);
}

template <class Unit>
std::unique_ptr<BasicPieceCutter<Unit>> BasicPieceCutter<Unit>::MaxBytes(std::uint64_t limit, LineEnd lineEnd,
                                                                         const ByteUtf8Lengths* byteLengths) {
    if (lineEnd == LineEnd::Lf) return std::make_unique<MaxBytesCutter<Unit, LineEnd::Lf>>(limit, byteLengths);
    return std::make_unique<MaxBytesCutter<Unit, LineEnd::CrLf>>(limit, byteLengths);
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
