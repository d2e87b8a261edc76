#include <cstddef>
#include <string>

#include "engine/cut/cutter.h"
#include "engine/cut/line_end_units.h"
#include "engine/cut/record_ends.h"
#include "engine/write/piece_encoding.h"

// The size mode's cutter: pieces of whole lines of at most so many bytes as written.

namespace partwright {

namespace {

// Pieces of whole lines, each as many bytes as it can be without passing the
// limit. Whether a line joins the current piece is known once its end is seen
// or once its bytes so far no longer fit. Lines wholly inside a chunk are
// decided there, with no copy; only a line that crosses a chunk's end while
// still undecided is held, and only until it no longer fits: so what is held
// is part of one line and never more than `limit` bytes. A line that begins
// its piece goes straight out, however long it is. `Ends` says which line
// ends count (all, or those that end CSV records).
template <LineEnd kEnd, class Ends>
class MaxBytesCutter final : public PieceCutter {
public:
    using View = std::string_view;
    using Sink = PieceSink;
    static constexpr std::size_t kEndSize = kEnd == LineEnd::CrLf ? 2 : 1;

    MaxBytesCutter(std::uint64_t limit, const PieceEncoder& encoder, bool keepLineEnds, Ends ends)
        : ends_(ends),
          limit_(std::max<std::uint64_t>(limit, 1)),
          encoder_(encoder),
          asIs_(encoder.SizeIsLength()),
          keep_(keepLineEnds),
          endBytes_(encoder.WrittenSize(LineEndUnits<char, kEnd>())),
          ownEndBytes_(keepLineEnds ? endBytes_ : 0) {}

    // A record that a quote left open runs to the end of the block, without the run's line end.
    bool EndBlock(View runLineEnd, Sink& sink) override {
        unclosedLine_ = UnclosedLine(ends_);
        if (unclosedLine_) return Finish(sink);
        return Feed(runLineEnd, sink) && Finish(sink);
    }
    std::optional<std::int64_t> UnclosedRecordLine() const override { return unclosedLine_; }

    bool Feed(View units, Sink& sink) override {
        if (units.empty()) return true;
        const char* p = units.data();
        const char* const end = p + units.size();
        if (pendingCr_) {
            pendingCr_ = false;
            if (*p == char('\n') && !ends_.Quoted()) {
                ends_.EndedBetweenChunks();
                if (!CloseLine(sink)) return false;
                ++p;
            } else if (!AddToLine(kCarriageReturn<char>, encoder_.WrittenSize(kCarriageReturn<char>), sink)) {
                return false;
            }
        }
        if (lineOpen_) {
            std::int64_t one = 1;
            const char* const lineEnd = ends_.Find(p, end, one);
            if (lineEnd == end) return KeepOpen(p, end, sink);
            if (!AddToLine(Span(p, lineEnd), Size(p, lineEnd), sink) || !CloseLine(sink)) return false;
            p = lineEnd + kEndSize;
        }
        // Lines wholly inside the chunk. The lines of a piece and the line
        // ends between them lie side by side here and go out as one view.
        const char* batch = nullptr;     // the current piece's units not passed on yet
        const char* batchEnd = nullptr;  // the end of its latest line
        for (;;) {
            if (Ends::kCanSearchBack && linesInPiece_ > 0 && asIs_) {
                // Sizes are counts of bytes: every line that still joins the piece
                // ends at or before the last line end within its room, found
                // by one search back from there instead of line by line.
                const std::uint64_t used = pieceBytes_ + kEndSize;
                const auto left = static_cast<std::uint64_t>(end - p);
                if (used <= limit_) {
                    const std::uint64_t room = limit_ - used;
                    const char* const last = ends_.FindLast(p, p + std::min(room + 1, left), end);
                    if (last != nullptr) {
                        if (batch == nullptr) {
                            sink.AppendToPiece(LineEndUnits<char, kEnd>());
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
            const char* const lineEnd = ends_.Find(p, end, one);
            if (lineEnd == end) break;
            const std::uint64_t bytes = Size(p, lineEnd);
            if (linesInPiece_ == 0) {
                if (!inPiece_ && !Begin(sink)) return false;
                batch = p;
                pieceBytes_ = bytes + ownEndBytes_;
            } else if (pieceBytes_ + endBytes_ + bytes <= limit_) {
                if (batch == nullptr) {
                    sink.AppendToPiece(LineEndUnits<char, kEnd>());  // after a line passed on earlier
                    batch = p;
                }
                pieceBytes_ += endBytes_ + bytes;
            } else {
                if (batch != nullptr) Emit(batch, batchEnd, sink);
                if (!Cut(sink)) return false;
                batch = p;
                pieceBytes_ = bytes + ownEndBytes_;
            }
            ++linesInPiece_;
            batchEnd = lineEnd;
            p = lineEnd + kEndSize;
        }
        if (batch != nullptr) Emit(batch, batchEnd, sink);
        return KeepOpen(p, end, sink);
    }

    bool Finish(Sink& sink) override {
        // What follows the last line end is no line; in a block text it is
        // empty, but for a record that a quote left open: that is a line.
        if (pendingCr_) {
            pendingCr_ = false;
            if (!AddToLine(kCarriageReturn<char>, encoder_.WrittenSize(kCarriageReturn<char>), sink)) return false;
        }
        if (lineOpen_ && !CloseLine(sink)) return false;
        if (inPiece_) sink.EndPiece(false);
        Reset();
        return true;
    }

private:
    [[nodiscard]] static View Span(const char* from, const char* to) {
        return View(from, static_cast<std::size_t>(to - from));
    }

    [[nodiscard]] std::uint64_t Size(const char* from, const char* to) const {
        return asIs_ ? static_cast<std::uint64_t>(to - from) : encoder_.WrittenSize(Span(from, to));
    }

    static void Emit(const char* from, const char* to, Sink& sink) {
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

    // A line follows the piece: keeping line ends, its last line's is its own.
    bool Cut(Sink& sink) {
        if (keep_) sink.AppendToPiece(LineEndUnits<char, kEnd>());
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
        ends_.Reset();
    }

    // [p, end) begins or continues a line that the chunk does not end.
    bool KeepOpen(const char* p, const char* end, Sink& sink) {
        if (kEnd == LineEnd::CrLf && p != end && end[-1] == char('\r')) {
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

    // More units of the open line, `bytes` as written.
    bool AddToLine(View units, std::uint64_t bytes, Sink& sink) {
        lineBytes_ += bytes;
        if (lineHeld_) {
            if (pieceBytes_ + endBytes_ + lineBytes_ <= limit_) {
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
            sink.AppendToPiece(LineEndUnits<char, kEnd>());
            if (!held_.empty()) sink.AppendToPiece(held_);
            held_.clear();
            pieceBytes_ += endBytes_ + lineBytes_;
        } else {
            if (!inPiece_ && !Begin(sink)) return false;
            pieceBytes_ = lineBytes_ + ownEndBytes_;
        }
        ++linesInPiece_;
        return true;
    }

    Ends ends_;
    std::optional<std::int64_t> unclosedLine_;
    std::uint64_t limit_;
    const PieceEncoder& encoder_;
    bool asIs_;  // a piece is written as long as its text is
    bool keep_;
    std::uint64_t endBytes_;  // of a line end as written
    // Keeping line ends, every line counts with its own (and the line end
    // between two lines of a piece is the first one's): the piece's sizes
    // then hold its last line end too.
    std::uint64_t ownEndBytes_;
    bool inPiece_ = false;
    std::uint64_t pieceBytes_ = 0;  // of the current piece's lines and the line ends between them
    std::int64_t linesInPiece_ = 0;
    bool lineOpen_ = false;  // a line began in an earlier chunk and has not ended
    bool lineHeld_ = false;  // ... and whether it joins the current piece is still open
    std::uint64_t lineBytes_ = 0;
    std::string held_;        // the held line's units so far
    bool pendingCr_ = false;  // CR LF only: the previous chunk ended with a CR
};

}  // namespace

std::unique_ptr<PieceCutter> PieceCutter::MaxBytes(std::uint64_t limit, LineEnd lineEnd, const PieceEncoder& encoder,
                                                   bool keepLineEnds, std::optional<char> csvDelimiter) {
    constexpr LineEnd kLf = LineEnd::Lf;
    constexpr LineEnd kCrLf = LineEnd::CrLf;
    if (csvDelimiter && lineEnd == kLf) {
        return std::make_unique<MaxBytesCutter<kLf, CsvRecordEnds<kLf>>>(limit, encoder, keepLineEnds,
                                                                         CsvRecordEnds<kLf>(*csvDelimiter));
    }
    if (csvDelimiter) {
        return std::make_unique<MaxBytesCutter<kCrLf, CsvRecordEnds<kCrLf>>>(limit, encoder, keepLineEnds,
                                                                             CsvRecordEnds<kCrLf>(*csvDelimiter));
    }
    if (lineEnd == kLf)
        return std::make_unique<MaxBytesCutter<kLf, LineEnds<kLf>>>(limit, encoder, keepLineEnds, LineEnds<kLf>{});
    return std::make_unique<MaxBytesCutter<kCrLf, LineEnds<kCrLf>>>(limit, encoder, keepLineEnds, LineEnds<kCrLf>{});
}

}  // namespace partwright
