#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "partwright/line_end.h"
#include "partwright/run_interface.h"

namespace partwright {

// Run options read from the words both front ends take for them, so the
// command line and the window accept and refuse the same texts.

// "auto", "crlf" or "lf".
//   ParseLineEnd("lf") == LineEnd::Lf, ParseLineEnd("LF") == nullopt
[[nodiscard]] std::optional<LineEnd> ParseLineEnd(std::string_view text);
// The word ParseLineEnd reads as `lineEnd`.
[[nodiscard]] std::string_view LineEndWord(LineEnd lineEnd);

// The header's line count: 0 (no header; also written as 00, or left empty)
// or a whole count of lines of at least 1. When it refuses the text, `why`
// (if given) says why, for a message that quotes the text before it.
//   ParseHeaderLines("3") == 3, ParseHeaderLines("") == 0, ParseHeaderLines("-1") == nullopt
[[nodiscard]] std::optional<std::int64_t> ParseHeaderLines(std::string_view text, std::string* why = nullptr);

// "utf-8", "utf-8-bom", "utf-16le", "source" or "cesu-8".
[[nodiscard]] std::optional<OutputEncoding> ParseOutputEncoding(std::string_view text);
// The word ParseOutputEncoding reads as `encoding`.
[[nodiscard]] std::string_view OutputEncodingWord(OutputEncoding encoding);

// N of "N equal parts": a whole number of at least 1.
//   ParseParts("8") == 8, ParseParts("0") == nullopt, ParseParts("8.5") == nullopt
[[nodiscard]] std::optional<std::uint64_t> ParseParts(std::string_view text);

// The field separator of CSV records: one ASCII character other than a quote
// or a line end, or "tab".
//   ParseDelimiter(";") == ';', ParseDelimiter("tab") == '\t', ParseDelimiter("\"") == nullopt
[[nodiscard]] std::optional<char> ParseDelimiter(std::string_view text);

}  // namespace partwright
