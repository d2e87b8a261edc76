#include <algorithm>
#include <cstdint>
#include <memory>
#include <string_view>

#include "engine/cut/cutter.h"
#include "engine/cut/line_rule_cutter.h"

// The cut into N parts of near-equal size, at whole lines.

namespace partwright {

namespace {

using Wide = unsigned __int128;  // shares of sizes up to 2^64 bytes times counts up to 2^64

// Cuts after the first line end that ends at or after the next share of the
// source's bytes from where the block text began. Positions come from the
// span the run set for the chunk: the source's own bytes for text read as it
// lies there, else spread evenly over the source bytes the chunk was made
// from (a converted source's positions are then exact to within a chunk).
class PartsRule final : public LineRule {
public:
    PartsRule(std::uint64_t parts, std::uint64_t sourceBytes, const SourceSpan& span)
        : parts_(std::max<std::uint64_t>(parts, 1)), sourceBytes_(sourceBytes), span_(span) {}

    void ChunkBegins(std::string_view chunk) override {
        counted_ = 0;
        countedBytes_ = span_.begin;
        if (started_) return;
        started_ = true;
        base_ = std::min(PositionOf(chunk, 0), sourceBytes_);
    }

    void LineEnded(std::string_view chunk, std::size_t at) override {
        const std::uint64_t body = sourceBytes_ - base_;
        if (next_ >= parts_ || body == 0) return;
        const std::uint64_t done = std::min(PositionOf(chunk, at), sourceBytes_) - std::min(base_, sourceBytes_);
        // Share k is reached when done / body >= k / parts.
        if (Wide{done} * parts_ < Wide{next_} * body) return;
        cutNext_ = true;
        next_ = static_cast<std::uint64_t>(Wide{done} * parts_ / body) + 1;
    }

    // Line ends before the next share matter not: with the source's own
    // bytes, that share's place in the chunk is known.
    std::size_t QuietBytes(std::string_view chunk) override {
        const std::uint64_t body = sourceBytes_ - std::min(base_, sourceBytes_);
        if (next_ >= parts_ || body == 0) return chunk.size();
        if (chunk.data() != span_.data || chunk.size() != span_.size || span_.measure != SourceMeasure::Own) return 0;
        // The first position whose share reaches next_: done * parts >= next_ * body.
        const Wide needed = (Wide{next_} * body + parts_ - 1) / parts_;
        const std::uint64_t target = base_ + static_cast<std::uint64_t>(needed);
        if (target <= span_.begin) return 0;
        return static_cast<std::size_t>(std::min<std::uint64_t>(target - span_.begin, chunk.size()));
    }

    bool CutBefore(std::string_view) override {
        const bool cut = cutNext_;
        cutNext_ = false;
        return cut;
    }

    void BlockEnded() override {
        started_ = false;
        cutNext_ = false;
        next_ = 1;
    }

private:
    // Asked with `at` growing within a chunk: the characters are counted on from the last position asked.
    [[nodiscard]] std::uint64_t PositionOf(std::string_view chunk, std::size_t at) {
        if (chunk.data() != span_.data || chunk.size() != span_.size || span_.size == 0) return sourceBytes_;
        switch (span_.measure) {
        case SourceMeasure::Own: return span_.begin + at;
        case SourceMeasure::Spread: {
            const std::uint64_t bytes = span_.end - span_.begin;
            return span_.begin + static_cast<std::uint64_t>(Wide{at} * bytes / span_.size);
        }
        case SourceMeasure::Utf16:
        case SourceMeasure::SingleByte: break;
        }
        countedBytes_ += SourceBytesOf(chunk.substr(counted_, at - counted_), span_.measure);
        counted_ = at;
        return countedBytes_;
    }

    std::uint64_t parts_;
    std::uint64_t sourceBytes_;
    const SourceSpan& span_;
    bool started_ = false;
    std::uint64_t base_ = 0;          // where the block text began in the source
    std::uint64_t next_ = 1;          // the share the next cut waits for
    bool cutNext_ = false;            // the latest line end reached it
    std::size_t counted_ = 0;         // of the current chunk, the units counted so far
    std::uint64_t countedBytes_ = 0;  // and the source position they reach
};

}  // namespace

std::unique_ptr<PieceCutter> PieceCutter::Parts(std::uint64_t parts, std::uint64_t sourceBytes, const SourceSpan& span,
                                                LineEnd lineEnd, bool keepLineEnds) {
    return MakeLineRuleCutter(std::make_unique<PartsRule>(parts, sourceBytes, span), lineEnd, keepLineEnds);
}

}  // namespace partwright
