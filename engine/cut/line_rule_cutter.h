#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "engine/cut/cutter.h"
#include "engine/cut/line_end_units.h"

namespace partwright {

// Where a cut between whole lines falls, decided as the later line begins.
// The rule sees every line end and, if it asks for one, the head of the line
// that begins.
class LineRule {
public:
    virtual ~LineRule() = default;
    // How many bytes of a line's head the rule looks at before it decides (0: none).
    [[nodiscard]] virtual std::size_t HeadBytes() const { return 0; }
    // The cutter is given `chunk`, the next text of the block.
    virtual void ChunkBegins(std::string_view /*chunk*/) {}
    // A line end ends just before byte `at` of `chunk`.
    virtual void LineEnded(std::string_view /*chunk*/, std::size_t /*at*/) {}
    // How far into `chunk`, the chunk being fed, no line end concerns the
    // rule: none ending before that many bytes could end a piece, and it
    // needs no heads. The cutter then looks for line ends from there only.
    [[nodiscard]] virtual std::size_t QuietBytes(std::string_view /*chunk*/) { return 0; }
    // A line begins after a piece that holds lines: whether the piece ends
    // before it. `head`: its first HeadBytes() bytes (fewer when it is
    // shorter), without its line end.
    [[nodiscard]] virtual bool CutBefore(std::string_view head) = 0;
    // The block text is complete.
    virtual void BlockEnded() {}
};

// Pieces of whole lines, cut where a LineRule says, with the lines mode's
// rules of line ends: a piece's lines are joined by their line ends, and,
// keeping line ends, a piece ends with its last line's unless that is the
// block text's last (the run's). A piece is never empty of lines, so a rule
// that would cut before the first line cuts nothing.
// This is the one place where these cutters find line ends. Lines wholly
// inside a chunk and the line ends between them go out as one view; a line
// end is held (as a flag) only until the line after it shows whether it ends
// the piece. When the rule wants a line's head and the line crosses a
// chunk's end undecided, at most HeadBytes() of it are held.
template <LineEnd kEnd>
class LineRuleCutter final : public PieceCutter {
public:
    using View = std::string_view;
    using Sink = PieceSink;
    static constexpr std::size_t kEndSize = kEnd == LineEnd::CrLf ? 2 : 1;

    LineRuleCutter(std::unique_ptr<LineRule> rule, bool keepLineEnds)
        : rule_(std::move(rule)), keep_(keepLineEnds), headBytes_(rule_->HeadBytes()) {}

    bool Feed(View units, Sink& sink) override {
        if (units.empty()) return true;
        rule_->ChunkBegins(units);
        chunk_ = units;
        const char* const end = units.data() + units.size();
        const char* p = units.data();
        from_ = p;
        endAt_ = nullptr;
        if (pendingCr_) {
            pendingCr_ = false;
            if (*p == '\n') {
                if (state_ == State::Gathering && !DecideHeld(sink)) return false;
                ++p;
                EndOfLine(nullptr, p);
            } else if (state_ == State::Gathering) {
                held_.push_back('\r');
            } else {
                sink.AppendToPiece(kCarriageReturn<char>);
            }
        }
        if (state_ == State::Gathering && !GoOnGathering(p, end, sink)) return false;
        while (p != end && state_ != State::Gathering) {
            if (state_ == State::AtLineStart && !LineBegins(p, end, sink)) return false;
            if (state_ != State::InLine) break;
            // A line end that ends at the quiet stretch's end begins up to kEndSize before it.
            const std::size_t quiet = rule_->QuietBytes(units);
            if (quiet > kEndSize) p = std::max(p, units.data() + std::min(quiet - kEndSize, units.size()));
            std::int64_t one = 1;
            const char* const lineEnd = FindEnds<char, kEnd>(p, end, one);
            if (lineEnd == end) break;
            p = lineEnd + kEndSize;
            EndOfLine(lineEnd, p);
        }
        ChunkEnds(end, sink);
        return true;
    }

    // Keeping line ends, a block text that ends with its own line end has no
    // line after it: the run's would only add an empty one.
    bool EndBlock(View runLineEnd, Sink& sink) override {
        if (!keep_ || state_ != State::AtLineStart) return Feed(runLineEnd, sink) && Finish(sink);
        if (heldEnd_) sink.AppendToPiece(LineEndUnits<char, kEnd>());
        heldEnd_ = false;
        return Finish(sink);
    }

    bool Finish(Sink& sink) override {
        if (pendingCr_) {
            pendingCr_ = false;
            if (state_ == State::Gathering) {
                held_.push_back('\r');
            } else {
                sink.AppendToPiece(kCarriageReturn<char>);
            }
        }
        if (state_ == State::Gathering && !DecideHeld(sink)) return false;
        // A line end still held is the block text's last: no piece takes it.
        if (inPiece_) sink.EndPiece(false);
        rule_->BlockEnded();
        lastPieces_ = pieces_;
        Reset();
        return true;
    }

    [[nodiscard]] std::uint64_t PiecesOfLastBlock() const override { return lastPieces_; }

private:
    enum class State {
        AtLineStart,  // after a line end, or at the block's start: the next unit begins a line
        InLine,       // the current line has its place; its units go out as they come
        Gathering,    // the current line's head is held until the rule can decide
    };

    // A line begins at `p`, before `end`. Unless the rule needs its head and
    // the chunk ends before it has enough, it is decided here.
    bool LineBegins(const char*& p, const char* end, Sink& sink) {
        if (headBytes_ == 0 || linesInPiece_ == 0) return Decide(p, {}, sink);
        std::int64_t one = 1;
        const char* const lineEnd = FindEnds<char, kEnd>(p, end, one);
        const auto length = static_cast<std::size_t>(lineEnd - p);
        // Past the head, a CR at the chunk's end cannot be part of it.
        if (lineEnd != end || length > headBytes_) return Decide(p, View(p, std::min(length, headBytes_)), sink);
        // The chunk ends inside the head: what came before the held line end goes out now.
        Flush(from_, endAt_ != nullptr ? endAt_ : p, sink);
        if (endAt_ != nullptr) heldEnd_ = true;
        endAt_ = nullptr;
        const char* stop = end;
        if (kEnd == LineEnd::CrLf && end[-1] == '\r') {
            pendingCr_ = true;
            --stop;
        }
        held_.assign(p, stop);
        state_ = State::Gathering;
        p = end;
        from_ = end;
        return true;
    }

    // Gathering goes on at the head of a chunk: decides once the line ends or its head is complete.
    bool GoOnGathering(const char*& p, const char* end, Sink& sink) {
        std::int64_t one = 1;
        const char* const lineEnd = FindEnds<char, kEnd>(p, end, one);
        const std::size_t wanted = headBytes_ - std::min(headBytes_, held_.size());
        const auto length = static_cast<std::size_t>(lineEnd - p);
        if (lineEnd == end && length <= wanted) {
            const char* stop = end;
            if (kEnd == LineEnd::CrLf && stop != p && stop[-1] == '\r') {
                pendingCr_ = true;
                --stop;
            }
            held_.append(p, stop);
            p = end;
            from_ = end;
            return true;
        }
        const std::size_t taken = std::min(length, wanted);
        held_.append(p, taken);
        p += taken;
        from_ = p;
        return DecideHeld(sink);
    }

    // The held head is complete: decides, and passes it on as the line's first units.
    bool DecideHeld(Sink& sink) {
        const std::string head = std::move(held_);
        held_.clear();
        if (!Decide(nullptr, View(head).substr(0, headBytes_), sink)) return false;
        if (!head.empty()) sink.AppendToPiece(head);
        return true;
    }

    // A line begins at `lineStart` (null: its head was held): it ends the
    // current piece before it, or joins it.
    bool Decide(const char* lineStart, View head, Sink& sink) {
        const bool cut = linesInPiece_ > 0 && rule_->CutBefore(head);
        if (cut) {
            if (endAt_ != nullptr) {
                Flush(from_, keep_ ? endAt_ + kEndSize : endAt_, sink);
            } else if (heldEnd_ && keep_) {
                sink.AppendToPiece(LineEndUnits<char, kEnd>());
            }
            sink.EndPiece(false);
            inPiece_ = false;
            if (lineStart != nullptr) from_ = lineStart;
        } else if (heldEnd_) {
            sink.AppendToPiece(LineEndUnits<char, kEnd>());  // joins the line before to this one
        }
        heldEnd_ = false;
        endAt_ = nullptr;
        if (!inPiece_) {
            if (!sink.BeginPiece()) {
                Reset();
                return false;
            }
            inPiece_ = true;
            ++pieces_;
            linesInPiece_ = 0;
        }
        ++linesInPiece_;
        state_ = State::InLine;
        return true;
    }

    // A line end at `lineEnd` in this chunk (null: it began in the chunk
    // before), its last unit just before `after`.
    void EndOfLine(const char* lineEnd, const char* after) {
        if (lineEnd == nullptr) {
            heldEnd_ = true;
            from_ = after;
        }
        endAt_ = lineEnd;
        state_ = State::AtLineStart;
        rule_->LineEnded(chunk_, static_cast<std::size_t>(after - chunk_.data()));
    }

    // The chunk ends: what is sure to go into the current piece goes out; a
    // line end at its very end, or a CR that may begin one, waits.
    void ChunkEnds(const char* end, Sink& sink) {
        if (state_ == State::Gathering) return;
        if (state_ == State::AtLineStart) {
            if (endAt_ != nullptr) {
                Flush(from_, endAt_, sink);
                heldEnd_ = true;
                endAt_ = nullptr;
            }
            return;
        }
        const char* stop = end;
        if (kEnd == LineEnd::CrLf && stop != from_ && stop[-1] == '\r') {
            pendingCr_ = true;
            --stop;
        }
        Flush(from_, stop, sink);
    }

    static void Flush(const char* from, const char* to, Sink& sink) {
        if (to > from) sink.AppendToPiece(View(from, static_cast<std::size_t>(to - from)));
    }

    void Reset() {
        state_ = State::AtLineStart;
        inPiece_ = false;
        linesInPiece_ = 0;
        pieces_ = 0;
        heldEnd_ = false;
        pendingCr_ = false;
        endAt_ = nullptr;
        held_.clear();
    }

    std::unique_ptr<LineRule> rule_;
    bool keep_;
    std::size_t headBytes_;
    State state_ = State::AtLineStart;
    bool inPiece_ = false;
    std::int64_t linesInPiece_ = 0;
    std::uint64_t pieces_ = 0;      // begun in the current block
    std::uint64_t lastPieces_ = 0;  // given by the last finished block
    // The line end after the latest line, not passed on yet: inside the
    // current chunk at endAt_, or (heldEnd_) before it.
    const char* endAt_ = nullptr;
    bool heldEnd_ = false;
    bool pendingCr_ = false;      // CR LF only: the chunk before ended with a CR inside a line
    std::string held_;            // the head of an undecided line
    View chunk_;                  // the chunk being fed
    const char* from_ = nullptr;  // its first unit not passed on yet
};

template <class Rule>
std::unique_ptr<PieceCutter> MakeLineRuleCutter(std::unique_ptr<Rule> rule, LineEnd lineEnd, bool keepLineEnds) {
    if (lineEnd == LineEnd::Lf) return std::make_unique<LineRuleCutter<LineEnd::Lf>>(std::move(rule), keepLineEnds);
    return std::make_unique<LineRuleCutter<LineEnd::CrLf>>(std::move(rule), keepLineEnds);
}

}  // namespace partwright
