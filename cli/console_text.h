#pragma once

#include <string>
#include <string_view>

namespace partwright {

// Text for a terminal, with every character that could move the cursor,
// change colours or rewrite the screen shown visibly instead: a C0 control
// (U+0000 to U+001F) or DEL as \xHH, a C1 control (U+0080 to U+009F) or a
// lone surrogate as \uHHHH, and a byte that is not part of well-formed UTF-8
// as \xHH. Everything else, other languages' letters included, is left as
// it is; backslashes too, so Windows paths read as usual.
//   ForTerminal("a\x1B[2Jb") == "a\\x1B[2Jb", ForTerminal("café") == "café"
[[nodiscard]] std::string ForTerminal(std::string_view utf8);

// ForTerminal for text of several lines: each line on its own, line breaks kept.
[[nodiscard]] std::string LinesForTerminal(std::string_view utf8);

}  // namespace partwright
