#include "engine/run/rule_cut.h"

#include <algorithm>
#include <string>

#include "engine/cut/line_pattern.h"

namespace partwright {

std::unique_ptr<PieceCutter> CutterByRule(RunContext& run, const std::filesystem::path& source, const SourceSpan& span,
                                          std::uint64_t sourceBytes, bool& failed) {
    failed = false;
    const RunOptions& options = run.options;
    if (options.maxPieceBytes > 0) return nullptr;
    if (options.parts > 0) {
        return PieceCutter::Parts(options.parts, sourceBytes, span, run.lineEnd, options.finalLineEnd);
    }
    if (!options.matchPattern) return nullptr;
    std::string problem;
    const std::optional<LinePattern> pattern = LinePattern::Compile(*options.matchPattern, problem);
    if (!pattern) {
        failed = true;
        run.Fail({Failure::Kind::BadPattern, source, problem});
        return nullptr;
    }
    return PieceCutter::Match(*pattern, run.lineEnd, options.finalLineEnd);
}

void PlaceUnits(SourceSpan& span, std::string_view step, std::string_view units, std::uint64_t before,
                std::uint64_t after, std::optional<std::uint64_t> offset, SourceMeasure measure) {
    span.data = units.data();
    span.size = units.size();
    span.measure = offset ? SourceMeasure::Own : measure;
    if (offset) {
        span.begin = *offset;
        span.end = *offset + units.size();
        return;
    }
    if (measure != SourceMeasure::Spread && measure != SourceMeasure::Own) {
        span.end = after;
        span.begin = after - std::min(after, SourceBytesOf(units, measure));
        return;
    }
    span.measure = SourceMeasure::Spread;
    const std::uint64_t read = after - before;
    const std::size_t skipped = step.size() - units.size();
    span.begin = step.empty() ? after : before + static_cast<std::uint64_t>(skipped * read / step.size());
    span.end = after;
}

void NoteParts(RunContext& run, const PieceCutter& cutter, const std::filesystem::path& source) {
    if (run.options.parts == 0 || run.options.maxPieceBytes > 0) return;
    const std::uint64_t pieces = cutter.PiecesOfLastBlock();
    if (pieces >= run.options.parts) return;
    ++run.report.sourcesShortOfParts;
    run.host.FewerParts(source, pieces);
}

}  // namespace partwright
