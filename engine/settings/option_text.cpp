#include "partwright/option_text.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <limits>
#include <utility>

#include "partwright/byte_size.h"

namespace partwright {

namespace {

constexpr std::array<std::pair<LineEnd, std::string_view>, 3> kLineEnds{{
    {LineEnd::Auto, "auto"},
    {LineEnd::CrLf, "crlf"},
    {LineEnd::Lf, "lf"},
}};

constexpr std::array<std::pair<OutputEncoding, std::string_view>, 5> kEncodings{{
    {OutputEncoding::Utf8, "utf-8"},
    {OutputEncoding::Utf8Bom, "utf-8-bom"},
    {OutputEncoding::Utf16Le, "utf-16le"},
    {OutputEncoding::Source, "source"},
    {OutputEncoding::Cesu8, "cesu-8"},
}};

template <class Value, std::size_t n>
std::optional<Value> ValueOf(const std::array<std::pair<Value, std::string_view>, n>& words, std::string_view text) {
    for (const auto& [value, word] : words) {
        if (word == text) return value;
    }
    return std::nullopt;
}

template <class Value, std::size_t n>
std::string_view WordOf(const std::array<std::pair<Value, std::string_view>, n>& words, Value value) {
    for (const auto& [known, word] : words) {
        if (known == value) return word;
    }
    return {};
}

}  // namespace

std::optional<LineEnd> ParseLineEnd(std::string_view text) { return ValueOf(kLineEnds, text); }
std::string_view LineEndWord(LineEnd lineEnd) { return WordOf(kLineEnds, lineEnd); }

std::optional<std::int64_t> ParseHeaderLines(std::string_view text, std::string* why) {
    if (std::all_of(text.begin(), text.end(), [](char c) { return c == '0'; })) return 0;
    const auto lines = ParseCount(text, std::numeric_limits<std::int64_t>::max(), why);
    if (!lines) return std::nullopt;
    return static_cast<std::int64_t>(*lines);
}

std::optional<std::uint64_t> ParseParts(std::string_view text) {
    std::uint64_t parts = 0;
    const char* const end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, parts);
    if (text.empty() || error != std::errc() || stop != end || parts == 0) return std::nullopt;
    return parts;
}

std::optional<char> ParseDelimiter(std::string_view text) {
    if (text == "tab") return '\t';
    const bool usable = text.size() == 1 && static_cast<unsigned char>(text[0]) < 0x80 && text[0] != '"' &&
                        text[0] != '\r' && text[0] != '\n';
    if (!usable) return std::nullopt;
    return text[0];
}

std::optional<OutputEncoding> ParseOutputEncoding(std::string_view text) { return ValueOf(kEncodings, text); }
std::string_view OutputEncodingWord(OutputEncoding encoding) { return WordOf(kEncodings, encoding); }

}  // namespace partwright
