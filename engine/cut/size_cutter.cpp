#include <cstddef>
#include <string>

#include "engine/cut/cutter.h"
#include "engine/cut/line_end_units.h"
#include "engine/read/byte_coding.h"
#include "engine/read/cesu8.h"

// The size mode's cutter: pieces of whole lines of at most so many bytes as written.

namespace partwright {

namespace {

// UTF-8 bytes of units as the piece writer writes them: a UTF-16 unit on its
// own (1 to 3 bytes), a byte of a single-byte code page through its table.
template <class Unit>
class WrittenSize {
public:
    explicit WrittenSize(const ByteUtf8Lengths* byteLengths) : byteLengths_(byteLengths) {
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
    WrittenSize<Unit> size_;
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
std::unique_ptr<BasicPieceCutter<Unit>> BasicPieceCutter<Unit>::MaxBytes(std::uint64_t limit, LineEnd lineEnd,
                                                                         const ByteUtf8Lengths* byteLengths) {
    if (lineEnd == LineEnd::Lf) return std::make_unique<MaxBytesCutter<Unit, LineEnd::Lf>>(limit, byteLengths);
    return std::make_unique<MaxBytesCutter<Unit, LineEnd::CrLf>>(limit, byteLengths);
}

template std::unique_ptr<BasicPieceCutter<char16_t>> BasicPieceCutter<char16_t>::MaxBytes(std::uint64_t, LineEnd,
                                                                                          const ByteUtf8Lengths*);
template std::unique_ptr<BasicPieceCutter<char>> BasicPieceCutter<char>::MaxBytes(std::uint64_t, LineEnd,
                                                                                  const ByteUtf8Lengths*);

}  // namespace partwright
