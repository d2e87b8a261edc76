#include "engine/cut/record_blank_lines.h"

#include "engine/cut/line_end_units.h"
#include "engine/cut/record_ends.h"

// Blank-line mode on CSV records: the separator's rule, with a blank line
// inside a quoted field left in its record.

namespace partwright {

namespace {

// The blank-line rule of the separator cutter (two line ends in a row, found
// left to right without overlap), where both line ends must end records: the
// second then ends an empty record. A record's line end is held until what
// follows shows whether it begins a separator; everything else goes out as
// soon as it is scanned.
template <LineEnd kEnd>
class RecordBlankLinesCutter final : public PieceCutter {
public:
    static constexpr std::size_t kEndSize = kEnd == LineEnd::CrLf ? 2 : 1;

    RecordBlankLinesCutter(bool keepLineEnds, char delimiter) : keep_(keepLineEnds), ends_(delimiter) {}

    bool EndBlock(View runLineEnd, Sink& sink) override {
        unclosedLine_ = UnclosedLine(ends_);
        // Keeping line ends, the run's line end goes into no piece; nor does it end an open record.
        if (keep_ || unclosedLine_) return Finish(sink);
        return Feed(runLineEnd, sink) && Finish(sink);
    }
    std::optional<std::int64_t> UnclosedRecordLine() const override { return unclosedLine_; }

    bool Feed(View units, Sink& sink) override {
        if (units.empty()) return true;
        if (!inPiece_ && !Begin(sink)) return false;
        const char* const end = units.data() + units.size();
        const char* from = units.data();  // the first byte not passed on yet
        if (pendingCr_) {
            pendingCr_ = false;
            if (*from == '\n' && !ends_.Quoted()) {
                ends_.EndedBetweenChunks();
                if (!RecordEnded({}, sink)) return false;
                ++from;
            } else {
                Content(kCarriageReturn<char>, sink);
            }
        }
        for (;;) {
            std::int64_t one = 1;
            const char* const recordEnd = ends_.Find(from, end, one);
            if (recordEnd == end) break;
            if (!RecordEnded(View(from, static_cast<std::size_t>(recordEnd - from)), sink)) return false;
            from = recordEnd + kEndSize;
        }
        const char* stop = end;
        if (kEnd == LineEnd::CrLf && stop != from && stop[-1] == '\r') {
            pendingCr_ = true;  // may begin a CR LF that the next chunk completes
            --stop;
        }
        Content(View(from, static_cast<std::size_t>(stop - from)), sink);
        return true;
    }

    bool Finish(Sink& sink) override {
        if (heldEnd_) sink.AppendToPiece(LineEndUnits<char, kEnd>());
        if (pendingCr_) sink.AppendToPiece(kCarriageReturn<char>);
        if (inPiece_) sink.EndPiece(true);
        Reset();
        return true;
    }

private:
    bool Begin(Sink& sink) {
        inPiece_ = true;
        if (sink.BeginPiece()) return true;
        Reset();
        return false;
    }

    void Reset() {
        inPiece_ = false;
        heldEnd_ = false;
        pendingCr_ = false;
        ends_.Reset();
    }

    // Bytes of a record, not its end.
    void Content(View bytes, Sink& sink) {
        if (bytes.empty()) return;
        if (heldEnd_) {
            sink.AppendToPiece(LineEndUnits<char, kEnd>());
            heldEnd_ = false;
        }
        sink.AppendToPiece(bytes);
    }

    // A record ends, its last `bytes` not passed on yet. An empty one right
    // after a held line end completes a separator.
    bool RecordEnded(View bytes, Sink& sink) {
        if (heldEnd_ && bytes.empty()) {
            heldEnd_ = false;
            if (keep_) sink.AppendToPiece(LineEndUnits<char, kEnd>());
            sink.EndPiece(true);
            return Begin(sink);
        }
        Content(bytes, sink);
        heldEnd_ = true;
        return true;
    }

    bool keep_;
    CsvRecordEnds<kEnd> ends_;
    bool inPiece_ = false;
    bool heldEnd_ = false;    // a record's line end, the last bytes scanned, not passed on yet
    bool pendingCr_ = false;  // CR LF only: the previous chunk ended with a CR
    std::optional<std::int64_t> unclosedLine_;
};

}  // namespace

std::unique_ptr<PieceCutter> RecordBlankLines(LineEnd lineEnd, bool keepLineEnds, char delimiter) {
    if (lineEnd == LineEnd::Lf) return std::make_unique<RecordBlankLinesCutter<LineEnd::Lf>>(keepLineEnds, delimiter);
    return std::make_unique<RecordBlankLinesCutter<LineEnd::CrLf>>(keepLineEnds, delimiter);
}

}  // namespace partwright
