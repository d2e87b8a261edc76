#include <memory>
#include <string_view>

#include "engine/cut/cutter.h"
#include "engine/cut/line_pattern.h"
#include "engine/cut/line_rule_cutter.h"

// The cut before every line that matches a pattern.

namespace partwright {

namespace {

class MatchRule final : public LineRule {
public:
    explicit MatchRule(const LinePattern& pattern) : pattern_(pattern) {}

    std::size_t HeadBytes() const override { return kMatchedHeadBytes; }
    bool CutBefore(std::string_view head) override { return pattern_.Matches(head); }

private:
    LinePattern pattern_;
};

}  // namespace

std::unique_ptr<PieceCutter> PieceCutter::Match(const LinePattern& pattern, LineEnd lineEnd, bool keepLineEnds) {
    return MakeLineRuleCutter(std::make_unique<MatchRule>(pattern), lineEnd, keepLineEnds);
}

}  // namespace partwright
