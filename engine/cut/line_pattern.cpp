#include "engine/cut/line_pattern.h"

#include <re2/re2.h>

#include <utility>

#include "partwright/line_match.h"

namespace partwright {

LinePattern::LinePattern(std::shared_ptr<const re2::RE2> compiled) : compiled_(std::move(compiled)) {}

std::optional<LinePattern> LinePattern::Compile(std::string_view pattern, std::string& problem) {
    // Quiet: a bad pattern is reported to the user, not logged on standard error.
    auto compiled = std::make_shared<const re2::RE2>(re2::StringPiece(pattern.data(), pattern.size()), re2::RE2::Quiet);
    if (compiled->ok()) return LinePattern(std::move(compiled));
    problem = compiled->error();
    // RE2 names the offending part of the pattern; where it begins tells the user where to look.
    const std::string& part = compiled->error_arg();
    const std::size_t at = part.empty() ? std::string_view::npos : pattern.find(part);
    if (at != std::string_view::npos) problem += " (at character " + std::to_string(at + 1) + ")";
    return std::nullopt;
}

bool LinePattern::Matches(std::string_view line) const {
    return re2::RE2::PartialMatch(re2::StringPiece(line.data(), line.size()), *compiled_);
}

std::optional<std::string> PatternProblem(std::string_view pattern) {
    std::string problem;
    if (LinePattern::Compile(pattern, problem)) return std::nullopt;
    return problem;
}

}  // namespace partwright
