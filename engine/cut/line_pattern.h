#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "partwright/run_interface.h"

namespace re2 {
class RE2;
}

namespace partwright {

// A regular expression matched against lines, as UTF-8, in time linear in
// the line whatever the expression (RE2). Copies share the compiled form.
class LinePattern {
public:
    // The compiled pattern, or nothing with `problem` saying what is wrong and where.
    [[nodiscard]] static std::optional<LinePattern> Compile(std::string_view pattern, std::string& problem);

    // Whether the pattern matches anywhere in `line` (a line without its line end).
    [[nodiscard]] bool Matches(std::string_view line) const;

private:
    explicit LinePattern(std::shared_ptr<const re2::RE2> compiled);
    std::shared_ptr<const re2::RE2> compiled_;
};

}  // namespace partwright
