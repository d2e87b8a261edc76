#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace partwright {

// What is wrong with a pattern of RunOptions::matchPattern, and where, or
// nothing when it is a regular expression the run can match lines with:
//   PatternProblem("(a") gives "missing ): (a (at character 1)".
[[nodiscard]] std::optional<std::string> PatternProblem(std::string_view pattern);

}  // namespace partwright
